#include "image/jpeg.h"

#include <string>

namespace dfm {

void ShowJpegMessage(Dialogs& dialogs, const std::string& text) {
  dialogs.MessageBox(text, {}, MsgButtons::kOk, MsgIcon::kExclamation);
}

Result<bool> ReadJpegImage(JpegLibrary& library, Dialogs& dialogs, DibSection& dib,
                           JpegProperties& props) {
  props.jpg_color = props.jpg_channels == 1 ? JpegColor::kGrey : JpegColor::kYCbCr;
  auto created = dib.Create(props.jpg_width, props.jpg_height);
  if (!created || !*created) return created;
  props.dib_width = props.jpg_width;
  props.dib_pad_bytes = dib.BytesPerScanLine() - 3 * props.jpg_width;
  props.dib_height = -props.jpg_height;
  props.dib_channels = 3;
  std::span<unsigned char> bits;
  dib.MapArray(bits);
  props.dib_bytes = bits;
  if (library.Read(props, JpegReadMode::kReadWholeImage) != jpeg_status::kOk) {
    ShowJpegMessage(dialogs, kJpegImageFailedMessage);
    return false;
  }
  return true;
}

namespace {

// Steps 3 to 7: everything between initialising and releasing the library.
Result<bool> Decode(JpegLibrary& library, Dialogs& dialogs, DibSection& dib,
                    JpegProperties& props) {
  if (library.Read(props, JpegReadMode::kReadParams) != jpeg_status::kOk) {
    ShowJpegMessage(dialogs, kJpegReadFailedMessage);
    return false;
  }
  return ReadJpegImage(library, dialogs, dib, props);
}

}  // namespace

Result<bool> ReadJpeg(JpegLibrary& library, Dialogs& dialogs, DibSection& dib,
                      const std::string& file) {
  JpegProperties props;
  if (int status = library.Init(props); status != jpeg_status::kOk) {
    ShowJpegMessage(dialogs, kJpegInitFailedMessage + std::to_string(status));
    return false;
  }
  props.jpg_file = file;
  auto result = Decode(library, dialogs, dib, props);
  library.Free(props);
  return result;
}

Result<bool> ReadJpeg(FileSystem& fs, Dialogs& dialogs, DibSection& dib, const std::string& file) {
  auto library = MakeLibJpegLibrary(fs);
  return ReadJpeg(*library, dialogs, dib, file);
}

}  // namespace dfm
