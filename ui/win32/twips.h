#pragma once

#include <windows.h>

// Window geometry is stored in twips (1/1440 inch). This is the one place
// where twips become pixels: at the DPI of the monitor a window is on, so
// that 7824 x 3912 twips are 522 x 261 pixels at 96 DPI.
namespace korvane::win32::twips {

inline constexpr int kPerInch = 1440;

// A length in twips as pixels at `dpi`, rounded to the nearest pixel.
inline int toPixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), kPerInch);
}

// A rectangle given as left, top, width and height in twips.
inline RECT toPixels(int left, int top, int width, int height, UINT dpi) {
    const int x = toPixels(left, dpi), y = toPixels(top, dpi);
    return {x, y, x + toPixels(width, dpi), y + toPixels(height, dpi)};
}

} // namespace korvane::win32::twips
