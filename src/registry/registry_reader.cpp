#include "registry/registry_reader.h"

namespace dfm {
namespace {

constexpr std::size_t kValueCapacity = 256;
constexpr std::size_t kKeyNameCapacity = 256;
constexpr std::size_t kEnumValueCapacity = 240;
constexpr std::size_t kTextCapacity = 4096;

std::string HexPairs(const Bytes& data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(data.size() * 3);
  for (unsigned char b : data) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
    out += ' ';
  }
  return out;
}

// String data as the 8-bit calls give it, without its terminating zero byte. Data that
// lacks the terminator is kept whole rather than losing its last character.
std::string StringData(const Bytes& data) {
  std::size_t n = data.size();
  if (n > 0 && data[n - 1] == 0) --n;
  return std::string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace

RegistryReader::~RegistryReader() {
  if (is_open_) (void)registry_.CloseKey(key_handle_);
}

std::optional<std::vector<std::string>> RegistryReader::GetAllSubDirectories() {
  if (!is_open_) return std::nullopt;
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0;; ++i) {
    if (registry_.EnumKey(key_handle_, i, kKeyNameCapacity, name) != reg::kSuccess) break;
    names.push_back(name.substr(0, name.find('\0')));
  }
  return names;
}

std::optional<std::vector<std::string>> RegistryReader::GetAllValues() {
  if (!is_open_) return std::nullopt;
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0;; ++i) {
    if (registry_.EnumValue(key_handle_, i, kEnumValueCapacity, kEnumValueCapacity, name) !=
        reg::kSuccess)
      break;
    names.push_back(name.substr(0, name.find('\0')));
  }
  return names;
}

std::string RegistryReader::GetValue(const std::string& name) {
  if (!is_open_) return {};
  RegValue value;
  if (registry_.QueryValue(key_handle_, name, kValueCapacity, value) != reg::kSuccess) return {};
  switch (value.type) {
    case reg::kString:
      return StringData(value.data);
    case reg::kBinary:
      return HexPairs(value.data);
    default:
      return "value_type=" + std::to_string(value.type);
  }
}

std::optional<std::string> RegistryReader::GetText(const std::string& name) {
  RegValue value;
  if (!is_open_ || registry_.QueryValue(key_handle_, name, kTextCapacity, value) != reg::kSuccess ||
      (value.type != reg::kString && value.type != reg::kExpandString))
    return std::nullopt;
  std::string text(value.data.begin(), value.data.end());
  return text.substr(0, text.find('\0'));
}

bool RegistryReader::OpenRegistry(RegKey root, const std::string& path) {
  if (root == 0) {
    if (is_open_) CloseRegistry();  // the object reads nothing more, so let the key go
    is_open_ = false;
    return false;
  }
  root_key_ = root;
  sub_directory_ = path;
  if (is_open_) CloseRegistry();
  is_open_ = false;
  RegKey key = 0;
  if (registry_.OpenKey(root, path, key) != reg::kSuccess) return false;
  key_handle_ = key;
  is_open_ = true;
  return true;
}

// Only a key this object holds open is closed: handing a stale handle number to the
// system again could close a key that someone else has opened since.
bool RegistryReader::CloseRegistry() {
  if (!is_open_) return false;
  if (registry_.CloseKey(key_handle_) != reg::kSuccess) return false;
  is_open_ = false;
  key_handle_ = 0;
  return true;
}

}  // namespace dfm
