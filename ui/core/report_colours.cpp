#include "report_colours.h"

#include <algorithm>
#include <cmath>

namespace korvane::window {
namespace {

double channel(ReportColour colour, int shift) {
    return double((colour >> shift) & 0xFF) / 255.0;
}

double linear(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

struct Hsl {
    double hue; // 0 to 6, in sixths of the circle
    double saturation, lightness;
};

Hsl toHsl(ReportColour colour) {
    const double r = channel(colour, 0), g = channel(colour, 8), b = channel(colour, 16);
    const double high = std::max({r, g, b}), low = std::min({r, g, b});
    const double lightness = (high + low) / 2, span = high - low;
    if (span == 0)
        return {0, 0, lightness};
    const double saturation = span / (1 - std::abs(2 * lightness - 1));
    double hue = high == r ? std::fmod((g - b) / span + 6, 6) : high == g ? (b - r) / span + 2
                                                                          : (r - g) / span + 4;
    return {hue, saturation, lightness};
}

// Eight bits a channel, as the pane paints it, so the contrast measured is
// the one shown.
ReportColour fromHsl(const Hsl& hsl) {
    const double chroma = (1 - std::abs(2 * hsl.lightness - 1)) * hsl.saturation;
    const double x = chroma * (1 - std::abs(std::fmod(hsl.hue, 2) - 1));
    const double m = hsl.lightness - chroma / 2;
    double r = 0, g = 0, b = 0;
    switch (int(hsl.hue) % 6) {
    case 0: r = chroma, g = x; break;
    case 1: r = x, g = chroma; break;
    case 2: g = chroma, b = x; break;
    case 3: g = x, b = chroma; break;
    case 4: r = x, b = chroma; break;
    default: r = chroma, b = x; break;
    }
    const auto byte = [m](double v) {
        return ReportColour(std::clamp(std::lround((v + m) * 255), 0L, 255L));
    };
    return byte(r) | byte(g) << 8 | byte(b) << 16;
}

} // namespace

double luminance(ReportColour colour) {
    return 0.2126 * linear(channel(colour, 0)) + 0.7152 * linear(channel(colour, 8)) +
           0.0722 * linear(channel(colour, 16));
}

double contrast(ReportColour a, ReportColour b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDark(ReportColour background, ReportColour text) {
    return luminance(background) < luminance(text);
}

ReportColour shownOn(ReportColour background, ReportColour text, ReportColour wanted) {
    if (!isDark(background, text) || contrast(wanted, background) >= kReadable)
        return wanted;
    Hsl hsl = toHsl(wanted);
    // Contrast grows with lightness on a dark background: the least
    // lightness that is readable, found by halving.
    double low = hsl.lightness, high = 1;
    for (int step = 0; step < 24; ++step) {
        hsl.lightness = (low + high) / 2;
        (contrast(fromHsl(hsl), background) >= kReadable ? high : low) = hsl.lightness;
    }
    hsl.lightness = high;
    return fromHsl(hsl);
}

} // namespace korvane::window
