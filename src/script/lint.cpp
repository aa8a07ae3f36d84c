#include "script/lint.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "base/path_utils.h"
#include "script/control_file.h"

namespace dfm {
namespace {

using Words = std::vector<std::string>;

// A word as messages show it: between single quotes, control bytes as \xNN, long
// words shortened, so a finding stays one readable line.
std::string Quote(std::string_view word) {
  constexpr std::size_t kShown = 48;
  std::size_t shown = word.size();
  if (shown > kShown) {
    shown = kShown;
    // Do not cut a UTF-8 sequence in half.
    while (shown > 0 && (static_cast<unsigned char>(word[shown]) & 0xC0) == 0x80) --shown;
  }
  std::string out = "'";
  for (char c : word.substr(0, shown)) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
    } else {
      out += c;
    }
  }
  if (shown < word.size()) out += "...";
  return out + "'";
}

std::string Count(int n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

LintFinding Make(std::size_t line, LintIssue issue, std::string message) {
  return LintFinding{line, issue, std::move(message)};
}

bool IsRemark(std::string_view keyword) {
  return keyword.substr(0, 2) == "//";
}

// The first word that makes the script run refuse the line, if any.
std::optional<std::string> ReservedNameReason(const Words& words, const std::string& credits) {
  if (words.size() < 2 || !MentionsReservedName(words, credits)) return std::nullopt;
  for (const std::string& w : words) {
    if (EndsWithIgnoreCase(w, "control.ini")) {
      return "word " + Quote(w) + " ends with \"control.ini\": the script run refuses the line";
    }
    if (!credits.empty() && EndsWithIgnoreCase(w, credits)) {
      return "word " + Quote(w) + " ends with the credits file name " + Quote(credits) +
             ": the script run refuses the line";
    }
  }
  return std::nullopt;
}

std::optional<LintFinding> CheckCommand(std::size_t n, const Words& words,
                                        const CommandKeyword& k) {
  int have = static_cast<int>(words.size());
  if (have >= k.words) return std::nullopt;
  return Make(n, LintIssue::kCommandTooShort,
              Quote(words[0]) + " needs " + Count(k.words, "word") + ", the line has " +
                  std::to_string(have) +
                  (have < 2 ? ": the script run skips it" : ": the script run refuses it"));
}

std::optional<LintFinding> CheckNul(std::size_t n, const Words& words) {
  for (const std::string& w : words) {
    if (w.find('\0') == std::string::npos) continue;
    return Make(
        n, LintIssue::kNulInWord,
        "word " + Quote(w) + " holds a NUL byte: the installer refuses it as a bad file name");
  }
  return std::nullopt;
}

// A target that cannot be meant: the line is a word short, and an empty word or the
// remark that follows the source would be taken for the target.
std::optional<LintFinding> CheckTarget(std::size_t n, const Words& words, const CommandKeyword& k) {
  if (k.words != 3) return std::nullopt;
  const std::string& target = words[2];
  if (!target.empty() && !IsRemark(target)) return std::nullopt;
  return Make(n, LintIssue::kTargetNotMeant,
              Quote(words[0]) + " target " +
                  (target.empty() ? std::string("(word 3) is empty")
                                  : Quote(target) + " is a remark marker") +
                  ": the line lacks its target, and the installer would take this word for it");
}

std::optional<LintFinding> CheckColour(std::size_t n, const Words& words) {
  const auto i = ColourWordOutOfRange(words);
  if (!i) return std::nullopt;
  return Make(n, LintIssue::kColourOutOfRange,
              Quote(words[0]) + " value " + Quote(words[*i]) +
                  " is 256 or more: start-up ignores the line");
}

LintFinding Overflow(std::size_t n, const Words& words, int bits) {
  return Make(n, LintIssue::kNumberOverflow,
              Quote(words[0]) + " value " + Quote(words[1]) + " does not fit a " +
                  std::to_string(bits) + "-bit number: start-up reports an error for the line");
}

std::optional<LintFinding> CheckGameVersion(std::size_t n, const Words& words) {
  auto version = WholeNumber(words[1], 16);
  if (!version) return Overflow(n, words, 16);
  if (*version == 0) version = 3;  // 0, or a word that is not a number, means Land Warrior
  if (*version >= 1 && *version <= 3) return std::nullopt;
  return Make(n, LintIssue::kInvalidGameVersion,
              Quote(words[0]) + " value " + Quote(words[1]) + " gives game version " +
                  std::to_string(static_cast<long>(*version)) +
                  ", not 1, 2 or 3: the installer stops at start-up");
}

std::optional<LintFinding> CheckHeader(std::size_t n, const Words& words, const HeaderKeyword& k) {
  int have = static_cast<int>(words.size());
  if (have < k.words) {
    return Make(n, LintIssue::kHeaderTooShort,
                Quote(words[0]) + " needs " + Count(k.words, "word") + ", the line has " +
                    std::to_string(have) + ": start-up passes it over");
  }
  if (k.words == 4) return CheckColour(n, words);
  if (k.id == HeaderKey::kGameVersion) return CheckGameVersion(n, words);
  if (k.id == HeaderKey::kCreditsFontSize && !WholeNumber(words[1], 32))
    return Overflow(n, words, 32);
  return std::nullopt;
}

std::optional<LintFinding> CheckLine(std::size_t n, const std::string& line,
                                     const std::string& credits) {
  auto split = SplitLine(line);
  if (!split) {
    return Make(n, LintIssue::kLineTooLong,
                "line has " + std::to_string(line.size()) + " characters, more than " +
                    std::to_string(kMaxLineLength) +
                    ": the installer reports an error and runs nothing for it");
  }
  if (line.find('\n') != std::string::npos) {
    return Make(n, LintIssue::kLineFeedInLine,
                "line feed without carriage return: the installer ends lines only at CR LF "
                "or CR, so the text after it belongs to this line (save the file with CR LF "
                "line ends)");
  }
  const Words& words = *split;
  if (auto reason = ReservedNameReason(words, credits)) {
    return Make(n, LintIssue::kReservedName, *reason);
  }
  const std::string keyword = LowerAscii(words[0]);
  if (keyword.empty() || IsRemark(keyword)) return std::nullopt;
  if (auto k = FindCommand(keyword)) {
    if (auto f = CheckCommand(n, words, *k)) return f;
    if (auto f = CheckNul(n, words)) return f;
    return CheckTarget(n, words, *k);
  }
  if (auto k = FindHeaderKey(keyword)) {
    if (auto f = CheckNul(n, words)) return f;
    return CheckHeader(n, words, *k);
  }
  return Make(n, LintIssue::kUnknownKeyword,
              "unknown keyword " + Quote(words[0]) + ": both readers ignore the line");
}

// Whether some line sets the game version (a df_version line with two or more words).
bool HasGameVersion(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    auto words = SplitLine(line);
    if (words && words->size() >= 2 && LowerAscii((*words)[0]) == "df_version") return true;
  }
  return false;
}

}  // namespace

std::string CreditsFileName(const std::vector<std::string>& lines, PathStyle style) {
  std::string name;
  for (const std::string& line : lines) {
    auto words = SplitLine(line);
    if (words && words->size() >= 2 && LowerAscii((*words)[0]) == "credits") {
      name = GetFileName((*words)[1], style);
    }
  }
  return name;
}

std::vector<LintFinding> LintControlLines(const std::vector<std::string>& lines, PathStyle style) {
  const std::string credits = CreditsFileName(lines, style);
  std::vector<LintFinding> findings;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto f = CheckLine(i + 1, lines[i], credits)) findings.push_back(std::move(*f));
  }
  if (!HasGameVersion(lines)) {
    findings.push_back(Make(0, LintIssue::kNoGameVersion,
                            "no df_version line with a value: the installer stops at start-up"));
  }
  return findings;
}

}  // namespace dfm
