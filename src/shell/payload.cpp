#include "shell/payload.h"

#include <cmath>
#include <limits>
#include <set>

#include "base/path_utils.h"
#include "platform/dialogs.h"
#include "restore/journaling_file_system.h"
#include "zip/unzip_settings.h"

namespace dfm {
namespace {

// Passes every call on and notes the files written or renamed into place (their folded
// absolute paths).
class NotingFileSystem final : public FileSystem {
 public:
  NotingFileSystem(FileSystem& inner, std::set<std::string>& noted)
      : inner_(inner), noted_(noted) {}
  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    if (mode != OpenMode::kRead) Note(path);
    return inner_.Open(path, mode);
  }
  std::unique_ptr<FileBatch> BeginBatch() override { return inner_.BeginBatch(); }
  Result<std::uint64_t> FileLength(const std::string& path) override {
    return inner_.FileLength(path);
  }
  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    return inner_.ModifiedTime(path);
  }
  Result<FileStat> Stat(const std::string& path) override { return inner_.Stat(path); }
  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override {
    return inner_.SetModifiedTime(path, time);
  }
  Result<bool> IsDirectory(const std::string& path) override { return inner_.IsDirectory(path); }
  Result<std::string> ExactPath(const std::string& path) override { return inner_.ExactPath(path); }
  Result<FileIdentity> Identity(const std::string& path) override { return inner_.Identity(path); }
  Status CopyFile(const std::string& from, const std::string& to) override {
    Note(to);
    return inner_.CopyFile(from, to);
  }
  Status Rename(const std::string& from, const std::string& to) override {
    Note(to);
    return inner_.Rename(from, to);
  }
  Status ReplaceFile(const std::string& from, const std::string& to) override {
    Note(to);
    return inner_.ReplaceFile(from, to);
  }
  Status RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  Status MakeDirectory(const std::string& path) override { return inner_.MakeDirectory(path); }
  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    return inner_.ListDirectory(path);
  }
  Result<std::string> CurrentDirectory() override { return inner_.CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& path) override {
    return inner_.SetCurrentDirectory(path);
  }

 private:
  void Note(const std::string& path) { noted_.insert(FoldedPath(AbsolutePath(inner_, path))); }
  FileSystem& inner_;
  std::set<std::string>& noted_;
};

Failure InvalidPayload(const std::string& name, const std::string& why) {
  return Failure{err::kInvalidFileFormat, "Invalid payload in " + name + ": " + why};
}

std::int32_t LittleEndian32(const unsigned char* b) {
  std::uint32_t v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  return static_cast<std::int32_t>(v);
}

// Writes one payload piece as a fresh file. True when the file was created, even if
// writing it then failed (so the caller knows it is this run's file).
bool UnpackPiece(Platform& p, const std::string& program_file, std::uint64_t offset,
                 std::uint64_t length, const std::string& target) {
  auto report = [&](const Failure& f) { p.dialogs.MessageBox(UnpackErrorText(f)); };
  auto bytes = ReadPayloadPiece(p.fs, program_file, offset, length);
  if (!bytes) {
    report(bytes.failure());
    return false;
  }
  auto file = p.fs.Open(target, OpenMode::kCreateFresh);
  if (!file) {
    report(file.failure());
    return false;
  }
  Status st = bytes->empty() ? Status() : (*file)->WriteAt(0, bytes->data(), bytes->size());
  if (!st) {
    report(st.failure());
    (void)(*file)->Close();
  } else if (auto closed = (*file)->Close(); !closed) {
    report(closed.failure());
  }
  return true;
}

}  // namespace

Result<PayloadLayout> ComputePayloadLayout(std::uint64_t file_length, std::int32_t trailer,
                                           const std::string& name) {
  if (file_length < kTrailerSize)
    return InvalidPayload(name, "the file is " + std::to_string(file_length) +
                                    " bytes long, too short for a payload");
  const std::uint64_t room = file_length - kTrailerSize;
  if (trailer < 0 || static_cast<std::uint64_t>(trailer) + kLibrarySlotsSize > room)
    return InvalidPayload(name, "the trailer announces " + std::to_string(trailer) +
                                    " bytes of Main.zip, but the " + std::to_string(file_length) +
                                    "-byte file cannot hold them with the library slots");
  PayloadLayout layout;
  layout.file_length = file_length;
  layout.main_zip_length = static_cast<std::uint32_t>(trailer);
  layout.trailer_offset = room;
  layout.main_zip_offset = room - layout.main_zip_length;
  layout.zip_library_offset = layout.main_zip_offset - kZipLibrarySize;
  layout.jpeg_library_offset = layout.zip_library_offset - kJpegLibrarySize;
  return layout;
}

Result<PayloadLayout> ReadPayloadLayout(FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto length = (*file)->Size();
  if (!length) return length.failure();
  std::int32_t trailer = -1;
  if (*length >= kTrailerSize) {
    unsigned char b[kTrailerSize];
    if (auto st = (*file)->ReadAt(*length - kTrailerSize, b, sizeof b); !st) return st.failure();
    trailer = LittleEndian32(b);
  }
  if (auto st = (*file)->Close(); !st) return st.failure();
  return ComputePayloadLayout(*length, trailer, path);
}

Result<Bytes> ReadPayloadPiece(FileSystem& fs, const std::string& path, std::uint64_t offset,
                               std::uint64_t length) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto size = (*file)->Size();
  if (!size) return size.failure();
  if (offset > *size || length > *size - offset)
    return Failure{err::kInputPastEndOfFile, "Input past end of file: " + path};
  Bytes bytes(static_cast<std::size_t>(length));
  if (!bytes.empty()) {
    if (auto st = (*file)->ReadAt(offset, bytes.data(), bytes.size()); !st) return st.failure();
  }
  if (auto st = (*file)->Close(); !st) return st.failure();
  return bytes;
}

Status WriteInstaller(FileSystem& fs, const std::string& path, const Bytes& stub,
                      const Bytes& library_slots, const Bytes& main_zip) {
  if (library_slots.size() != kLibrarySlotsSize)
    return Status::Fail(err::kInvalidProcedureCall,
                        "The library slots must be " + std::to_string(kLibrarySlotsSize) +
                            " bytes, not " + std::to_string(library_slots.size()));
  if (main_zip.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    return Status::Fail(err::kInvalidProcedureCall,
                        "Main.zip is too large for the payload's 32-bit length");
  auto file = fs.Open(path, OpenMode::kCreateFresh);
  if (!file) return file.failure();
  const auto n = static_cast<std::uint32_t>(main_zip.size());
  const unsigned char trailer[kTrailerSize] = {
      static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
      static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
  std::uint64_t offset = 0;
  for (const Bytes* piece : {&stub, &library_slots, &main_zip}) {
    if (!piece->empty()) {
      if (auto st = (*file)->WriteAt(offset, piece->data(), piece->size()); !st) return st;
    }
    offset += piece->size();
  }
  if (auto st = (*file)->WriteAt(offset, trailer, sizeof trailer); !st) return st;
  return (*file)->Close();
}

std::string ProgramFolderOf(std::string_view program_file, PathStyle style) {
  std::size_t sep = program_file.find_last_of(style == PathStyle::kPosix ? "\\/" : "\\");
  if (sep == std::string_view::npos) return style == PathStyle::kPosix ? "./" : ".\\";
  return std::string(program_file.substr(0, sep + 1));
}

std::string UnpackErrorText(const Failure& failure) {
  return "An Error Occurred, Error: " + failure.description + " #" + std::to_string(failure.code);
}

void UnpackPayload(Platform& platform, const std::string& program_folder,
                   const std::string& program_file, std::set<std::string>* written) {
  std::set<std::string> ignored;
  NotingFileSystem noting(platform.fs, written ? *written : ignored);
  Platform p{written ? noting : platform.fs,
             platform.dialogs,
             platform.pump,
             platform.clock,
             platform.process,
             platform.registry};
  auto report = [&](const Failure& f) { p.dialogs.MessageBox(UnpackErrorText(f)); };
  const std::string main_zip = program_folder + "Main.zip";
  bool main_zip_written = false;
  if (auto layout = ReadPayloadLayout(p.fs, program_file); !layout) {
    report(layout.failure());
  } else {
    main_zip_written =
        UnpackPiece(p, program_file, layout->main_zip_offset, layout->main_zip_length, main_zip);
    UnpackPiece(p, program_file, layout->zip_library_offset, kZipLibrarySize,
                program_folder + "Unzip32.dll");
    UnpackPiece(p, program_file, layout->jpeg_library_offset, kJpegLibrarySize,
                program_folder + "ijl15.dll");
  }
  p.pump.ProcessPendingEvents();
  if (auto st = p.fs.SetCurrentDirectory(program_folder); !st) report(st.failure());
  p.pump.ProcessPendingEvents();
  if (!main_zip_written) return;  // what lies there is not this installer's archive

  UnzipSettings unzip(p.fs, p.dialogs);
  unzip.SetZipFileName(main_zip);
  unzip.SetExtractDir(program_folder);
  unzip.SetHonorDirectories(false);
  if (auto rc = unzip.Unzip("", ""); !rc) report(rc.failure());
  WaitSeconds(p, 1.0);
  if (auto st = p.fs.RemoveFile(main_zip); !st) report(st.failure());
}

}  // namespace dfm
