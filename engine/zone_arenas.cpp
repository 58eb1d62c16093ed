#include "zone_arenas.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace korvane {
namespace {

constexpr const char* kDefaultArena = "(default)";

std::string under(const std::string& zone, const std::string& name) {
    if (zone.empty())
        return name;
    return zone.back() == '/' ? zone + name : zone + '/' + name;
}

// The arena's file as the server finds it; false when there is none.
bool findArenaFile(const std::string& zone, ZoneArena& arena) {
    const std::string candidates[] = {"arenas/" + arena.name + "/arena.conf", "conf/arena.conf",
                                      "arena.conf",
                                      std::string("arenas/") + kDefaultArena + "/arena.conf"};
    std::string unreadable;
    int unreadableError = 0;
    for (const std::string& candidate : candidates) {
        const std::string path = under(zone, candidate);
        const FileRead file = probeSettingsFile(path);
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

bool isZoneFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec) &&
           std::filesystem::is_directory(under(path, "arenas"), ec);
}

ZoneArenas zoneArenas(const std::string& zone) {
    namespace fs = std::filesystem;
    ZoneArenas found;
    std::set<std::string> names{kDefaultArena};
    std::error_code ec;
    for (fs::directory_iterator it(under(zone, "arenas"), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code dirError;
        if (!name.starts_with('.') && it->is_directory(dirError))
            names.insert(name);
    }
    found.error = ec.value();
    for (const std::string& name : names) {
        ZoneArena arena{name, {}, FileStatus::Ok, 0};
        if (findArenaFile(zone, arena))
            found.arenas.push_back(std::move(arena));
    }
    return found;
}

} // namespace korvane
