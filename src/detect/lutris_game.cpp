#include "detect/lutris_game.h"

#include <cstdint>

#include "base/text_codes.h"

namespace dfm {
namespace {

// A double-quoted scalar's escape at s[pos] (behind the backslash); false when invalid.
bool Unescape(std::string_view s, std::size_t& pos, std::string& out) {
  char e = s[pos++];
  int digits = e == 'x' ? 2 : e == 'u' ? 4 : 0;
  if (digits > 0) {
    std::uint32_t cp = 0;
    for (int i = 0; i < digits; ++i, ++pos) {
      if (pos >= s.size() || HexDigitValue(s[pos]) < 0) return false;
      cp = cp * 16 + static_cast<std::uint32_t>(HexDigitValue(s[pos]));
    }
    AppendUtf8(out, cp);
    return true;
  }
  static constexpr std::string_view kFrom = "\\\"/ 0abtnvfre";
  static constexpr char kTo[] = "\\\"/ \0\a\b\t\n\v\f\r\x1b";  // same order as kFrom
  std::size_t at = kFrom.find(e);
  if (at == std::string_view::npos) return false;
  out += kTo[at];
  return true;
}

// A quoted scalar starting at s[pos]; `pos` ends behind its closing quote.
std::optional<std::string> Quoted(std::string_view s, std::size_t& pos) {
  const char quote = s[pos++];
  std::string out;
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == quote) {
      if (quote == '\'' && pos < s.size() && s[pos] == '\'') {
        out += '\'';
        ++pos;
        continue;
      }
      return out;
    }
    if (c == '\\' && quote == '"') {
      if (pos >= s.size() || !Unescape(s, pos, out)) return std::nullopt;
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A scalar (the whole of `s`, a comment allowed behind it); nullopt when malformed.
std::optional<std::string> Scalar(std::string_view s) {
  s = Trim(s);
  if (!s.empty() && (s[0] == '"' || s[0] == '\'')) {
    std::size_t pos = 0;
    auto text = Quoted(s, pos);
    std::string_view rest = Trim(s.substr(pos));
    if (!text || (!rest.empty() && rest[0] != '#')) return std::nullopt;
    return text;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '#' && (i == 0 || s[i - 1] == ' ' || s[i - 1] == '\t')) {
      s = s.substr(0, i);
      break;
    }
  }
  return std::string(Trim(s));
}

struct KeyLine {
  std::string key;
  std::string_view rest;  // behind the ":"
};

// "key: rest" or "key:" with a plain or quoted key; nullopt for any other line.
std::optional<KeyLine> SplitKey(std::string_view line) {
  std::size_t pos = 0;
  std::string key;
  if (line[0] == '"' || line[0] == '\'') {
    auto quoted = Quoted(line, pos);
    if (!quoted) return std::nullopt;
    key = *quoted;
  } else {
    pos = line.find(':');
    while (pos != std::string_view::npos && pos + 1 < line.size() && line[pos + 1] != ' ' &&
           line[pos + 1] != '\t')
      pos = line.find(':', pos + 1);
    if (pos == std::string_view::npos || line[0] == '-' || line[0] == '#') return std::nullopt;
    key = std::string(Trim(line.substr(0, pos)));
  }
  if (pos >= line.size() || line[pos] != ':') return std::nullopt;
  std::string_view rest = line.substr(pos + 1);
  if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t') return std::nullopt;
  return KeyLine{std::move(key), rest};
}

}  // namespace

std::optional<std::string> LutrisGamePrefix(std::string_view yaml) {
  bool in_game = false;
  std::size_t child_indent = 0;  // 0 until the first line inside "game"
  std::optional<std::string> prefix;
  for (std::size_t pos = 0; pos < yaml.size();) {
    std::size_t end = yaml.find('\n', pos);
    if (end == std::string_view::npos) end = yaml.size();
    std::string_view line = yaml.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos) continue;
    if (line[indent] == '\t') return std::nullopt;
    std::string_view body = line.substr(indent);
    if (body[0] == '#' || (indent == 0 && (body == "---" || body == "..."))) continue;
    if (indent == 0) {
      auto kv = SplitKey(body);
      if (!kv) return std::nullopt;
      auto value = Scalar(kv->rest);
      in_game = kv->key == "game" && value && value->empty();
      child_indent = 0;
      continue;
    }
    if (!in_game) continue;
    if (child_indent == 0) child_indent = indent;
    if (indent != child_indent) continue;
    auto kv = SplitKey(body);
    if (!kv || kv->key != "prefix") continue;
    prefix = Scalar(kv->rest);
    if (!prefix) return std::nullopt;
  }
  if (!prefix || prefix->empty() || *prefix == "~" || *prefix == "null") return std::nullopt;
  return prefix;
}

}  // namespace dfm
