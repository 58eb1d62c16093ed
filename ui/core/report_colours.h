#pragma once

#include "report_pane.h"

// Report colours that stay readable on the pane's background, the same on
// every platform: each window gives its pane's colours as the system or the
// theme has them, and shows what comes back.
namespace korvane::window {

// WCAG 2 relative luminance, 0 for black to 1 for white.
double luminance(ReportColour colour);
// WCAG 2 contrast ratio, 1 to 21, whichever colour is lighter.
double contrast(ReportColour a, ReportColour b);

// The least contrast that WCAG 2 (AA) asks of normal text.
inline constexpr double kReadable = 4.5;

// A pane is dark when its background is darker than its text.
bool isDark(ReportColour background, ReportColour text);

// `wanted` as it is shown on a pane of `background` with plain `text`: as
// it is on a light pane; on a dark one, the colour of the same hue and
// saturation made just light enough for kReadable against the background
// (as light as it gets where no lightness reaches it). All 0x00BBGGRR.
ReportColour shownOn(ReportColour background, ReportColour text, ReportColour wanted);

} // namespace korvane::window
