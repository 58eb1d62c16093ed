#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvane::bench {

// A settings file of about `bytes` bytes: the eight ships, each with a full
// set of keys that keeps every rule, spread among many other sections, as a
// large server's is.
std::string generateSettings(std::size_t bytes);

// About `bytes` bytes of one of the shapes below, or an empty string for an
// unknown name. Every shape keeps every rule (its report has no findings).
//   settings        generateSettings
//   tiny-sections   millions of two-line sections, more than the index
//                   holds, with the ships after them
//   repeated-name   one section name over and over, then the ships
//   ship-section    the ships, Warbird's section first, its keys behind
//                   millions of short lines
//   one-key         the same, behind millions of copies of one of its keys
std::string generateShape(std::string_view shape, std::size_t bytes);

} // namespace korvane::bench
