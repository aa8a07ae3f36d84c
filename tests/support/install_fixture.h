// A main window ready to install: a real program folder (the current directory) and a
// real Land Warrior folder in temp folders, the host's file system behind a
// fault-injecting wrapper, recording dialogs and view, a fixed clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/platform.h"
#include "registry/tree_registry.h"
#include "script/control_file.h"
#include "shell/main_window.h"
#include "support/fakes.h"
#include "support/recording_main_view.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"

namespace dfm::testing {

class InstallFixture : public ::testing::Test {
 protected:
  InstallFixture() {
    WindowState& s = window.state();
    s.program_folder = program.str();
    s.df_version = 3;
    s.game_folders[3] = GameFolder();
    s.controls.change.visible = true;  // as start-up leaves the window
    s.controls.install.enabled = true;
  }

  // The Land Warrior folder as the registry would give it: no trailing separator.
  std::string GameFolder() const { return game.path().string(); }

  // Writes Control.ini into the program folder and counts its lines as start-up does.
  void WriteControl(const std::string& text) {
    program.Write("Control.ini", text);
    window.state().control_line_count = static_cast<std::int32_t>(SplitLines(text).size());
  }

  // A whole log: the header for the fixed clock and one line per entry.
  static std::string LogOf(const std::vector<std::string>& entries) {
    std::string out =
        "Kyv Obrik's DF Mod Installer\r\nLog Created On Sunday The 06 Of December At 15:42:07\r\n";
    for (const auto& e : entries) out += e + "\r\n";
    return out;
  }
  std::string Log() const { return program.Read("InstallLog.txt"); }
  const std::vector<std::string>& Status() const { return window.controls().status; }

  // The three summary entries.
  static std::vector<std::string> Summary(int performed, int errors) {
    return {std::to_string(performed) + " Operations Performed!",
            std::to_string(errors) + " Errors Occurred!", "Installation Completed!"};
  }
  static std::vector<std::string> Join(std::vector<std::string> a,
                                       const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  static std::string NotFound(const std::string& path) {
    return "Error: File Not Found! ( " + path + " ), Operation could not be completed!";
  }

  TempDir program;
  TempDir game;
  ScopedCurrentDirectory cwd{program.path()};
  std::unique_ptr<FileSystem> host_fs = MakeHostFileSystem();
  FaultyFileSystem fs{*host_fs};
  RecordingDialogs dialogs;
  CountingPump pump;
  FixedClock clock;
  std::unique_ptr<Process> process = MakeHostProcess();
  TreeRegistry registry{{}, {}};  // an empty registry: the run never reads it
  Platform platform{fs, dialogs, pump, clock, *process, registry};
  RecordingMainView view;
  // Targets keep the separators Control.ini gives them, as the installer shows them on
  // Windows: these tests compare its texts byte for byte.
  MainWindow window{platform, view, PathStyle::kWindows};
};

}  // namespace dfm::testing
