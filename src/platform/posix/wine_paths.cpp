#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/host.h"
#include "platform/posix/posix_path.h"
#include "platform/posix/wine_prefix.h"

namespace dfm::posix {
namespace {

namespace fs = std::filesystem;

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The folder behind prefix/dosdevices/<letter>:, without a trailing "/" ("" for "/");
// nullopt when the prefix has no such drive.
std::optional<std::string> DriveFolder(char letter, const std::string& prefix) {
  char lower = static_cast<char>(letter | 0x20);
  fs::path devices = fs::path(prefix) / "dosdevices";
  fs::path link = devices / (std::string(1, lower) + ":");
  std::error_code ec;
  fs::path target;
  if (fs::is_symlink(link, ec)) {
    target = fs::read_symlink(link, ec);
    if (ec) return std::nullopt;
    if (target.is_relative()) target = devices / target;
  } else if (fs::is_directory(link, ec)) {
    target = link;
  } else {
    return std::nullopt;
  }
  std::string out = target.lexically_normal().string();
  while (!out.empty() && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

std::string WinePrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.wine";
  return {};
}

std::string MapWinePath(const std::string& path, const std::string& prefix) {
  if (prefix.empty() || path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':') return path;
  auto base = DriveFolder(path[0], prefix);
  if (!base) return path;
  std::string rest = path.substr(2);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (rest.empty()) return base->empty() ? "/" : *base;
  if (rest[0] != '/') rest.insert(rest.begin(), '/');
  return ResolvePath(*base + rest);
}

}  // namespace dfm::posix

namespace dfm {

std::string HostFolderFromRegistry(const std::string& folder) {
  return posix::MapWinePath(folder, posix::WinePrefix());
}

}  // namespace dfm
