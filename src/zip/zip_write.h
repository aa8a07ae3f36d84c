// The writing side of an extraction run: folders made once per run, each entry written
// to a file created anew, with the entry's time.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"
#include "platform/file_system.h"
#include "zip/zip_archive.h"
#include "zip/zip_extract.h"

namespace dfm::zip_write {

enum class Level {
  kProgress,  // what is being done: quiet level 0 only
  kWarning,   // something was left alone on purpose: quiet levels 0 and 1
  kAlways,    // an entry was not extracted, or what the run was asked to print
};

// Writes the files and folders of one run. While it lives, the file system may trust its
// folder listings (FileSystem::BeginBatch): the run alone changes the folders it writes.
class EntryWriter {
 public:
  using Say = std::function<void(Level, std::string_view)>;
  EntryWriter(FileSystem& fs, const UnzipOptionRecord& record, PathStyle target, Say say)
      : fs_(fs), r_(record), target_(target), say_(std::move(say)), batch_(fs.BeginBatch()) {}

  // Whether something is at `path`; an answer other than "not found" counts as yes.
  bool Exists(const std::string& path);
  // Whether the entry is newer than the file at `path` (or either time is unknown).
  bool EntryIsNewer(const std::string& path, const ZipEntryInfo& info);
  // Writes the entry's bytes to `path`, replacing a file there; one of unzip::k*.
  int Write(ZipEntryReader& reader, const std::string& path, const ZipEntryInfo& info);
  // Makes the folder (and, for MakeFolders, the first `count` components below the
  // extraction folder) unless this run made or found it before; false after a message.
  bool MakeFolder(const std::string& path);
  bool MakeFolders(const std::vector<std::string>& components, std::size_t count);
  // The extraction folder joined with the first `count` components.
  std::string Target(const std::vector<std::string>& components, std::size_t count) const;

 private:
  int WriteFailed(const std::string& path, const Failure& failure, const char* what);
  std::string Join(const std::string& folder, const std::string& name) const;

  FileSystem& fs_;
  const UnzipOptionRecord& r_;
  PathStyle target_;
  Say say_;
  std::unique_ptr<FileBatch> batch_;
  std::set<std::string> folders_made_;
  std::vector<unsigned char> buf_;  // one chunk of an entry, kept for the next one
};

}  // namespace dfm::zip_write
