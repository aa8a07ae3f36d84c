// JpegLibrary over libjpeg-turbo's libjpeg interface. The interface reports fatal errors
// by calling error_exit, which must not return; ours jumps back to the call that started
// the step. Every function that sets a jump point below holds only plain data, so the
// jump never skips a destructor.
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h expects FILE and size_t to be declared
#include <cstdlib>
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

// The file is read through the file system in pieces of 64 KiB into one buffer, rather
// than whole: the decoder holds no memory the size of the file.
struct FileSource {
  jpeg_source_mgr pub;  // first, so the library's pointer is also ours
  File* file = nullptr;
  std::uint64_t offset = 0;  // of the next piece
  std::uint64_t size = 0;
  Bytes buffer;
};

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  FileSource source;
};

constexpr std::size_t kPieceBytes = std::size_t{1} << 16;
constexpr JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The next piece of the file. At its end, or when a read fails, the data ends early: a
// warning (which fails the step, FailOnDataWarning) and, for form's sake, an end marker.
boolean FillInput(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  const std::size_t n = static_cast<std::size_t>(
      std::min<std::uint64_t>(src->buffer.size(), src->size - std::min(src->offset, src->size)));
  if (n == 0 || !src->file->ReadAt(src->offset, src->buffer.data(), n)) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kEndOfImage;
    src->pub.bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
  }
  src->offset += n;
  src->pub.next_input_byte = src->buffer.data();
  src->pub.bytes_in_buffer = n;
  return TRUE;
}

// Skips within the piece, or past it by moving the offset of the next one.
void SkipInput(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  if (count <= 0) return;
  const auto n = static_cast<std::uint64_t>(count);
  if (n <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= static_cast<std::size_t>(n);
    return;
  }
  src->offset += n - src->pub.bytes_in_buffer;
  src->pub.bytes_in_buffer = 0;
}

// Bytes of the file the decoder has not consumed yet.
std::uint64_t BytesLeft(const FileSource& src) {
  return src.pub.bytes_in_buffer + (src.size - std::min(src.offset, src.size));
}

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
  return units <= 8 * BytesLeft(*reinterpret_cast<const FileSource*>(c.src));
}

// Reads the header of `file`, `size` bytes long, through the decoder's source.
bool ReadHeader(Decoder* d, File& file, std::uint64_t size) {
  if (setjmp(d->err.jump)) {
    jpeg_abort_decompress(&d->cinfo);
    return false;
  }
  FileSource& src = d->source;
  src.pub.init_source = InitSource;
  src.pub.fill_input_buffer = FillInput;
  src.pub.skip_input_data = SkipInput;
  src.pub.resync_to_restart = jpeg_resync_to_restart;
  src.pub.term_source = TermSource;
  src.pub.bytes_in_buffer = 0;
  src.pub.next_input_byte = nullptr;
  src.file = &file;
  src.offset = 0;
  src.size = size;
  src.buffer.resize(kPieceBytes);
  d->cinfo.src = &src.pub;
  return jpeg_read_header(&d->cinfo, TRUE) == JPEG_HEADER_OK && DataCanHoldFirstScan(d->cinfo);
}

// Starts decoding for output rows of `width` x `height` pixels, three bytes each.
bool Start(Decoder* d, JDIMENSION width, JDIMENSION height) {
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
  return true;
}

// Decodes the next `count` rows into `rows`, one pointer per row, and finishes after the
// last row of the picture. Damaged or missing data fails (FailOnDataWarning) as soon as
// the decoder meets it.
bool ReadRows(Decoder* d, JSAMPROW* rows, JDIMENSION count) {
  if (setjmp(d->err.jump)) {
    jpeg_abort_decompress(&d->cinfo);
    return false;
  }
  for (JDIMENSION done = 0; done < count;)
    done += jpeg_read_scanlines(&d->cinfo, rows + done, count - done);
  if (d->cinfo.output_scanline == d->cinfo.output_height) jpeg_finish_decompress(&d->cinfo);
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
    if (mode == JpegReadMode::kReadParams) return ReadParams(props);
    return mode == JpegReadMode::kReadRows ? ReadNextRows(props) : ReadImage(props);
  }

  bool ReadsRows() const override { return true; }

  int Free(JpegProperties&) override {
    Release();
    return jpeg_status::kOk;
  }

 private:
  int ReadParams(JpegProperties& props) {
    header_read_ = started_ = false;
    file_.reset();
    auto opened = fs_.Open(props.jpg_file, OpenMode::kRead);
    if (!opened) return jpeg_status::kCannotOpenFile;
    file_ = std::move(*opened);
    auto size = file_->Size();
    if (!size) return jpeg_status::kCannotOpenFile;
    if (!ReadHeader(decoder_.get(), *file_, *size)) return jpeg_status::kNotAJpeg;
    const auto& c = decoder_->cinfo;
    props.jpg_width = static_cast<std::int32_t>(c.image_width);
    props.jpg_height = static_cast<std::int32_t>(c.image_height);
    props.jpg_channels = c.num_components;
    header_read_ = true;
    return jpeg_status::kOk;
  }

  // Whether dib_bytes holds `rows` rows as the dib_ fields describe them.
  bool TargetFits(const JpegProperties& p, std::int64_t rows) const {
    const bool grey = p.jpg_channels == 1;
    if (!header_read_ || rows < 1 || p.dib_channels != 3 || p.dib_color != JpegColor::kBgr)
      return false;
    if (p.jpg_color != (grey ? JpegColor::kGrey : JpegColor::kYCbCr)) return false;
    if (p.dib_width != p.jpg_width || std::abs(std::int64_t{p.dib_height}) != p.jpg_height)
      return false;
    if (p.dib_width < 1 || p.dib_pad_bytes < 0) return false;
    const std::int64_t pitch = 3 * std::int64_t{p.dib_width} + p.dib_pad_bytes;
    const std::int64_t needed = pitch * (rows - 1) + 3 * std::int64_t{p.dib_width};
    return p.dib_bytes.data() != nullptr && needed <= static_cast<std::int64_t>(p.dib_bytes.size());
  }

  int ReadImage(JpegProperties& props) {
    if (started_ || !TargetFits(props, props.jpg_height)) return jpeg_status::kBadParameters;
    return Decode(props, static_cast<std::size_t>(props.jpg_height));
  }

  int ReadNextRows(JpegProperties& props) {
    const std::int64_t row = 3 * std::int64_t{props.dib_width};
    const std::int64_t pitch = row + props.dib_pad_bytes;
    const auto size = static_cast<std::int64_t>(props.dib_bytes.size());
    const std::int64_t fit = row < 1 || pitch < 1 || size < row ? 0 : (size - row) / pitch + 1;
    if (!TargetFits(props, fit)) return jpeg_status::kBadParameters;
    const std::int64_t left =
        started_ ? props.jpg_height - decoder_->cinfo.output_scanline : props.jpg_height;
    if (left < 1) return jpeg_status::kBadParameters;
    const int status = Decode(props, static_cast<std::size_t>(std::min(fit, left)));
    props.dib_rows =
        status == jpeg_status::kOk ? static_cast<std::int32_t>(std::min(fit, left)) : 0;
    return status;
  }

  // Decodes the next `count` rows into dib_bytes, the last of them first for a negative
  // dib_height; starts the decoder first if it is not started.
  int Decode(const JpegProperties& props, std::size_t count) {
    const std::size_t pitch = 3 * static_cast<std::size_t>(props.dib_width) +
                              static_cast<std::size_t>(props.dib_pad_bytes);
    rows_.resize(count);
    for (std::size_t y = 0; y < count; ++y) {
      const std::size_t stored = props.dib_height < 0 ? count - 1 - y : y;
      rows_[y] = props.dib_bytes.data() + stored * pitch;
    }
    if (!started_ && !Start(decoder_.get(), static_cast<JDIMENSION>(props.dib_width),
                            static_cast<JDIMENSION>(props.jpg_height))) {
      header_read_ = false;
      return jpeg_status::kDecodeFailed;
    }
    started_ = true;
    if (!ReadRows(decoder_.get(), rows_.data(), static_cast<JDIMENSION>(count))) {
      header_read_ = started_ = false;
      return jpeg_status::kDecodeFailed;
    }
    return jpeg_status::kOk;
  }

  void Release() {
    if (decoder_) jpeg_destroy_decompress(&decoder_->cinfo);
    decoder_.reset();
    file_.reset();
    header_read_ = started_ = false;
  }

  FileSystem& fs_;
  std::unique_ptr<Decoder> decoder_;
  std::unique_ptr<File> file_;
  std::vector<JSAMPROW> rows_;
  bool header_read_ = false;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<JpegLibrary> MakeLibJpegLibrary(FileSystem& fs) {
  return std::make_unique<LibJpegLibrary>(fs);
}

}  // namespace dfm
