#include "watch_plan.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_set>

namespace korvane::window {
namespace {

namespace fs = std::filesystem;

// The engine's paths are UTF-8 on every platform (as bytes on Linux).
fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string absoluteOf(const std::string& utf8) {
    std::error_code error;
    const fs::path absolute = fs::absolute(pathOf(utf8), error);
    return error ? utf8 : utf8Of(absolute.lexically_normal());
}

// The folder that tells about `file`: its own, or the nearest that exists.
std::string tellingFolder(const std::string& file) {
    fs::path folder = pathOf(file).parent_path();
    std::error_code error;
    while (!fs::is_directory(folder, error) && folder.has_relative_path())
        folder = folder.parent_path();
    return fs::is_directory(folder, error) ? utf8Of(folder) : std::string();
}

WatchedState::Path stateOf(const std::string& file) {
    std::error_code error;
    const fs::path path = pathOf(file);
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status))
        return {false, false, 0, 0};
    const bool regular = fs::is_regular_file(status);
    const std::uintmax_t size = regular ? fs::file_size(path, error) : 0;
    const auto time = fs::last_write_time(path, error);
    return {true, regular, error ? 0 : size,
            error ? 0 : std::int64_t(time.time_since_epoch().count())};
}

} // namespace

WatchPlan::WatchPlan(const std::string& checkedPath, const CheckResult& result) {
    const std::vector<std::string>& paths =
        !result.watch.empty() ? result.watch : result.filesRead;
    std::unordered_set<std::string> seen;
    const auto add = [&](const std::string& path) {
        if (files_.size() == kMostWatched)
            return;
        if (std::string absolute = absoluteOf(path); seen.insert(absolute).second)
            files_.push_back(std::move(absolute));
    };
    add(checkedPath);
    for (const std::string& path : paths)
        add(path);
    state_ = now();
}

WatchedState WatchPlan::now() const {
    WatchedState state;
    std::unordered_set<std::string> folders;
    for (const std::string& file : files_) {
        state.paths.push_back(stateOf(file));
        if (std::string folder = tellingFolder(file); !folder.empty() && folders.insert(folder).second)
            state.folders.push_back(std::move(folder));
    }
    return state;
}

bool WatchPlan::changed() const {
    return !files_.empty() && now() != state_;
}

} // namespace korvane::window
