// Uncompressed 24-bit TGA files and the JPEG-to-TGA conversion.
//
// File layout: an 18-byte header (type 2, width and height as signed 16-bit
// little-endian numbers, 24 bits per pixel, descriptor 0: bottom row first), then
// 3 × W × H bytes of blue-green-red pixels without row padding, then a 50-byte signature
// trailer: 08 00, 2E 00, NUL, "Image Created With Kyv Obrik's Image Module!", NUL.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "image/jpeg_library.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace dfm {

inline constexpr std::size_t kTgaHeaderSize = 18;
inline constexpr std::size_t kTgaTrailerSize = 50;
inline constexpr char kTgaSignature[] = "Image Created With Kyv Obrik's Image Module!";

// Writes header, `pixels` (whole and unchanged) and trailer to `file`, replacing what it
// held: the file holds exactly what this call wrote. Fails with the file system's
// failure, and then `file` is left as it was (WriteReplacing: nothing partly written
// ever carries its name).
Status WriteTga(FileSystem& fs, const std::string& file, std::span<const unsigned char> pixels,
                std::int16_t width, std::int16_t height);

// Decodes the JPEG `source` (ReadJpeg: its messages go to `dialogs`) and writes its
// pixels to the TGA `target`. Fails, writing nothing, with
// - err::kOverflow when no picture was decoded at all (the JPEG could not be read), or
//   the picture is wider or taller than 32,767 pixels;
// - err::kInvalidFileFormat when the picture's size was read but its image data could
//   not be decoded (ReadJpeg showed "Cannot read Image Data from file.");
// and otherwise with WriteTga's failures.
Status ConvertJpgToTga(FileSystem& fs, Dialogs& dialogs, const std::string& source,
                       const std::string& target);
// The same with the JPEG library given.
Status ConvertJpgToTga(JpegLibrary& library, FileSystem& fs, Dialogs& dialogs,
                       const std::string& source, const std::string& target);

}  // namespace dfm
