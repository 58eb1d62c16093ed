#pragma once

// The one place that says where the server looks for a file: an arena's
// own file and every #include. The reader, the zone walk, the watchers and
// the checker all ask here.

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct ArenaPlace; // include_reader.h

// The paths tried, in order, for NAME under `place`: arenas/ARENA/NAME
// (with an arena), conf/NAME, NAME, arenas/(default)/NAME, each under the
// zone folder; a NAME starting with '/' (or rooted, on Windows) stands for
// itself alone.
std::vector<std::string> searchPaths(const ArenaPlace& place, std::string_view name);

} // namespace korvane
