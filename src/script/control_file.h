// Control.ini: how its lines are read and split into words, how number words are
// valued, and which keywords the start-up and the script run know.
#pragma once

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

// Reads a whole control file and splits it into lines.
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

struct Keyword {
  std::string_view name;  // lower case
  int words;              // words the line needs, the keyword included
};

// Keys read by start-up (the settings header).
inline constexpr Keyword kHeaderKeys[] = {
    {"icon", 2},
    {"skin", 2},
    {"credits", 2},
    {"credits_font", 2},
    {"credits_font_size", 2},
    {"credits_color_back", 4},
    {"credits_color_fore", 4},
    {"credits_color_shadow", 4},
    {"mod_name", 2},
    {"window_caption", 2},
    {"df_version", 2},
};

// Commands run by the script run.
inline constexpr Keyword kCommands[] = {
    {"pack", 3},   {"copy", 3}, {"move", 3}, {"convert_jpg_to_tga", 3}, {"create_detail_map", 3},
    {"delete", 2},
};

// Looks a lower-case keyword up; nullopt when the table lacks it.
std::optional<Keyword> FindHeaderKey(std::string_view lowered);
std::optional<Keyword> FindCommand(std::string_view lowered);

// A line the script run refuses: its keyword is not "credits" and one of its words ends
// with "control.ini" or with the credits file name (when one is set), ignoring case.
bool MentionsReservedName(const std::vector<std::string>& words,
                          std::string_view credits_file_name);

}  // namespace dfm
