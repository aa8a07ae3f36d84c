// The main window's pictures on FLTK. The background takes bitmap (.bmp), GIF and JPEG
// files; the icon takes the biggest uncompressed bitmap of an icon or cursor file.
// Metafiles and icons that hold only compressed (PNG) pictures are refused.
#pragma once

#include <memory>

#include "base/result.h"
#include "shell/picture_file.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl_RGB_Image.H>
#undef Status

namespace dfm {

Result<std::unique_ptr<Fl_RGB_Image>> DecodeBackground(const Picture& picture);
Result<std::unique_ptr<Fl_RGB_Image>> DecodeIcon(const Picture& picture);

}  // namespace dfm
