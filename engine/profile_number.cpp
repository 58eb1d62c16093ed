#include "ascii.h"
#include "profile.h"

#include <algorithm>

namespace korvane {
namespace {

// The reader converts at most this many characters of a value.
constexpr std::size_t kConvertedLength = 29;

// What the reader hands to its conversion: matching quotes removed and the
// length cut. It copies at most 29 characters after an opening quote and
// then drops the last character it copied whenever the closing quote fitted
// the copy's full 30-character room: a quoted value with exactly 29
// characters inside therefore loses its last one.
std::string_view convertedPart(std::string_view v) {
    const bool quoted =
        v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
    if (!quoted)
        return v.substr(0, kConvertedLength);
    v.remove_prefix(1); // the inside and the closing quote
    std::size_t take = std::min(v.size(), kConvertedLength);
    if (v.size() <= kConvertedLength + 1)
        --take;
    return v.substr(0, take);
}

} // namespace

std::int32_t profileValueToInt(std::string_view value) {
    const std::string_view v = convertedPart(value);
    std::size_t i = 0;
    while (i < v.size() && static_cast<unsigned char>(v[i]) <= 0x20)
        ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) {
        negative = v[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < v.size() && v[i] == '0') {
        // Lowercase prefixes only: "0X1F" reads as 0 followed by text.
        switch (v[i + 1]) {
        case 'x':
            base = 16;
            break;
        case 'o':
            base = 8;
            break;
        case 'b':
            base = 2;
            break;
        default:
            break;
        }
        if (base != 10)
            i += 2;
    }
    std::uint32_t result = 0; // wraps modulo 2^32, as the reader's does
    for (; i < v.size(); ++i) {
        const unsigned d = digitValue(v[i]);
        if (d >= base)
            break;
        result = result * base + d;
    }
    if (negative)
        result = 0u - result;
    return static_cast<std::int32_t>(result);
}

} // namespace korvane

namespace korvane {

std::string profileValueText(std::string_view value) {
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return std::string(quoted ? value.substr(1, value.size() - 2) : value);
}

} // namespace korvane
