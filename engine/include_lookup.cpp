#include "include_lookup.h"

#include "search_order.h"

#include <cstring>
#include <vector>

namespace korvane::include {

Found findInclude(LoadState& load, const FileSource& files, const ArenaPlace& place,
                  std::string_view name, bool counted) {
    const std::string quoted = "#include \"" + std::string(name) + "\"";
    const std::vector<std::string> candidates = searchPaths(place, name);
    Found found;
    std::string unreadable;
    for (const std::string& path : candidates) {
        // Each name looked for costs the file system a look-up: a file that
        // includes itself, and many names found nowhere, would otherwise
        // ask for hundreds of millions.
        if (counted && load.lookups == load.limits.maxLookups) {
            found.problem = quoted + " not followed: " + std::to_string(load.limits.maxLookups) +
                            " include look-ups in one load (an include cycle?)";
            found.lookupsOut = true;
            return found;
        }
        ++(counted ? load.lookups : load.replayLookups);
        const FileRead file = files.probe(path);
        switch (file.status) {
        case FileStatus::Ok:
            found.path = path;
            return found;
        case FileStatus::NotRegular:
            if (file.folder)
                break;
            found.problem = quoted + ": " + path + " is not a regular file: skipped";
            load.out->searchedAt(path);
            return found;
        case FileStatus::Unreadable:
            if (unreadable.empty())
                unreadable = path + ": " + std::strerror(file.error);
            break;
        case FileStatus::Missing:
            break;
        }
        load.out->searchedAt(path);
    }
    if (!unreadable.empty()) {
        found.problem = quoted + " cannot be read (" + unreadable + "): its settings are missing";
        return found;
    }
    std::string looked;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        looked += i == 0 ? "" : (i + 1 == candidates.size() ? " or " : ", ");
        looked += candidates[i];
    }
    found.problem = quoted + " not found (no " + looked + "): its settings are missing";
    return found;
}

} // namespace korvane::include
