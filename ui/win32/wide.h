#pragma once

#include <string>
#include <string_view>

// The engine speaks UTF-8, the window system UTF-16.
namespace korvane::win32 {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring fromUtf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string toUtf8(std::wstring_view text);

} // namespace korvane::win32
