// Main.zip comes from whoever built the installer: any bytes must be listed, tested and
// placed without harm. Extraction itself is covered by the tests; here the archive is
// read, every entry decoded, and every name placed for both kinds of target.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/host.h"
#include "zip/zip_archive.h"
#include "zip/zip_entry_path.h"
#include "zip/zip_extract.h"

namespace {

class QuietCallbacks : public dfm::UnzipCallbacks {
 public:
  void Print(std::string_view) override {}
  int Replace(const std::string&) override { return dfm::unzip::kReplaceNo; }
  int Password(std::string& answer, std::size_t, const std::string&, const std::string&) override {
    if (asked_++ > 2) return 1;
    answer = "password";
    return 0;
  }
  void Message(const dfm::UnzipEntryNote&) override {}
  int Service(const std::string&, std::uint64_t) override { return 0; }

 private:
  int asked_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto archive = dfm::ZipArchive::FromBytes(dfm::Bytes(data, data + size));
  if (!archive) return 0;
  for (std::uint64_t i = 0; i < archive->EntryCount() && i < 64; ++i) {
    auto entry = archive->Entry(i);
    if (!entry) continue;
    for (bool honor : {false, true}) {
      (void)dfm::PlaceEntry(entry->name, honor, true, dfm::PathStyle::kWindows);
      (void)dfm::PlaceEntry(entry->name, honor, false, dfm::PathStyle::kPosix);
    }
  }
  // The whole run in test and list mode, reading the archive through the file system.
  static const std::string path = "/tmp/dfm-unzip-fuzz-" + std::to_string(::getpid()) + ".zip";
  static const struct RemoveAtExit {
    ~RemoveAtExit() { std::remove(path.c_str()); }
  } remove_at_exit;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  auto fs = dfm::MakeHostFileSystem();
  for (int mode = 0; mode < 2; ++mode) {
    dfm::UnzipOptionRecord record;
    record.zip_name = path;
    record.test = mode == 0;
    record.verbose = mode == 1;
    QuietCallbacks callbacks;
    (void)dfm::RunUnzip(*fs, record, callbacks);
  }
  return 0;
}
