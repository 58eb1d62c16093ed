#pragma once

// A zone folder's arenas, as a server running in that folder finds their
// settings, for checking a whole zone in one run.

#include "settings_file.h"

#include <string>
#include <vector>

namespace korvane {

struct ZoneArena {
    std::string name; // of its folder under arenas/, or "(default)"
    std::string path; // its arena.conf as the server finds it, under the zone as given
    FileStatus status = FileStatus::Ok; // NotRegular or Unreadable: the file cannot be checked
    int error = 0;
};

// Whether `path` is a zone folder: a folder that holds a folder arenas/.
bool isZoneFolder(const std::string& path);

// The zone's arenas, sorted by name: every folder arenas/NAME/ (NAME not
// starting with '.'), and the default arena "(default)" whether its folder
// is there or not, for which the server finds an arena file: the first of
// arenas/NAME/arena.conf, conf/arena.conf, arena.conf and
// arenas/(default)/arena.conf that exists, can be read and is not a folder.
// A folder for which none is found is no arena. Where only an unreadable
// file is found, or the one found is not a regular file, the arena is
// listed with that status.
struct ZoneArenas {
    std::vector<ZoneArena> arenas;
    int error = 0; // errno when arenas/ could not be listed to its end
};
ZoneArenas zoneArenas(const std::string& zone);

} // namespace korvane
