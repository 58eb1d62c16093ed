#pragma once

// The include reader: an arena's settings as the newer servers load them
// from their `.conf` files. Its choices, in one place (each checked against
// the servers' own loading code where the servers decide):
//
//  1. Files. The server runs in its zone folder. An arena's file, and every
//     #include NAME, is the first of arenas/ARENA/NAME, conf/NAME, NAME,
//     arenas/(default)/NAME that exists, can be read and is not a folder
//     (without an arena the first is not tried). NAME is appended as text,
//     except that a NAME starting with '/' stands for itself in place of
//     NAME. A name found nowhere is skipped. Only regular files are read,
//     never in a way that blocks; a FIFO, socket or device found is skipped.
//  2. Pieces. A file is read in pieces of at most 4095 bytes that end at an
//     LF (a longer line goes on as the next piece). Each piece is cut at its
//     first CR, NUL and LF: CR LF works, lone CRs hide what follows them up
//     to the next LF, and a byte order mark is part of the first line.
//  3. Joining. A piece ending with '\' loses it and is joined with the next
//     piece read, which gets only the room left of 4095 bytes (the rest of
//     its line is the piece after). It happens before anything else, also
//     across the end of an included file. A join still open when everything
//     has been read is dropped.
//  4. Directives: a line whose first byte is '#', known by the word it
//     starts with, its argument read from a fixed offset after the '#'
//     (ifdef, ifndef: 6; define, include: 7; undef: 5) with blanks skipped.
//     #ifdef/#ifndef/#else/#endif nest across files and count even inside a
//     false branch; a stray #else or #endif, or a second #else, changes
//     nothing. #define, #undef and #include count only where lines are read.
//     #define names the first word of its argument; #undef, #ifdef and
//     #ifndef the whole argument, trimmed at its end (#undef X Y leaves X
//     defined). A defined name is only ever tested (no substitution); names
//     compare ignoring ASCII case. Other '#' lines are ignored.
//  5. Lines, trimmed of C isspace at both ends: empty ones and those starting
//     with ';' or '/' are skipped. '[' opens a section: leading '[' and
//     blanks and trailing ']' and blanks dropped, the name cut at 64 bytes.
//     Otherwise the key is the text before the first '=' ('\' makes the
//     next character literal), read for at most 63 bytes; the value is the
//     rest, blanks skipped, with the same '\' rule. A line starting with '='
//     is ignored. Only a key followed by its '=' is trimmed at its end
//     (escaped blanks too); a line without '=', or whose key is cut before
//     its '=', keeps its key as it stands and sets it to the empty value.
//  6. On a line with '=', a key holding ':' names Section:Key itself; any
//     other key belongs to the current section, which carries into and out
//     of included files (before any header such a line is ignored). A line
//     without '=' always belongs to the current section, ':' or not (before
//     any header it is kept under its bare name). Names compare ignoring
//     ASCII case, and every assignment replaces earlier ones.
//  7. Numbers: see includeValueToInt.
//
// What Korvane adds: the line of each assignment, warnings for what the
// server would log and for what an editor hides, and limits that end
// include cycles and hostile files (IncludeLimits).

#include "settings.h"
#include "settings_file.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace korvane {

// Where the server finds an arena's files: its zone folder, as a path that
// works from the current folder, and the arena ("" for none).
struct ArenaPlace {
    std::string zone;
    std::string arena;
    bool operator==(const ArenaPlace&) const = default;
};

// The zone folder and arena that the path of a checked file implies:
// .../Z/arenas/A/FILE gives Z and A; a file below a folder named conf gives
// that folder's parent and no arena; any other file its own folder and no
// arena. The folders are those the file system resolves (a "link/.." is
// the parent of the link's target). Z is relative when `path` is (".."
// where it has to be).
ArenaPlace arenaPlaceOf(const std::string& path);

// The settings a load keeps: every key of `keys` in every section of
// `sections`. A check run reads no others, so a hostile file with millions
// of other settings costs it no memory.
struct SettingNames {
    std::span<const std::string_view> sections;
    std::span<const std::string_view> keys;
};

class IncludeCache;
class FileSource;

struct ArenaLoad {
    std::unique_ptr<const Settings> settings; // never null
    FileStatus status = FileStatus::Ok;       // of the checked file itself
    int error = 0;
};

// Where a load stops following includes (a file that includes itself would
// be read for ever) and what else bounds it on hostile files.
struct IncludeLimits {
    int maxDepth = 50;                                   // includes within includes
    std::size_t maxIncludes = 100'000;                   // included files read in one load
    std::size_t maxLookups = 100'000;                    // candidate paths tried in one load
    std::uint64_t maxBytes = std::uint64_t{1} << 30;     // bytes read in one load
    std::size_t maxDefines = 100'000;                    // names defined at once
    std::size_t maxDefinedBytes = std::size_t{16} << 20; // and their bytes
    std::size_t maxWarnings = 100;                       // warnings listed
    bool operator==(const IncludeLimits&) const = default;
};

// Loads an arena: the checked file at `path`, shown as `path` (or, with
// `input`, those bytes under that name), with every #include found under
// `place`. Keeps only `wanted` (every setting when null). With a `cache`
// (include_cache.h), an included file that an earlier load of the run read
// in the same state is played again instead of read; filtered loads only.
// Every file, the checked one and each #include's, is looked up and read
// through `files` (the disk when null).
ArenaLoad loadArena(const std::string& path, std::optional<std::string_view> input,
                    const ArenaPlace& place, const SettingNames* wanted = nullptr,
                    const IncludeLimits& limits = {}, IncludeCache* cache = nullptr,
                    const FileSource* files = nullptr);

// A value as the server converts it: C's strtol(value, &end, 0) with a
// 64-bit long (optional sign, 0x hexadecimal, leading 0 octal, saturating),
// then cut to 32 bits; with no digits at all, 1 when the value starts with
// 'y' or 'Y', else 0.
std::int32_t includeValueToInt(std::string_view value);

} // namespace korvane
