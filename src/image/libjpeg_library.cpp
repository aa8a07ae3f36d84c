// JpegLibrary over libjpeg-turbo's libjpeg interface. The interface reports fatal errors
// by calling error_exit, which must not return; ours jumps back to the call that started
// the step. Every function that sets a jump point below holds only plain data, so the
// jump never skips a destructor.
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h expects FILE and size_t to be declared
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <jerror.h>  // the message codes
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

// A warning about the data (it ends early, a marker or code is damaged, bytes are missing
// or extraneous) fails the step like an error: the decoder would go on and fill in what
// it could not read, and a picture made up that way is not the file's. Warnings about
// metadata alone (an unknown JFIF revision or Adobe transform, a damaged colour profile)
// leave the pixels alone and pass.
void FailOnDataWarning(j_common_ptr cinfo, int msg_level) {
  if (msg_level >= 0) return;  // trace messages
  switch (cinfo->err->msg_code) {
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
      return;
    default:
      JumpOnError(cinfo);
  }
}

void LimitScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) JumpOnError(cinfo);
}

bool CreateDecoder(Decoder* d) {
  d->cinfo.err = jpeg_std_error(&d->err.pub);
  d->err.pub.error_exit = JumpOnError;
  d->err.pub.output_message = IgnoreMessage;
  d->err.pub.emit_message = FailOnDataWarning;
  if (setjmp(d->err.jump)) return false;
  jpeg_create_decompress(&d->cinfo);
  d->progress.progress_monitor = LimitScans;
  d->cinfo.progress = &d->progress;
  return true;
}

std::uint64_t DivideUp(std::uint64_t a, std::uint64_t b) {
  return (a + b - 1) / b;
}

// Whether the data after the first scan's header can hold that scan at all. With Huffman
// codes every 8 x 8 block of a scan that begins a component's data (a sequential scan, or
// a progressive one of DC coefficients) takes at least one bit, so a file whose header
// claims far more pixels than its bytes can describe is refused before the caller
// allocates the picture. Arithmetic codes can make a flat block nearly free: those files
// are decoded, and fail where their data ends.
bool DataCanHoldFirstScan(const jpeg_decompress_struct& c) {
  if (c.arith_code || (c.progressive_mode && c.Ss != 0) || c.comps_in_scan < 1) return true;
  int max_h = 1, max_v = 1;
  for (int i = 0; i < c.num_components; ++i) {
    max_h = std::max(max_h, c.comp_info[i].h_samp_factor);
    max_v = std::max(max_v, c.comp_info[i].v_samp_factor);
  }
  const jpeg_component_info& first = *c.cur_comp_info[0];
  const int h = c.comps_in_scan == 1 ? first.h_samp_factor : 1;
  const int v = c.comps_in_scan == 1 ? first.v_samp_factor : 1;
  // Blocks of a lone component, or MCUs (at least one block each) of an interleaved scan.
  const std::uint64_t units = DivideUp(std::uint64_t{c.image_width} * h, 8u * max_h) *
                              DivideUp(std::uint64_t{c.image_height} * v, 8u * max_v);
  return units <= 8 * std::uint64_t{c.src->bytes_in_buffer};
}

bool ReadHeader(Decoder* d, const unsigned char* data, std::size_t size) {
  if (setjmp(d->err.jump)) {
    jpeg_abort_decompress(&d->cinfo);
    return false;
  }
  if (size > std::numeric_limits<unsigned long>::max()) return false;
  jpeg_mem_src(&d->cinfo, data, static_cast<unsigned long>(size));
  return jpeg_read_header(&d->cinfo, TRUE) == JPEG_HEADER_OK && DataCanHoldFirstScan(d->cinfo);
}

// Decodes into `rows`, one pointer per output row, top row first. Damaged or missing data
// fails (FailOnDataWarning) as soon as the decoder meets it.
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
