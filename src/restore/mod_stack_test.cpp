// Mods stacked into one game folder and undone in any order: after each undo the game
// shows what a fresh install of the remaining mods, in their order, shows (its loose
// files, and the archive's live entries with stored name, timestamp and bytes). An undo
// stopped after any of its writes is recovered by the next run and, run again, gives the
// same.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "pff/pff_entries.h"
#include "restore/mod_stack.h"
#include "support/restore_world.h"

namespace dfm::testing {
namespace {

struct Mod {
  std::string control;
  Files files;
};

// e1.pcx is in the archive and readme.txt in G before any mod; m2.pcx comes in two cases.
// Each mod's files lie in a program folder of its own, P<i>, from the start.
const char* const kEntries[] = {"e1.pcx", "m1.pcx", "m2.pcx", "m3.pcx"};
const char* const kLoose[] = {"readme.txt", "a.txt", "b.txt"};

std::string Folder(std::size_t i) {
  return "P" + std::to_string(i) + "/";
}

std::vector<Mod> Generate(std::mt19937& rng) {
  std::vector<Mod> mods(2 + rng() % 5);
  for (std::size_t i = 0; i < mods.size(); ++i) {
    Mod& m = mods[i];
    m.control = "Mod_Name \"Mod " + std::to_string(i) + "\"\r\nDf_Version 3\r\n";
    for (std::string name : kEntries) {
      if (name == "m2.pcx" && i % 2) name = "M2.PCX";
      if (rng() % 2) continue;
      m.control += "Pack " + name + " Kyv_DF3_Location\\Dflw.pff\r\n";
      if (rng() % 2) m.control += "Delete " + name + "\r\n";
      m.files[name] = Fill(static_cast<char>('a' + i), 20 + static_cast<int>(rng() % 90));
    }
    for (const std::string name : kLoose) {
      const unsigned how = rng() % 3;
      if (how == 0) continue;
      m.control += (how == 1 ? "Copy " : "Move ") + name + " Kyv_DF3_Location\r\n";
      m.files[name] = "mod " + std::to_string(i) + " " + name;
    }
  }
  return mods;
}

// Every mod's program folder, as before its install.
void PutSources(World& w, const std::vector<Mod>& mods) {
  for (std::size_t i = 0; i < mods.size(); ++i) {
    LocalDateTime t = w.clock.now;
    t.second = static_cast<int>(10 + i);
    (void)w.mem.MakeDirectory(Folder(i));
    for (const auto& [name, bytes] : mods[i].files) w.mem.Put(Folder(i) + name, bytes, t);
    w.mem.Put(Folder(i) + "Control.ini", mods[i].control);
  }
}

void Install(World& w, std::size_t i) {
  w.window.state().program_folder = Folder(i);
  w.window.ClickInstall();
}

std::string Listed(World& w, const std::string& path) {
  auto time = w.mem.ModifiedTime(path);
  return path + "=" + (w.mem.Exists(path) ? w.mem.Text(path) : "(none)") +
         (time ? " " + FormatTime(*time) : "") + "\n";
}

// The loose files of G and of the program folders, and the archive's live entries.
std::string Game(World& w, const std::vector<Mod>& mods) {
  std::string out;
  for (const std::string name : kLoose) out += Listed(w, "G\\" + name);
  for (std::size_t i = 0; i < mods.size(); ++i) {
    for (const auto& [name, bytes] : mods[i].files) out += Listed(w, Folder(i) + name);
  }
  auto dir = ReadPffArchive(w.mem, "G/Dflw.pff");
  if (!dir) return out + dir.failure().description;
  std::map<std::string, std::string> live;
  for (const PffEntry& e : dir->entries()) {
    if (e.IsDeadSpace()) continue;
    const Bytes data = *ReadPffData(w.mem, "G/Dflw.pff", e);
    live[EntryKey(e.name)] += PffNameText(e.name) + " " + std::to_string(e.timestamp) + " " +
                              std::string(data.begin(), data.end()) + "\n";
  }
  for (const auto& [key, text] : live) out += text;
  return out;
}

std::string Without(const std::vector<Mod>& mods, const std::vector<std::size_t>& live) {
  World fresh(mods[0].control);
  PutSources(fresh, mods);
  for (std::size_t i : live) Install(fresh, i);
  return Game(fresh, mods);
}

TEST(ModStack, AnyInstallUndoneInAnyOrderLeavesWhatTheOthersAloneGive) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 rng(seed);
    const std::vector<Mod> mods = Generate(rng);
    // Even seeds keep the restore points on a volume of their own.
    World w(mods[0].control, 0, true, seed % 2 == 0);
    PutSources(w, mods);
    for (std::size_t i = 0; i < mods.size(); ++i) Install(w, i);
    std::vector<std::string> ids;
    const auto points = w.store().List();
    for (const auto& p : *points) ids.insert(ids.begin(), p.id);
    ASSERT_EQ(ids.size(), mods.size());
    std::vector<std::size_t> live(mods.size());
    std::iota(live.begin(), live.end(), 0);
    // The first undo stopped after each of its writes in turn, recovered and run again.
    const std::size_t first = rng() % live.size();
    std::vector<std::size_t> rest = live;
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(first));
    MemoryFileSystem installed;
    installed.CopyFrom(w.mem);
    for (int k = 0; seed % 5 == 0; ++k) {
      w.mem.CopyFrom(installed);
      w.fs.crash_after = w.fs.changes() + k;
      (void)RestoreStore(w.fs, kStore).Undo(ids[first], false, w.clock.now);
      const bool crashed = w.fs.crashed();
      w.fs.crash_after = -1;
      if (!crashed) break;
      w.KeepSynced();
      w.store().RecoverInterrupted({"G"}, w.clock.now);
      auto again = w.store().Undo(ids[first], false, w.clock.now);
      if (!again) {
        EXPECT_NE(again.failure().description.find("undone already"), std::string::npos);
      }
      ASSERT_EQ(Game(w, mods), Without(mods, rest)) << "seed " << seed << " k " << k;
    }
    if (seed % 5 == 0) live = rest;
    while (!live.empty()) {
      const std::size_t pick = live.size() == mods.size() ? first : rng() % live.size();
      auto undone = w.store().Undo(ids[live[pick]], false, w.clock.now);
      ASSERT_TRUE(undone && undone->complete())
          << "seed " << seed << " "
          << (undone ? ::testing::PrintToString(undone->failures) +
                           ::testing::PrintToString(undone->changed)
                     : undone.failure().description);
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(pick));
      ASSERT_EQ(Game(w, mods), Without(mods, live)) << "seed " << seed;
    }
  }
}

// An undo left short by a file the player changed keeps what it did: once the file is
// back as the install left it, the next undo finishes.
TEST(ModStack, UndoLeftShortFinishesLater) {
  const std::string pack = " Kyv_DF3_Location\\Dflw.pff\r\n";
  const std::vector<Mod> mods{{"Mod_Name \"A\"\r\nPack e1.pcx" + pack + "Pack m1.pcx" + pack +
                                   "Copy a.txt Kyv_DF3_Location\r\n",
                               {{"e1.pcx", "a e1"}, {"m1.pcx", "a m1"}, {"a.txt", "a"}}},
                              {"Mod_Name \"B\"\r\nPack e1.pcx" + pack, {{"e1.pcx", "b e1"}}}};
  World w(mods[0].control);
  PutSources(w, mods);
  Install(w, 0);
  Install(w, 1);
  const std::string id = w.store().List()->back().id;
  w.mem.Put("G\\a.txt", "changed");
  auto first = w.store().Undo(id, false, w.clock.now);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->changed, std::vector<std::string>{"G\\a.txt"});
  w.mem.Put("G\\a.txt", "a");
  auto again = w.store().Undo(id, false, w.clock.now);
  ASSERT_TRUE(again && again->complete());
  EXPECT_EQ(Game(w, mods), Without(mods, {1}));
}

}  // namespace
}  // namespace dfm::testing
