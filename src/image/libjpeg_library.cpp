// JpegLibrary over libjpeg-turbo's libjpeg interface. The interface reports fatal errors
// by calling error_exit, which must not return; ours jumps back to the call that started
// the step. Every function that sets a jump point below holds only plain data, so the
// jump never skips a destructor.
#include <csetjmp>
#include <cstdio>  // jpeglib.h expects FILE and size_t to be declared
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>

#include "image/jpeg_library.h"
#include "platform/file_system.h"

namespace dfm {
namespace {

// A progressive file may hold any number of scans, each costing a pass over the whole
// picture; real pictures need a dozen at most. Beyond this the file is refused.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so the library's pointer is also ours
  std::jmp_buf jump;
};

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
};

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// The library's texts are not shown: the caller reports failures in its own words.
void IgnoreMessage(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) JumpOnError(cinfo);
}

bool CreateDecoder(Decoder* d) {
  d->cinfo.err = jpeg_std_error(&d->err.pub);
  d->err.pub.error_exit = JumpOnError;
  d->err.pub.output_message = IgnoreMessage;
  if (setjmp(d->err.jump)) return false;
  jpeg_create_decompress(&d->cinfo);
  d->progress.progress_monitor = LimitScans;
  d->cinfo.progress = &d->progress;
  return true;
}

bool ReadHeader(Decoder* d, const unsigned char* data, std::size_t size) {
  if (setjmp(d->err.jump)) {
    jpeg_abort_decompress(&d->cinfo);
    return false;
  }
  if (size > std::numeric_limits<unsigned long>::max()) return false;
  jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(size));
  return jpeg_read_header(&d->cinfo, TRUE) == JPEG_HEADER_OK;
}

// Decodes into `rows`, one pointer per output row, top row first. Warnings about damaged
// data do not stop the decoder: like the reference decoder it delivers the whole
// picture, with what it could not recover filled in.
bool Decompress(Decoder* d, JSAMPROW* rows, JDIMENSION width, JDIMENSION height) {
  if (setjmp(d->err.jump)) {
    jpeg_abort_decompress(&d->cinfo);
    return false;
  }
  d->cinfo.out_color_space = JCS_EXT_BGR;
  d->cinfo.dct_method = JDCT_ISLOW;
  d->cinfo.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&d->cinfo);
  if (d->cinfo.output_width != width || d->cinfo.output_height != height ||
      d->cinfo.output_components != 3) {
    jpeg_abort_decompress(&d->cinfo);
    return false;
  }
  while (d->cinfo.output_scanline < height) {
    const JDIMENSION done = d->cinfo.output_scanline;
    jpeg_read_scanlines(&d->cinfo, rows + done, height - done);
  }
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

class LibJpegLibrary final : public JpegLibrary {
 public:
  explicit LibJpegLibrary(FileSystem& fs) : fs_(fs) {}
  ~LibJpegLibrary() override { Release(); }
  LibJpegLibrary(const LibJpegLibrary&) = delete;
  LibJpegLibrary& operator=(const LibJpegLibrary&) = delete;

  int Init(JpegProperties& props) override {
    Release();
    props = JpegProperties{};
    decoder_.reset(new (std::nothrow) Decoder{});
    if (!decoder_) return jpeg_status::kOutOfMemory;
    if (!CreateDecoder(decoder_.get())) {
      decoder_.reset();
      return jpeg_status::kOutOfMemory;
    }
    return jpeg_status::kOk;
  }

  int Read(JpegProperties& props, JpegReadMode mode) override {
    if (!decoder_) return jpeg_status::kNotInitialised;
    return mode == JpegReadMode::kReadParams ? ReadParams(props) : ReadImage(props);
  }

  int Free(JpegProperties&) override {
    Release();
    return jpeg_status::kOk;
  }

 private:
  int ReadParams(JpegProperties& props) {
    header_read_ = false;
    auto bytes = ReadWholeFile(fs_, props.jpg_file);
    if (!bytes) return jpeg_status::kCannotOpenFile;
    data_ = std::move(*bytes);
    if (!ReadHeader(decoder_.get(), data_.data(), data_.size())) return jpeg_status::kNotAJpeg;
    const auto& c = decoder_->cinfo;
    props.jpg_width = static_cast<std::int32_t>(c.image_width);
    props.jpg_height = static_cast<std::int32_t>(c.image_height);
    props.jpg_channels = c.num_components;
    header_read_ = true;
    return jpeg_status::kOk;
  }

  bool TargetFits(const JpegProperties& p) const {
    const bool grey = p.jpg_channels == 1;
    if (!header_read_ || p.dib_channels != 3 || p.dib_color != JpegColor::kBgr) return false;
    if (p.jpg_color != (grey ? JpegColor::kGrey : JpegColor::kYCbCr)) return false;
    if (p.dib_width != p.jpg_width || std::abs(std::int64_t{p.dib_height}) != p.jpg_height)
      return false;
    if (p.dib_width < 1 || p.dib_pad_bytes < 0) return false;
    const std::int64_t pitch = 3 * std::int64_t{p.dib_width} + p.dib_pad_bytes;
    const std::int64_t needed = pitch * (p.jpg_height - 1) + 3 * std::int64_t{p.dib_width};
    return p.dib_bytes.data() != nullptr && needed <= static_cast<std::int64_t>(p.dib_bytes.size());
  }

  int ReadImage(JpegProperties& props) {
    if (!TargetFits(props)) return jpeg_status::kBadParameters;
    const std::size_t pitch = 3 * static_cast<std::size_t>(props.dib_width) +
                              static_cast<std::size_t>(props.dib_pad_bytes);
    const std::size_t height = static_cast<std::size_t>(props.jpg_height);
    std::vector<JSAMPROW> rows(height);
    for (std::size_t y = 0; y < height; ++y) {
      const std::size_t stored = props.dib_height < 0 ? height - 1 - y : y;
      rows[y] = props.dib_bytes.data() + stored * pitch;
    }
    if (!Decompress(decoder_.get(), rows.data(), static_cast<JDIMENSION>(props.dib_width),
                    static_cast<JDIMENSION>(height)))
      return jpeg_status::kDecodeFailed;
    return jpeg_status::kOk;
  }

  void Release() {
    if (decoder_) jpeg_destroy_decompress(&decoder_->cinfo);
    decoder_.reset();
    data_.clear();
    header_read_ = false;
  }

  FileSystem& fs_;
  std::unique_ptr<Decoder> decoder_;
  Bytes data_;
  bool header_read_ = false;
};

}  // namespace

std::unique_ptr<JpegLibrary> MakeLibJpegLibrary(FileSystem& fs) {
  return std::make_unique<LibJpegLibrary>(fs);
}

}  // namespace dfm
