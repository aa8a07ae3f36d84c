#include "shell/picture_file.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace dfm {
namespace {

bool StartsWith(const Bytes& b, std::initializer_list<unsigned char> prefix) {
  return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}

// A plain metafile header: type 1 (memory) or 2 (disk), header size 9 words.
bool IsPlainMetafile(const Bytes& b) {
  return b.size() >= 18 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0;
}

bool IsEnhancedMetafile(const Bytes& b) {
  return b.size() >= 44 && StartsWith(b, {1, 0, 0, 0}) && std::memcmp(&b[40], " EMF", 4) == 0;
}

}  // namespace

std::optional<PictureFormat> SniffPictureFormat(const Bytes& b) {
  if (StartsWith(b, {'B', 'M'})) return PictureFormat::kBitmap;
  if (StartsWith(b, {0, 0, 1, 0})) return PictureFormat::kIcon;
  if (StartsWith(b, {0, 0, 2, 0})) return PictureFormat::kCursor;
  if (StartsWith(b, {'G', 'I', 'F', '8', '7', 'a'}) ||
      StartsWith(b, {'G', 'I', 'F', '8', '9', 'a'}))
    return PictureFormat::kGif;
  if (StartsWith(b, {0xFF, 0xD8, 0xFF})) return PictureFormat::kJpeg;
  if (StartsWith(b, {0xD7, 0xCD, 0xC6, 0x9A}) || IsPlainMetafile(b))
    return PictureFormat::kMetafile;
  if (IsEnhancedMetafile(b)) return PictureFormat::kEnhancedMetafile;
  return std::nullopt;
}

Result<Picture> LoadPicture(FileSystem& fs, const std::string& path) {
  auto bytes = ReadWholeFile(fs, path);
  if (!bytes) return bytes.failure();
  auto format = SniffPictureFormat(*bytes);
  if (!format) return Failure{err::kInvalidPicture, "Invalid picture"};
  return Picture{path, *format, std::move(*bytes)};
}

Result<Picture> LoadIconPicture(FileSystem& fs, const std::string& path) {
  auto picture = LoadPicture(fs, path);
  if (!picture) return picture;
  if (picture->format != PictureFormat::kIcon && picture->format != PictureFormat::kCursor)
    return Failure{err::kInvalidPropertyValue, "Invalid property value"};
  return picture;
}

}  // namespace dfm
