// Decoding a JPEG file into a DibSection.
#pragma once

#include <string>

#include "base/result.h"
#include "image/dib_section.h"
#include "image/jpeg_library.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace dfm {

inline constexpr char kJpegInitFailedMessage[] = "Failed to initialise the IJL library: ";
inline constexpr char kJpegReadFailedMessage[] = "Failed to read JPG";
inline constexpr char kJpegImageFailedMessage[] = "Cannot read Image Data from file.";

// Decodes `file` into `dib` through `library`, in this order: initialise, read the
// parameters, Create `dib` at the picture's size, read the whole picture into it, release
// the library. The pixels arrive blue-green-red, bottom row first, rows padded to 4 bytes;
// one-channel pictures arrive as three equal bytes.
//
// Returns true when the whole picture was decoded. Returns false after showing, with the
// exclamation icon, "Failed to initialise the IJL library: " and the status (nothing is
// released then), "Failed to read JPG" (`dib` untouched) or "Cannot read Image Data from
// file." (`dib` created at the picture's size, contents unspecified); a failed Create
// returns false with no message. The only Failure is Create's err::kOverflow for a
// picture whose byte size does not fit 32 bits; the library is released then too.
Result<bool> ReadJpeg(JpegLibrary& library, Dialogs& dialogs, DibSection& dib,
                      const std::string& file);

// ReadJpeg's steps after a successful parameter read into `props`: Create `dib` at the
// picture's size and read the whole picture into it, with ReadJpeg's results and messages;
// the library is not released.
Result<bool> ReadJpegImage(JpegLibrary& library, Dialogs& dialogs, DibSection& dib,
                           JpegProperties& props);

// Shows one of the messages above as ReadJpeg does: with the exclamation icon.
void ShowJpegMessage(Dialogs& dialogs, const std::string& text);

// The same over libjpeg-turbo, reading the file through `fs`.
Result<bool> ReadJpeg(FileSystem& fs, Dialogs& dialogs, DibSection& dib, const std::string& file);

}  // namespace dfm
