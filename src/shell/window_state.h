// The state the main window holds for the whole run of the program: the target game,
// the game folders, the control file's line count, the install flags, the credits
// settings, and what each control shows. The presenter (MainWindow) changes it; a view
// renders it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "credits/credits_settings.h"
#include "shell/game_folders.h"

namespace dfm {

// Whether `version` names one of the three games.
inline bool IsGameVersion(int version) {
  return version >= 1 && version <= 3;
}

// False for "Nothing" and for a number that is no game version. An empty folder (a
// registry key without a readable path) counts as known.
inline bool IsFolderKnown(const GameFolders& folders, int version) {
  return IsGameVersion(version) && folders[version] != kNothing;
}

// The mod name label's caption until a mod_name line replaces it.
inline constexpr char kInitialModName[] = "Please Wait, Extracting Files!";

enum class MousePointer { kDefault, kWait };

struct ButtonState {
  std::string caption;
  bool visible = true;
  bool enabled = true;
};

// Window heights and positions in twips.
inline constexpr int kCollapsedHeight = 2115;
inline constexpr int kExpandedHeight = 4710;
inline constexpr int kStatusFrameHidden = -20000;
inline constexpr int kStatusListWidth = 6975;

// What the controls show, starting from the window's initial layout.
struct MainControls {
  std::string title = "Kyv Obrik's DF Mod Installer";
  int window_height = kCollapsedHeight;
  MousePointer pointer = MousePointer::kDefault;
  std::string mod_name = kInitialModName;       // lblModName
  std::string folder;                           // lblInstallationFolder
  ButtonState about{"About", false, true};      // cmdAbout
  ButtonState change{"Change", false, true};    // cmdChange
  ButtonState install{"Install", true, false};  // cmdInstall
  int status_frame_left = kStatusFrameHidden;   // fraStatusLog
  std::vector<std::string> status;              // lstStatus entries
  int status_list_width = kStatusListWidth;     // lstStatus
  int progress_width = 15;                      // shpProgress
};

// The main window's state.
struct WindowState {
  std::int16_t df_version = 0;  // 1..3 once start-up read a valid df_version line
  GameFolders game_folders;
  std::int32_t control_line_count = 0;  // lines of Control.ini that start-up read
  bool installing = false;
  bool quit_requested = false;
  CreditsSettings credits;
  // The folder the mod was extracted into, with a trailing separator; every source file
  // of a command is looked up here.
  std::string program_folder;
  MainControls controls;
};

}  // namespace dfm
