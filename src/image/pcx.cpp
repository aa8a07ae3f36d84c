#include "image/pcx.h"

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

void PutRun(unsigned char value, unsigned char count, unsigned char*& p) {
  if (count == 0) return;
  if (count == 1 && value < 0xC0) {
    *p++ = value;
    return;
  }
  *p++ = static_cast<unsigned char>(0xC0 | count);
  *p++ = value;
}

void AppendGreyPalette(Bytes& out) {
  out.push_back(12);
  for (int i = 0; i < 256; ++i) out.insert(out.end(), 3, static_cast<unsigned char>(i));
}

}  // namespace

void PutPcxRun(unsigned char value, unsigned char count, Bytes& out) {
  unsigned char buf[2];
  unsigned char* p = buf;
  PutRun(value, count, p);
  out.insert(out.end(), buf, p);
}

// Equal to stepping through the row with a run count that is written out and restarted
// at 63: a run of L equal bytes becomes L / 63 full runs and one run of L % 63.
void EncodePcxLine(std::span<const unsigned char> row, Bytes& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * row.size());  // no byte encodes to more than two
  unsigned char* p = out.data() + start;
  const std::size_t n = row.size();
  for (std::size_t x = 0; x < n;) {
    const unsigned char value = row[x];
    std::size_t run = 1;
    while (x + run < n && row[x + run] == value) ++run;
    x += run;
    for (; run > kMaxRun; run -= kMaxRun) PutRun(value, kMaxRun, p);
    // The last run, 1 to 63 bytes long, without a branch on the value.
    const bool lone = run == 1 && value < 0xC0;
    p[0] = lone ? value : static_cast<unsigned char>(0xC0 | run);
    p[1] = value;
    p += lone ? 1 : 2;
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
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
