#include "restore/journal.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace dfm {
namespace {

constexpr std::size_t kFrame = 1 + 4 + 4;  // kind, size, check
constexpr std::uint64_t kFormatVersion = 2;

void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void Put64(Bytes& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::uint32_t Get32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}

// The check of journals of earlier versions, kept to read them.
std::uint32_t Fnv1a(const unsigned char* p, std::size_t n) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

std::uint32_t Check(RecordCheck how, const unsigned char* p, std::size_t n) {
  if (how == RecordCheck::kFnv1a) return Fnv1a(p, n);
  return static_cast<std::uint32_t>(crc32_z(0, p, n));
}

std::uint64_t ChainStart(RecordCheck how) {
  return how == RecordCheck::kFnv1a ? 14695981039346656037u : 0;
}

// The chain of record checks an end mark carries, extended by one record's check. The
// CRC-32 of its four bytes goes through zlib's table here: a call into zlib per record
// costs more than the four steps.
std::uint64_t ChainCheck(RecordCheck how, std::uint64_t chain, std::uint32_t check) {
  if (how == RecordCheck::kCrc32) {
    static const z_crc_t* const table = get_crc_table();
    std::uint32_t crc = ~static_cast<std::uint32_t>(chain);
    for (int i = 0; i < 4; ++i) crc = table[(crc ^ (check >> (8 * i))) & 0xff] ^ (crc >> 8);
    return ~crc;
  }
  for (int i = 0; i < 4; ++i) chain = (chain ^ ((check >> (8 * i)) & 0xff)) * 1099511628211u;
  return chain;
}

// Reads the fields of one body, failing on any length that runs past it.
class BodyReader {
 public:
  BodyReader(const unsigned char* p, std::size_t n) : p_(p), n_(n) {}
  bool Get(std::uint64_t& v, int bytes) {
    if (n_ - at_ < static_cast<std::size_t>(bytes)) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint64_t{p_[at_ + i]} << (8 * i);
    at_ += static_cast<std::size_t>(bytes);
    return true;
  }
  bool Take(std::size_t count, const unsigned char*& out) {
    if (n_ - at_ < count) return false;
    out = p_ + at_;
    at_ += count;
    return true;
  }
  bool AtEnd() const { return at_ == n_; }

 private:
  const unsigned char* p_;
  std::size_t n_;
  std::size_t at_ = 0;
};

bool DecodeBody(const unsigned char* p, std::size_t n, JournalRecord& r) {
  BodyReader in(p, n);
  std::uint64_t count = 0, len = 0;
  const unsigned char* bytes = nullptr;
  if (!in.Get(count, 4)) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (!in.Get(len, 4) || !in.Take(len, bytes)) return false;
    r.texts.emplace_back(reinterpret_cast<const char*>(bytes), len);
  }
  if (!in.Get(count, 4) || count > n / 8) return false;
  r.numbers.resize(count);
  for (auto& v : r.numbers) {
    if (!in.Get(v, 8)) return false;
  }
  if (!in.Get(len, 4) || !in.Take(len, bytes)) return false;
  r.data.assign(bytes, bytes + len);
  return in.AtEnd();
}

}  // namespace

const std::string& JournalRecord::Text(std::size_t i) const {
  static const std::string kEmpty;
  return i < texts.size() ? texts[i] : kEmpty;
}

void AppendTime(std::vector<std::uint64_t>& n, const LocalDateTime& t) {
  for (int v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.nanosecond})
    n.push_back(static_cast<std::uint64_t>(v));
}

LocalDateTime TimeAt(const JournalRecord& r, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<int>(r.Number(i + k)); };
  LocalDateTime t;
  t.year = at(0);
  t.month = at(1);
  t.day = at(2);
  t.hour = at(3);
  t.minute = at(4);
  t.second = at(5);
  t.nanosecond = at(6);
  return t;
}

std::string FormatTime(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

Bytes EncodeRecord(const JournalRecord& r, RecordCheck check) {
  Bytes body;
  Put32(body, static_cast<std::uint32_t>(r.texts.size()));
  for (const auto& t : r.texts) {
    Put32(body, static_cast<std::uint32_t>(t.size()));
    body.insert(body.end(), t.begin(), t.end());
  }
  Put32(body, static_cast<std::uint32_t>(r.numbers.size()));
  for (auto v : r.numbers) Put64(body, v);
  Put32(body, static_cast<std::uint32_t>(r.data.size()));
  Bytes out;
  out.reserve(kFrame + body.size() + r.data.size());
  out.push_back(static_cast<unsigned char>(r.kind));
  Put32(out, static_cast<std::uint32_t>(body.size() + r.data.size()));
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), r.data.begin(), r.data.end());
  Put32(out, Check(check, out.data(), out.size()));
  return out;
}

Bytes FormatRecord() {
  return EncodeRecord({RecordKind::kFormat, {}, {kFormatVersion}, {}}, RecordCheck::kCrc32);
}

JournalFormat FormatOf(const Bytes& journal) {
  if (journal.empty() || journal[0] != static_cast<unsigned char>(RecordKind::kFormat)) return {};
  return {RecordCheck::kCrc32, std::min(FormatRecord().size(), journal.size())};
}

namespace {

// Decodes the records from `at` on, checked with `how`.
Result<JournalContents> Decode(const Bytes& bytes, std::size_t at, RecordCheck how) {
  JournalContents out;
  out.format = {how, at};
  out.valid_bytes = at;
  std::uint64_t chain = ChainStart(how);
  auto damaged = [&] {
    return Failure{err::kInvalidFileFormat, "damaged: record at byte " + std::to_string(at)};
  };
  while (at < bytes.size()) {
    const std::size_t left = bytes.size() - at;
    const unsigned char* p = bytes.data() + at;
    std::uint32_t size = 0, check = 0;
    if (left >= 5) size = Get32(p + 1);
    const bool whole = left >= kFrame && left - kFrame >= size;
    JournalRecord r;
    r.kind = static_cast<RecordKind>(p[0]);
    bool good = whole;
    if (good) {
      check = Get32(p + 5 + size);
      good = check == Check(how, p, 5 + size) && DecodeBody(p + 5, size, r);
    }
    if (!good) {
      if (!whole || at + kFrame + size >= bytes.size()) {
        out.torn_tail = true;
        return out;
      }
      return damaged();
    }
    if (r.kind == RecordKind::kFormat ||
        (r.kind == RecordKind::kEnd && r.numbers.size() >= 2 &&
         (r.numbers[0] != out.records.size() || r.numbers[1] != chain)))
      return damaged();
    chain = ChainCheck(how, chain, check);
    out.records.push_back(std::move(r));
    at += kFrame + size;
    out.valid_bytes = at;
  }
  return out;
}

}  // namespace

Result<JournalContents> DecodeRecords(const Bytes& bytes, RecordCheck check) {
  return Decode(bytes, 0, check);
}

// A format record cut short is a torn tail; one that is whole must name the format this
// version writes.
Result<JournalContents> DecodeJournal(const Bytes& bytes) {
  const JournalFormat format = FormatOf(bytes);
  if (format.check == RecordCheck::kCrc32) {
    const Bytes expected = FormatRecord();
    if (bytes.size() < expected.size()) {
      JournalContents torn;
      torn.torn_tail = true;
      return torn;
    }
    if (!std::equal(expected.begin(), expected.end(), bytes.begin()))
      return Failure{err::kInvalidFileFormat, "damaged: record at byte 0"};
  }
  return Decode(bytes, format.start, format.check);
}

Result<JournalContents> ReadJournal(FileSystem& fs, const std::string& path) {
  auto bytes = ReadWholeFile(fs, path);
  if (!bytes) return bytes.failure();
  return DecodeJournal(*bytes);
}

Result<std::unique_ptr<JournalWriter>> JournalWriter::Create(FileSystem& fs,
                                                             const std::string& folder,
                                                             const std::string& path) {
  if (fs.FileLength(path)) return Failure{err::kFileAlreadyExists, "File already exists: " + path};
  auto file = fs.Open(path, OpenMode::kAppend);
  if (!file) return file.failure();
  if (auto st = (*file)->Sync(); !st) return st.failure();
  if (auto st = fs.SyncFolder(folder); !st) return st.failure();
  return std::unique_ptr<JournalWriter>(
      new JournalWriter(std::move(*file), 0, RecordCheck::kCrc32));
}

Result<std::unique_ptr<JournalWriter>> JournalWriter::Reopen(FileSystem& fs,
                                                             const std::string& path,
                                                             std::uint64_t valid_bytes) {
  auto file = fs.Open(path, OpenMode::kUpdate);
  if (!file) return file.failure();
  if (auto st = (*file)->SetLength(valid_bytes); !st) return st.failure();
  // Records go on with the check the journal began with.
  unsigned char first = static_cast<unsigned char>(RecordKind::kFormat);
  if (valid_bytes > 0) {
    if (auto st = (*file)->ReadAt(0, &first, 1); !st) return st.failure();
  }
  const RecordCheck check = first == static_cast<unsigned char>(RecordKind::kFormat)
                                ? RecordCheck::kCrc32
                                : RecordCheck::kFnv1a;
  return std::unique_ptr<JournalWriter>(new JournalWriter(std::move(*file), valid_bytes, check));
}

// A journal begun here starts with its format record, written with the first records.
JournalWriter::JournalWriter(std::unique_ptr<File> file, std::uint64_t size, RecordCheck check)
    : file_(std::move(file)),
      bytes_(size),
      synced_(size),
      check_(check),
      chain_(ChainStart(check)) {
  if (size == 0) {
    pending_ = FormatRecord();
    bytes_ = pending_.size();
    dirty_ = true;
  }
}

// Records gathered but never flushed are still written, so that the file holds what was
// appended; nothing depends on them having reached the disk.
JournalWriter::~JournalWriter() {
  if (file_) (void)WritePending();
}

Status JournalWriter::Append(const JournalRecord& record) {
  const Bytes bytes = EncodeRecord(record, check_);
  chain_ = ChainCheck(check_, chain_, Get32(bytes.data() + bytes.size() - 4));
  ++records_;
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  bytes_ += bytes.size();
  dirty_ = true;
  return pending_.size() >= kPendingLimit ? WritePending() : Status();
}

Status JournalWriter::WritePending() {
  if (pending_.empty()) return {};
  Status st = file_->WriteAt(bytes_ - pending_.size(), pending_.data(), pending_.size());
  // Written or not, the records are not offered again: after a failed write the journal's
  // end is unknown, and every later flush and the close fail.
  if (!st) failed_ = st;
  pending_.clear();
  return st;
}

Status JournalWriter::Flush() {
  if (Status st = WritePending(); !st) return st;
  if (!failed_) return failed_;
  if (dirty_ && durable_) {
    if (auto st = file_->Sync(); !st) return st;
  }
  dirty_ = false;
  synced_ = bytes_;
  return {};
}

Status JournalWriter::Close() {
  Status written = WritePending();
  Status closed = file_->Close();
  return !written ? written : !failed_ ? failed_ : closed;
}

}  // namespace dfm
