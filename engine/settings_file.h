#pragma once

// The file layer: how the engine reads a settings file. This header is the
// same on every platform; each has one file behind it
// (settings_file_posix.cpp, settings_file_windows.cpp).

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

// The error of a file that was Unreadable because it shrank, or a read of
// it failed, while it was read: what was read is not the whole file.
constexpr int kChangedWhileRead = -1;

// How the bytes are had. Mapping copies nothing, and is used only once the
// program has chosen to guard mappings (guardMappedFiles); otherwise, and
// where a file cannot be mapped, it is read. Windows always reads.
enum class Reading { Map, Plain };

struct FileRead {
    Bytes bytes; // empty unless Ok
    FileStatus status = FileStatus::Ok;
    int error = 0;       // errno (or kChangedWhileRead) for Missing and Unreadable
    bool folder = false; // NotRegular, and a folder
};

// The whole of the file at `path`, by its path's bytes (no code page; on
// Windows, whose names are UTF-16, the path is UTF-8), but
// at most `limit` bytes of it plus one (enough to tell it is longer). Only
// a regular file is opened, and never in a way that blocks: a FIFO without
// a writer would wait for ever, a device may never end. A file that gives
// fewer bytes than it said it held is Unreadable (kChangedWhileRead).
FileRead readSettingsFile(const std::string& path, Reading how = Reading::Map,
                          std::uint64_t limit = UINT64_MAX);

// Standard input, read to its end.
FileRead readStandardInput();

// Makes mapped files safe to read, for the whole process: a page lost from
// a mapping (the file shrank, or its read failed) then reads as NULs and
// marks the mapping damaged, where it would otherwise end the program.
// Other faults go on to whatever handled them before. A program calls this
// once, early; until then, files are read instead of mapped.
void guardMappedFiles();

} // namespace korvane
