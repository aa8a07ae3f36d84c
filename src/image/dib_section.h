// One 24-bit picture in memory, laid out as a bottom-up device-independent bitmap:
// rows of BytesPerScanLine() bytes, the bottom row first, each pixel blue, green, red,
// and the bytes after 3 × width in a row left as padding. The JPEG decoder writes
// straight into this memory and the TGA writer reads it back.
//
// The drawing and clipboard operations need a window system and live with the Windows
// host; this class holds what works without one. A host with a window system hands the
// class a pixel allocator, so that the memory the decoder writes is the very bitmap the
// system draws from and into.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "base/result.h"

namespace dfm {

// The 40-byte bitmap information header the section describes itself with.
struct BitmapInfoHeader {
  std::uint32_t size = 0;  // 40 once created
  std::int32_t width = 0;
  std::int32_t height = 0;        // positive: rows stored bottom-up
  std::uint16_t planes = 0;       // 1
  std::uint16_t bit_count = 0;    // 24
  std::uint32_t compression = 0;  // 0, uncompressed
  std::int32_t size_image = 0;    // BytesPerScanLine() × height
  std::int32_t x_pels_per_meter = 0;
  std::int32_t y_pels_per_meter = 0;
  std::uint32_t clr_used = 0;
  std::uint32_t clr_important = 0;

  friend bool operator==(const BitmapInfoHeader&, const BitmapInfoHeader&) = default;
};

// A section's pixel memory: zero-filled, image size bytes, released with the object.
class PixelMemory {
 public:
  virtual ~PixelMemory() = default;
  virtual unsigned char* data() = 0;
};

// Makes the pixel memory for a filled header; nullptr when none can be had.
using PixelAllocator = std::unique_ptr<PixelMemory> (*)(const BitmapInfoHeader& header);

// Zero pages from the heap: the default allocator.
std::unique_ptr<PixelMemory> AllocateHeapPixels(const BitmapInfoHeader& header);

class DibSection {
 public:
  DibSection() = default;
  explicit DibSection(PixelAllocator allocate) : allocate_(allocate) {}
  ~DibSection() { ClearUp(); }
  DibSection(DibSection&&) noexcept = default;
  DibSection& operator=(DibSection&&) noexcept = default;
  DibSection(const DibSection&) = delete;
  DibSection& operator=(const DibSection&) = delete;

  // Releases what the object holds, then makes a zero-filled section of the given size.
  // false when the section cannot be made (a width or height below 1, or no memory): the
  // object then holds no pixels, but the header keeps the requested width, height and
  // image size. Fails with err::kOverflow when the image size does not fit 32 bits.
  Result<bool> Create(std::int32_t width, std::int32_t height);

  // Fills the header for the size and allocates the pixel memory; the work of Create
  // after its release. Same results as Create.
  Result<bool> CreateDIB(std::int32_t width, std::int32_t height);

  // Releases the pixel memory. The header is kept as it was.
  void ClearUp();

  // 3 × width rounded up to a multiple of 4.
  std::int32_t BytesPerScanLine() const;
  std::int32_t Width() const { return header_.width; }
  std::int32_t Height() const { return header_.height; }
  const BitmapInfoHeader& Header() const { return header_; }

  // Start of the pixel memory; nullptr when there is no section.
  unsigned char* DIBSectionBitsPtr() { return Bits(); }
  const unsigned char* DIBSectionBitsPtr() const { return Bits(); }

  // The memory the allocator made, for the host that supplied it; nullptr when none.
  PixelMemory* Memory() const { return memory_.get(); }

  // Points `view` at the whole pixel memory (image size bytes, empty when there is no
  // section) and returns the header's width. The view owns nothing and must not be
  // used after the section is released.
  std::int32_t MapArray(std::span<unsigned char>& view);

  // Fills every pixel from a generator seeded with `seed`: with `grey` the three bytes
  // of a pixel share one random value, otherwise blue is 0 and green and red get values
  // of their own. Values are a random number in [0, 1) times 255, rounded to nearest.
  void RandomiseBits(bool grey, std::uint32_t seed);

  // A new picture of new_width × new_height (height first, as callers name them) by
  // bilinear interpolation, its memory from this object's allocator; nullopt when it
  // cannot be created. The same size copies.
  Result<std::optional<DibSection>> Resample(std::int32_t new_height, std::int32_t new_width) const;

 private:
  void ResampleInto(DibSection& target) const;
  unsigned char* Bits() const { return memory_ ? memory_->data() : nullptr; }

  PixelAllocator allocate_ = AllocateHeapPixels;
  BitmapInfoHeader header_;
  std::unique_ptr<PixelMemory> memory_;
};

}  // namespace dfm
