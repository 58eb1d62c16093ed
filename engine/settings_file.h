#pragma once

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

struct FileRead {
    std::string bytes; // empty unless Ok
    FileStatus status = FileStatus::Ok;
    int error = 0; // errno for Missing and Unreadable
};

// Reads the file at `path`, its bytes taken as the file system's name (no
// code page). Only a regular file is opened, and never in a way that blocks:
// a FIFO without a writer would wait for ever, a device may never end.
FileRead readSettingsFile(const std::string& path);

// Reads an open descriptor (standard input) to its end.
FileRead readStream(int fd);

} // namespace korvane
