// The installer program's installed-mods window: "--installed-mods" opens it, "--remove
// ID" opens it on one install and asks to remove it, and "/quiet" after "--remove ID"
// removes that install without a window (the uninstall list's quiet route).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/program.h"

namespace dfm::cli {

struct ModsOptions {
  bool window = false;      // --installed-mods or --remove
  std::string remove;       // --remove ID
  bool quiet = false;       // /quiet
  std::string restore_dir;  // --restore-dir DIR; empty: the host's folder
};

inline constexpr char kModsOptionsHelp[] =
    "  --installed-mods      the window of installed mods, to see and remove them\n"
    "  --remove ID           that window, asking to remove the install ID; with /quiet,\n"
    "                        removes it without a window (files changed since stay)\n";

// Whether `args` ask for the installed-mods window; `problem` is set for bad usage.
bool ParseModsOptions(const Args& args, ModsOptions& options, std::string& problem);

// Runs the window on the folder of restore points `folder`, opened on install `id` when
// one is given; nullopt when no window can be opened.
using ModsWindowRun =
    std::function<std::optional<int>(const std::string& folder, const std::string& id)>;

// The installed-mods window, or the quiet removal; returns the exit code.
int InstalledModsMain(const ModsOptions& options, Io& io, const ModsWindowRun& window);

}  // namespace dfm::cli
