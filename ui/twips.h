#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <QtGlobal>

// Window geometry is stored in twips (1/1440 inch). This is the one place
// where twips become pixels: at the logical DPI of the screen a widget is
// on, so that 7824 x 3912 twips are 522 x 261 pixels at 96 DPI.
namespace korvane::twips {

inline constexpr double kPerInch = 1440.0;

// A length in twips as pixels at `dpi`, rounded to the nearest pixel.
inline int toPixels(int twips, double dpi) {
    return qRound(twips * dpi / kPerInch);
}

// Horizontal lengths use the screen's horizontal DPI, vertical ones its
// vertical DPI; each of a rectangle's four numbers is converted on its own.
inline QSize toPixels(QSize twips, const QWidget& on) {
    return {toPixels(twips.width(), on.logicalDpiX()), toPixels(twips.height(), on.logicalDpiY())};
}

inline QRect toPixels(QRect twips, const QWidget& on) {
    return {toPixels(twips.left(), on.logicalDpiX()), toPixels(twips.top(), on.logicalDpiY()),
            toPixels(twips.width(), on.logicalDpiX()), toPixels(twips.height(), on.logicalDpiY())};
}

} // namespace korvane::twips
