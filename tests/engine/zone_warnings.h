#pragma once

// The reader's warnings as the include tests compare them.

#include "settings.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline std::string replaced(std::string s, std::string_view from, std::string_view to) {
    for (std::size_t at = s.find(from); at != s.npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The warnings as lines, the zone's folder taken off the paths in them.
inline std::vector<std::string> shownWarnings(std::span<const Warning> warnings, const std::string& zone) {
    std::vector<std::string> out;
    for (const Warning& w : warnings) {
        const std::string at =
            w.where ? w.where->file + ":" + std::to_string(w.where->line) + ": " : "";
        // The zone's own separator joins it to the names found in it.
        std::string text = replaced(replaced(at + w.text, zone + "/", ""), zone + "\\", "");
#ifdef _WIN32
        // And the paths it lists under it: the cases are written with '/'.
        if (text.find(" not found (no ") != std::string::npos)
            std::replace(text.begin(), text.end(), '\\', '/');
#endif
        out.push_back(text);
    }
    return out;
}

} // namespace korvane
