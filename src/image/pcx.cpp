#include "image/pcx.h"

#include <array>

namespace dfm {
namespace {

constexpr std::int32_t kMaxPcxSide = 32767;
constexpr std::size_t kFlushSize = std::size_t{1} << 20;
constexpr unsigned char kMaxRun = 63;

void PutLe16(Bytes& h, std::size_t at, std::int32_t v) {
  h[at] = static_cast<unsigned char>(v & 0xFF);
  h[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

Bytes PcxHeader(std::int32_t width, std::int32_t height) {
  Bytes h(kPcxHeaderSize, 0);
  h[0] = 10;  // manufacturer
  h[1] = 5;   // version
  h[2] = 1;   // run-length encoding
  h[3] = 8;   // bits per pixel
  PutLe16(h, 8, width - 1);
  PutLe16(h, 10, height - 1);
  PutLe16(h, 12, width);
  PutLe16(h, 14, height);
  for (std::size_t i = 0; i < 16; ++i) {
    h[16 + 3 * i] = 37;
    h[17 + 3 * i] = 77;
    h[18 + 3 * i] = 37;
  }
  h[65] = 1;  // colour planes
  PutLe16(h, 66, width);
  PutLe16(h, 68, 1);
  PutLe16(h, 70, 12);
  PutLe16(h, 72, 10);
  return h;
}

void AppendGreyPalette(Bytes& out) {
  out.push_back(12);
  for (int i = 0; i < 256; ++i) out.insert(out.end(), 3, static_cast<unsigned char>(i));
}

}  // namespace

void PutPcxRun(unsigned char value, unsigned char count, Bytes& out) {
  if (count == 0) return;
  if (count == 1 && value < 0xC0) {
    out.push_back(value);
    return;
  }
  out.push_back(static_cast<unsigned char>(0xC0 | count));
  out.push_back(value);
}

void EncodePcxLine(std::span<const unsigned char> row, Bytes& out) {
  if (row.empty()) return;
  unsigned char last = row[0];
  unsigned char count = 1;
  for (std::size_t x = 1; x < row.size(); ++x) {
    const unsigned char cur = row[x];
    if (cur == last) {
      if (++count == kMaxRun) {
        PutPcxRun(last, kMaxRun, out);
        count = 0;
      }
    } else {
      PutPcxRun(last, count, out);
      last = cur;
      count = 1;
    }
  }
  PutPcxRun(last, count, out);
}

Status WritePcx(FileSystem& fs, const std::string& file, const ByteGrid& codes) {
  if (codes.width() > kMaxPcxSide || codes.height() > kMaxPcxSide) {
    return Status::Fail(err::kOverflow,
                        "Overflow: a PCX picture is at most 32767 pixels wide "
                        "and high, this one is " +
                            std::to_string(codes.width()) + " x " + std::to_string(codes.height()));
  }
  auto opened = fs.Open(file, OpenMode::kCreateFresh);
  if (!opened) return opened.failure();
  File& out = **opened;
  Bytes buffer = PcxHeader(codes.width(), codes.height());
  buffer.reserve(kFlushSize + 2 * static_cast<std::size_t>(codes.width()) + kPcxPaletteSize);
  std::uint64_t offset = 0;
  auto flush = [&]() -> Status {
    if (buffer.empty()) return {};
    if (auto st = out.WriteAt(offset, buffer.data(), buffer.size()); !st) return st;
    offset += buffer.size();
    buffer.clear();
    return {};
  };
  for (std::int32_t y = 0; y < codes.height(); ++y) {
    EncodePcxLine(codes.Row(y), buffer);
    if (buffer.size() >= kFlushSize) {
      if (auto st = flush(); !st) return st;
    }
  }
  AppendGreyPalette(buffer);
  if (auto st = flush(); !st) return st;
  return out.Close();
}

}  // namespace dfm
