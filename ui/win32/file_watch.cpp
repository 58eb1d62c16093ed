#include "file_watch.h"

#include "include_reader.h"
#include "wide.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Bounds the cost of one look at a zone: past this many files a change
// among the rest goes unseen (F5 checks again).
constexpr std::size_t kMostFiles = 4096;

bool endsWithConf(const std::string& path) {
    if (path.size() < 5)
        return false;
    std::string end = path.substr(path.size() - 5);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(c | 0x20); });
    return end == ".conf";
}

fs::path pathOf(const std::string& utf8) {
    return fs::path(korvane::win32::fromUtf8(utf8));
}

void note(const fs::path& path, std::vector<std::wstring>& seen) {
    seen.push_back(path.wstring());
}

// The regular files in `folder`, and below it when `deep`.
void list(const fs::path& folder, bool deep, std::vector<std::wstring>& seen) {
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return;
    const auto add = [&](const fs::directory_entry& entry) {
        std::error_code e;
        if (entry.is_regular_file(e))
            note(entry.path(), seen);
        return seen.size() < kMostFiles;
    };
    if (deep) {
        for (fs::recursive_directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            if (!add(*it))
                return;
        }
    } else {
        for (fs::directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            if (!add(*it))
                return;
        }
    }
}

} // namespace

void FileWatch::watch(const std::string& path) {
    path_ = path;
    watching_ = true;
    last_ = take();
}

void FileWatch::stop() {
    watching_ = false;
    last_.clear();
}

bool FileWatch::changed() const {
    return watching_ && take() != last_;
}

FileWatch::Snapshot FileWatch::take() const {
    std::vector<std::wstring> names;
    note(pathOf(path_), names);
    if (endsWithConf(path_)) {
        // Where the include reader looks for an #include NAME: the arena's
        // folder, conf/, the zone folder, the default arena's folder.
        const korvane::ArenaPlace place = korvane::arenaPlaceOf(path_);
        const fs::path zone = pathOf(place.zone.empty() ? "." : place.zone);
        if (!place.arena.empty())
            list(zone / L"arenas" / pathOf(place.arena), true, names);
        list(zone / L"conf", true, names);
        list(zone, false, names);
        list(zone / L"arenas" / L"(default)", true, names);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());

    Snapshot snapshot;
    snapshot.reserve(names.size());
    for (std::wstring& name : names) {
        std::error_code error;
        const fs::path path(name);
        const std::uint64_t size =
            fs::is_regular_file(path, error) ? fs::file_size(path, error) : std::uint64_t(-1);
        const auto time = fs::last_write_time(path, error);
        snapshot.push_back({std::move(name), error ? std::uint64_t(-1) : size,
                            error ? 0 : std::int64_t(time.time_since_epoch().count())});
    }
    return snapshot;
}
