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

// Steps through the row with a run count that is written out and restarted at 63 (a run
// of L equal bytes becomes L / 63 full runs and one run of L % 63), without a branch on
// the bytes: each step stores the run that would end there and keeps it only if it does.
void EncodePcxLine(std::span<const unsigned char> row, Bytes& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * row.size());  // no byte encodes to more than two
  unsigned char* p = out.data() + start;
  const std::size_t n = row.size();
  unsigned count = 0;
  for (std::size_t x = 0; x < n; ++x) {
    const unsigned char value = row[x];
    ++count;
    const bool ends = x + 1 == n || row[x + 1] != value || count == kMaxRun;
    const bool lone = count == 1 && value < 0xC0;
    p[0] = lone ? value : static_cast<unsigned char>(0xC0 | count);
    p[1] = value;
    p += ends ? (lone ? 1 : 2) : 0;
    count = ends ? 0 : count;
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

Status CheckPcxSize(std::int32_t width, std::int32_t height) {
  if (width <= kMaxPcxSide && height <= kMaxPcxSide) return {};
  return Status::Fail(err::kOverflow,
                      "Overflow: a PCX picture is at most 32767 pixels wide "
                      "and high, this one is " +
                          std::to_string(width) + " x " + std::to_string(height));
}

PcxEncoder::PcxEncoder(std::int32_t width, std::int32_t height, std::size_t expected)
    : pending_(PcxHeader(width, height)) {
  pending_.reserve(kPcxHeaderSize + expected + kPcxPaletteSize);
}

void PcxEncoder::AddPalette() {
  AppendGreyPalette(pending_);
}

Status PcxEncoder::WriteTo(File& out) {
  if (pending_.empty()) return {};
  if (auto st = out.WriteAt(offset_, pending_.data(), pending_.size()); !st) return st;
  offset_ += pending_.size();
  pending_.clear();
  return {};
}

Status WritePcx(FileSystem& fs, const std::string& file, const ByteGrid& codes) {
  if (auto st = CheckPcxSize(codes.width(), codes.height()); !st) return st;
  auto opened = fs.Open(file, OpenMode::kCreateFresh);
  if (!opened) return opened.failure();
  File& out = **opened;
  PcxEncoder pcx(codes.width(), codes.height(), kFlushSize + 2 * std::size_t(codes.width()));
  for (std::int32_t y = 0; y < codes.height(); ++y) {
    pcx.AddRow(codes.Row(y));
    if (pcx.Pending() >= kFlushSize) {
      if (auto st = pcx.WriteTo(out); !st) return st;
    }
  }
  pcx.AddPalette();
  if (auto st = pcx.WriteTo(out); !st) return st;
  return out.Close();
}

}  // namespace dfm
