#include "image/pcx.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Stores the run of `count` (1 to 63) bytes `value` at `p`: a lone value below 192 as
// itself, else 0xC0 | count and the value. Both bytes are always stored; returns how many
// belong to the run.
inline std::size_t StoreRun(unsigned char value, std::size_t count, unsigned char* p) {
  const bool lone = count == 1 && value < 0xC0;
  p[0] = lone ? value : static_cast<unsigned char>(0xC0 | count);
  p[1] = value;
  return lone ? 1 : 2;
}

template <typename Buffer>
void AppendGreyPalette(Buffer& out) {
  out.push_back(12);
  for (int i = 0; i < 256; ++i) out.insert(out.end(), 3, static_cast<unsigned char>(i));
}

// One step of the encoder at byte x, whose run began at `start`: a run ends at the row's
// end, before another value and at 63 bytes (a run of L equal bytes becomes L / 63 full
// runs and one run of L % 63). No branch on the bytes: each step stores the run that
// would end there and keeps it only if it does.
inline void Step(const unsigned char* row, std::size_t n, std::size_t x, std::size_t& start,
                 unsigned char*& p) {
  const unsigned char value = row[x];
  const std::size_t count = x - start + 1;
  const bool ends = x + 1 == n || row[x + 1] != value || count == kMaxRun;
  const std::size_t size = StoreRun(value, count, p);
  p += ends ? size : 0;
  start = ends ? x + 1 : start;
}

// Encodes `row` at `p` (room for 2 bytes a byte) and returns the end of what it wrote.
unsigned char* EncodeRow(std::span<const unsigned char> row, unsigned char* p) {
  const unsigned char* r = row.data();
  const std::size_t n = row.size();
  std::size_t start = 0;  // where the open run began
  std::size_t x = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time, each set bit of the mask a run's last byte, while no run can
  // reach 63 within them (else byte by byte). The byte after them is compared too.
  for (; x + 16 < n; x += 16) {
    if (x + 16 - start >= kMaxRun) {
      for (std::size_t k = x; k < x + 16; ++k) Step(r, n, k, start, p);
      continue;
    }
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + x));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + x + 1));
    auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, next))) ^ 0xFFFFu;
    for (; ends != 0; ends &= ends - 1) {
      const std::size_t last = x + static_cast<std::size_t>(std::countr_zero(ends));
      p += StoreRun(r[last], last - start + 1, p);
      start = last + 1;
    }
  }
#endif
  for (; x < n; ++x) Step(r, n, x, start, p);
  return p;
}

}  // namespace

void PutPcxRun(unsigned char value, unsigned char count, Bytes& out) {
  if (count == 0) return;
  unsigned char buf[2];
  out.insert(out.end(), buf, buf + StoreRun(value, count, buf));
}

void EncodePcxLine(std::span<const unsigned char> row, Bytes& out) {
  const std::size_t start = out.size();
  out.resize(start + 2 * row.size());  // no byte encodes to more than two
  out.resize(static_cast<std::size_t>(EncodeRow(row, out.data() + start) - out.data()));
}

Status CheckPcxSize(std::int32_t width, std::int32_t height) {
  if (width <= kMaxPcxSide && height <= kMaxPcxSide) return {};
  return Status::Fail(err::kOverflow,
                      "Overflow: a PCX picture is at most 32767 pixels wide "
                      "and high, this one is " +
                          std::to_string(width) + " x " + std::to_string(height));
}

PcxEncoder::PcxEncoder(std::int32_t width, std::int32_t height, std::size_t expected)
    : row_(2 * static_cast<std::size_t>(width)) {
  pending_.reserve(kPcxHeaderSize + expected + kPcxPaletteSize);
  const Bytes header = PcxHeader(width, height);
  pending_.assign(header.begin(), header.end());
}

// Each row is encoded into a buffer of its own and copied on, so that the gathered bytes
// are written once, never cleared first.
void PcxEncoder::AddRow(std::span<const unsigned char> row) {
  pending_.insert(pending_.end(), row_.data(), EncodeRow(row, row_.data()));
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
