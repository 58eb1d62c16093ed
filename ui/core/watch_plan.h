#pragma once

// What a window watches after a check, and when it checks again. The
// windows only turn the folders into their platform's file notifications
// and wait kPauseMilliseconds after the last one; this decides whether
// what they saw changes the result.

#include "check_result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::window {

// A save is often several changes in a row: one look after the last.
inline constexpr int kPauseMilliseconds = 200;
// Each watched path costs the platform time: a hostile zone can include
// 100,000 files. The checked file and the first paths of the result count.
inline constexpr std::size_t kMostWatched = 1000;

// The state of every watched path, and of the folders that tell about them.
struct WatchedState {
    struct Path {
        bool exists;
        bool regular;
        std::uintmax_t size;
        std::int64_t time; // the last write, in the file system's ticks
        bool operator==(const Path&) const = default;
    };
    std::vector<Path> paths;
    std::vector<std::string> folders;
    bool operator==(const WatchedState&) const = default;
};

// The paths whose change could change a check's result (CheckResult::watch:
// the files read and every place the search looked at before the file it
// found), absolute and UTF-8, and the folders to be told about them: each
// path's own, or its nearest ancestor that exists, so that a folder made
// on the way to it is seen too. Never a whole folder's other files.
class WatchPlan {
public:
    WatchPlan() = default;
    // For a check of `checkedPath` (UTF-8, as given) that gave `result`;
    // a path that could not be checked is watched until it can be.
    WatchPlan(const std::string& checkedPath, const CheckResult& result);

    const std::vector<std::string>& files() const { return files_; }
    const std::vector<std::string>& folders() const { return state_.folders; }

    // Whether anything watched is different from when the plan was made:
    // the windows check again only then, so that a download landing beside
    // the checked file, or a file touched without change, never does.
    bool changed() const;

private:
    WatchedState now() const;

    std::vector<std::string> files_;
    WatchedState state_;
};

} // namespace korvane::window
