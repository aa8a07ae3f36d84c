// The JPEG decoder as ReadJpeg drives it: one properties record per picture, an
// initialisation, a parameter read, a whole-picture read and a release. The record's
// fields say what each step reads and writes; statuses are 0 for success and negative
// library codes otherwise. Tests stand in their own library to check the order of the
// steps and every failure point.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace dfm {

class FileSystem;

enum class JpegColor : int { kRgb = 1, kBgr = 2, kYCbCr = 3, kGrey = 4 };

enum class JpegReadMode : int { kReadParams = 0, kReadWholeImage = 2, kReadRows = 3 };

// Library status codes.
namespace jpeg_status {
inline constexpr int kOk = 0;
inline constexpr int kOutOfMemory = -1;     // the decoder could not be set up
inline constexpr int kCannotOpenFile = -2;  // the file could not be read
inline constexpr int kNotAJpeg = -3;        // no usable JPEG header
inline constexpr int kBadParameters = -4;   // the picture fields do not describe a target
inline constexpr int kDecodeFailed = -5;    // the image data could not be decoded
inline constexpr int kNotInitialised = -6;  // a read before Init
}  // namespace jpeg_status

struct JpegProperties {
  // Written before the parameter read: the file to decode.
  std::string jpg_file;
  // Filled by the parameter read.
  std::int32_t jpg_width = 0;
  std::int32_t jpg_height = 0;
  std::int32_t jpg_channels = 0;
  // The colour space the file is declared to hold: kGrey for one channel, else kYCbCr.
  JpegColor jpg_color = JpegColor::kYCbCr;
  // The target of the whole-picture read: a negative height asks for the bottom row
  // first; each row is 3 × width bytes of pixels followed by dib_pad_bytes of padding.
  std::int32_t dib_width = 0;
  std::int32_t dib_height = 0;
  std::int32_t dib_pad_bytes = 0;
  std::int32_t dib_channels = 3;
  std::span<unsigned char> dib_bytes;
  JpegColor dib_color = JpegColor::kBgr;
  // Set by each kReadRows read: the rows it decoded.
  std::int32_t dib_rows = 0;
};

class JpegLibrary {
 public:
  virtual ~JpegLibrary() = default;
  // Prepares the library for one picture and sets the record's defaults.
  virtual int Init(JpegProperties& props) = 0;
  // kReadParams opens jpg_file and fills the jpg_ fields; kReadWholeImage decodes the
  // whole picture into dib_bytes as the dib_ fields describe, never writing pad bytes
  // and never writing outside dib_bytes. kReadRows, where ReadsRows(), decodes the next
  // rows of the picture, top row first, as many as dib_bytes holds (at least one) and
  // as are left, laid out as the first rows of a whole read of that many rows would be
  // (a negative dib_height: the last of them first), and sets dib_rows.
  virtual int Read(JpegProperties& props, JpegReadMode mode) = 0;
  // Whether Read knows kReadRows.
  virtual bool ReadsRows() const { return false; }
  // Releases what Init and the reads hold.
  virtual int Free(JpegProperties& props) = 0;
};

// The decoder over libjpeg-turbo's libjpeg interface: accurate integer IDCT and smooth upsampling,
// the library's defaults, so the pixels equal those of its own reference decoder. Files are read
// through `fs`, which must outlive the library.
std::unique_ptr<JpegLibrary> MakeLibJpegLibrary(FileSystem& fs);

}  // namespace dfm
