// The open-archive table of the PFF install: one slot per PFF archive opened during a
// run, holding that archive's header and directory in memory, and the operation that
// adds one file from disk into an opened archive.
//
// Typical use, once per pack line (the table lives as long as the program):
//
//   int handle = table.OpenFile(archive_path);      // reads header + directory once
//   pump.ProcessPendingEvents();
//   Status added = table.AddFile(handle, source_path);
//
// Every failure has been shown to the user in a message box (OK button, no icon, default
// title) by the time either call returns. The Status of AddFile tells the caller whether
// the file went in: the pack command counts and logs a failed add as the line's failure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/path_style.h"
#include "base/result.h"
#include "pff/pff_archive.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"

namespace dfm {

// One opened archive.
struct PffSlot {
  std::string path;        // exactly as first given to OpenFile
  std::string key;         // the path folded for lookup (case, separators, "." and "..")
  Status read_status;      // the last reading's outcome; a failed slot is never written
  PffDirectory directory;  // the archive's state, authoritative for every later add
};

class PffArchiveTable {
 public:
  static constexpr int kNoSlot = -1;
  static constexpr int kMaxSlots = 32768;  // handles are 16-bit

  // The table keeps references; all three must outlive it. `style` decides which
  // characters end the folder part of a source path (GetFileName).
  PffArchiveTable(FileSystem& fs, Dialogs& dialogs, EventPump& pump,
                  PathStyle style = HostPathStyle());

  // Returns the handle (0 .. kMaxSlots - 1) of the archive's slot. Paths that differ only
  // in letter case, in "\" versus "/", in doubled separators or in "." and
  // ".." steps share one slot. A known slot is returned without touching the disk,
  // unless its reading failed: then the archive is read again. A new slot reads the
  // archive's header and directory (UpdatePff); a failed reading shows
  // "Error in UpdatePff" + CR LF + the failure's description and still returns the
  // slot, which AddFile then refuses. Until some archive has been read without failure
  // the table holds only the slot of the latest call (handle 0).
  // Returns kNoSlot after showing "Error in OpenFile" + CR LF + "Overflow" when the
  // table is full.
  int OpenFile(const std::string& path);

  // Adds the file at `source_path` to the archive of `handle`: yields to the event pump
  // once, replaces an entry of the same name (letter case ignored), reuses dead space
  // first fit, and rewrites the header, the whole directory and the trailer in place
  // (the archive is never truncated or read beyond its header and directory).
  // On failure nothing stays changed in memory, and it shows one message box:
  //   "Error in GetFileHeader" + CR LF + description, when the source's length or time
  //   cannot be read (nothing is written), or else
  //   "Error in AddFile, File: \"" + source_path + "\"" + CR LF + description, for an
  //   unknown handle, a slot whose reading failed, an unreadable source, an overflow of
  //   a count or offset, or a failed write (the archive may then hold some of the
  //   writes; the header is written last).
  // The failure is returned too.
  Status AddFile(int handle, const std::string& source_path);

  // The new directory record for a file: its name (GetFileName, padded or cut to 16
  // bytes), length and timestamp, DeadFlag and DataOffset 0. On failure shows
  // "Error in GetFileHeader" + CR LF + the description, and returns the failure.
  Result<PffEntry> GetFileHeader(const std::string& path);

  // Told of every add that went in: the archive's path, the entry and where its data went.
  using AddObserver = std::function<void(const std::string& archive, const PffEntry& entry,
                                         const PffPlacement& placement)>;
  void set_add_observer(AddObserver observer) { observer_ = std::move(observer); }
  // Told before an add is written, of the live entry it replaces (nullptr: none) and its
  // bytes, read from the archive. A failure stops the add before anything is written.
  using BeforeAddHook = std::function<Status(const std::string& archive, const PffEntry& entry,
                                             const PffEntry* replaced, const Bytes& bytes)>;
  void set_before_add(BeforeAddHook hook) { before_ = std::move(hook); }

  // The file system later reads and adds go through (an install's restore point).
  void UseFileSystem(FileSystem& fs) { fs_ = &fs; }

  // The slot of a handle, or nullptr when there is none.
  const PffSlot* Slot(int handle) const;
  int size() const { return static_cast<int>(slots_.size()); }

 private:
  const std::string& KeyOf(const std::string& path);
  void UpdatePff(PffSlot& slot);
  Status Add(PffSlot* slot, const std::string& source_path);
  struct SourceData {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size;
  };
  Result<SourceData> ReadSource(const std::string& path, std::int32_t size);
  Status BeforeAdd(const PffSlot& slot, const PffEntry& entry, const PffPlacement& placement);

  FileSystem* fs_;
  Dialogs& dialogs_;
  EventPump& pump_;
  PathStyle style_;
  bool any_read_ok_ = false;
  AddObserver observer_;
  BeforeAddHook before_;
  std::vector<PffSlot> slots_;
  std::unordered_map<std::string, int> by_key_;        // folded path -> handle
  std::unordered_map<std::string, std::string> keys_;  // path as given -> folded path
};

}  // namespace dfm
