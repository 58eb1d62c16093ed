#pragma once

// Texts joined from parts. (MinGW's GCC 12 takes "literal" + a temporary
// string for an overlapping copy and warns; one append per part is plain.)

#include <initializer_list>
#include <string>
#include <string_view>

namespace korvane::lsp {

inline std::string joined(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (const std::string_view part : parts)
        out.append(part);
    return out;
}

} // namespace korvane::lsp
