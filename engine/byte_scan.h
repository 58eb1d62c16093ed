#pragma once

// Looking at text eight bytes at a time, in plain C++ (no intrinsics), for
// both readers' hot loops: a settings file can be hundreds of megabytes of
// short lines, and a byte-at-a-time loop would dominate its reading.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace korvane::bytescan {

inline std::uint64_t load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The high bit of each byte of v that is c, and of no other byte: no borrow
// runs from one byte into the next.
inline std::uint64_t bytesEqual(std::uint64_t v, unsigned char c) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    const std::uint64_t x = v ^ (kOnes * c);
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The positions of the marked bytes of a word read from `at`, in memory
// order, passed to each(position) until it returns false; false then.
template <typename Each> bool eachMarked(std::uint64_t marks, std::size_t at, Each each) {
    constexpr bool kLittle = std::endian::native == std::endian::little;
    while (marks) {
        const int bit = kLittle ? std::countr_zero(marks) : std::countl_zero(marks);
        if (!each(at + static_cast<std::size_t>(bit) / 8))
            return false;
        marks &= kLittle ? marks - 1 : ~(std::uint64_t{1} << (63 - bit));
    }
    return true;
}

// The first position from i on that holds one of `stops`, or the end. The
// first two bytes are looked at one at a time (lines of a hostile file can
// be that short), the rest eight at a time.
template <typename... Stops>
std::size_t findFirst(std::string_view t, std::size_t i, Stops... stops) {
    for (const std::size_t first = std::min(i + 2, t.size()); i < first; ++i) {
        if (((t[i] == stops) || ...))
            return i;
    }
    for (; i + 8 <= t.size(); i += 8) {
        const std::uint64_t v = load8(t.data() + i);
        if (const std::uint64_t hits = (bytesEqual(v, static_cast<unsigned char>(stops)) | ...)) {
            std::size_t found = 0;
            eachMarked(hits, i, [&](std::size_t at) {
                found = at;
                return false;
            });
            return found;
        }
    }
    while (i < t.size() && ((t[i] != stops) && ...))
        ++i;
    return i;
}

} // namespace korvane::bytescan
