#include "readable_colour.h"

#include <QPalette>
#include <algorithm>
#include <cmath>

namespace korvane::colours {
namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// Eight bits a channel, as the pane paints it, so the contrast measured is
// the one shown.
QColor withLightness(float hue, float saturation, double lightness) {
    return QColor(QColor::fromHslF(hue, saturation, float(lightness)).rgb());
}

} // namespace

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const auto [dark, light] = std::minmax(luminance(a), luminance(b));
    return (light + 0.05) / (dark + 0.05);
}

bool isDark(const QPalette& palette) {
    return luminance(palette.color(QPalette::Base)) < luminance(palette.color(QPalette::Text));
}

QColor shownOn(const QPalette& palette, const QColor& wanted) {
    const QColor base = palette.color(QPalette::Base);
    if (!isDark(palette) || contrast(wanted, base) >= kReadable)
        return wanted;
    float hue = 0, saturation = 0, lightness = 0;
    wanted.toHsl().getHslF(&hue, &saturation, &lightness);
    // Contrast grows with lightness on a dark base: the least lightness
    // that is readable, found by halving.
    double low = lightness, high = 1;
    for (int step = 0; step < 24; ++step) {
        const double middle = (low + high) / 2;
        (contrast(withLightness(hue, saturation, middle), base) >= kReadable ? high : low) = middle;
    }
    return withLightness(hue, saturation, high);
}

} // namespace korvane::colours
