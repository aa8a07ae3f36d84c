#include "pff/pff_install.h"
#include "base/ascii.h"
#include "base/byte_buffer.h"

#include <limits>

#include "base/path_utils.h"
#include "pff/pff_entries.h"

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
  Status kept = before_ ? BeforeAdd(*slot, *entry, *placement) : Status();
  if (!kept) {
    slot->directory.Revert(*placement);
    return fail(kept.failure());
  }
  if (auto st = WritePffAdd(*fs_, slot->path, slot->directory, *placement, data->bytes.get(),
                            data->size, known_end);
      !st) {
    slot->directory.Revert(*placement);
    return fail(st.failure());
  }
  if (observer_) observer_(slot->path, *entry, *placement);
  return {};
}

// The entry an add replaces is read before the add is written: its bytes become dead
// space that a later add may take.
Status PffArchiveTable::BeforeAdd(const PffSlot& slot, const PffEntry& entry,
                                  const PffPlacement& placement) {
  if (placement.replaced_size < 0) return before_(slot.path, entry, nullptr, Bytes());
  auto bytes = ReadPffData(*fs_, slot.path, placement.replaced);
  if (!bytes) return bytes.failure();
  return before_(slot.path, entry, &placement.replaced, *bytes);
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

}  // namespace dfm
