// The extraction library behind the installer's ZIP glue: one run over one archive,
// steered by the option record and talking back through callbacks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"
#include "platform/file_system.h"

namespace dfm {

// The option record, fields 0 to 16 in this order.
struct UnzipOptionRecord {
  std::int32_t extract_only_newer = 0;   // 0: only entries newer than the file (or new ones)
  std::int32_t space_to_underscore = 0;  // 1: blanks in names become "_"
  std::int32_t prompt_overwrite = 0;     // 2: ask through Replace before replacing a file
  std::int32_t quiet = 0;                // 3: 0 all messages, 1 no progress, 2 errors only
  std::int32_t to_stdout = 0;            // 4: print the entries' contents, write no file
  std::int32_t test = 0;                 // 5: verify every entry, write nothing
  std::int32_t list = 0;                 // 6: list the entries instead of extracting
  std::int32_t freshen = 0;              // 7: only replace existing files by newer entries
  std::int32_t comment = 0;              // 8: print the archive comment, nothing else
  std::int32_t honor_folders = 0;        // 9: recreate the folders stored in the archive
  std::int32_t overwrite = 0;            // 10: replace existing files without asking
  std::int32_t text_crlf = 0;            // 11: line feeds of text entries become CR LF
  std::int32_t verbose = 0;              // 12: detailed listing instead of extracting
  std::int32_t case_sensitive = 0;       // 13: name patterns match with exact case
  std::int32_t privilege = 0;            // 14: restoring access rights: not stored, ignored
  std::string zip_name;                  // 15: the archive
  std::string extract_dir;               // 16: where to extract; empty: current directory

  // Fields 0 to 14.
  std::array<std::int32_t, 15> Numbers() const;
};

namespace unzip {
// Answers of the Replace callback.
inline constexpr int kReplaceNo = 100;
inline constexpr int kReplaceYes = 102;
inline constexpr int kReplaceAll = 103;
inline constexpr int kReplaceNone = 104;

// Results of a run.
inline constexpr int kOk = 0;
inline constexpr int kWarning = 1;   // some entries were skipped
inline constexpr int kError = 2;     // an entry could not be read or written
inline constexpr int kNoZip = 9;     // the archive cannot be opened or read
inline constexpr int kNoMatch = 11;  // a name pattern matched no entry
inline constexpr int kDiskFull = 50;
inline constexpr int kStopped = 80;      // the Service callback asked to stop
inline constexpr int kBadPassword = 82;  // every chosen entry lacked its password

// The size of the buffer the Password callback fills, its zero byte included.
inline constexpr std::size_t kPasswordCapacity = 81;
// Questions per encrypted entry while the answers are wrong.
inline constexpr int kPasswordTries = 3;
}  // namespace unzip

// One entry, as the listing reports it to the Message callback.
struct UnzipEntryNote {
  std::uint64_t size = 0;
  std::uint64_t compressed_size = 0;
  int factor = 0;  // space saved, in percent
  int month = 0, day = 0, year = 0, hour = 0, minute = 0;
  char flag = ' ';  // 'E' when encrypted
  std::string name;
  std::string method;  // "Stored", "Defl:N", ...
  std::uint32_t crc = 0;
  bool encrypted = false;
};

class UnzipCallbacks {
 public:
  virtual ~UnzipCallbacks() = default;
  // Printed text, in pieces: a line's text and its "\n" arrive as separate pieces.
  virtual void Print(std::string_view text) = 0;
  // `path` exists: one of unzip::kReplace*.
  virtual int Replace(const std::string& path) = 0;
  // 0 with a password in `answer` (at most `capacity` - 1 bytes), or 1 for none.
  virtual int Password(std::string& answer, std::size_t capacity, const std::string& prompt,
                       const std::string& entry) = 0;
  // One entry of a listing.
  virtual void Message(const UnzipEntryNote& note) = 0;
  // After each entry; anything but 0 stops the run.
  virtual int Service(const std::string& entry, std::uint64_t size) = 0;
};

// Names to take and to leave out: patterns with "*" and "?" over the stored entry names,
// matched with or without regard to case by field 13. An empty take list takes all.
struct UnzipNameLists {
  std::vector<std::string> take;
  std::vector<std::string> leave;
};

bool MatchesPattern(std::string_view pattern, std::string_view name, bool case_sensitive);

// One run over `record.zip_name`, which is read through `fs` like every file written.
// Returns one of unzip::k*. Extracted files get their entries' modification times.
// Entries whose names cannot be placed safely (PlaceEntry for `target`) are skipped with a
// message. Messages about entries that were not extracted are printed at every quiet level.
int RunUnzip(FileSystem& fs, const UnzipOptionRecord& record, UnzipCallbacks& callbacks,
             const UnzipNameLists& lists = {}, PathStyle target = HostPathStyle());

}  // namespace dfm
