// The credits window on FLTK: a fixed-size tool window above the main window, with an
// off-screen image that is drawn once and copied into the window each frame.
#pragma once

#include <memory>

#include "credits/credits_canvas.h"

namespace dfm {

std::unique_ptr<CreditsCanvas> MakeFltkCreditsWindow();

}  // namespace dfm
