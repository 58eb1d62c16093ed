#pragma once

#include <cstddef>
#include <string>

namespace korvane::bench {

// A settings file of about `bytes` bytes: the eight ships, each with a full
// set of keys, spread among many other sections, as a large server's is.
std::string generateSettings(std::size_t bytes);

} // namespace korvane::bench
