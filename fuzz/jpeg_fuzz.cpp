// JPEG-to-TGA conversion of arbitrary files: a picture is either converted whole or
// nothing is written. Pictures above a million pixels are refused after their header is
// read, to keep each run short; their decoding is the same code as for small ones.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "image/jpeg_library.h"
#include "image/tga.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"

namespace {

constexpr std::int64_t kMaxPixels = 1 << 20;

class CappedLibrary : public dfm::JpegLibrary {
 public:
  explicit CappedLibrary(dfm::FileSystem& fs) : inner_(dfm::MakeLibJpegLibrary(fs)) {}
  int Init(dfm::JpegProperties& p) override { return inner_->Init(p); }
  int Read(dfm::JpegProperties& p, dfm::JpegReadMode mode) override {
    const int status = inner_->Read(p, mode);
    if (mode == dfm::JpegReadMode::kReadParams && status == dfm::jpeg_status::kOk &&
        std::int64_t{p.jpg_width} * p.jpg_height > kMaxPixels)
      return dfm::jpeg_status::kNotAJpeg;
    return status;
  }
  int Free(dfm::JpegProperties& p) override { return inner_->Free(p); }
  bool ReadsRows() const override { return inner_->ReadsRows(); }

 private:
  std::unique_ptr<dfm::JpegLibrary> inner_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dfm::testing::MemoryFileSystem fs;
  dfm::testing::RecordingDialogs dialogs;
  fs.Put("in.jpg", dfm::Bytes(data, data + size));
  CappedLibrary library(fs);
  const dfm::Status st = dfm::ConvertJpgToTga(library, fs, dialogs, "in.jpg", "out.tga");
  if (st.ok() != fs.Exists("out.tga")) __builtin_trap();
  if (st.ok() && !dialogs.boxes.empty()) __builtin_trap();
  if (st.ok()) {
    const dfm::Bytes tga = *fs.Get("out.tga");
    const std::size_t w = tga[12] | tga[13] << 8, h = tga[14] | tga[15] << 8;
    if (tga.size() != 18 + 3 * w * h + 50) __builtin_trap();
  }
  return 0;
}
