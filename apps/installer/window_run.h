// The installer's window run, on the host's toolkit.
#pragma once

#include <optional>
#include <string>

#include "dfmod/headless_run.h"

namespace dfm::installer {

// Loads `program_file` in the main window and runs the window until the program ends;
// nullopt when no window can be opened.
std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options);

}  // namespace dfm::installer
