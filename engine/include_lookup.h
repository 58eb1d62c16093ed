#pragma once

// Where an #include NAME leads for an arena (include_reader.h, choice 1).

#include "file_source.h"
#include "include_load.h"

#include <string>
#include <string_view>

namespace korvane::include {

// The file found (not yet read), or why nothing is read.
struct Found {
    std::string path;
    std::string problem;
    bool lookupsOut = false; // the load's look-ups ran out
    const std::string& outcome() const { return problem.empty() ? path : problem; }
};

// Tries searchPaths(place, name) in turn; the paths looked at and not read
// are noted in the load. `counted`: each candidate is one of the load's
// look-ups, which may run out; otherwise (asking whether a kept file can be
// played again) one of its replay look-ups.
Found findInclude(LoadState& load, const FileSource& files, const ArenaPlace& place,
                  std::string_view name, bool counted);

} // namespace korvane::include
