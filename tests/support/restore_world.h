// A game folder G with one archive, a program folder with a mod's files, and a main
// window that installs into G keeping restore points in kStore: the restore points'
// tests install, stop, undo and compare through it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pff/pff_archive.h"
#include "platform/host.h"
#include "registry/tree_registry.h"
#include "restore/restore_points.h"
#include "shell/main_window.h"
#include "support/fakes.h"
#include "support/jpeg_samples.h"
#include "support/memory_file_system.h"
#include "support/memory_platform.h"
#include "support/pff_bytes.h"
#include "support/recording_main_view.h"

namespace dfm::testing {

using Files = std::map<std::string, std::string>;
inline constexpr char kStore[] = "M/R";

inline std::string Fill(char c, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>(c + i % 7);
  return s;
}

// The game folder G and the program folder (the current folder) before the install.
// The archive holds dead space of 50 and of 300 bytes between its entries, so the adds
// below reuse dead space whole, use its tail, and append.
inline const Files& Original(int sources) {
  static std::map<int, Files> made;
  if (made.count(sources)) return made[sources];
  std::string pff = PffHeaderBytes(5, 32, 670) + Fill('a', 100) + Fill('b', 50) + Fill('c', 100) +
                    Fill('d', 300) + Fill('e', 100);
  const char* names[] = {"e0.pcx", "<DEAD SPACE>", "e1.pcx", "<DEAD SPACE>", "e2.pcx"};
  const int at[] = {20, 120, 170, 270, 570}, size[] = {100, 50, 100, 300, 100};
  for (int i = 0; i < 5; ++i) pff += PffRecordBytes(i % 2, at[i], size[i], 7, names[i]);
  Files f{{"G/Dflw.pff", pff + PffTrailerBytes()},
          {"G\\readme.txt", "old readme"},
          {"e1.pcx", Fill('x', 50)},
          {"n1.pcx", Fill('y', 120)},
          {"big.pcx", Fill('z', 400)},
          {"readme.txt", "new readme"},
          {"new.txt", "new"},
          {"moved.txt", "moved"},
          {"gone.txt", "gone"}};
  const Bytes jpeg = SampleJpeg(16, 8);
  f["pic.jpg"] = std::string(jpeg.begin(), jpeg.end());
  for (int i = 0; i < sources; ++i) f["f" + std::to_string(i) + ".pcx"] = Fill('f', 13 * i % 150);
  return made[sources] = f;
}

inline std::string Control(int sources) {
  std::string c = "Mod_Name \"Round Trip\"\r\nDf_Version 3\r\n";
  for (const char* name : {"e1.pcx", "n1.pcx", "big.pcx"})
    c += std::string("Pack ") + name + " Kyv_DF3_Location\\Dflw.pff\r\n";
  for (int i = 0; i < 2 * sources; ++i)
    c += "Pack f" + std::to_string(i % sources) + ".pcx Kyv_DF3_Location\\Dflw.pff\r\n";
  for (int i = 0; i < sources; ++i) c += "Delete f" + std::to_string(i) + ".pcx\r\n";
  return c +
         "Copy readme.txt Kyv_DF3_Location\r\nCopy new.txt Kyv_DF3_Location\r\n"
         "Move moved.txt Kyv_DF3_Location\r\nDelete gone.txt\r\n"
         "Convert_Jpg_To_Tga pic.jpg pic.tga\r\n"
         "Create_Detail_Map pic.tga Kyv_DF3_Location\\pic_m.pcx\r\n"
         "Convert_Jpg_To_Tga pic.jpg Kyv_DF3_Location\\pic.tga\r\n";
}
// Files the install creates.
inline const char* const kMade[] = {"G\\new.txt", "G\\moved.txt", "pic.tga", "G/pic_m.pcx",
                                    "G/pic.tga"};

// A main window ready to install the mod into G, with restore points in kStore.
struct World : MemoryPlatform {
  explicit World(const std::string& control, int sources = 0, bool restore = true,
                 bool two_volumes = false) {
    if (two_volumes) fs.volume = "M/";
    for (const auto& [path, bytes] : Original(sources)) mem.Put(path, bytes);
    mem.Put("Control.ini", control);
    (void)mem.MakeDirectory("G");
    WindowState& s = window.state();
    s.df_version = 3;
    s.game_folders[3] = "G";
    s.control_line_count = 200;
    s.controls.mod_name = "Round Trip";
    window.set_restore_policy({restore ? RestorePolicy::Mode::kRequire : RestorePolicy::Mode::kOff,
                               kStore, "Control.ini"});
  }
  // Differences from the original files (bytes and times), as "path" lines.
  std::vector<std::string> Changed(int sources) {
    std::vector<std::string> out;
    for (const auto& [path, bytes] : Original(sources)) {
      auto time = mem.ModifiedTime(path);
      if (mem.Text(path) != bytes || !time || FormatTime(*time) != FormatTime(mem.mtime))
        out.push_back(path);
    }
    for (const char* made : kMade)
      if (mem.Exists(made)) out.push_back(made);
    if (auto dir = ReadPffArchive(mem, "G/Dflw.pff"); !dir || !dir->CheckDataExtents())
      out.push_back("unreadable archive");
    return out;
  }
  RestoreStore store() { return RestoreStore(mem, kStore); }
  std::string GameFiles() {
    std::string out;
    for (const auto& [path, bytes] : Original(0)) out += path + "=" + mem.Text(path) + "\n";
    for (const char* made : kMade) out += std::string(made) + "=" + mem.Text(made) + "\n";
    return out;
  }
  // A crash keeps of each journal what was synced.
  void KeepSynced() {
    for (const auto& [path, size] : fs.synced) {
      if (path.find(".bin") != std::string::npos) mem.Put(path, mem.Text(path).substr(0, size));
    }
  }

  RecordingMainView view;
  MainWindow window{platform, view};
};

}  // namespace dfm::testing
