// An installer's program folder in a temp folder, named with a dot ("player.one/") as a
// user's download folder may be, and a platform over the host's file system behind a
// fault-injecting wrapper, with recording dialogs, a counting pump and a clock that moves
// half a second at each look, so waits end at once. The current directory, which
// unpacking changes, is restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/host.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "registry/tree_registry.h"
#include "support/fakes.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"

namespace dfm::testing {

class StubProcess : public Process {
 public:
  Result<std::string> ExecutablePath() override { return std::string("unused"); }
};

class ProgramFolderFixture : public ::testing::Test {
 protected:
  // `machine` is what the registry's HKEY_LOCAL_MACHINE holds.
  explicit ProgramFolderFixture(RegistryHive machine = {}) : registry{std::move(machine), {}} {
    std::filesystem::create_directory(dir.path() / "player.one");
    clock.step = 0.5;
  }

  ScopedCurrentDirectory keep_cwd{std::filesystem::current_path()};
  TempDir dir;
  std::string folder = dir.str() + "player.one/";
  std::string program = folder + "Setup.exe";
  std::unique_ptr<FileSystem> host = MakeHostFileSystem();
  FaultyFileSystem fs{*host};
  RecordingDialogs dialogs;
  CountingPump pump;
  FixedClock clock;
  StubProcess process;
  TreeRegistry registry;
  Platform platform{fs, dialogs, pump, clock, process, registry};
};

}  // namespace dfm::testing
