// ZIP archives over libzip: reading one from a file of a FileSystem or from memory, and
// writing one into memory. Failures carry libzip's error number (ZIP_ER_*) as their code.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "platform/file_system.h"

namespace dfm {

struct ZipEntryInfo {
  std::string name;  // as stored; "/" or "\" ends a folder entry
  std::uint64_t size = 0;
  std::uint64_t compressed_size = 0;
  std::uint32_t crc = 0;
  std::uint16_t compression = 0;  // 0 stored, 8 deflated, ...
  std::uint16_t encryption = 0;   // 0 none
  std::optional<LocalDateTime> modified;

  bool IsFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
};

// One entry opened for reading; its checksum is verified when the last byte is read.
class ZipEntryReader {
 public:
  virtual ~ZipEntryReader() = default;
  // Up to `size` bytes; 0 at the end.
  virtual Result<std::size_t> Read(void* out, std::size_t size) = 0;
};

class ZipArchive {
 public:
  // Reads the archive through `fs`; the file stays open while the archive lives.
  static Result<ZipArchive> Open(FileSystem& fs, const std::string& path);
  static Result<ZipArchive> FromBytes(Bytes data);

  ZipArchive(ZipArchive&&) noexcept;
  ZipArchive& operator=(ZipArchive&&) noexcept;
  ~ZipArchive();

  std::uint64_t EntryCount() const;
  Result<ZipEntryInfo> Entry(std::uint64_t index) const;
  std::string Comment() const;
  // Opens an entry; `password` is used for an encrypted one (nullopt: none given).
  // Fails with ZIP_ER_NOPASSWD / ZIP_ER_WRONGPASSWD when the password is missing or wrong.
  Result<std::unique_ptr<ZipEntryReader>> OpenEntry(
      std::uint64_t index, const std::optional<std::string>& password) const;
  // Whether this build can decode the entry's compression and encryption methods.
  bool CanDecode(const ZipEntryInfo& entry) const;

  struct Impl;

 private:
  explicit ZipArchive(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

enum class ZipEncryption { kNone, kTraditional, kAes256 };

struct ZipAddOptions {
  bool compress = true;
  std::optional<LocalDateTime> modified;  // default: now
  ZipEncryption encryption = ZipEncryption::kNone;
  std::string password;
};

// Builds an archive in memory, entries in the order added.
class ZipWriter {
 public:
  ZipWriter();
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  Status Add(const std::string& name, Bytes data, const ZipAddOptions& options = {});
  // The archive's bytes; the writer is spent afterwards.
  Result<Bytes> Finish();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace dfm
