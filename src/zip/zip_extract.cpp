#include "zip/zip_extract.h"
#include "base/ascii.h"

#include <zip.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "zip/zip_archive.h"
#include "zip/zip_entry_path.h"
#include "zip/zip_write.h"

namespace dfm {
namespace {

using namespace unzip;  // NOLINT: the run's result and answer codes
using zip_write::EntryWriter;
using zip_write::Level;

constexpr std::size_t kChunk = 256 * 1024;

char Fold(char c, bool case_sensitive) {
  return case_sensitive ? c : AsciiLower(c);
}

std::string MethodName(std::uint16_t method) {
  switch (method) {
    case ZIP_CM_STORE:
      return "Stored";
    case ZIP_CM_DEFLATE:
      return "Defl:N";
    case ZIP_CM_DEFLATE64:
      return "Defl64";
    case ZIP_CM_BZIP2:
      return "BZip2";
    case ZIP_CM_LZMA:
      return "LZMA";
    case ZIP_CM_XZ:
      return "XZ";
    default: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "Unk:%03u", method);
      return buf;
    }
  }
}

UnzipEntryNote MakeNote(const ZipEntryInfo& info) {
  UnzipEntryNote note;
  note.size = info.size;
  note.compressed_size = info.compressed_size;
  if (info.size > 0) {
    double saved = 100.0 *
                   (static_cast<double>(info.size) - static_cast<double>(info.compressed_size)) /
                   static_cast<double>(info.size);
    note.factor = static_cast<int>(std::lround(saved));
  }
  if (info.modified) {
    note.year = info.modified->year;
    note.month = info.modified->month;
    note.day = info.modified->day;
    note.hour = info.modified->hour;
    note.minute = info.modified->minute;
  }
  note.encrypted = info.encryption != ZIP_EM_NONE;
  note.flag = note.encrypted ? 'E' : ' ';
  note.name = info.name;
  note.method = MethodName(info.compression);
  note.crc = info.crc;
  return note;
}

bool IsPasswordFailure(const Failure& f) {
  return f.code == ZIP_ER_WRONGPASSWD || f.code == ZIP_ER_NOPASSWD;
}

class Unzipper {
 public:
  Unzipper(FileSystem& fs, const UnzipOptionRecord& record, UnzipCallbacks& callbacks,
           const UnzipNameLists& lists, PathStyle target)
      : fs_(fs),
        r_(record),
        cb_(callbacks),
        lists_(lists),
        target_(target),
        overwrite_all_(record.overwrite != 0),
        pattern_used_(lists.take.size(), false) {}

  int Run();

 private:
  void Say(Level level, std::string_view line);
  void PrintText(std::string_view text);
  void Note(int rc) { result_ = std::max(result_, rc); }
  bool Chosen(const std::string& name);
  int List();
  int Extract(std::uint64_t index, const ZipEntryInfo& info);
  int Test(std::uint64_t index, const ZipEntryInfo& info);
  int Show(std::uint64_t index, const ZipEntryInfo& info);
  std::unique_ptr<ZipEntryReader> OpenEntry(std::uint64_t index, const ZipEntryInfo& info, int& rc);
  std::unique_ptr<ZipEntryReader> AskPassword(std::uint64_t index, const ZipEntryInfo& info,
                                              int& rc);
  bool ShouldWrite(const std::string& path, const ZipEntryInfo& info);

  FileSystem& fs_;
  const UnzipOptionRecord& r_;
  UnzipCallbacks& cb_;
  const UnzipNameLists& lists_;
  PathStyle target_;
  bool overwrite_all_;
  bool replace_none_ = false;
  std::vector<bool> pattern_used_;
  std::optional<ZipArchive> archive_;
  std::optional<std::string> password_;
  std::optional<EntryWriter> writer_;  // while extracting
  int result_ = kOk;
  int chosen_ = 0;
  int password_skips_ = 0;
  int test_errors_ = 0;
};

void Unzipper::Say(Level level, std::string_view line) {
  if (level == Level::kProgress && r_.quiet >= 1) return;
  if (level == Level::kWarning && r_.quiet >= 2) return;
  PrintText(line);
  cb_.Print("\n");
}

// Hands `text` to Print with each line feed as a piece of its own.
void Unzipper::PrintText(std::string_view text) {
  while (!text.empty()) {
    std::size_t lf = text.find('\n');
    if (lf != 0) cb_.Print(text.substr(0, lf));
    if (lf == std::string_view::npos) break;
    cb_.Print("\n");
    text.remove_prefix(lf + 1);
  }
}

bool Unzipper::Chosen(const std::string& name) {
  bool case_sensitive = r_.case_sensitive != 0;
  for (const auto& pattern : lists_.leave) {
    if (MatchesPattern(pattern, name, case_sensitive)) return false;
  }
  if (lists_.take.empty()) return true;
  bool chosen = false;
  for (std::size_t i = 0; i < lists_.take.size(); ++i) {
    if (MatchesPattern(lists_.take[i], name, case_sensitive)) chosen = pattern_used_[i] = true;
  }
  return chosen;
}

int Unzipper::Run() {
  auto archive = ZipArchive::Open(fs_, r_.zip_name);
  if (!archive) {
    Say(Level::kAlways,
        "cannot find or open " + r_.zip_name + " (" + archive.failure().description + ")");
    return kNoZip;
  }
  archive_.emplace(std::move(*archive));
  Say(Level::kProgress, "Archive:  " + r_.zip_name);
  if (r_.comment) {
    Say(Level::kAlways, archive_->Comment());
    return kOk;
  }
  if (archive_->EntryCount() == 0) {
    Say(Level::kWarning, "warning: " + r_.zip_name + " is empty");
    return kWarning;
  }
  if (r_.list || r_.verbose) return List();
  if (!r_.test && !r_.to_stdout) {
    writer_.emplace(fs_, r_, target_,
                    [this](Level level, std::string_view line) { Say(level, line); });
    if (!r_.extract_dir.empty() && !writer_->MakeFolder(r_.extract_dir)) return kError;
  }
  for (std::uint64_t i = 0; i < archive_->EntryCount(); ++i) {
    auto info = archive_->Entry(i);
    if (!info) {
      Say(Level::kAlways,
          "error: entry " + std::to_string(i) + " (" + info.failure().description + ")");
      Note(kError);
      continue;
    }
    if (!Chosen(info->name)) continue;
    ++chosen_;
    Note(r_.test ? Test(i, *info) : r_.to_stdout ? Show(i, *info) : Extract(i, *info));
    if (cb_.Service(info->name, info->size) != 0) return kStopped;
  }
  for (std::size_t i = 0; i < lists_.take.size(); ++i) {
    if (pattern_used_[i]) continue;
    Say(Level::kAlways, "caution: filename not matched:  " + lists_.take[i]);
    Note(kNoMatch);
  }
  if (r_.test) {
    if (test_errors_ == 0)
      Say(Level::kWarning, "No errors detected in compressed data of " + r_.zip_name + ".");
    else
      Say(Level::kAlways, "At least one error was detected in " + r_.zip_name + ".");
  }
  if (chosen_ > 0 && password_skips_ == chosen_) return kBadPassword;
  return result_;
}

int Unzipper::List() {
  const bool verbose = r_.verbose != 0;
  Say(Level::kProgress, verbose ? " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name"
                                : "  Length      Date    Time    Name");
  Say(Level::kProgress, verbose ? "--------  ------  ------- ---- ---------- ----- --------  ----"
                                : "---------  ---------- -----   ----");
  std::uint64_t total = 0, total_compressed = 0, count = 0;
  char buf[96];
  for (std::uint64_t i = 0; i < archive_->EntryCount(); ++i) {
    auto info = archive_->Entry(i);
    if (!info || !Chosen(info->name)) continue;
    UnzipEntryNote note = MakeNote(*info);
    cb_.Message(note);
    if (verbose) {
      std::snprintf(buf, sizeof buf, "%8llu  %-6s %8llu %3d%% %04d-%02d-%02d %02d:%02d %08x%c ",
                    static_cast<unsigned long long>(note.size), note.method.c_str(),
                    static_cast<unsigned long long>(note.compressed_size), note.factor, note.year,
                    note.month, note.day, note.hour, note.minute, note.crc, note.flag);
    } else {
      std::snprintf(buf, sizeof buf, "%9llu  %04d-%02d-%02d %02d:%02d   ",
                    static_cast<unsigned long long>(note.size), note.year, note.month, note.day,
                    note.hour, note.minute);
    }
    Say(Level::kAlways, buf + note.name);
    total += note.size;
    total_compressed += note.compressed_size;
    ++count;
  }
  if (verbose) {
    Say(Level::kProgress, "--------          -------  ---                            -------");
    int factor =
        total ? static_cast<int>(std::lround(
                    100.0 * (static_cast<double>(total) - static_cast<double>(total_compressed)) /
                    static_cast<double>(total)))
              : 0;
    std::snprintf(
        buf, sizeof buf, "%8llu         %8llu %3d%%                            %llu files",
        static_cast<unsigned long long>(total), static_cast<unsigned long long>(total_compressed),
        factor, static_cast<unsigned long long>(count));
  } else {
    Say(Level::kProgress, "---------                     -------");
    std::snprintf(buf, sizeof buf, "%9llu                     %llu files",
                  static_cast<unsigned long long>(total), static_cast<unsigned long long>(count));
  }
  Say(Level::kProgress, buf);
  return kOk;
}

std::unique_ptr<ZipEntryReader> Unzipper::OpenEntry(std::uint64_t index, const ZipEntryInfo& info,
                                                    int& rc) {
  if (!archive_->CanDecode(info)) {
    Say(Level::kAlways, "skipping: " + info.name + "  (unsupported compression or encryption)");
    rc = kWarning;
    return nullptr;
  }
  if (info.encryption != ZIP_EM_NONE) return AskPassword(index, info, rc);
  auto reader = archive_->OpenEntry(index, std::nullopt);
  if (!reader) {
    Say(Level::kAlways, "error: " + info.name + " (" + reader.failure().description + ")");
    rc = kError;
    return nullptr;
  }
  return std::move(*reader);
}

// The password of the previous entry is tried first; then the user is asked, up to
// kPasswordTries times while the answers are wrong. A refusal skips the entry.
std::unique_ptr<ZipEntryReader> Unzipper::AskPassword(std::uint64_t index, const ZipEntryInfo& info,
                                                      int& rc) {
  for (int tries = 0;; ++tries) {
    if (password_) {
      auto reader = archive_->OpenEntry(index, password_);
      if (reader) return std::move(*reader);
      if (!IsPasswordFailure(reader.failure())) {
        Say(Level::kAlways, "error: " + info.name + " (" + reader.failure().description + ")");
        rc = kError;
        return nullptr;
      }
    }
    if (tries == kPasswordTries) {
      Say(Level::kAlways, "skipping: " + info.name + "  incorrect password");
      break;
    }
    std::string prompt =
        (password_ ? "Password incorrect--reenter password for " : "Enter password for ") +
        info.name;
    std::string answer;
    if (cb_.Password(answer, kPasswordCapacity, prompt, info.name) != 0) {
      Say(Level::kAlways, "skipping: " + info.name + "  unable to get password");
      break;
    }
    password_ = answer.substr(0, kPasswordCapacity - 1);
  }
  ++password_skips_;
  rc = kWarning;
  return nullptr;
}

int Unzipper::Test(std::uint64_t index, const ZipEntryInfo& info) {
  int rc = kOk;
  auto reader = OpenEntry(index, info, rc);
  if (!reader) return rc;
  std::vector<unsigned char> buf(kChunk);
  for (;;) {
    auto n = reader->Read(buf.data(), buf.size());
    if (!n) {
      Say(Level::kAlways, "    testing: " + info.name + "   " + n.failure().description);
      ++test_errors_;
      return kError;
    }
    if (*n == 0) break;
  }
  Say(Level::kProgress, "    testing: " + info.name + "   OK");
  return kOk;
}

int Unzipper::Show(std::uint64_t index, const ZipEntryInfo& info) {
  int rc = kOk;
  auto reader = OpenEntry(index, info, rc);
  if (!reader) return rc;
  std::vector<char> buf(kChunk);
  for (;;) {
    auto n = reader->Read(buf.data(), buf.size());
    if (!n) {
      Say(Level::kAlways, "error: " + info.name + " (" + n.failure().description + ")");
      return kError;
    }
    if (*n == 0) return kOk;
    PrintText(std::string_view(buf.data(), *n));
  }
}

int Unzipper::Extract(std::uint64_t index, const ZipEntryInfo& info) {
  EntryPlace place =
      PlaceEntry(info.name, r_.honor_folders != 0, r_.space_to_underscore != 0, target_);
  if (!place.problem.empty()) {
    Say(Level::kAlways, "skipping: " + info.name + "  (" + place.problem + ")");
    return kWarning;
  }
  const auto& parts = place.components;
  if (place.is_folder) {
    if (parts.empty()) return kOk;
    if (!writer_->MakeFolders(parts, parts.size())) return kError;
    Say(Level::kProgress, "   creating: " + writer_->Target(parts, parts.size()));
    return kOk;
  }
  if (!writer_->MakeFolders(parts, parts.size() - 1)) return kError;
  std::string path = writer_->Target(parts, parts.size());
  if (!ShouldWrite(path, info)) return kOk;
  int rc = kOk;
  auto reader = OpenEntry(index, info, rc);
  if (!reader) return rc;
  return writer_->Write(*reader, path, info);
}

bool Unzipper::ShouldWrite(const std::string& path, const ZipEntryInfo& info) {
  const bool newer_only = r_.extract_only_newer || r_.freshen;
  if (overwrite_all_ && !newer_only) return true;  // no need to look
  if (!writer_->Exists(path)) return !r_.freshen;
  if (newer_only) return writer_->EntryIsNewer(path, info);
  if (overwrite_all_) return true;
  if (!replace_none_ && r_.prompt_overwrite) {
    switch (cb_.Replace(path)) {
      case kReplaceYes:
        return true;
      case kReplaceAll:
        overwrite_all_ = true;
        return true;
      case kReplaceNone:
        replace_none_ = true;
        break;
      default:
        break;
    }
  }
  Say(Level::kWarning, "skipping: " + path + "  (file exists)");
  return false;
}

}  // namespace

std::array<std::int32_t, 15> UnzipOptionRecord::Numbers() const {
  return {extract_only_newer,
          space_to_underscore,
          prompt_overwrite,
          quiet,
          to_stdout,
          test,
          list,
          freshen,
          comment,
          honor_folders,
          overwrite,
          text_crlf,
          verbose,
          case_sensitive,
          privilege};
}

bool MatchesPattern(std::string_view pattern, std::string_view name, bool case_sensitive) {
  std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || Fold(pattern[p], case_sensitive) == Fold(name[n], case_sensitive))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int RunUnzip(FileSystem& fs, const UnzipOptionRecord& record, UnzipCallbacks& callbacks,
             const UnzipNameLists& lists, PathStyle target) {
  return Unzipper(fs, record, callbacks, lists, target).Run();
}

}  // namespace dfm
