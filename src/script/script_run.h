// The install run: reads Control.ini from its first line to its last, runs every command
// line, reports each step, moves the progress bar, counts operations and errors, and
// ends with the summary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "script/run_context.h"

namespace dfm {

inline constexpr char kControlFileName[] = "Control.ini";

enum class RunOutcome {
  kCompleted,     // the summary was given
  kAborted,       // the user stopped at the critical-file question; the window is restored
  kProgramEnded,  // the user confirmed quitting; the program must end now
};

// How a run ended, with its counters (operations counted, errors among them).
struct RunResult {
  RunOutcome outcome = RunOutcome::kCompleted;
  std::int32_t operations = 0;
  std::int32_t errors = 0;
};

// Whether a line of two or more words may run: false when its keyword is not "credits"
// and one of its words ends with "control.ini" or with the credits file name (letter
// case ignored).
bool IsLineAllowed(const std::vector<std::string>& words, std::string_view credits_file);

// The progress bar's width after line `line` of `line_count`: line / line_count of
// `full_width`, rounded half to even. Fails (division by zero) when line_count is 0.
Result<int> ProgressWidth(std::int32_t line, std::int32_t line_count, int full_width);

// Runs the install script. Control.ini must exist in the program folder and is read
// from the current directory, which start-up makes the program folder.
RunResult RunInstallScript(const RunEnvironment& env);

}  // namespace dfm
