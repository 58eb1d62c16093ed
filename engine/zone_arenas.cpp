#include "zone_arenas.h"

#include "file_source.h"
#include "include_reader.h" // ArenaPlace
#include "search_order.h"

#include <set>

namespace korvane {
namespace {

constexpr const char* kDefaultArena = "(default)";

// The arena's file as the server finds it; false when there is none.
bool findArenaFile(const FileSource& files, const std::string& zone, ZoneArena& arena) {
    std::string unreadable;
    int unreadableError = 0;
    for (const std::string& path : searchPaths({zone, arena.name}, "arena.conf")) {
        const FileRead file = files.probe(path);
        if (file.status == FileStatus::Missing || file.folder)
            continue;
        if (file.status == FileStatus::Unreadable) {
            // The server passes over it; said only when nothing follows.
            if (unreadable.empty()) {
                unreadable = path;
                unreadableError = file.error;
            }
            continue;
        }
        arena.path = path;
        arena.status = file.status;
        return true;
    }
    if (unreadable.empty())
        return false;
    arena.path = unreadable;
    arena.status = FileStatus::Unreadable;
    arena.error = unreadableError;
    return true;
}

} // namespace

bool isZoneFolder(const std::string& path, const FileSource* files) {
    const FileSource& source = files ? *files : diskFiles();
    return source.isFolder(path) && source.isFolder(zonePath(path, "arenas"));
}

ZoneArenas zoneArenas(const std::string& zone, const FileSource* files) {
    const FileSource& source = files ? *files : diskFiles();
    ZoneArenas found;
    std::set<std::string> names{kDefaultArena};
    const std::string arenas = zonePath(zone, "arenas");
    const FolderListing listing = source.list(arenas);
    for (const FolderEntry& entry : listing.entries) {
        if (entry.name.starts_with('.'))
            continue;
        if (entry.error != 0)
            found.unlisted.push_back({zonePath(zone, "arenas/" + entry.name), entry.error});
        else if (entry.folder)
            names.insert(entry.name);
    }
    found.error = listing.error;
    for (const std::string& name : names) {
        ZoneArena arena{name, {}, FileStatus::Ok, 0};
        if (findArenaFile(source, zone, arena))
            found.arenas.push_back(std::move(arena));
    }
    return found;
}

} // namespace korvane
