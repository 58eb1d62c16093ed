#pragma once

#include "profile.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
class ProfileStore {
public:
    static ProfileStore& instance();

    LoadedProfile load(const std::string& path);

    // The reader's answer for section/key in path: 0 where absent.
    std::int32_t readInt(const std::string& path, std::string_view section, std::string_view key);

    // Serves `bytes` for `path` instead of the file system, until forgotten:
    // how settings that arrive on standard input are checked.
    void setMemoryFile(const std::string& path, std::string bytes);
    void forgetMemoryFile(const std::string& path);

    // Drops the cached parse: the next load reads the file again.
    void clearCache();

private:
    struct Identity {
        std::uint64_t device, inode, size;
        std::int64_t mtimeSec, mtimeNsec, ctimeSec, ctimeNsec;
        bool operator==(const Identity&) const = default;
    };

    std::string cachedPath_;
    std::optional<Identity> cachedIdentity_;
    std::shared_ptr<const Profile> cached_;
    std::map<std::string, std::shared_ptr<const Profile>> memoryFiles_;
};

} // namespace korvane
