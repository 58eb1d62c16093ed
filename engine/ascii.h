#pragma once

// Character tests both readers share, by ASCII alone: the servers compare
// names byte by byte with only A-Z folded, whatever the locale.

namespace korvane {

inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The value of a digit in any base up to 36 ('a' and 'A' are 10), or 99 for
// a character that is no digit.
inline unsigned digitValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A' + 10);
    return 99;
}

} // namespace korvane
