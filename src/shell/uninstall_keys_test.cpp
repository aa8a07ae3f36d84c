// Windows' uninstall list over restore points in memory: the key of a complete install
// with every value, written only once its restore point is complete; keys of installs
// undone or gone pruned; the program copy replaced by newer versions only.
#include "shell/uninstall_keys.h"

#include <gtest/gtest.h>

#include "shell/payload.h"
#include "support/recording_uninstall_list.h"
#include "support/restore_world.h"

namespace dfm::testing {
namespace {

const UninstallProgram kProgram{"M\\DFModInstaller.exe", "0.2.0"};

TEST(UninstallKeys, ACompleteInstallIsRegisteredWithEveryValue) {
  World w(Control(0));
  UninstallKeys keys;
  RecordingUninstallList list(keys);
  RestorePolicy policy{RestorePolicy::Mode::kRequire, kStore, "Control.ini"};
  policy.completed = [&](const std::string& id, int game, const std::string& folder) {
    EXPECT_EQ(w.store().List()->front().state, RestorePointInfo::State::kComplete);
    return RegisterInstall(list, w.fs, kStore, id, game, folder, kProgram);
  };
  w.window.set_restore_policy(policy);
  w.window.ClickInstall();
  const std::string id = "20261206-154207";
  ASSERT_EQ(keys.calls, std::vector<std::string>{"register " + id});
  // The loose files as the install left them, and the three entries it packed (50 + 120
  // + 400 bytes); the archive itself counts by those entries only.
  std::uint64_t bytes = 570;
  for (const char* f :
       {"G\\readme.txt", "G\\new.txt", "G\\moved.txt", "G/pic_m.pcx", "G/pic.tga", "pic.tga"})
    bytes += *w.mem.FileLength(f);
  EXPECT_EQ(BytesWritten(ReadJournal(w.fs, "M/R/" + id + "/journal.bin")->records), bytes);
  std::string values;
  for (const auto& [name, text] : keys.keys[id].strings) values += name + "=" + text + "\n";
  for (const auto& [name, n] : keys.keys[id].numbers)
    values += name + "=" + std::to_string(n) + "\n";
  const std::string remove = "\"M\\DFModInstaller.exe\" --remove " + id + " --restore-dir \"M/R\"";
  EXPECT_EQ(values,
            "DisplayName=Round Trip (Delta Force mod)\nDisplayVersion=0.2.0\n"
            "Publisher=DF Mod Installer\nInstallDate=20261206\nInstallLocation=G\n"
            "DisplayIcon=M\\DFModInstaller.exe,0\nUninstallString=" +
                remove + "\nQuietUninstallString=" + remove +
                " /quiet\nDFModRestoreFolder=M/R\n"
                "EstimatedSize=3\nNoModify=1\nNoRepair=1\n");  // 2 KB and a part
  // A restore point that is not complete is never registered.
  auto open = w.store().Begin({"Half", "S.exe", "", {"G"}}, w.clock.now);
  EXPECT_EQ(RegisterInstall(list, w.fs, kStore, (*open)->id(), 3, "G", kProgram).failure(),
            (Failure{err::kInvalidProcedureCall,
                     "The restore point " + (*open)->id() + " is not complete"}));
  EXPECT_EQ(keys.calls.size(), 1u);
  // Game 2 is named; a mod without a name of its own goes by its installer's.
  for (const auto& [mod, game, name] : {std::tuple{"Dry", 2, "Dry (Delta Force 2 mod)"},
                                        {kInitialModName, 3, "DrySetup (Delta Force mod)"}})
    EXPECT_EQ(UninstallDisplayName(mod, game, "D/DrySetup.EXE"), name);
}

// Keys of installs undone, rolled back or gone go; a live install's, a damaged one's and
// those of a folder that cannot be read stay.
TEST(UninstallKeys, PruningDeletesTheKeysOfInstallsUndoneOrGone) {
  MemoryPlatform p;
  (void)p.mem.MakeDirectory("G");
  std::vector<std::string> ids;
  for (const char* mod : {"Live", "Undone", "Damaged"}) {
    ++p.clock.now.minute;
    auto point = RestoreStore(p.fs, kStore).Begin({mod, "S.exe", "", {"G"}}, p.clock.now);
    EXPECT_TRUE(WriteWholeFile((*point)->fs(), std::string("G/") + mod, Bytes{'x'}));
    EXPECT_TRUE((*point)->Finish(p.clock.now));
    ids.push_back((*point)->id());
  }
  EXPECT_TRUE(RestoreStore(p.fs, kStore).Undo(ids[1], false, p.clock.now));
  p.mem.Put("M/R/" + ids[2] + "/journal.bin", "torn");
  p.fs.Fail({"isdir", "X", 0, -1, {err::kPathFileAccessError, "Path/File access error: X"}});
  UninstallKeys keys;
  RecordingUninstallList list(keys);
  const std::string folders[][2] = {{ids[0], kStore}, {ids[1], kStore},   {ids[2], kStore},
                                    {"gone", kStore}, {"elsewhere", "X"}, {"unnamed", ""}};
  for (const auto& [id, folder] : folders) keys.keys[id] = {id, {{kRestoreFolderValue, folder}}};
  PruneUninstallList(list, p.fs);
  EXPECT_EQ(keys.calls, (std::vector<std::string>{"remove " + ids[1], "remove gone"}));
}

// The copy is written when missing or older, without a mod's payload.
TEST(UninstallKeys, TheProgramCopyIsReplacedByNewerVersionsOnly) {
  const std::string self = std::string("MZ stub ") + kVersionMark + "0.2.0" + '\0';
  auto v = [](const char* version) { return std::string(kVersionMark) + version + '\0'; };
  const std::pair<std::string, std::string> rows[] = {{"", self},
                                                      {v("") + v("0.1.9"), self},
                                                      {v("0.2.0"), v("0.2.0")},
                                                      {v("0.10.0"), v("0.10.0")},
                                                      {"no mark", self}};
  for (const auto& [before, after] : rows) {
    MemoryPlatform p;
    (void)p.mem.MakeDirectory("M");
    const Bytes zip = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(WriteInstaller(p.fs, "M/Setup.exe", Bytes(self.begin(), self.end()),
                               Bytes(kLibrarySlotsSize), zip));
    if (!before.empty()) p.mem.Put("M/DFModInstaller.exe", before);
    EXPECT_TRUE(KeepProgramCopy(p.fs, "M/Setup.exe", "M/DFModInstaller.exe", "0.2.0"));
    EXPECT_EQ(p.mem.Text("M/DFModInstaller.exe"), after) << before;
    EXPECT_EQ(p.mem.ListDirectory("M")->size(), 2u);  // no temporary file left
  }
}

}  // namespace
}  // namespace dfm::testing
