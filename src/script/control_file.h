// Control.ini: how its lines are read and split into words, how number words are
// valued, and which keywords the start-up and the script run know.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/result.h"
#include "base/rounding.h"
#include "base/text_lines.h"
#include "platform/file_system.h"

namespace dfm {

// The longest line the tokenizer takes; longer lines are errors of that line.
inline constexpr std::size_t kMaxLineLength = 32766;

// The largest control or credits file read: a mod's script of 100,000 lines is a few
// megabytes, and a larger file (a payload entry that inflates to gigabytes) would only
// exhaust the memory.
inline constexpr std::uint64_t kMaxControlFileBytes = std::uint64_t{16} << 20;

// Reads a whole control file and splits it into lines; one larger than
// kMaxControlFileBytes fails with err::kOutOfMemory before anything is read.
Result<std::vector<std::string>> ReadControlLines(FileSystem& fs, const std::string& path);

// The words of one line (never empty; word 0 is the keyword). Double quotes group and
// are dropped; blanks (space, tab) outside quotes separate; blanks after the last word
// give one trailing empty word. Fails with err::kOverflow for lines longer than
// kMaxLineLength.
Result<std::vector<std::string>> SplitLine(std::string_view line);

// The number a word begins with: spaces, tabs and line feeds skipped anywhere; sign,
// digits, fraction, exponent (E or D); "&H" hexadecimal and "&O" octal whole numbers;
// 0 when the word does not begin with a number. Too large values give +/-infinity.
double NumberValue(std::string_view word);

// Whether `text` ends with `suffix`, without regard to ASCII letter case.
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

// The keys of the settings header, which start-up reads, and the install commands, which
// the script run runs: one row each, read by start-up, the run and lint alike.
enum class HeaderKey {
  kIcon,
  kSkin,
  kCredits,
  kCreditsFont,
  kCreditsFontSize,
  kCreditsColourBack,
  kCreditsColourFore,
  kCreditsColourShadow,
  kModName,
  kWindowCaption,
  kGameVersion,
};
enum class CommandKey { kPack, kCopy, kMove, kConvertJpgToTga, kCreateDetailMap, kDelete };

template <class Id>
struct Keyword {
  std::string_view name;  // lower case
  int words;              // words the line needs, the keyword included
  Id id;
};
using HeaderKeyword = Keyword<HeaderKey>;
using CommandKeyword = Keyword<CommandKey>;

inline constexpr HeaderKeyword kHeaderKeys[] = {
    {"icon", 2, HeaderKey::kIcon},
    {"skin", 2, HeaderKey::kSkin},
    {"credits", 2, HeaderKey::kCredits},
    {"credits_font", 2, HeaderKey::kCreditsFont},
    {"credits_font_size", 2, HeaderKey::kCreditsFontSize},
    {"credits_color_back", 4, HeaderKey::kCreditsColourBack},
    {"credits_color_fore", 4, HeaderKey::kCreditsColourFore},
    {"credits_color_shadow", 4, HeaderKey::kCreditsColourShadow},
    {"mod_name", 2, HeaderKey::kModName},
    {"window_caption", 2, HeaderKey::kWindowCaption},
    {"df_version", 2, HeaderKey::kGameVersion},
};

inline constexpr CommandKeyword kCommands[] = {
    {"pack", 3, CommandKey::kPack},
    {"copy", 3, CommandKey::kCopy},
    {"move", 3, CommandKey::kMove},
    {"convert_jpg_to_tga", 3, CommandKey::kConvertJpgToTga},
    {"create_detail_map", 3, CommandKey::kCreateDetailMap},
    {"delete", 2, CommandKey::kDelete},
};

// The rules of the header's values, as start-up applies them and lint reports them.
// The whole number of `word` (rounded half to even) when it fits a signed `bits`-bit
// number.
std::optional<double> WholeNumber(std::string_view word, int bits);
// Of a colour line's three values (words 1 to 3), the first that is 256 or more: start-up
// ignores such a line. nullopt when all are below.
std::optional<std::size_t> ColourWordOutOfRange(const std::vector<std::string>& words);

// Looks a lower-case keyword up; nullopt when the table lacks it.
std::optional<HeaderKeyword> FindHeaderKey(std::string_view lowered);
std::optional<CommandKeyword> FindCommand(std::string_view lowered);

// A line the script run refuses: its keyword is not "credits" and one of its words ends
// with "control.ini" or with the credits file name (when one is set), ignoring case.
bool MentionsReservedName(const std::vector<std::string>& words,
                          std::string_view credits_file_name);

}  // namespace dfm
