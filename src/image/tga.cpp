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

namespace {

Status NoPicture(const std::string& source) {
  return Overflow("no picture was decoded from " + source);
}

// What ReadJpeg made of `source`, written to `target` (or the failure it makes).
Status WriteDecoded(FileSystem& fs, const std::string& source, const std::string& target,
                    const Result<bool>& decoded, DibSection& dib) {
  if (!decoded) return decoded.failure();
  std::span<unsigned char> bits;
  const std::int32_t width = dib.MapArray(bits);
  if (width > kMaxTgaSide) {
    return Overflow("a TGA picture is at most 32767 pixels wide, " + source + " is " +
                    std::to_string(width));
  }
  if (width == 0) return NoPicture(source);
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

constexpr std::size_t kStripBytes = std::size_t{1} << 16;

// A picture of 1 to 32,767 pixels each way, decoded a strip of rows at a time into one
// buffer of about 64 KiB and written straight to `target`: the strips come top first, and
// each goes where its rows lie in the file, bottom row first. No picture-sized memory is
// taken. A decoding failure shows ReadJpeg's message and leaves `target` as it was.
Status StreamJpgToTga(JpegLibrary& library, JpegProperties& props, FileSystem& fs, Dialogs& dialogs,
                      const std::string& source, const std::string& target) {
  const auto width = static_cast<std::size_t>(props.jpg_width);
  const auto height = static_cast<std::size_t>(props.jpg_height);
  const std::size_t row = 3 * width;
  Bytes strip(std::max<std::size_t>(1, kStripBytes / row) * row);
  props.jpg_color = props.jpg_channels == 1 ? JpegColor::kGrey : JpegColor::kYCbCr;
  props.dib_width = props.jpg_width;
  props.dib_height = -props.jpg_height;
  props.dib_pad_bytes = 0;
  props.dib_channels = 3;
  props.dib_bytes = strip;
  return WriteTgaFile(
      fs, target, static_cast<std::int16_t>(width), static_cast<std::int16_t>(height), row * height,
      [&](File& out) -> Status {
        for (std::size_t top = 0; top < height;) {
          const int status = library.Read(props, JpegReadMode::kReadRows);
          const auto n = static_cast<std::size_t>(std::max(props.dib_rows, 0));
          if (status != jpeg_status::kOk || n < 1 || n * row > strip.size() || n > height - top) {
            ShowJpegMessage(dialogs, kJpegImageFailedMessage);
            return Status::Fail(err::kInvalidFileFormat,
                                "Invalid file format: cannot read the image data of " + source);
          }
          const std::uint64_t at = kTgaHeaderSize + (height - top - n) * row;
          if (auto st = out.WriteAt(at, strip.data(), n * row); !st) return st;
          top += n;
        }
        return {};
      });
}

// ReadJpeg's steps with a library that reads rows: pictures a TGA can hold are streamed,
// anything else goes through the section as before, for the same messages and failures.
Status ConvertByRows(JpegLibrary& library, FileSystem& fs, Dialogs& dialogs,
                     const std::string& source, const std::string& target) {
  JpegProperties props;
  if (int status = library.Init(props); status != jpeg_status::kOk) {
    ShowJpegMessage(dialogs, kJpegInitFailedMessage + std::to_string(status));
    return NoPicture(source);
  }
  props.jpg_file = source;
  Status result = [&]() -> Status {
    if (library.Read(props, JpegReadMode::kReadParams) != jpeg_status::kOk) {
      ShowJpegMessage(dialogs, kJpegReadFailedMessage);
      return NoPicture(source);
    }
    if (props.jpg_width >= 1 && props.jpg_width <= kMaxTgaSide && props.jpg_height >= 1 &&
        props.jpg_height <= kMaxTgaSide)
      return StreamJpgToTga(library, props, fs, dialogs, source, target);
    DibSection dib;
    const Result<bool> decoded = ReadJpegImage(library, dialogs, dib, props);
    return WriteDecoded(fs, source, target, decoded, dib);
  }();
  library.Free(props);
  return result;
}

}  // namespace

Status ConvertJpgToTga(JpegLibrary& library, FileSystem& fs, Dialogs& dialogs,
                       const std::string& source, const std::string& target) {
  if (library.ReadsRows()) return ConvertByRows(library, fs, dialogs, source, target);
  DibSection dib;
  const Result<bool> decoded = ReadJpeg(library, dialogs, dib, source);
  return WriteDecoded(fs, source, target, decoded, dib);
}

Status ConvertJpgToTga(FileSystem& fs, Dialogs& dialogs, const std::string& source,
                       const std::string& target) {
  auto library = MakeLibJpegLibrary(fs);
  return ConvertJpgToTga(*library, fs, dialogs, source, target);
}

}  // namespace dfm
