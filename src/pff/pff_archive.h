// The PFF archive as bytes and as an in-memory directory: decoding and encoding the
// 20-byte header and the directory records, the name rule, the timestamp rule, the
// checks an archive must pass before anything is written into it, and the placement of
// one new entry (dead space first fit, else behind the data area). Everything here is
// pure except ReadPffArchive, which reads through the FileSystem interface.
//
// Layout (little-endian signed 32-bit numbers):
//   header   offset 0, 20 bytes: HeaderSize, Signature[4], FileCount, RecordSize,
//            DirectoryOffset
//   data     anywhere between the header and the directory
//   records  FileCount records at DirectoryOffset, each PffRecordStride(RecordSize) long;
//            the first 32 bytes are DeadFlag, DataOffset, DataSize, Timestamp, Name[16]
//   trailer  8 zero bytes and kPffTrailerText, directly behind the last record
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "pff/pff_lookup.h"
#include "platform/file_system.h"

namespace dfm {

inline constexpr std::size_t kPffHeaderSize = 20;
inline constexpr std::size_t kPffFieldBytes = 32;  // bytes of a record that hold its fields
inline constexpr std::size_t kPffNameSize = 16;
// Longest record accepted. Known archives use 32 or 36; an empty directory cannot show
// that a larger declared size is real, and every added record would take that much.
inline constexpr std::int32_t kPffMaxRecordSize = 65536;
inline constexpr std::int32_t kPffDeadFlag = 1;  // only this exact value marks dead space
inline constexpr std::string_view kPffDeadSpaceName = "<DEAD SPACE>";
inline constexpr std::string_view kPffTrailerText =
    "DADE, Modified By Kyv Obrik's Pff Utility v0.7";
inline constexpr std::size_t kPffTrailerSize = 8 + kPffTrailerText.size();  // 54

using PffName = std::array<char, kPffNameSize>;

struct PffHeader {
  std::int32_t header_size = 0;  // kept, never interpreted
  std::array<char, 4> signature{};
  std::int32_t file_count = 0;
  std::int32_t record_size = 0;  // as declared; see PffRecordStride
  std::int32_t directory_offset = 0;

  friend bool operator==(const PffHeader&, const PffHeader&) = default;
};

struct PffEntry {
  std::int32_t dead_flag = 0;
  std::int32_t data_offset = 0;
  std::int32_t data_size = 0;
  std::int32_t timestamp = 0;
  PffName name{};

  bool IsDeadSpace() const { return dead_flag == kPffDeadFlag; }
  friend bool operator==(const PffEntry&, const PffEntry&) = default;
};

// Bytes per directory record: RecordSize when it is above 32, else 32.
std::uint32_t PffRecordStride(std::int32_t record_size);

// `bytes` points at kPffHeaderSize bytes.
PffHeader DecodePffHeader(const unsigned char* bytes);
void EncodePffHeader(const PffHeader& header, unsigned char* out);
// `record` points at kPffFieldBytes bytes.
PffEntry DecodePffEntry(const unsigned char* record);
void EncodePffEntry(const PffEntry& entry, unsigned char* out);

// A name field: the text cut to 16 bytes or padded with NULs to 16.
PffName MakePffName(std::string_view text);
// True when all 16 bytes agree after ASCII upper-casing (NULs and any bytes after the
// first NUL take part).
bool PffNamesMatch(const PffName& a, const PffName& b);
// The 16 name bytes without their trailing NULs.
std::string PffNameText(const PffName& name);

// Seconds from 31 December 1969 19:00:00 to `local` on the same (local) clock, rounded to
// the nearest second (half a second rounds up). Fails with err::kOverflow outside the
// signed 32-bit range.
Result<std::int32_t> PffTimestamp(const LocalDateTime& local);

// Bytes of the directory records the header declares, after checking that they lie in a
// file of `file_length` bytes: FileCount not negative, RecordSize at most
// kPffMaxRecordSize, DirectoryOffset not inside the header, the last record ending inside
// the file and below 2 GiB. Fails with
// err::kInvalidFileFormat (or err::kOverflow past 2 GiB) and says which rule broke.
Result<std::uint64_t> PffDirectoryBytes(const PffHeader& header, std::uint64_t file_length);

// Where one add puts its data and how the directory changed; Revert() undoes it.
struct PffPlacement {
  enum class Kind { kRevived, kSplit, kAppended };  // dead space reused whole, its tail, none
  Kind kind = Kind::kAppended;
  std::int32_t data_offset = 0;
  std::int32_t replaced_size = -1;  // the DataSize of the live entry replaced, or -1
  PffEntry replaced;                // that entry as it was (when replaced_size >= 0)

 private:
  friend class PffDirectory;
  struct Saved {
    std::size_t index;
    PffEntry entry;
    Bytes record;
  };
  PffHeader old_header;
  std::vector<Saved> saved;  // records changed in place, in the order they were changed
};

// An archive's header and directory in memory, together with the exact bytes that go to
// disk at DirectoryOffset: every record (bytes 32 onward of records read from disk kept
// as read, zeros in records written anew) followed by the trailer.
class PffDirectory {
 public:
  // An archive with no records (FileCount 0 in the header is required).
  explicit PffDirectory(const PffHeader& header = {});

  // Decodes `size` bytes of records as the header lays them out. `size` must be what
  // PffDirectoryBytes returned for this header.
  static PffDirectory FromRecords(const PffHeader& header, const unsigned char* records,
                                  std::size_t size);

  const PffHeader& header() const { return header_; }
  const std::vector<PffEntry>& entries() const { return entries_; }
  std::uint32_t stride() const { return stride_; }
  // Offset just behind the last record (where the trailer starts).
  std::uint64_t records_end() const;
  // The records and the trailer, as written at header().directory_offset.
  const Bytes& image() const { return image_; }

  // Fails (err::kInvalidFileFormat) when a record has a negative size or places data
  // outside the space between the header and the directory (records of size 0 take no
  // space). Adding into such an archive would write over the header or the directory.
  // Records may share data: see Place.
  Status CheckDataExtents() const;

  // Puts a new entry into the directory: the first record whose name matches becomes
  // dead space, then the first dead record large enough takes the data (revived when it
  // fits exactly, else its tail is used and a record is appended), else the data goes to
  // DirectoryOffset and the directory moves up behind it. Dead space whose bytes another
  // record (live or dead) also covers, as read from the archive, is never taken: writing
  // there would change that record's data. (Records that an add creates or shrinks never
  // share bytes, so which records share is known once the archive is read.) `incoming.dead_flag`
  // and `data_offset` are ignored. Fails with err::kOverflow, leaving everything unchanged, when a
  // count or offset would leave the signed 32-bit range.
  Result<PffPlacement> Place(const PffEntry& incoming);
  // Undoes the most recent successful Place().
  void Revert(const PffPlacement& placement);
  // The index of the first live record whose name matches, or PffLookup::kNone.
  std::size_t FindLive(const PffName& name) const;
  // Makes record `index` dead space, as a replacing add does (its data stays where it
  // is, for later adds to reuse); the directory's length does not change.
  void MarkDead(std::size_t index);

 private:
  std::string Describe(std::size_t index) const;
  // Whether record `index` shares bytes with another record (see Place).
  bool Shared(std::size_t index) const;
  // entries_ changes only through these three, which keep lookup_ in step.
  void Put(std::size_t index, const PffEntry& entry);
  void Push(const PffEntry& entry);
  void Pop();
  void SetRecord(std::size_t index, const PffEntry& entry, bool clear_rest);
  void AppendRecord(const PffEntry& entry);
  void WriteTrailer();

  PffHeader header_;
  std::uint32_t stride_ = kPffFieldBytes;
  std::vector<PffEntry> entries_;
  std::vector<bool> shared_;  // per record read from the archive; records added share nothing
  PffLookup lookup_;
  Bytes image_;
};

// Reads an archive's header and directory (one read each; the entries' data is not
// read) and checks the directory's bounds against the file's length. A file shorter
// than the header fails with the read's own failure.
Result<PffDirectory> ReadPffArchive(FileSystem& fs, const std::string& path);

// Bytes of the header as written at offset 0.
std::array<unsigned char, kPffHeaderSize> EncodePffHeader(const PffHeader& header);

}  // namespace dfm
