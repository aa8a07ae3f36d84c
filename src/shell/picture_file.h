// The picture files a mod may name for the main window's icon and background. The core
// only recognises their kind and reads their bytes; the view decodes and shows them.
#pragma once

#include <optional>
#include <string>

#include "base/result.h"
#include "platform/file_system.h"

namespace dfm {

enum class PictureFormat {
  kBitmap,            // "BM"
  kIcon,              // 00 00 01 00
  kCursor,            // 00 00 02 00
  kGif,               // "GIF87a" / "GIF89a"
  kJpeg,              // FF D8 FF
  kMetafile,          // placeable (D7 CD C6 9A) or plain Windows metafile
  kEnhancedMetafile,  // EMR_HEADER with " EMF" at offset 40
};

struct Picture {
  std::string path;  // as it was opened
  PictureFormat format = PictureFormat::kBitmap;
  Bytes bytes;
};

// The kind of picture `bytes` hold, judged by their first bytes; nullopt for anything else
// (an empty file included).
std::optional<PictureFormat> SniffPictureFormat(const Bytes& bytes);

// Reads a picture for the window's background: any kind above. Fails with the file
// system's failure, or with err::kInvalidPicture ("Invalid picture") for other bytes.
Result<Picture> LoadPicture(FileSystem& fs, const std::string& path);

// Reads a picture for the window's icon: an icon or cursor file. Other pictures fail with
// err::kInvalidPropertyValue ("Invalid property value"), as a window icon takes no other.
Result<Picture> LoadIconPicture(FileSystem& fs, const std::string& path);

// The biggest picture of an icon or cursor file that is an uncompressed bitmap, as the
// bytes of a bitmap file (its colour rows only; the transparency mask is dropped);
// nullopt when the file holds none.
std::optional<Bytes> IconAsBitmapFile(const Bytes& icon);

}  // namespace dfm
