// Start-up's second phase: the settings header of Control.ini. The reading itself is a
// part of the main window's presenter (MainWindow::RunStartUp, in start_up.cpp); the values
// and messages it works with are here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "shell/window_state.h"

namespace dfm {

// The program's own title: what message boxes without a title of their own show.
inline constexpr char kProgramTitle[] = "DF Mod Installer";

// Where the load sequence left the window.
enum class StartUpOutcome {
  kReady,          // Install is enabled
  kNoControlFile,  // the program folder holds no Control.ini: the window stays unusable
  kEnded,          // no valid game version: the program ended
};

// "Error: File Not Found! ( <path> ), Installation could not be completed!"
std::string MissingControlFileText(const std::string& control_path);

// "Invalid Or Missing Delta Force Version In Control.ini!" CR LF "Installer Will Exit!"
std::string InvalidVersionText();

// "An Error Occurred Processing The Control File On Line #<line>, Error: <description>
// #<code>"
std::string ControlFileErrorText(std::int32_t line, const Failure& failure);

// The whole number of a number word (rounded half to even) when it fits a signed field of
// 16 or 32 bits; err::kOverflow ("Overflow") otherwise.
Result<std::int16_t> WholeNumber16(std::string_view word);
Result<std::int32_t> WholeNumber32(std::string_view word);

// The game version a df_version value selects: its whole number, where 0 (also what a
// word that is no number gives) means 3, Land Warrior. Any other value is returned as it
// is, for the caller to refuse.
Result<std::int16_t> GameVersionOf(std::string_view word);

// The colour of a colour line (key, red, green, blue): nullopt when any of the three
// values is 256 or more, and the line is then ignored. Whole numbers below 0 count as 0
// and those that round up to 256 (255.5 and above) as 255.
std::optional<Rgb> ColourOf(const std::vector<std::string>& words);

}  // namespace dfm
