#include "image/tga.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
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

Status Overflow(const std::string& what) {
  return Status::Fail(err::kOverflow, "Overflow: " + what);
}

// Writes header, pixels (through `pixels`, which writes `size` bytes from offset 18) and
// trailer, replacing `file`.
Status WriteTgaFile(FileSystem& fs, const std::string& file, std::int16_t width,
                    std::int16_t height, std::size_t size,
                    const std::function<Status(File&)>& pixels) {
  return WriteReplacing(fs, file, [&](File& out) -> Status {
    const auto header = TgaHeader(width, height);
    const auto trailer = TgaTrailer();
    if (auto st = out.WriteAt(0, header.data(), header.size()); !st) return st;
    if (auto st = pixels(out); !st) return st;
    return out.WriteAt(kTgaHeaderSize + size, trailer.data(), trailer.size());
  });
}

// Writes the section's rows without their padding, gathered into pieces of about 1 MiB,
// so that the picture is never held twice.
Status WriteUnpaddedRows(File& out, const DibSection& dib, std::span<const unsigned char> bits) {
  const std::size_t row = 3 * static_cast<std::size_t>(dib.Width());
  const std::size_t line = static_cast<std::size_t>(dib.BytesPerScanLine());
  const std::size_t height = static_cast<std::size_t>(dib.Height());
  const std::size_t rows_per_piece = std::max<std::size_t>(1, (std::size_t{1} << 20) / row);
  Bytes piece;
  for (std::size_t y = 0; y < height; y += rows_per_piece) {
    const std::size_t n = std::min(rows_per_piece, height - y);
    piece.resize(n * row);
    for (std::size_t i = 0; i < n; ++i)
      std::memcpy(piece.data() + i * row, bits.data() + (y + i) * line, row);
    if (auto st = out.WriteAt(kTgaHeaderSize + y * row, piece.data(), piece.size()); !st) return st;
  }
  return {};
}

}  // namespace

Status WriteTga(FileSystem& fs, const std::string& file, std::span<const unsigned char> pixels,
                std::int16_t width, std::int16_t height) {
  return WriteTgaFile(fs, file, width, height, pixels.size(), [&](File& out) -> Status {
    if (pixels.empty()) return {};
    return out.WriteAt(kTgaHeaderSize, pixels.data(), pixels.size());
  });
}

Status ConvertJpgToTga(JpegLibrary& library, FileSystem& fs, Dialogs& dialogs,
                       const std::string& source, const std::string& target) {
  DibSection dib;
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
  const std::size_t size = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(h16);
  return WriteTgaFile(fs, target, w16, h16, size,
                      [&](File& out) { return WriteUnpaddedRows(out, dib, bits); });
}

Status ConvertJpgToTga(FileSystem& fs, Dialogs& dialogs, const std::string& source,
                       const std::string& target) {
  auto library = MakeLibJpegLibrary(fs);
  return ConvertJpgToTga(*library, fs, dialogs, source, target);
}

}  // namespace dfm
