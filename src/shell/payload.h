// The installer's payload: what a mod's installer carries behind its own program image,
// and start-up's first phase, which writes it out beside the program and extracts Main.zip.
//
//   offset                          length
//   0                               stub: the installer program itself (not read)
//   L - 4 - N - 0x7E000             0x5B000  JPEG library slot  -> "ijl15.dll"
//   L - 4 - N - 0x23000             0x23000  ZIP library slot   -> "Unzip32.dll"
//   L - 4 - N                       N        Main.zip           -> "Main.zip"
//   L - 4                           4        N, signed 32-bit little-endian
//
// L is the file's length. The library slots are written out as they are but never loaded:
// extraction and JPEG decoding are built into the program, so zero-filled slots work.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "base/path_style.h"
#include "base/result.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/wait.h"

namespace dfm {

inline constexpr std::uint64_t kJpegLibrarySize = 0x5B000;
inline constexpr std::uint64_t kZipLibrarySize = 0x23000;
inline constexpr std::uint64_t kLibrarySlotsSize = kJpegLibrarySize + kZipLibrarySize;
inline constexpr std::uint64_t kTrailerSize = 4;

struct PayloadLayout {
  std::uint64_t file_length = 0;
  std::uint64_t jpeg_library_offset = 0;  // also the length of the stub in front of it
  std::uint64_t zip_library_offset = 0;
  std::uint64_t main_zip_offset = 0;
  std::uint32_t main_zip_length = 0;
  std::uint64_t trailer_offset = 0;

  friend bool operator==(const PayloadLayout&, const PayloadLayout&) = default;
};

// The layout of a file of `file_length` bytes whose trailer holds `trailer`. Fails with
// err::kInvalidFileFormat, naming `name`, when the file is shorter than a trailer, the
// trailer is negative, or the file cannot hold the library slots and Main.zip in front
// of it.
Result<PayloadLayout> ComputePayloadLayout(std::uint64_t file_length, std::int32_t trailer,
                                           const std::string& name);

// Opens `path`, reads its length and trailer, checks them as above and closes it: nothing
// else is read or allocated before the trailer is known to fit the file.
Result<PayloadLayout> ReadPayloadLayout(FileSystem& fs, const std::string& path);

// `length` bytes at `offset` of `path`, opened afresh.
Result<Bytes> ReadPayloadPiece(FileSystem& fs, const std::string& path, std::uint64_t offset,
                               std::uint64_t length);

// Writes a fresh installer: stub, the two library slots (kLibrarySlotsSize bytes: the JPEG
// library's, then the ZIP library's), Main.zip and its length. Fails with
// err::kInvalidProcedureCall when the slots have another size or Main.zip does not fit a
// signed 32-bit length.
Status WriteInstaller(FileSystem& fs, const std::string& path, const Bytes& stub,
                      const Bytes& library_slots, const Bytes& main_zip);

// The folder of the program file with its trailing separator: the path up to and
// including its last separator (".\" or "./" when it has none). Unlike GetFolder it never
// looks for a dot, so a folder such as C:\Users\player.one\Downloads stays itself.
std::string ProgramFolderOf(std::string_view program_file, PathStyle style = HostPathStyle());

// "An Error Occurred, Error: " + description + " #" + code.
std::string UnpackErrorText(const Failure& failure);

// Start-up's first phase. Writes Main.zip, "Unzip32.dll" and "ijl15.dll" from the payload of
// `program_file` into `program_folder` (which ends in a separator) as fresh files, makes the
// folder the current directory, extracts Main.zip there with the folders of its entries
// dropped and existing files overwritten, waits a second and deletes Main.zip. Each failed
// operation shows one message (UnpackErrorText) and the next operation goes on; an
// unusable payload is one message, and a Main.zip this run did not write is neither
// extracted nor deleted. With `written`, adds the folded absolute path of every file it
// wrote there.
void UnpackPayload(Platform& platform, const std::string& program_folder,
                   const std::string& program_file, std::set<std::string>* written = nullptr);

}  // namespace dfm
