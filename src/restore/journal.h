// The journal of one install: a file of records, each appended (and, where a change to a
// game file depends on it, made durable) before the change it describes. Undo and crash
// recovery read the same records. Byte layout: docs/restore-points.md.
//
//   journal := format record ('V', numbers: 2) | record...
//   record  := kind u8 | body size u32 | body | CRC-32 of kind, size and body (u32)
//   body    := text count u32 | (length u32, bytes)... | number count u32 | u64...
//              | data length u32 | data bytes
// Numbers are little-endian. Journals of earlier versions begin with their first record
// and check each with FNV-1a 32; they are read with that check. A record cut short or
// failing its check at the end of the file is the write a crash interrupted: its change
// was never made, and it is ignored. The end mark of a complete install carries the count
// of the records before it and a chain of their checks, so that a journal missing or repeating whole records is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/result.h"
#include "platform/file_system.h"

namespace dfm {

enum class RecordKind : char {
  kFormat = 'V',       // numbers: the journal's format (2: CRC-32 checks); first, and only there
  kBegin = 'B',        // texts: mod, installer, installer SHA-256, start time, game folders...;
                       // numbers: the install's sequence number (missing in earlier journals)
  kTouched = 'F',      // texts: path; numbers: existed, length, the time (7 fields)
  kCreated = 'C',      // texts: path (absent just before; undo removes it)
  kWhole = 'W',        // texts: path as the host spells it; numbers: the time; data: all bytes
  kRange = 'R',        // texts: path; numbers: offset; data: the bytes a write replaced
  kRenamed = 'M',      // texts: from, to
  kStashed = 'T',      // texts: path as the host spells it, where the deleted file was moved
  kTemp = 'X',         // texts: a temporary name a copy writes first (undo removes what is there)
  kEntry = 'A',        // texts: archive, entry name, placement; numbers: replaced, old, new size
  kAfter = 'S',        // texts: path, fingerprint of what the install wrote; numbers: exists,
                       // length, whole, then the written ranges (start, end)...
  kEnd = 'E',          // texts: end time, then path and change of each file; numbers: the
                       // count of records before it and the chain of their checks (both
                       // missing in journals of earlier versions)
  kUndone = 'U',       // texts: time, "undone" or "rolled back"
  kProgress = 'P',     // numbers: the indexes of records an undo has put back
  kShort = 'Q',        // texts: time, then each failure; numbers: files left (an undo that
                       // did not finish)
  kEntryBefore = 'O',  // texts: archive, stored name (16 bytes); numbers: existed, timestamp,
                       // size; data: the entry's bytes (before the install's first add of it)
  kEntryAfter = 'L',   // texts: archive, stored name, fingerprint of the data; numbers:
                       // exists, timestamp, size (as the install left the entry)
  kRebased = 'K',      // texts: path, entry key (empty: a loose file), the id of the install
                       // undone under this one, then "absent", "entry" (stored name) or
                       // "stash" (where); numbers: timestamp; data: an entry's bytes. This
                       // install's before of that item from now on.
};

struct JournalRecord {
  RecordKind kind = RecordKind::kBegin;
  std::vector<std::string> texts;
  std::vector<std::uint64_t> numbers;
  Bytes data;

  const std::string& Text(std::size_t i) const;
  std::uint64_t Number(std::size_t i) const { return i < numbers.size() ? numbers[i] : 0; }
};

// A time as 7 numbers (year, month, day, hour, minute, second, nanosecond) and back.
void AppendTime(std::vector<std::uint64_t>& numbers, const LocalDateTime& time);
LocalDateTime TimeAt(const JournalRecord& record, std::size_t first);
// "2026-12-06 15:42:07".
std::string FormatTime(const LocalDateTime& time);

// The check of each record: zlib's CRC-32 in journals that begin with a format record,
// FNV-1a 32 in journals of earlier versions. The chain of checks an end mark carries is
// CRC-32, or FNV-1a 64, over each check's four bytes.
enum class RecordCheck { kFnv1a, kCrc32 };

Bytes EncodeRecord(const JournalRecord& record, RecordCheck check = RecordCheck::kCrc32);
// The format record new journals begin with.
Bytes FormatRecord();

// How the records of `journal` are checked, and where its first record after the format
// record begins.
struct JournalFormat {
  RecordCheck check = RecordCheck::kFnv1a;
  std::size_t start = 0;
};
JournalFormat FormatOf(const Bytes& journal);

struct JournalContents {
  std::vector<JournalRecord> records;
  bool torn_tail = false;         // the last record was cut short by a crash and is ignored
  std::uint64_t valid_bytes = 0;  // the length of the whole records
  JournalFormat format;
};
// Decodes a whole journal. A damaged record followed by more bytes, or an end mark whose
// count or chain does not match the records before it, fails (err::kInvalidFileFormat,
// "damaged: record at byte N"): the journal cannot be trusted past it.
Result<JournalContents> DecodeJournal(const Bytes& bytes);
// Decodes records checked with `check`, with no format record before them.
Result<JournalContents> DecodeRecords(const Bytes& bytes, RecordCheck check);
Result<JournalContents> ReadJournal(FileSystem& fs, const std::string& path);

// Appends records to a journal file kept open. Records are gathered in memory and
// written with the next flush (or once they pass kPendingLimit bytes): every change that
// depends on a record flushes first, so a record that a crash loses describes a change
// that was never made.
class JournalWriter {
 public:
  // Creates the journal (it must not exist) in `folder` and makes the folder's entry
  // durable.
  static Result<std::unique_ptr<JournalWriter>> Create(FileSystem& fs, const std::string& folder,
                                                       const std::string& path);
  // Opens a journal to append more records, cutting off a torn last record first.
  static Result<std::unique_ptr<JournalWriter>> Reopen(FileSystem& fs, const std::string& path,
                                                       std::uint64_t valid_bytes);

  ~JournalWriter();
  Status Append(const JournalRecord& record);
  // Makes every record appended so far durable (nothing to do when they are).
  Status Flush();
  // Makes the records in the journal's first `end` bytes durable: a flush unless they are.
  Status FlushTo(std::uint64_t end) { return end <= synced_ ? Status() : Flush(); }
  Status Close();
  // A journal of a rehearsal (dfmod plan) is never synced.
  void set_durable(bool durable) { durable_ = durable; }
  std::uint64_t bytes_written() const { return bytes_; }
  // The records appended since the journal was created, and the chain of their checks.
  std::uint64_t records() const { return records_; }
  std::uint64_t chain() const { return chain_; }

 private:
  JournalWriter(std::unique_ptr<File> file, std::uint64_t size, RecordCheck check);
  // Writes the gathered records to the file (not synced).
  Status WritePending();
  static constexpr std::size_t kPendingLimit = std::size_t{1} << 20;
  std::unique_ptr<File> file_;
  Bytes pending_;  // records appended but not yet written, ending at bytes_
  std::uint64_t bytes_ = 0;
  std::uint64_t synced_ = 0;  // bytes durable (all of them when the journal is not synced)
  std::uint64_t records_ = 0;
  RecordCheck check_ = RecordCheck::kCrc32;
  std::uint64_t chain_ = 0;
  bool dirty_ = false;
  bool durable_ = true;
  Status failed_;  // a write of gathered records that failed: the journal ends unknown
};

}  // namespace dfm
