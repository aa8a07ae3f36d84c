#include "pff/pff_install.h"
#include "base/ascii.h"
#include "base/byte_buffer.h"

#include <limits>

#include "base/path_utils.h"

namespace dfm {
namespace {

const std::string kCrLf = "\r\n";

}  // namespace

PffArchiveTable::PffArchiveTable(FileSystem& fs, Dialogs& dialogs, EventPump& pump, PathStyle style)
    : fs_(&fs), dialogs_(dialogs), pump_(pump), style_(style) {}

const PffSlot* PffArchiveTable::Slot(int handle) const {
  if (handle < 0 || handle >= size()) return nullptr;
  return &slots_[static_cast<std::size_t>(handle)];
}

const std::string& PffArchiveTable::KeyOf(const std::string& path) {
  auto it = keys_.find(path);
  if (it == keys_.end()) it = keys_.emplace(path, FoldedPath(path)).first;
  return it->second;
}

int PffArchiveTable::OpenFile(const std::string& path) {
  if (!any_read_ok_) {
    slots_.clear();
    by_key_.clear();
  }
  const std::string& key = KeyOf(path);
  if (auto it = by_key_.find(key); it != by_key_.end()) {
    PffSlot& slot = slots_[static_cast<std::size_t>(it->second)];
    if (!slot.read_status) UpdatePff(slot);
    return it->second;
  }
  if (size() >= kMaxSlots) {
    dialogs_.MessageBox("Error in OpenFile" + kCrLf + "Overflow");
    return kNoSlot;
  }
  const int handle = size();
  by_key_.emplace(key, handle);
  slots_.push_back(PffSlot{path, key, {}, PffDirectory{}});
  UpdatePff(slots_.back());
  return handle;
}

void PffArchiveTable::UpdatePff(PffSlot& slot) {
  auto read = ReadPffArchive(*fs_, slot.path);
  slot.read_status = read ? read->CheckDataExtents() : Status(read.failure());
  slot.directory = read ? std::move(*read) : PffDirectory{};
  if (!slot.read_status) {
    dialogs_.MessageBox("Error in UpdatePff" + kCrLf + slot.read_status.failure().description);
    return;
  }
  any_read_ok_ = true;
}

Result<PffEntry> PffArchiveTable::GetFileHeader(const std::string& path) {
  auto fail = [&](const Failure& f) -> Result<PffEntry> {
    dialogs_.MessageBox("Error in GetFileHeader" + kCrLf + f.description);
    return f;
  };
  PffEntry entry;
  entry.name = MakePffName(PadName(GetFileName(path, style_)));
  auto stat = fs_->Stat(path);  // the length, then the time
  if (!stat) return fail(stat.failure());
  if (stat->length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    return fail(Failure{err::kOverflow, "Overflow"});
  }
  entry.data_size = static_cast<std::int32_t>(stat->length);
  auto timestamp = PffTimestamp(stat->modified);
  if (!timestamp) return fail(timestamp.failure());
  entry.timestamp = *timestamp;
  return entry;
}

Status PffArchiveTable::AddFile(int handle, const std::string& source_path) {
  pump_.ProcessPendingEvents();
  PffSlot* slot =
      handle >= 0 && handle < size() ? &slots_[static_cast<std::size_t>(handle)] : nullptr;
  return Add(slot, source_path);
}

Status PffArchiveTable::Add(PffSlot* slot, const std::string& source_path) {
  auto fail = [&](const Failure& f) -> Status {
    dialogs_.MessageBox("Error in AddFile, File: \"" + source_path + "\"" + kCrLf + f.description);
    return f;
  };
  if (slot == nullptr) return fail(Failure{err::kSubscriptOutOfRange, "Subscript out of range"});
  if (!slot->read_status) return fail(slot->read_status.failure());

  auto entry = GetFileHeader(source_path);
  if (!entry) return entry.failure();  // GetFileHeader has shown it
  auto data = ReadSource(source_path, entry->data_size);
  if (!data) return fail(data.failure());

  const std::uint64_t known_end = slot->directory.records_end();
  auto placement = slot->directory.Place(*entry);
  if (!placement) return fail(placement.failure());
  if (auto st = WriteAdd(*slot, *placement, *data, known_end); !st) {
    slot->directory.Revert(*placement);
    return fail(st.failure());
  }
  if (observer_) observer_(slot->path, *entry, *placement);
  return {};
}

// Reads exactly the DataSize bytes GetFileHeader counted: a file that shrank since then
// fails the read, one that grew gives its first DataSize bytes, so the record written and
// the data written always agree. The buffer is not zero-filled first.
Result<PffArchiveTable::SourceData> PffArchiveTable::ReadSource(const std::string& path,
                                                                std::int32_t size) {
  auto file = fs_->Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  SourceData data{UninitializedBytes(static_cast<std::size_t>(size)),
                  static_cast<std::size_t>(size)};
  if (data.size > 0) {
    if (auto st = (*file)->ReadAt(0, data.bytes.get(), data.size); !st) return st.failure();
  }
  if (auto st = (*file)->Close(); !st) return st.failure();
  return data;
}

// The final bytes are the same in any order, since the header, the data and the
// directory never overlap (the reading checks guarantee it). The order keeps the archive
// as readable as it can be if the program stops half-way: data going into dead space is
// written before the directory that points at it; a directory moving up is written
// before the data that overwrites its old place; the header, which says how many records
// there are and where, comes last.
Status PffArchiveTable::WriteAdd(const PffSlot& slot, const PffPlacement& placement,
                                 const SourceData& data, std::uint64_t known_end) {
  // An archive that vanished since it was read is not created anew.
  auto file = fs_->Open(slot.path, OpenMode::kUpdate);
  if (!file) return file.failure();
  File& archive = **file;
  auto length = archive.Size();
  if (!length) return length.failure();
  if (*length < known_end) {
    return Status::Fail(err::kPathFileAccessError,
                        "Path/File access error: " + slot.path + " is " + std::to_string(*length) +
                            " bytes long, shorter than when it was read");
  }
  const PffDirectory& dir = slot.directory;
  auto write_data = [&]() -> Status {
    if (data.size == 0) return {};
    return archive.WriteAt(static_cast<std::uint64_t>(placement.data_offset), data.bytes.get(),
                           data.size);
  };
  auto write_directory = [&]() -> Status {
    return archive.WriteAt(static_cast<std::uint64_t>(dir.header().directory_offset),
                           dir.image().data(), dir.image().size());
  };
  const bool directory_moved = placement.kind == PffPlacement::Kind::kAppended;
  Status first = directory_moved ? write_directory() : write_data();
  if (!first) return first;
  Status second = directory_moved ? write_data() : write_directory();
  if (!second) return second;
  const auto header = EncodePffHeader(dir.header());
  if (auto st = archive.WriteAt(0, header.data(), header.size()); !st) return st;
  return archive.Close();
}

}  // namespace dfm
