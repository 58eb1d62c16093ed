#pragma once

#include "bytes.h"

#include <cstdint>
#include <string>

namespace korvane {

// What became of reading a settings file. A file that cannot be read is not
// an error for the check run (every key reads 0); front ends that tell the
// user why use this.
enum class FileStatus {
    Ok,         // a regular file, read (an empty one too)
    Missing,    // nothing at that path
    NotRegular, // a directory, FIFO, socket or device: never opened
    Unreadable, // there, but it could not be opened or read
};

// A settings file opened for reading, by its path's bytes (no code page).
// Only a regular file is opened, and never in a way that blocks: a FIFO
// without a writer would wait for ever, a device may never end.
class OpenFile {
public:
    static OpenFile open(const std::string& path);
    OpenFile(OpenFile&& other) noexcept;
    OpenFile& operator=(OpenFile&& other) noexcept;
    ~OpenFile();

    FileStatus status() const { return status_; }
    int error() const { return error_; } // errno for Missing and Unreadable
    int fd() const { return fd_; }       // -1 unless Ok
    std::uint64_t size() const { return size_; }
    bool isFolder() const { return folder_; }

private:
    OpenFile(FileStatus status, int error) : status_(status), error_(error) {}

    int fd_ = -1;
    FileStatus status_;
    int error_ = 0;
    std::uint64_t size_ = 0;
    bool folder_ = false;
};

struct FileRead {
    Bytes bytes; // empty unless Ok
    FileStatus status = FileStatus::Ok;
    int error = 0;
};

// The whole of the file at `path` (see OpenFile).
FileRead readSettingsFile(const std::string& path);

// Reads an open descriptor (standard input) to its end.
FileRead readStream(int fd);

} // namespace korvane
