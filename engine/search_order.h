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
// zone folder ("" and "." add nothing); a NAME starting with '/' (or rooted,
// on Windows) stands for itself in place of the zone's NAME. A path is
// written with the separator the zone folder's name ends in ('/' when it
// has none): on Windows "C:\\zone" gives "C:\\zone\\conf\\NAME".
std::vector<std::string> searchPaths(const ArenaPlace& place, std::string_view name);

// `name` (a relative path) under the zone folder, as searchPaths writes it.
std::string zonePath(const std::string& zone, std::string_view name);

} // namespace korvane
