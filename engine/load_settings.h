#pragma once

#include "settings.h"
#include "settings_file.h"

#include <memory>
#include <optional>
#include <string>

namespace korvane {

class IncludeCache;
class FileSource;

// Which reader reads a file. By default a name ending in ".conf" (any case)
// is read as the newer servers load an arena (include_reader.h), any other
// with the profile reader (profile.h).
enum class Dialect { Auto, Profile, Include };

struct SettingsRequest {
    std::string path; // the file; with `input`, only the name it is shown by
    std::optional<Bytes> input = std::nullopt; // bytes read already (standard input)
    Dialect dialect = Dialect::Auto;
    // The include dialect's zone folder and arena, instead of those the path
    // implies (arenaPlaceOf).
    std::optional<std::string> zone = std::nullopt;
    std::optional<std::string> arena = std::nullopt;
    // Read from standard input (and shown as `path`), unless `input` is given.
    bool standardInput = false;
    // Where the include dialect keeps what included files set across the
    // loads of one run (a zone's arenas), or none.
    IncludeCache* cache = nullptr;
    // Where every file is read from, the checked one and those it includes:
    // the disk when null.
    const FileSource* files = nullptr;
    // Keep every setting, not just those a check run reads (for the
    // effective settings).
    bool everySetting = false;
};

struct LoadedSettings {
    std::unique_ptr<const Settings> settings; // never null: none when not Ok
    FileStatus status = FileStatus::Ok;
    int error = 0; // errno, for Missing and Unreadable
};

// Loads the settings that a check run reads, once.
LoadedSettings loadSettings(SettingsRequest request);

} // namespace korvane
