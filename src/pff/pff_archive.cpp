#include "pff/pff_archive.h"
#include "base/ascii.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace dfm {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t GetLe32(const unsigned char* p) {
  std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                    static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  return static_cast<std::int32_t>(v);
}

void PutLe32(unsigned char* p, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Days from 1 January 1970 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Failure Overflow() {
  return Failure{err::kOverflow, "Overflow"};
}

Failure BadFormat(const std::string& what) {
  return Failure{err::kInvalidFileFormat, "Invalid file format: " + what};
}

// For each record, whether another record covers some of its bytes. Records of size 0
// (and of a negative size, which the checks refuse) cover nothing. Sorted by start, a
// record overlaps an earlier one when it starts before the furthest end so far, and a
// later one when the next start lies before its own end.
std::vector<bool> SharedRecords(const std::vector<PffEntry>& entries) {
  struct Extent {
    std::int64_t start, end;
    std::size_t index;
  };
  std::vector<Extent> extents;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PffEntry& e = entries[i];
    if (e.data_size > 0)
      extents.push_back({e.data_offset, std::int64_t{e.data_offset} + e.data_size, i});
  }
  std::sort(extents.begin(), extents.end(),
            [](const Extent& a, const Extent& b) { return a.start < b.start; });
  std::vector<bool> shared(entries.size(), false);
  std::int64_t reach = std::numeric_limits<std::int64_t>::min();
  for (std::size_t k = 0; k < extents.size(); ++k) {
    const Extent& x = extents[k];
    if (x.start < reach || (k + 1 < extents.size() && extents[k + 1].start < x.end))
      shared[x.index] = true;
    reach = std::max(reach, x.end);
  }
  return shared;
}

}  // namespace

std::uint32_t PffRecordStride(std::int32_t record_size) {
  return record_size > static_cast<std::int32_t>(kPffFieldBytes)
             ? static_cast<std::uint32_t>(record_size)
             : static_cast<std::uint32_t>(kPffFieldBytes);
}

PffHeader DecodePffHeader(const unsigned char* bytes) {
  PffHeader h;
  h.header_size = GetLe32(bytes);
  std::memcpy(h.signature.data(), bytes + 4, 4);
  h.file_count = GetLe32(bytes + 8);
  h.record_size = GetLe32(bytes + 12);
  h.directory_offset = GetLe32(bytes + 16);
  return h;
}

void EncodePffHeader(const PffHeader& header, unsigned char* out) {
  PutLe32(out, header.header_size);
  std::memcpy(out + 4, header.signature.data(), 4);
  PutLe32(out + 8, header.file_count);
  PutLe32(out + 12, header.record_size);
  PutLe32(out + 16, header.directory_offset);
}

std::array<unsigned char, kPffHeaderSize> EncodePffHeader(const PffHeader& header) {
  std::array<unsigned char, kPffHeaderSize> out{};
  EncodePffHeader(header, out.data());
  return out;
}

PffEntry DecodePffEntry(const unsigned char* record) {
  PffEntry e;
  e.dead_flag = GetLe32(record);
  e.data_offset = GetLe32(record + 4);
  e.data_size = GetLe32(record + 8);
  e.timestamp = GetLe32(record + 12);
  std::memcpy(e.name.data(), record + 16, kPffNameSize);
  return e;
}

void EncodePffEntry(const PffEntry& entry, unsigned char* out) {
  PutLe32(out, entry.dead_flag);
  PutLe32(out + 4, entry.data_offset);
  PutLe32(out + 8, entry.data_size);
  PutLe32(out + 12, entry.timestamp);
  std::memcpy(out + 16, entry.name.data(), kPffNameSize);
}

PffName MakePffName(std::string_view text) {
  PffName name{};
  std::copy_n(text.begin(), std::min(text.size(), kPffNameSize), name.begin());
  return name;
}

bool PffNamesMatch(const PffName& a, const PffName& b) {
  for (std::size_t i = 0; i < kPffNameSize; ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string PffNameText(const PffName& name) {
  std::size_t n = kPffNameSize;
  while (n > 0 && name[n - 1] == '\0') --n;
  return std::string(name.data(), n);
}

Result<std::int32_t> PffTimestamp(const LocalDateTime& t) {
  // 31 December 1969 19:00:00 is 5 hours before 1 January 1970 00:00:00.
  constexpr std::int64_t kEpochShift = 5 * 3600;
  std::int64_t seconds = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600LL +
                         t.minute * 60LL + t.second + kEpochShift;
  if (t.nanosecond >= 500'000'000) ++seconds;
  if (seconds < std::numeric_limits<std::int32_t>::min() || seconds > kInt32Max) return Overflow();
  return static_cast<std::int32_t>(seconds);
}

Result<std::uint64_t> PffDirectoryBytes(const PffHeader& h, std::uint64_t file_length) {
  if (h.file_count < 0) {
    return BadFormat("FileCount " + std::to_string(h.file_count) + " is negative");
  }
  if (h.directory_offset < static_cast<std::int32_t>(kPffHeaderSize)) {
    return BadFormat("DirectoryOffset " + std::to_string(h.directory_offset) +
                     " lies inside the 20-byte header");
  }
  if (h.record_size > kPffMaxRecordSize) {
    return BadFormat("RecordSize " + std::to_string(h.record_size) + " is above " +
                     std::to_string(kPffMaxRecordSize));
  }
  const std::uint64_t stride = PffRecordStride(h.record_size);
  const std::uint64_t bytes = static_cast<std::uint64_t>(h.file_count) * stride;
  const std::uint64_t end = static_cast<std::uint64_t>(h.directory_offset) + bytes;
  if (end > file_length) {
    return BadFormat("the directory (" + std::to_string(h.file_count) + " records of " +
                     std::to_string(stride) + " bytes at " + std::to_string(h.directory_offset) +
                     ") ends at " + std::to_string(end) + ", past the end of the file (" +
                     std::to_string(file_length) + " bytes)");
  }
  if (end > static_cast<std::uint64_t>(kInt32Max)) return Overflow();
  return bytes;
}

// ---- PffDirectory ----

PffDirectory::PffDirectory(const PffHeader& header)
    : header_(header), stride_(PffRecordStride(header.record_size)) {
  header_.file_count = 0;
  WriteTrailer();
}

PffDirectory PffDirectory::FromRecords(const PffHeader& header, const unsigned char* records,
                                       std::size_t size) {
  PffDirectory dir(header);
  dir.header_ = header;
  const std::size_t count = size / dir.stride_;
  std::vector<PffEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i) entries[i] = DecodePffEntry(records + i * dir.stride_);
  dir.shared_ = SharedRecords(entries);
  dir.entries_.reserve(count);
  for (const PffEntry& e : entries) dir.Push(e);
  dir.image_.assign(records, records + size);
  dir.WriteTrailer();
  return dir;
}

std::uint64_t PffDirectory::records_end() const {
  return static_cast<std::uint64_t>(header_.directory_offset) + image_.size() - kPffTrailerSize;
}

std::string PffDirectory::Describe(std::size_t index) const {
  return "record " + std::to_string(index) + " (" + PffNameText(entries_[index].name) + ")";
}

Status PffDirectory::CheckDataExtents() const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const PffEntry& e = entries_[i];
    if (e.data_size < 0) {
      return BadFormat(Describe(i) + " has a negative size (" + std::to_string(e.data_size) + ")");
    }
    if (e.data_size == 0) continue;
    const std::int64_t end = std::int64_t{e.data_offset} + e.data_size;
    if (e.data_offset < static_cast<std::int32_t>(kPffHeaderSize) ||
        end > header_.directory_offset) {
      return BadFormat(Describe(i) + " places " + std::to_string(e.data_size) + " bytes at " +
                       std::to_string(e.data_offset) + ", outside the data area (20 to " +
                       std::to_string(header_.directory_offset) + ")");
    }
  }
  return {};
}

bool PffDirectory::Shared(std::size_t index) const {
  return index < shared_.size() && shared_[index];
}

void PffDirectory::Put(std::size_t index, const PffEntry& entry) {
  lookup_.Set(index, &entries_[index], entry, !Shared(index));
  entries_[index] = entry;
}

void PffDirectory::Push(const PffEntry& entry) {
  lookup_.Set(entries_.size(), nullptr, entry, !Shared(entries_.size()));
  entries_.push_back(entry);
}

void PffDirectory::Pop() {
  lookup_.PopBack(entries_.back());
  entries_.pop_back();
}

void PffDirectory::SetRecord(std::size_t index, const PffEntry& entry, bool clear_rest) {
  Put(index, entry);
  unsigned char* record = image_.data() + index * stride_;
  EncodePffEntry(entry, record);
  if (clear_rest) std::fill(record + kPffFieldBytes, record + stride_, 0);
}

void PffDirectory::AppendRecord(const PffEntry& entry) {
  const std::size_t at = entries_.size() * stride_;
  Push(entry);
  image_.resize(at + stride_);
  std::fill(image_.begin() + static_cast<std::ptrdiff_t>(at), image_.end(), 0);
  EncodePffEntry(entry, image_.data() + at);
  WriteTrailer();
}

void PffDirectory::WriteTrailer() {
  const std::size_t at = entries_.size() * stride_;
  image_.resize(at + kPffTrailerSize);
  std::fill_n(image_.begin() + static_cast<std::ptrdiff_t>(at), 8, 0);
  std::copy(kPffTrailerText.begin(), kPffTrailerText.end(),
            image_.begin() + static_cast<std::ptrdiff_t>(at + 8));
}

Result<PffPlacement> PffDirectory::Place(const PffEntry& incoming) {
  PffPlacement p;
  p.old_header = header_;
  auto change = [&](std::size_t i, const PffEntry& e, bool clear_rest) {
    p.saved.push_back({i, entries_[i],
                       Bytes(image_.begin() + static_cast<std::ptrdiff_t>(i * stride_),
                             image_.begin() + static_cast<std::ptrdiff_t>((i + 1) * stride_))});
    SetRecord(i, e, clear_rest);
  };
  auto make_dead = [&](std::size_t i) {
    if (!entries_[i].IsDeadSpace() && p.replaced_size < 0) {
      p.replaced_size = entries_[i].data_size;
      p.replaced = entries_[i];
    }
    PffEntry dead = entries_[i];
    dead.dead_flag = kPffDeadFlag;
    dead.name = MakePffName(kPffDeadSpaceName);
    change(i, dead, false);
  };

  // The first record of the same name becomes dead space. When that one was dead space
  // already, the first live record of the name is replaced too, so no stale copy of the
  // file stays visible.
  if (const auto* named = lookup_.Named(incoming.name)) {
    const std::size_t first = named->front();
    std::size_t live = PffLookup::kNone;
    if (entries_[first].IsDeadSpace()) {
      auto it = std::find_if(named->begin(), named->end(),
                             [&](std::size_t i) { return !entries_[i].IsDeadSpace(); });
      if (it != named->end()) live = *it;
    }
    make_dead(first);  // changes `named`
    if (live != PffLookup::kNone) make_dead(live);
  }

  const std::size_t n = entries_.size();
  const std::size_t fit = std::min(lookup_.FirstFit(incoming.data_size), n);
  if (fit < n && entries_[fit].data_size == incoming.data_size) {
    p.kind = PffPlacement::Kind::kRevived;
  } else {
    p.kind = fit < n ? PffPlacement::Kind::kSplit : PffPlacement::Kind::kAppended;
    const std::int64_t grow = p.kind == PffPlacement::Kind::kAppended ? incoming.data_size : 0;
    const std::int64_t new_end = std::int64_t{header_.directory_offset} + grow +
                                 (std::int64_t{header_.file_count} + 1) * stride_;
    if (header_.file_count == kInt32Max || new_end > kInt32Max) {
      Revert(p);
      return Overflow();
    }
  }

  PffEntry added = incoming;
  added.dead_flag = 0;
  switch (p.kind) {
    case PffPlacement::Kind::kRevived: {
      PffEntry revived = entries_[fit];
      revived.dead_flag = 0;
      revived.timestamp = incoming.timestamp;
      revived.name = incoming.name;
      change(fit, revived, true);
      p.data_offset = revived.data_offset;
      return p;
    }
    case PffPlacement::Kind::kSplit: {
      PffEntry rest = entries_[fit];
      rest.data_size -= incoming.data_size;
      change(fit, rest, false);
      p.data_offset = rest.data_offset + rest.data_size;
      break;
    }
    case PffPlacement::Kind::kAppended:
      p.data_offset = header_.directory_offset;
      header_.directory_offset += incoming.data_size;
      break;
  }
  added.data_offset = p.data_offset;
  ++header_.file_count;
  AppendRecord(added);
  return p;
}

void PffDirectory::Revert(const PffPlacement& p) {
  const auto old_count = static_cast<std::size_t>(p.old_header.file_count);
  if (entries_.size() > old_count) {
    while (entries_.size() > old_count) Pop();
    WriteTrailer();
  }
  for (auto it = p.saved.rbegin(); it != p.saved.rend(); ++it) {
    Put(it->index, it->entry);
    std::copy(it->record.begin(), it->record.end(),
              image_.begin() + static_cast<std::ptrdiff_t>(it->index * stride_));
  }
  header_ = p.old_header;
}

std::size_t PffDirectory::FindLive(const PffName& name) const {
  if (const auto* named = lookup_.Named(name)) {
    for (std::size_t i : *named) {
      if (!entries_[i].IsDeadSpace()) return i;
    }
  }
  return PffLookup::kNone;
}

void PffDirectory::MarkDead(std::size_t index) {
  PffEntry dead = entries_[index];
  dead.dead_flag = kPffDeadFlag;
  dead.name = MakePffName(kPffDeadSpaceName);
  SetRecord(index, dead, false);
}

// ---- reading ----

Result<PffDirectory> ReadPffArchive(FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto length = (*file)->Size();
  if (!length) return length.failure();
  unsigned char raw[kPffHeaderSize];
  if (auto st = (*file)->ReadAt(0, raw, sizeof raw); !st) return st.failure();
  const PffHeader header = DecodePffHeader(raw);
  auto bytes = PffDirectoryBytes(header, *length);
  if (!bytes) return bytes.failure();
  Bytes records(static_cast<std::size_t>(*bytes));
  if (!records.empty()) {
    auto st = (*file)->ReadAt(static_cast<std::uint64_t>(header.directory_offset), records.data(),
                              records.size());
    if (!st) return st.failure();
  }
  if (auto st = (*file)->Close(); !st) return st.failure();
  return PffDirectory::FromRecords(header, records.data(), records.size());
}

}  // namespace dfm
