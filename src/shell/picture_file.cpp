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

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

void PutLe(Bytes& b, std::size_t at, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

std::optional<Bytes> IconAsBitmapFile(const Bytes& icon) {
  constexpr std::size_t kDir = 6, kEntry = 16, kInfo = 40, kFileHeader = 14;
  if (icon.size() < kDir) return std::nullopt;
  const std::size_t count = Le(icon, 4, 2);
  std::size_t best_at = 0, best_size = 0;
  std::uint64_t best_pixels = 0;
  for (std::size_t i = 0; i < count && kDir + (i + 1) * kEntry <= icon.size(); ++i) {
    const std::size_t e = kDir + i * kEntry;
    const std::size_t size = Le(icon, e + 8, 4), at = Le(icon, e + 12, 4);
    if (at >= icon.size() || size > icon.size() - at || size < kInfo) continue;
    if (Le(icon, at, 4) != kInfo || Le(icon, at + 16, 4) != 0) continue;  // uncompressed DIB
    const std::uint64_t pixels = std::uint64_t{Le(icon, at + 4, 4)} * (Le(icon, at + 8, 4) / 2);
    if (pixels > best_pixels) best_at = at, best_size = size, best_pixels = pixels;
  }
  if (best_pixels == 0) return std::nullopt;
  const unsigned bits = Le(icon, best_at + 14, 2);
  std::uint64_t colours = Le(icon, best_at + 32, 4);
  if (colours == 0 && bits <= 8) colours = std::uint64_t{1} << bits;
  const std::uint64_t bits_at = kFileHeader + kInfo + 4 * colours;
  if (bits_at > kFileHeader + best_size) return std::nullopt;
  Bytes out(kFileHeader, 0);
  out[0] = 'B';
  out[1] = 'M';
  out.insert(out.end(), icon.begin() + best_at, icon.begin() + best_at + best_size);
  PutLe(out, 2, static_cast<std::uint32_t>(out.size()), 4);
  PutLe(out, 10, static_cast<std::uint32_t>(bits_at), 4);
  PutLe(out, kFileHeader + 8, Le(icon, best_at + 8, 4) / 2, 4);  // the colour rows only
  return out;
}

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
