// Writing single entries into an archive on disk, shared by the install's adds and by
// undo, which puts an entry back with its old name, timestamp and bytes or turns the
// record of an entry it removes into dead space. An add writes in the order that keeps
// the archive readable if the program stops half-way: data going into dead space before
// the directory that points at it, a directory moving up before the data that lands on
// its old place, the header (the count of records and where they are) last. Removing an
// entry writes its one record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/result.h"
#include "pff/pff_archive.h"
#include "platform/file_system.h"

namespace dfm {

// Writes an add that `dir.Place()` laid out. `known_end`: where the directory read from
// the archive ended; an archive shorter than that changed under us and is not written.
// An archive that vanished is not made anew.
Status WritePffAdd(FileSystem& fs, const std::string& path, const PffDirectory& dir,
                   const PffPlacement& placement, const unsigned char* data, std::size_t size,
                   std::uint64_t known_end);

// Adds `data` as the entry `entry` (name and timestamp as given), replacing a live entry
// of the same name. On failure the directory in memory is as before.
Status AddPffEntry(FileSystem& fs, const std::string& path, PffDirectory& dir,
                   const PffEntry& entry, const Bytes& data);

// Makes record `index` dead space, on disk and in `dir`.
Status RemovePffEntry(FileSystem& fs, const std::string& path, PffDirectory& dir,
                      std::size_t index);

// The data bytes of one entry.
Result<Bytes> ReadPffData(FileSystem& fs, const std::string& path, const PffEntry& entry);

}  // namespace dfm
