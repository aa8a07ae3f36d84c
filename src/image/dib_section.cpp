#include "image/dib_section.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace dfm {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();

bool FitsInt32(std::int64_t v) {
  return v >= kInt32Min && v <= kInt32Max;
}

std::int64_t ScanLineBytes(std::int64_t width) {
  return (3 * width + 3) & ~std::int64_t{3};
}

// Rounds to the nearest integer, halves to even, and clamps to a byte.
unsigned char RoundToByte(float v) {
  float r = std::nearbyint(v);
  return static_cast<unsigned char>(std::clamp(r, 0.0f, 255.0f));
}

// The pixels come from calloc: a large section is mapped as zero pages that take memory
// only as rows are written, so a decode that fails early costs little.
class HeapPixels : public PixelMemory {
 public:
  explicit HeapPixels(unsigned char* bits) : bits_(bits) {}
  ~HeapPixels() override { std::free(bits_); }
  HeapPixels(const HeapPixels&) = delete;
  HeapPixels& operator=(const HeapPixels&) = delete;
  unsigned char* data() override { return bits_; }

 private:
  unsigned char* bits_;
};

}  // namespace

std::unique_ptr<PixelMemory> AllocateHeapPixels(const BitmapInfoHeader& header) {
  auto* bits =
      static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(header.size_image), 1));
  if (bits == nullptr) return nullptr;
  return std::make_unique<HeapPixels>(bits);
}

Result<bool> DibSection::Create(std::int32_t width, std::int32_t height) {
  ClearUp();
  return CreateDIB(width, height);
}

Result<bool> DibSection::CreateDIB(std::int32_t width, std::int32_t height) {
  const std::int64_t line = 3 * std::int64_t{width} + 3;
  const std::int64_t image = ScanLineBytes(width) * height;
  if (!FitsInt32(line) || !FitsInt32(image)) {
    return Failure{err::kOverflow, "Overflow: a picture of " + std::to_string(width) + " x " +
                                       std::to_string(height) + " pixels does not fit in memory"};
  }
  memory_.reset();
  header_ = BitmapInfoHeader{};
  header_.size = 40;
  header_.width = width;
  header_.height = height;
  header_.planes = 1;
  header_.bit_count = 24;
  header_.size_image = static_cast<std::int32_t>(image);
  if (width < 1 || height < 1) return false;
  memory_ = allocate_(header_);
  return memory_ != nullptr;
}

void DibSection::ClearUp() {
  memory_.reset();
}

std::int32_t DibSection::BytesPerScanLine() const {
  return static_cast<std::int32_t>(ScanLineBytes(header_.width));
}

std::int32_t DibSection::MapArray(std::span<unsigned char>& view) {
  unsigned char* bits = Bits();
  view = bits ? std::span<unsigned char>(bits, static_cast<std::size_t>(header_.size_image))
              : std::span<unsigned char>();
  return bits ? header_.width : 0;
}

void DibSection::RandomiseBits(bool grey, std::uint32_t seed) {
  unsigned char* bits = Bits();
  if (!bits) return;
  std::mt19937 rng(seed);
  auto next = [&rng] { return RoundToByte(std::generate_canonical<float, 24>(rng) * 255.0f); };
  const std::size_t line = static_cast<std::size_t>(BytesPerScanLine());
  for (std::int32_t y = 0; y < header_.height; ++y) {
    unsigned char* p = bits + line * static_cast<std::size_t>(y);
    for (std::int32_t x = 0; x < header_.width; ++x, p += 3) {
      if (grey) {
        p[0] = p[1] = p[2] = next();
      } else {
        p[0] = 0;
        p[1] = next();
        p[2] = next();
      }
    }
  }
}

Result<std::optional<DibSection>> DibSection::Resample(std::int32_t new_height,
                                                       std::int32_t new_width) const {
  DibSection target(allocate_);
  auto created = target.Create(new_width, new_height);
  if (!created) return created.failure();
  if (!*created) return std::optional<DibSection>();
  if (new_width == header_.width && new_height == header_.height) {
    if (Bits()) {
      std::memcpy(target.Bits(), Bits(), static_cast<std::size_t>(header_.size_image));
    }
  } else if (Bits()) {
    ResampleInto(target);
  }
  return std::optional<DibSection>(std::move(target));
}

// Bilinear interpolation. The scale (W - 1) / w keeps the sample inside the old picture;
// the neighbour column and row are clamped so that a one-pixel-wide or one-pixel-high
// source, or float rounding at the last sample, never reads past it.
void DibSection::ResampleInto(DibSection& target) const {
  const std::int32_t w = header_.width;
  const std::int32_t h = header_.height;
  const float x_scale = static_cast<float>(w - 1) / static_cast<float>(target.header_.width);
  const float y_scale = static_cast<float>(h - 1) / static_cast<float>(target.header_.height);
  const std::size_t src_line = static_cast<std::size_t>(BytesPerScanLine());
  const std::size_t dst_line = static_cast<std::size_t>(target.BytesPerScanLine());
  const unsigned char* src = Bits();
  unsigned char* dst = target.Bits();
  for (std::int32_t y = 0; y < target.header_.height; ++y) {
    const float sy = static_cast<float>(y) * y_scale;
    const std::int32_t j = std::min(static_cast<std::int32_t>(sy), h - 1);
    const std::int32_t j1 = std::min(j + 1, h - 1);
    const float fy = sy - static_cast<float>(j);
    const unsigned char* row0 = src + src_line * static_cast<std::size_t>(j);
    const unsigned char* row1 = src + src_line * static_cast<std::size_t>(j1);
    unsigned char* out = dst + dst_line * static_cast<std::size_t>(y);
    for (std::int32_t x = 0; x < target.header_.width; ++x) {
      const float sx = static_cast<float>(x) * x_scale;
      const std::int32_t i = std::min(static_cast<std::int32_t>(sx), w - 1);
      const std::int32_t i1 = std::min(i + 1, w - 1);
      const float fx = sx - static_cast<float>(i);
      for (int c = 0; c < 3; ++c) {
        const std::size_t a = 3 * static_cast<std::size_t>(i) + c;
        const std::size_t b = 3 * static_cast<std::size_t>(i1) + c;
        const float left = std::nearbyint(row0[a] + (row1[a] - row0[a]) * fy);
        const float right = std::nearbyint(row0[b] + (row1[b] - row0[b]) * fy);
        out[3 * static_cast<std::size_t>(x) + c] = RoundToByte(left + (right - left) * fx);
      }
    }
  }
}

}  // namespace dfm
