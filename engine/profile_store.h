#pragma once

#include "profile.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korvane {

// Why a path gives no settings. A missing, unreadable or special file is not
// an error for the check run (every key reads 0); front ends that want to
// tell the user use this.
enum class FileStatus {
    Ok,         // a regular file, read (an empty one included)
    Missing,    // nothing at that path
    NotRegular, // a directory, FIFO, socket or device: never opened
    Unreadable, // there, but it could not be opened or read
};

struct LoadedProfile {
    std::shared_ptr<const Profile> profile; // never null: empty when not Ok
    FileStatus status = FileStatus::Ok;
    int error = 0; // errno for Missing and Unreadable
};

// The file layer over the parser: opens paths exactly as given (their bytes,
// no code page), reads regular files only, and keeps the last file parsed
// while it is unchanged (same device, inode, size, modification time and
// status-change time), so a check run parses its file once.
//
// Those times have a coarse grain: a file changed again within the tick of
// its last change keeps all of them. A parse made that soon after the file's
// last change is therefore trusted only for the check run that made it; the
// next run reads the file again.
class ProfileStore {
public:
    static ProfileStore& instance();

    LoadedProfile load(const std::string& path);

    // The reader's answer for section/key in path: 0 where absent.
    std::int32_t readInt(const std::string& path, std::string_view section, std::string_view key);

    // Has the reader look up all of `keys` of `section` in path in one walk
    // (see Profile::prefetch), for the readInt calls that follow.
    void prefetch(const std::string& path, std::string_view section,
                  std::span<const std::string> keys);

    // Serves `bytes` for `path` instead of the file system, until forgotten:
    // how settings that arrive on standard input are checked.
    void setMemoryFile(const std::string& path, std::string bytes);
    void forgetMemoryFile(const std::string& path);

    // Marks the start of a check run (see above).
    void beginCheck() { ++run_; }

    // Drops the cached parse: the next load reads the file again.
    void clearCache();

private:
    struct Identity {
        std::uint64_t device, inode, size;
        std::int64_t mtimeSec, mtimeNsec, ctimeSec, ctimeNsec;
        bool operator==(const Identity&) const = default;
    };

    bool trusted(const Identity& id) const;

    std::string cachedPath_;
    std::optional<Identity> cachedIdentity_;
    std::int64_t cachedAtSec_ = 0; // when the file's read began
    std::uint64_t cachedRun_ = 0;  // the run that read it
    std::uint64_t run_ = 0;
    std::shared_ptr<const Profile> cached_;
    std::map<std::string, std::shared_ptr<const Profile>> memoryFiles_;
};

} // namespace korvane
