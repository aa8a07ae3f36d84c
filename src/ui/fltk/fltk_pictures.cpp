#include "ui/fltk/fltk_pictures.h"

#include <stdlib.h>
#include <unistd.h>
#include <string>

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl_BMP_Image.H>
#include <FL/Fl_GIF_Image.H>
#include <FL/Fl_JPEG_Image.H>
#undef Status

namespace dfm {
namespace {

Failure InvalidPicture() {
  return Failure{err::kInvalidPicture, "Invalid picture"};
}

// FLTK reads bitmap and GIF files only from a file name, and JPEG bytes in memory without
// their length: the bytes go through a private
// temporary copy, removed again at once.
template <class Reader>
std::unique_ptr<Fl_Image> ReadThroughFile(const Bytes& bytes) {
  const char* tmp = getenv("TMPDIR");
  std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/dfmod-picture-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) return nullptr;
  bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(fd);
  std::unique_ptr<Fl_Image> image;
  if (written) image = std::make_unique<Reader>(name.c_str());
  unlink(name.c_str());
  return image;
}

Result<std::unique_ptr<Fl_RGB_Image>> Checked(std::unique_ptr<Fl_Image> image) {
  if (!image || image->fail() != 0 || image->w() <= 0 || image->h() <= 0) return InvalidPicture();
  // Every reader returns an Fl_RGB_Image, except GIF's pixmap, which is converted.
  if (auto* rgb = dynamic_cast<Fl_RGB_Image*>(image.get())) {
    image.release();
    return std::unique_ptr<Fl_RGB_Image>(rgb);
  }
  auto* pixmap = dynamic_cast<Fl_Pixmap*>(image.get());
  if (pixmap == nullptr) return InvalidPicture();
  return std::make_unique<Fl_RGB_Image>(pixmap, FL_BACKGROUND_COLOR);
}

}  // namespace

Result<std::unique_ptr<Fl_RGB_Image>> DecodeBackground(const Picture& picture) {
  switch (picture.format) {
    case PictureFormat::kBitmap:
      return Checked(ReadThroughFile<Fl_BMP_Image>(picture.bytes));
    case PictureFormat::kGif:
      return Checked(ReadThroughFile<Fl_GIF_Image>(picture.bytes));
    case PictureFormat::kJpeg:
      return Checked(ReadThroughFile<Fl_JPEG_Image>(picture.bytes));
    case PictureFormat::kIcon:
    case PictureFormat::kCursor:
      return DecodeIcon(picture);
    default:
      return InvalidPicture();
  }
}

Result<std::unique_ptr<Fl_RGB_Image>> DecodeIcon(const Picture& picture) {
  auto bitmap = IconAsBitmapFile(picture.bytes);
  if (!bitmap) return InvalidPicture();
  return Checked(ReadThroughFile<Fl_BMP_Image>(*bitmap));
}

}  // namespace dfm
