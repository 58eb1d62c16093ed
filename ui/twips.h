#pragma once

#include "window_text.h"

#include <QRect>
#include <QSize>
#include <QWidget>

// The window core's twips (window_text.h) as pixels at the logical DPI of
// the screen a widget is on. Horizontal lengths use the screen's horizontal
// DPI, vertical ones its vertical DPI.
namespace korvane::twips {

inline int toPixels(int twips, double dpi) {
    return window::toPixels(twips, qRound(dpi));
}

inline QSize toPixels(QSize twips, const QWidget& on) {
    return {toPixels(twips.width(), on.logicalDpiX()), toPixels(twips.height(), on.logicalDpiY())};
}

inline QRect toPixels(QRect twips, const QWidget& on) {
    return {toPixels(twips.left(), on.logicalDpiX()), toPixels(twips.top(), on.logicalDpiY()),
            toPixels(twips.width(), on.logicalDpiX()), toPixels(twips.height(), on.logicalDpiY())};
}

inline QRect toPixels(const window::Twips& twips, const QWidget& on) {
    return toPixels(QRect(twips.left, twips.top, twips.width, twips.height), on);
}

} // namespace korvane::twips
