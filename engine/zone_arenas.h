#pragma once

// A zone folder's arenas, as a server running in that folder finds their
// settings, for checking a whole zone in one run.

#include "settings_file.h"

#include <string>
#include <vector>

namespace korvane {

class FileSource;

struct ZoneArena {
    std::string name; // of its folder under arenas/, or "(default)"
    std::string path; // its arena.conf as the server finds it, under the zone as given
    FileStatus status = FileStatus::Ok; // NotRegular or Unreadable: the file cannot be checked
    int error = 0;
};

// An entry of arenas/ that could not be told a folder or not: it may be an
// arena that the run does not check.
struct UnlistedEntry {
    std::string path; // the entry, under the zone as given
    int error;        // errno
    bool operator==(const UnlistedEntry&) const = default;
};

// Whether `path` is a zone folder: a folder that holds a folder arenas/.
bool isZoneFolder(const std::string& path, const FileSource* files = nullptr);

// The zone's arenas, sorted by name: every folder arenas/NAME/ (NAME not
// starting with '.'), and the default arena "(default)" whether its folder
// is there or not, for which the server finds an arena file: the first of
// searchPaths({zone, NAME}, "arena.conf") (search_order.h) that exists, can
// be read and is not a folder. A folder for which none is found is no
// arena. Where only an unreadable file is found, or the one found is not a
// regular file, the arena is listed with that status. Folder names are
// UTF-8 on every platform. Read through `files` (the disk when null).
struct ZoneArenas {
    std::vector<ZoneArena> arenas;
    int error = 0; // errno when arenas/ could not be listed to its end
    std::vector<UnlistedEntry> unlisted;
};
ZoneArenas zoneArenas(const std::string& zone, const FileSource* files = nullptr);

} // namespace korvane
