#pragma once

#include <QColor>

class QPalette;

// Report colours that stay readable on the theme's pane.
namespace korvane::colours {

// WCAG 2 relative luminance, 0 for black to 1 for white.
double luminance(const QColor& colour);
// WCAG 2 contrast ratio, 1 to 21, whichever colour is lighter.
double contrast(const QColor& a, const QColor& b);

// A pane is dark when its base colour is darker than its text.
bool isDark(const QPalette& palette);

// The least contrast that WCAG 2 (AA) asks of normal text.
inline constexpr double kReadable = 4.5;

// `wanted` as it is shown on a pane of `palette`: as it is on a light pane;
// on a dark one, the colour of the same hue and saturation made just light
// enough for kReadable against the base (as light as it gets where no
// lightness reaches it).
QColor shownOn(const QPalette& palette, const QColor& wanted);

} // namespace korvane::colours
