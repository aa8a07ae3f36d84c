#include "image/tga.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "image/dib_section.h"
#include "image/jpeg.h"

namespace dfm {
namespace {

constexpr std::int32_t kMaxTgaSide = 32767;

void PutLe16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v & 0xFF);
  p[1] = static_cast<unsigned char>(v >> 8);
}

std::array<unsigned char, kTgaHeaderSize> TgaHeader(std::int16_t width, std::int16_t height) {
  std::array<unsigned char, kTgaHeaderSize> h{};
  h[2] = 2;  // uncompressed true-colour
  PutLe16(&h[12], static_cast<std::uint16_t>(width));
  PutLe16(&h[14], static_cast<std::uint16_t>(height));
  h[16] = 24;
  return h;
}

std::array<unsigned char, kTgaTrailerSize> TgaTrailer() {
  static_assert(sizeof kTgaSignature - 1 == 44);
  std::array<unsigned char, kTgaTrailerSize> t{};
  t[0] = 8;
  t[2] = 46;
  std::memcpy(&t[5], kTgaSignature, sizeof kTgaSignature - 1);
  return t;
}

// Opens `file` for writing without truncating it; an existing file longer than 3 bytes
// is closed, deleted and created afresh.
Result<std::unique_ptr<File>> OpenTarget(FileSystem& fs, const std::string& file) {
  auto opened = fs.Open(file, OpenMode::kReadWrite);
  if (!opened) return opened;
  auto size = (*opened)->Size();
  if (!size) return size.failure();
  if (*size <= 3) return opened;
  if (auto st = (*opened)->Close(); !st) return st.failure();
  if (auto st = fs.RemoveFile(file); !st) return st.failure();
  return fs.Open(file, OpenMode::kReadWrite);
}

Status Overflow(const std::string& what) {
  return Status::Fail(err::kOverflow, "Overflow: " + what);
}

// The picture's rows without the section's row padding.
Bytes UnpaddedPixels(const CDibSection& dib, std::span<const unsigned char> bits) {
  const std::size_t row = 3 * static_cast<std::size_t>(dib.Width());
  const std::size_t line = static_cast<std::size_t>(dib.BytesPerScanLine());
  const std::size_t height = static_cast<std::size_t>(dib.Height());
  Bytes out(row * height);
  for (std::size_t y = 0; y < height; ++y) {
    std::memcpy(out.data() + y * row, bits.data() + y * line, row);
  }
  return out;
}

}  // namespace

Status WriteTga(FileSystem& fs, const std::string& file, std::span<const unsigned char> pixels,
                std::int16_t width, std::int16_t height) {
  auto opened = OpenTarget(fs, file);
  if (!opened) return opened.failure();
  File& out = **opened;
  const auto header = TgaHeader(width, height);
  const auto trailer = TgaTrailer();
  if (auto st = out.WriteAt(0, header.data(), header.size()); !st) return st;
  if (!pixels.empty()) {
    if (auto st = out.WriteAt(kTgaHeaderSize, pixels.data(), pixels.size()); !st) return st;
  }
  if (auto st = out.WriteAt(kTgaHeaderSize + pixels.size(), trailer.data(), trailer.size()); !st)
    return st;
  return out.Close();
}

Status ConvertJpgToTga(JpegLibrary& library, FileSystem& fs, Dialogs& dialogs,
                       const std::string& source, const std::string& target) {
  CDibSection dib;
  auto decoded = ReadJpeg(library, dialogs, dib, source);
  if (!decoded) return decoded.failure();
  std::span<unsigned char> bits;
  const std::int32_t width = dib.MapArray(bits);
  if (width > kMaxTgaSide) {
    return Overflow("a TGA picture is at most 32767 pixels wide, " + source + " is " +
                    std::to_string(width));
  }
  if (width == 0) return Overflow("no picture was decoded from " + source);
  if (dib.Height() > kMaxTgaSide) {
    return Overflow("a TGA picture is at most 32767 pixels high, " + source + " is " +
                    std::to_string(dib.Height()));
  }
  if (!*decoded) {
    return Status::Fail(err::kInvalidFileFormat,
                        "Invalid file format: cannot read the image data of " + source);
  }
  const auto w16 = static_cast<std::int16_t>(width);
  const auto h16 = static_cast<std::int16_t>(dib.Height());
  if (dib.BytesPerScanLine() == 3 * width) return WriteTga(fs, target, bits, w16, h16);
  return WriteTga(fs, target, UnpaddedPixels(dib, bits), w16, h16);
}

Status ConvertJpgToTga(FileSystem& fs, Dialogs& dialogs, const std::string& source,
                       const std::string& target) {
  auto library = MakeLibJpegLibrary(fs);
  return ConvertJpgToTga(*library, fs, dialogs, source, target);
}

}  // namespace dfm
