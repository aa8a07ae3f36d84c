#include "registry/wine_registry_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/text_codes.h"

namespace dfm {
namespace {

unsigned char FoldCase(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// Turns UTF-16 units into UTF-8, joining surrogate pairs; a lone surrogate becomes "?",
// as the 8-bit calls write a character they cannot convert. Raw bytes pass unchanged.
class Utf16ToUtf8 {
 public:
  void Unit(std::uint32_t u) {
    if (high_ != 0) {
      std::uint32_t high = high_;
      high_ = 0;
      if (u >= 0xDC00 && u <= 0xDFFF) {
        AppendUtf8(out_, 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
        return;
      }
      out_ += '?';
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      high_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      out_ += '?';
    } else {
      AppendUtf8(out_, u);
    }
  }
  void Raw(char c) {
    Flush();
    out_ += c;
  }
  std::string Finish() {
    Flush();
    return std::move(out_);
  }

 private:
  void Flush() {
    if (high_ != 0) out_ += '?';
    high_ = 0;
  }
  std::string out_;
  std::uint32_t high_ = 0;
};

char SimpleEscape(char c) {
  switch (c) {
    case 'a':
      return '\a';
    case 'b':
      return '\b';
    case 'e':
      return '\x1b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    case 'v':
      return '\v';
    default:
      return c;
  }
}

// Reads digits of `base` (at most `max`) at `pos`; nullopt when there is none.
std::optional<std::uint32_t> ReadDigits(std::string_view s, std::size_t& pos, int base, int max) {
  std::uint32_t v = 0;
  int n = 0;
  while (n < max && pos < s.size()) {
    int d = HexDigitValue(s[pos]);
    if (d < 0 || d >= base) break;
    v = v * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
    ++pos;
    ++n;
  }
  if (n == 0) return std::nullopt;
  return v;
}

// Decodes an escaped text from `pos` (just behind its opening character) up to the
// unescaped `delim`, leaving `pos` behind the delimiter. nullopt when it is not closed.
std::optional<std::string> ReadEscaped(std::string_view s, std::size_t& pos, char delim) {
  Utf16ToUtf8 text;
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == delim) return text.Finish();
    if (c != '\\' || pos >= s.size()) {
      if (static_cast<unsigned char>(c) < 0x80) {
        text.Unit(static_cast<unsigned char>(c));
      } else {
        text.Raw(c);
      }
      continue;
    }
    char e = s[pos++];
    if (e == 'x') {
      if (auto v = ReadDigits(s, pos, 16, 4)) {
        text.Unit(*v);
        continue;
      }
      text.Unit('x');
    } else if (e >= '0' && e <= '7') {
      --pos;
      text.Unit(*ReadDigits(s, pos, 8, 3));
    } else {
      text.Unit(static_cast<unsigned char>(SimpleEscape(e)));
    }
  }
  return std::nullopt;
}

void SkipSpaces(std::string_view s, std::size_t& pos) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
}

bool Consume(std::string_view s, std::size_t& pos, std::string_view word) {
  if (s.substr(pos, word.size()) != word) return false;
  pos += word.size();
  return true;
}

// "0a,1f,ff" with optional blanks; nullopt on anything else.
std::optional<Bytes> ReadHexBytes(std::string_view s, std::size_t pos) {
  Bytes out;
  for (;;) {
    SkipSpaces(s, pos);
    if (pos >= s.size()) return out;
    std::size_t start = pos;
    auto v = ReadDigits(s, pos, 16, 2);
    if (!v || pos - start != 2) return std::nullopt;
    out.push_back(static_cast<unsigned char>(*v));
    SkipSpaces(s, pos);
    if (pos < s.size() && !Consume(s, pos, ",")) return std::nullopt;
  }
}

bool IsStringType(std::uint32_t type) {
  return type == reg::kString || type == reg::kExpandString || type == reg::kMultiString;
}

Bytes Utf16DataTo8Bit(const Bytes& data) {
  Utf16ToUtf8 text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) text.Unit(data[i] | (data[i + 1] << 8));
  std::string s = text.Finish();
  return Bytes(s.begin(), s.end());
}

Bytes TextData(const std::string& text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

// The data part of a value line, from `pos` (behind "=").
std::optional<RegValue> ReadData(std::string_view s, std::size_t pos) {
  if (Consume(s, pos, "\"")) {
    auto text = ReadEscaped(s, pos, '"');
    if (!text) return std::nullopt;
    return RegValue{reg::kString, TextData(*text)};
  }
  if (Consume(s, pos, "str(")) {
    auto type = ReadDigits(s, pos, 16, 8);
    if (!type || !Consume(s, pos, "):\"")) return std::nullopt;
    auto text = ReadEscaped(s, pos, '"');
    if (!text) return std::nullopt;
    return RegValue{*type, TextData(*text)};
  }
  if (Consume(s, pos, "dword:")) {
    std::size_t start = pos;
    auto n = ReadDigits(s, pos, 16, 8);
    if (!n || pos - start != 8) return std::nullopt;
    return RegValue{
        reg::kDword,
        Bytes{static_cast<unsigned char>(*n), static_cast<unsigned char>(*n >> 8),
              static_cast<unsigned char>(*n >> 16), static_cast<unsigned char>(*n >> 24)}};
  }
  std::uint32_t type = reg::kBinary;
  if (Consume(s, pos, "hex(")) {
    auto t = ReadDigits(s, pos, 16, 8);
    if (!t || !Consume(s, pos, ")")) return std::nullopt;
    type = *t;
  } else if (!Consume(s, pos, "hex")) {
    return std::nullopt;
  }
  if (!Consume(s, pos, ":")) return std::nullopt;
  auto bytes = ReadHexBytes(s, pos);
  if (!bytes) return std::nullopt;
  return RegValue{type, IsStringType(type) ? Utf16DataTo8Bit(*bytes) : std::move(*bytes)};
}

void SetValue(RegistryNode& node, std::string name, RegValue value) {
  for (auto& [n, v] : node.values) {
    if (SameName(n, name)) {
      v = std::move(value);
      return;
    }
  }
  node.values.emplace_back(std::move(name), std::move(value));
}

void ReadValueLine(std::string_view line, RegistryNode& node) {
  std::size_t pos = 0;
  std::string name;
  if (Consume(line, pos, "@")) {
    name.clear();
  } else if (Consume(line, pos, "\"")) {
    auto n = ReadEscaped(line, pos, '"');
    if (!n) return;
    name = std::move(*n);
  } else {
    return;
  }
  SkipSpaces(line, pos);
  if (!Consume(line, pos, "=")) return;
  SkipSpaces(line, pos);
  if (auto value = ReadData(line, pos)) SetValue(node, std::move(name), std::move(*value));
}

// The key at `path`, made as needed; nullptr when it lies deeper than keys may.
RegistryNode* MakeKey(RegistryNode& root, std::string_view path) {
  std::vector<std::string_view> names;
  for (std::size_t pos = 0; pos <= path.size();) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos) names.push_back(path.substr(pos, end - pos));
    if (names.size() > kMaxRegistryDepth) return nullptr;
    pos = end + 1;
  }
  RegistryNode* node = &root;
  for (std::string_view name : names) node = &node->children[std::string(name)];
  return node;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// The next logical line: hex data that ends in "\" goes on in the following lines.
std::string NextLine(std::string_view text, std::size_t& pos) {
  std::string line;
  for (;;) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view part = TrimRight(text.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty()) {
      std::size_t lead = 0;
      SkipSpaces(part, lead);
      part.remove_prefix(lead);
    }
    line.append(part);
    bool continued = !line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos;
    if (!continued || pos > text.size()) return line;
    line.pop_back();
  }
}

}  // namespace

bool RegistryNameLess::operator()(const std::string& a, const std::string& b) const {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = FoldCase(a[i]);
    unsigned char y = FoldCase(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

RegistryNode::~RegistryNode() {
  // Each level's keys are taken out of their parents before the parents go, so that
  // freeing one key never frees a whole subtree by recursion.
  if (children.empty()) return;
  std::vector<Children> pending;
  pending.emplace_back().swap(children);
  while (!pending.empty()) {
    Children level;
    level.swap(pending.back());
    pending.pop_back();
    for (auto& [name, node] : level) {
      if (!node.children.empty()) pending.emplace_back().swap(node.children);
    }
  }
}

const RegValue* RegistryNode::FindValue(std::string_view name) const {
  for (const auto& [n, v] : values) {
    if (SameName(n, name)) return &v;
  }
  return nullptr;
}

RegistryHive ParseWineRegistry(std::string_view text) {
  RegistryHive hive;
  RegistryNode* key = nullptr;
  for (std::size_t pos = 0; pos < text.size();) {
    std::string line = NextLine(text, pos);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '#') {
      if (line == "#arch=win64") hive.win64 = true;
      continue;
    }
    if (line[0] == '[') {
      std::size_t p = 1;
      auto path = ReadEscaped(line, p, ']');
      key = path ? MakeKey(hive.root, *path) : nullptr;
      continue;
    }
    if (key != nullptr) ReadValueLine(line, *key);
  }
  return hive;
}

const RegistryNode* FindRegistryKey(const RegistryNode& root, std::string_view path) {
  const RegistryNode* node = &root;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos) {
      auto it = node->children.find(std::string(path.substr(pos, end - pos)));
      if (it == node->children.end()) return nullptr;
      node = &it->second;
    }
    pos = end + 1;
  }
  return node;
}

}  // namespace dfm
