#include "search_order.h"

#include "include_reader.h" // ArenaPlace

#include <algorithm>
#include <filesystem>

namespace korvane {
namespace {

constexpr char kPreferred = static_cast<char>(std::filesystem::path::preferred_separator);

// '/' always separates; on Windows '\\' does too.
bool isSeparator(char c) {
    return c == '/' || c == kPreferred;
}

bool rooted(std::string_view name) {
    const auto named = std::filesystem::path(std::u8string(name.begin(), name.end()));
    return named.has_root_directory() || named.has_root_name();
}

// `name` under `folder`, written with the separator the folder's own name
// uses ("C:\\zone" takes '\\' throughout, on Windows), so that a path reads
// with one separator. A folder of "" or "." adds nothing.
std::string under(const std::string& folder, std::string_view name) {
    if (folder.empty() || folder == ".")
        return std::string(name);
    std::string path = folder;
    const auto last = std::find_if(path.rbegin(), path.rend(), isSeparator);
    const char separator = last == path.rend() ? '/' : *last;
    if (!isSeparator(path.back()))
        path += separator;
    const std::size_t from = path.size();
    path += name;
    std::replace_if(path.begin() + static_cast<std::ptrdiff_t>(from), path.end(), isSeparator,
                    separator);
    return path;
}

} // namespace

std::string zonePath(const std::string& zone, std::string_view name) {
    return under(zone, name);
}

std::vector<std::string> searchPaths(const ArenaPlace& place, std::string_view name) {
    std::vector<std::string> paths;
    paths.reserve(4);
    const std::string n(name);
    if (!place.arena.empty())
        paths.push_back(under(place.zone, "arenas/" + place.arena + "/" + n));
    paths.push_back(under(place.zone, "conf/" + n));
    // A rooted name stands for itself where the zone's own NAME would be.
    paths.push_back(rooted(name) ? n : under(place.zone, n));
    paths.push_back(under(place.zone, "arenas/(default)/" + n));
    return paths;
}

} // namespace korvane
