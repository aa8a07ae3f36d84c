#include "script/control_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#if !defined(__cpp_lib_to_chars)
#include <locale>
#include <sstream>
#endif

namespace dfm {

Result<std::vector<std::string>> ReadControlLines(FileSystem& fs, const std::string& path) {
  auto length = fs.FileLength(path);
  if (!length) return length.failure();
  if (*length > kMaxControlFileBytes) {
    return Failure{err::kOutOfMemory, "Out of memory: " + path + " is larger than " +
                                          std::to_string(kMaxControlFileBytes >> 20) +
                                          " MB, which no control or credits file is"};
  }
  auto bytes = ReadWholeFile(fs, path);
  if (!bytes) return bytes.failure();
  return SplitLines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

Result<std::vector<std::string>> SplitLine(std::string_view line) {
  if (line.size() > kMaxLineLength) {
    return Failure{err::kOverflow, "Overflow: the line is longer than " +
                                       std::to_string(kMaxLineLength) + " characters"};
  }
  std::vector<std::string> words(1);
  bool quoted = false;
  bool has_content = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted || (c != ' ' && c != '\t')) {
      words.back() += c;
      has_content = true;
    } else {
      if (has_content) words.emplace_back();
      has_content = false;
    }
  }
  return words;
}

namespace {

bool IsSkipped(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Reads a whole number in base 16 or 8 after "&H" / "&O".
double RadixValue(std::string_view s, std::size_t i, int base) {
  std::uint64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (IsSkipped(c)) continue;
    int d = -1;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    if (d < 0 || d >= base) break;
    if (v > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
      return std::numeric_limits<double>::infinity();
    }
    v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
  }
  return static_cast<double>(v);
}

// The power of ten of the leading nonzero digit of a gathered number text
// ("[sign]digits[.digits][e[sign]digits]"). Only asked when the value does not fit a
// double, so its sign alone tells overflow from underflow. Saturates instead of
// overflowing on absurd exponents.
long long DecimalMagnitude(std::string_view text) {
  constexpr long long kCap = 1'000'000'000'000LL;
  std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  while (i < text.size() && text[i] == '0') ++i;
  long long magnitude = -1;
  if (i < text.size() && text[i] >= '1' && text[i] <= '9') {
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      magnitude = std::min(magnitude + 1, kCap);
    }
  } else if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] == '0'; ++i) magnitude = std::max(magnitude - 1, -kCap);
  }
  std::size_t e = text.find('e');
  if (e == std::string_view::npos) return magnitude;
  bool negative = e + 1 < text.size() && text[e + 1] == '-';
  long long exponent = 0;
  for (std::size_t k = e + 1; k < text.size(); ++k) {
    if (text[k] >= '0' && text[k] <= '9')
      exponent = std::min(exponent * 10 + (text[k] - '0'), kCap);
  }
  return magnitude + (negative ? -exponent : exponent);
}

}  // namespace

double NumberValue(std::string_view s) {
  std::size_t i = 0;
  auto skip = [&] {
    while (i < s.size() && IsSkipped(s[i])) ++i;
  };
  skip();
  if (i < s.size() && s[i] == '&') {
    std::size_t j = i + 1;
    while (j < s.size() && IsSkipped(s[j])) ++j;
    if (j < s.size() && (s[j] == 'H' || s[j] == 'h')) return RadixValue(s, j + 1, 16);
    if (j < s.size() && (s[j] == 'O' || s[j] == 'o')) return RadixValue(s, j + 1, 8);
    return 0;
  }
  // Gather the number's characters without the skipped blanks, then let strtod value it.
  std::string text;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) text += s[i++];
  bool digits = false;
  auto take_digits = [&] {
    for (;; ++i) {
      skip();
      if (i >= s.size() || s[i] < '0' || s[i] > '9') break;
      text += s[i];
      digits = true;
    }
  };
  take_digits();
  skip();
  if (i < s.size() && s[i] == '.') {
    text += '.';
    ++i;
    take_digits();
  }
  if (!digits) return 0;
  skip();
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t mark = i;
    std::string exponent = "e";
    ++i;
    skip();
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) exponent += s[i++];
    bool exp_digits = false;
    for (;; ++i) {
      skip();
      if (i >= s.size() || s[i] < '0' || s[i] > '9') break;
      exponent += s[i];
      exp_digits = true;
    }
    if (exp_digits)
      text += exponent;
    else
      i = mark;
  }
  // from_chars is independent of the user's locale and takes no leading "+".
  bool negative = !text.empty() && text[0] == '-';
  std::size_t first = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  double value = 0;
#if defined(__cpp_lib_to_chars)
  auto [ptr, ec] = std::from_chars(text.data() + first, text.data() + text.size(), value);
  (void)ptr;
  const bool out_of_range = ec == std::errc::result_out_of_range;
#else
  // The older C++ library of the release build reads floating point only through a stream;
  // the classic locale keeps it independent of the user's. Too large fails the stream.
  std::istringstream in(text.substr(first));
  in.imbue(std::locale::classic());
  in >> value;
  const bool out_of_range = in.fail();
#endif
  if (out_of_range) {
    value = DecimalMagnitude(text) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  return LowerAscii(text.substr(text.size() - suffix.size())) == LowerAscii(suffix);
}

namespace {

template <class Id, std::size_t N>
std::optional<Keyword<Id>> Find(const Keyword<Id> (&table)[N], std::string_view lowered) {
  for (const Keyword<Id>& k : table) {
    if (k.name == lowered) return k;
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> WholeNumber(std::string_view word, int bits) {
  const double v = RoundHalfEven(NumberValue(word));
  const double limit = std::ldexp(1.0, bits - 1);
  if (!(v >= -limit && v < limit)) return std::nullopt;
  return v;
}

std::optional<std::size_t> ColourWordOutOfRange(const std::vector<std::string>& words) {
  for (std::size_t i = 1; i <= 3; ++i) {
    if (NumberValue(words[i]) >= 256) return i;
  }
  return std::nullopt;
}

std::optional<HeaderKeyword> FindHeaderKey(std::string_view lowered) {
  return Find(kHeaderKeys, lowered);
}

std::optional<CommandKeyword> FindCommand(std::string_view lowered) {
  return Find(kCommands, lowered);
}

bool MentionsReservedName(const std::vector<std::string>& words,
                          std::string_view credits_file_name) {
  if (words.empty() || LowerAscii(words[0]) == "credits") return false;
  for (const std::string& w : words) {
    if (EndsWithIgnoreCase(w, "control.ini")) return true;
    if (!credits_file_name.empty() && EndsWithIgnoreCase(w, credits_file_name)) return true;
  }
  return false;
}

}  // namespace dfm
