#pragma once

#include "window_text.h"

#include <windows.h>

// Window geometry is stored in twips (1/1440 inch). This is the one place
// where twips become pixels: at the DPI of the monitor a window is on, so
// that 7824 x 3912 twips are 522 x 261 pixels at 96 DPI.
namespace korvane::win32::twips {

// A length in twips as pixels at `dpi` (window_text.h).
inline int toPixels(int twips, UINT dpi) {
    return korvane::window::toPixels(twips, static_cast<int>(dpi));
}

// A rectangle of the window core's twips.
inline RECT toPixels(const korvane::window::Twips& twips, UINT dpi) {
    const int x = toPixels(twips.left, dpi), y = toPixels(twips.top, dpi);
    return {x, y, x + toPixels(twips.width, dpi), y + toPixels(twips.height, dpi)};
}

} // namespace korvane::win32::twips
