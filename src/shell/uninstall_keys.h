// What the installer writes into Windows' list of installed programs for each install,
// and how that list is kept in step with the restore points: a key is written once an
// install's restore point is complete, and goes once the point is undone or gone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/uninstall_list.h"
#include "restore/journal.h"
#include "restore/restore_points.h"
#include "shell/window_state.h"

namespace dfm {

inline constexpr char kPublisher[] = "DF Mod Installer";
// The copy of the installer program the keys' uninstall strings run, kept once per user
// in the folder that holds the folder of restore points.
inline constexpr char kProgramCopyName[] = "DFModInstaller.exe";
// The value naming the folder of restore points a key's install belongs to.
inline constexpr char kRestoreFolderValue[] = "DFModRestoreFolder";
// A program's version is kept in its file behind this mark (program.cpp writes it), so
// a copy's version can be read without running it.
inline constexpr char kVersionMark[] = "DFMod-version=";

// The copy of the program the uninstall strings run, and this program's version.
struct UninstallProgram {
  std::string path;
  std::string version;
};

// "<mod> (Delta Force mod)", for game 2 "(Delta Force 2 mod)". A mod whose installer sets
// no name (the window kept its initial caption) is named by its installer's file name.
std::string UninstallDisplayName(const std::string& mod, int game, const std::string& installer);

// The bytes an install wrote, its EstimatedSize: the length each loose file it created or
// changed was left with, and the data of each archive entry it added or replaced (the
// archive counts by those entries, not by its whole length).
std::uint64_t BytesWritten(const std::vector<JournalRecord>& records);

// The key of the complete install `point` into `game_folder` (game 1, 2 or 3), whose
// restore point lies in `restore_folder`.
UninstallKey UninstallKeyFor(const RestorePointInfo& point, std::uint64_t bytes, int game,
                             const std::string& game_folder, const std::string& restore_folder,
                             const UninstallProgram& program);

// Registers the install `id` of the folder of restore points `restore_folder`. Refuses
// (err::kInvalidProcedureCall) a restore point that is not complete: the key must never
// promise an undo that the point cannot give.
Status RegisterInstall(UninstallList& list, FileSystem& fs, const std::string& restore_folder,
                       const std::string& id, int game, const std::string& game_folder,
                       const UninstallProgram& program);

// Deletes the keys whose restore point is gone or no longer live (undone, rolled back).
// A key whose folder of restore points cannot be read stays, as does a damaged point's.
void PruneUninstallList(UninstallList& list, FileSystem& fs);

// The version a program file carries behind kVersionMark; empty when none.
std::string ProgramVersionIn(const Bytes& program);
// Whether dotted version `a` is older than `b` ("0.9.2" < "0.10"); an empty one is oldest.
bool IsOlderVersion(const std::string& a, const std::string& b);

// Keeps the program copy `copy` up to date with this program `self` of `version`: the
// copy is written when missing or older, as the program without a mod's payload, under a
// temporary name first and then renamed over the old one.
Status KeepProgramCopy(FileSystem& fs, const std::string& self, const std::string& copy,
                       const std::string& version);

}  // namespace dfm
