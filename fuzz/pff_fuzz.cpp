// Reads an archive from the input and adds two files to it through the open-archive
// table, all in memory. Besides crashes, out-of-bounds access and huge allocations it
// checks what an add promises: when it succeeds, the archive on disk reads back as the
// table holds it, the new entry's bytes are there, and every other live entry keeps its
// bytes; when it fails, the archive is unchanged or (after a write) still holds the
// earlier entries' bytes; and no file stays open.
//
// Input: byte 0 and 1 pick the two sources' sizes and names, the rest is the archive.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pff/pff_install.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"

namespace {

using dfm::PffDirectory;
using dfm::PffEntry;
using dfm::testing::MemoryFileSystem;

const char* const kArchive = "Game\\Dflw.pff";
const char* const kNames[] = {
    "a.pcx", "A.PCX", "b.3di", "<DEAD SPACE>", "sixteen_chars.ab", "longer_than_sixteen.pcx",
    "c",     ""};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// The entry's bytes; records of size 0 may point anywhere.
std::string DataOf(const std::string& file, const PffEntry& e) {
  if (e.data_size == 0) return {};
  return file.substr(static_cast<std::size_t>(e.data_offset),
                     static_cast<std::size_t>(e.data_size));
}

// Live entries and their bytes, except those named like `name`.
std::vector<std::pair<PffEntry, std::string>> OtherLiveData(const PffDirectory& dir,
                                                            const std::string& file,
                                                            const dfm::PffName& name) {
  std::vector<std::pair<PffEntry, std::string>> out;
  for (const PffEntry& e : dir.entries()) {
    if (e.IsDeadSpace() || dfm::PffNamesMatch(e.name, name) || e.data_size <= 0) continue;
    out.emplace_back(e, DataOf(file, e));
  }
  return out;
}

void AddAndCheck(MemoryFileSystem& fs, dfm::PffArchiveTable& table, int handle,
                 const std::string& source, const std::string& bytes) {
  fs.Put(source, bytes);
  const dfm::PffSlot* slot = table.Slot(handle);
  const bool readable = slot && slot->read_status.ok();
  const std::string before = fs.Text(kArchive);
  const dfm::PffName name = dfm::MakePffName(source.substr(source.rfind('\\') + 1));
  const auto others = readable ? OtherLiveData(slot->directory, before, name)
                               : std::vector<std::pair<PffEntry, std::string>>{};

  const dfm::Status added = table.AddFile(handle, source);
  Check(fs.open_files() == 0);
  if (!added) {
    Check(fs.Text(kArchive) == before);  // nothing in memory fails to write here
    return;
  }
  Check(readable);
  const std::string after = fs.Text(kArchive);
  auto back = dfm::ReadPffArchive(fs, kArchive);
  Check(back.ok());
  Check(back->header() == slot->directory.header());
  Check(back->entries() == slot->directory.entries());
  Check(back->CheckDataExtents().ok());
  bool found = false;
  for (const PffEntry& e : back->entries()) {
    if (!e.IsDeadSpace() && dfm::PffNamesMatch(e.name, name) &&
        e.data_size == static_cast<std::int32_t>(bytes.size()) && DataOf(after, e) == bytes) {
      found = true;
    }
  }
  Check(found);
  for (const auto& [entry, data] : others) Check(DataOf(after, entry) == data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  MemoryFileSystem fs;
  fs.max_file_size = std::uint64_t{1} << 24;
  dfm::testing::RecordingDialogs dialogs;
  dfm::NullEventPump pump;
  fs.Put(kArchive, std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
  dfm::PffArchiveTable table(fs, dialogs, pump, dfm::PathStyle::kWindows);
  const int handle = table.OpenFile(kArchive);
  Check(fs.open_files() == 0);
  for (int i = 0; i < 2; ++i) {
    const std::uint8_t pick = data[i];
    const std::string source = std::string("Mod\\") + kNames[pick % 8];
    AddAndCheck(fs, table, handle, source, std::string(pick / 8 * 37 % 1500, char('0' + i)));
  }
  return 0;
}
