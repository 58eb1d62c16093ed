#pragma once

// The texts and sizes both windows show, decided once: the caption, the
// one-FILE rule, the About text, the window geometry, the line for a check
// that stopped, and the explanation of a report line. UTF-8 throughout; the
// windows only convert and draw.

#include "check_result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::window {

inline constexpr char kProgramCaption[] = "Korvane";

// What ends a folder's name in a path: '/' alone on Linux; '/' and '\' on
// Windows. Each window passes its own.
enum class Separators { Slash, SlashOrBackslash };

// The name a caption shows for `path`: its last part (a path that ends in
// separators names the part before them), quoted as reports quote names
// that hold control characters.
std::string captionName(std::string_view path, Separators separators);
// "NAME - Korvane" for a checked path.
std::string caption(std::string_view path, Separators separators);

// `korvane [FILE]` takes one FILE: the reason to refuse `files` of them, or
// nothing. Both windows refuse with usageError(reason) and status 2.
std::optional<std::string> refusedFiles(std::size_t files);
inline constexpr int kUsageStatus = 2;
// "korvane: REASON\nRun with --help for more information.\n"
std::string usageError(std::string_view reason);

// What the About box says.
std::string aboutText();

// Sizes in twips (1/1440 inch); each window turns them into pixels at its
// screen's DPI.
struct Twips {
    int left, top, width, height;
};
inline constexpr Twips kMainClient{0, 0, 7824, 3912}; // the main window's client area
inline constexpr Twips kAboutClient{0, 0, 3744, 2496};
inline constexpr Twips kAboutButton{1200, 1800, 1332, 492};
inline constexpr Twips kAboutLabel{360, 480, 3120, 792};
inline constexpr int kTwipsPerInch = 1440;
// A length in twips as pixels at `dpi`, to the nearest pixel (7824 twips
// are 522 pixels at 96 DPI).
inline constexpr int toPixels(int twips, int dpi) {
    const long long scaled = 2LL * twips * dpi;
    return int((scaled + (scaled >= 0 ? kTwipsPerInch : -kTwipsPerInch)) / (2LL * kTwipsPerInch));
}

// The red line a window adds when a check of `path` stops on an error it
// did not expect (`what`, or nothing known), after the lines written so far.
std::string stoppedLine(std::string_view path, std::optional<std::string_view> what);

// The explanation of line `line` (from 0) of the pane that shows `result`'s
// report: each key of the finding there, its value and where it was set.
// Empty for every other line (ship headers, summaries, the verdict,
// warnings) and for a result whose file could not be checked.
std::string explanationOfLine(const CheckResult& result, std::size_t line);

} // namespace korvane::window
