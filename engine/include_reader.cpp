#include "include_reader.h"

#include "file_names.h"
#include "file_source.h"
#include "include_branches.h"
#include "include_cache.h"
#include "include_keys.h"
#include "include_load.h"
#include "include_lookup.h"
#include "include_replay.h"
#include "piece_reader.h"
#include "search_order.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace korvane {
namespace {

using namespace include;

// One load of an arena, line by line, as the server reads it: pieces
// joined into lines, each a directive, a header or a key line.
class ArenaLoader {
public:
    ArenaLoader(const ArenaPlace& place, const SettingNames* wanted, const IncludeLimits& limits,
                IncludeCache* cache, const FileSource& files)
        : place_(place), files_(files), load_(limits, wanted != nullptr), branches_(load_),
          keys_(load_, branches_) {
        if (!wanted)
            return;
        // Kept effects are in terms of the kept settings: a cache serves
        // filtered loads of the same settings under the same limits.
        if (cache && cache->names && cache->names->keeps(*wanted) && cache->limits == limits)
            load_.kept = cache->names;
        else
            load_.kept = std::make_shared<const KeptNames>(*wanted);
        if (cache && !cache->names) {
            cache->names = load_.kept;
            cache->limits = limits;
        }
        if (cache && cache->names == load_.kept)
            replay_.emplace(load_, branches_, files_, place_, *cache);
        load_.fastFilter = load_.kept->fastFilter;
        load_.out->kept = load_.kept;
        load_.out->assignments.resize(load_.kept->byName.size());
    }

    // The places searched for the checked file before it was found.
    void searched(std::span<const std::string> paths) {
        for (const std::string& path : paths)
            load_.out->searchedAt(path);
    }

    // Reads the checked file's bytes, and ends the load.
    void readTop(std::string_view bytes, const std::string& name) {
        readFile(bytes, name, 0, {});
        if (joining_)
            load_.warn(joinedAt_, "the last line ends with \\ and joins nothing: it is not read");
        branches_.finish();
    }

    std::unique_ptr<const Settings> finish() {
        if (load_.dropped > 0) {
            load_.out->warningList.push_back(
                {std::nullopt, std::to_string(load_.dropped) + " more warnings not shown"});
        }
        return std::move(load_.out);
    }

private:
    // What an editor hides in one file, warned about once per file.
    struct FileNotes {
        bool nul = false, loneCr = false, longLine = false;
    };

    // A file's bytes, as the file layer read them (see loadArena), included
    // from `from` (none for the checked file).
    void readFile(std::string_view bytes, const std::string& name, int depth, FileLine from) {
        const auto file = static_cast<std::uint32_t>(load_.out->files.size());
        load_.out->addFile(name, from);
        PieceReader reader(bytes);
        FileNotes notes;
        Piece piece{{}, {}, 1, false, false, false};
        bool first = true;
        for (std::size_t room; !load_.stopped;) {
            // In a section a filtered load does not keep, most lines can
            // touch nothing: they are passed over by the dozen.
            if (!first && load_.filtered && load_.fastFilter && load_.inSection &&
                !load_.sectionWanted && !joining_)
                load_.bytes += reader.skipUntouchable(kPieceBytes);
            if (!reader.next(room = kPieceBytes - joined_.size(), piece))
                break;
            load_.bytes += piece.bytes.size();
            if (load_.bytes > load_.limits.maxBytes) {
                load_.stopped = true;
                load_.warn({file, piece.line}, "stopped reading: more than " +
                                                   std::to_string(load_.limits.maxBytes) +
                                                   " bytes read in one load (an include cycle?)");
                break;
            }
            const FileLine at{file, piece.line};
            if (first &&
                (piece.bytes.starts_with("\xEF\xBB\xBF") || piece.bytes.starts_with("\xFF\xFE") ||
                 piece.bytes.starts_with("\xFE\xFF")))
                load_.warn(at, "byte order mark: the server reads it as part of the first line");
            first = false;
            const bool cut = piece.bytes.size() == room && piece.bytes.back() != '\n';
            if (piece.nul || piece.loneCr || cut)
                note(piece, cut, at, notes);
            const std::string_view text = piece.content;
            if (joining_ || (!text.empty() && text.back() == '\\')) {
                if (!joining_)
                    joinedAt_ = at;
                joined_.append(text);
                joining_ = !joined_.empty() && joined_.back() == '\\';
                if (joining_) {
                    joined_.pop_back();
                    continue;
                }
                const std::string line = std::move(joined_);
                joined_.clear();
                handleLine(line, joinedAt_, depth, false);
            } else {
                handleLine(text, at, depth, piece.plain);
            }
        }
    }

    void note(const Piece& piece, bool cut, const FileLine& at, FileNotes& notes) {
        if (piece.loneCr && !notes.loneCr) {
            notes.loneCr = true;
            load_.warn(at, "a CR without an LF after it: the server reads on to the next LF and "
                           "drops everything from the CR on");
        }
        if (piece.nul && !notes.nul) {
            notes.nul = true;
            load_.warn(at, "NUL byte: the server drops the rest of the line");
        }
        if (cut && !notes.longLine) {
            notes.longLine = true;
            load_.warn(at, "line longer than 4095 bytes: the server reads the rest as a line of "
                           "its own");
        }
    }

    // `plain`: the line holds no ':' and no '\\' (so a filtered load may
    // judge it by its section alone).
    void handleLine(std::string_view text, const FileLine& at, int depth, bool plain) {
        if (!text.empty() && text.front() == '#') {
            directive(text, at, depth);
            return;
        }
        if (!branches_.active())
            return;
        text = stripped(text, "", "");
        if (text.empty() || text.front() == ';' || text.front() == '/')
            return;
        if (text.front() == '[')
            load_.header(text);
        else
            keys_.line(text, at, plain);
    }

    void directive(std::string_view text, const FileLine& at, int depth) {
        if (text.starts_with("#ifdef") || text.starts_with("#ifndef"))
            branches_.open(text, at);
        else if (text.starts_with("#else"))
            branches_.otherwise(at);
        else if (text.starts_with("#endif"))
            branches_.close(at);
        else if (!branches_.active())
            return;
        else if (text.starts_with("#define"))
            branches_.define(firstWord(argument(text, 7)), at);
        else if (text.starts_with("#undef"))
            branches_.undefine(stripped(argument(text, 5), "", ""), at);
        else if (text.starts_with("#include"))
            include(stripped(argument(text, 7), "\"<", "\">"), at, depth);
    }

    void include(std::string_view name, const FileLine& at, int depth) {
        const std::string quoted = "#include \"" + std::string(name) + "\"";
        if (depth >= load_.limits.maxDepth) {
            load_.warn(at, quoted + " not followed: already " +
                               std::to_string(load_.limits.maxDepth) +
                               " includes deep (an include cycle?)");
            return;
        }
        if (load_.included == load_.limits.maxIncludes) {
            load_.unkeepable(); // depends on what the load read before
            load_.warn(at, quoted + " not followed: " + std::to_string(load_.limits.maxIncludes) +
                               " included files read in one load (an include cycle?)");
            return;
        }
        const Found found = findInclude(load_, files_, place_, name, true);
        if (found.lookupsOut) {
            load_.unkeepable();
            load_.warn(at, found.problem);
            return;
        }
        if (replay_)
            load_.outcomes.emplace(name, found.outcome());
        for (Recording& r : load_.recordings) {
            if (r.effect.lookups.size() < IncludeCache::kMaxLookups)
                r.effect.lookups.emplace_back(name, found.outcome());
            else
                r.keepable = false;
        }
        if (!found.problem.empty()) {
            load_.warn(at, found.problem);
            return;
        }
        ++load_.included;
        readIncluded(found.path, quoted, at, depth + 1);
    }

    // Reads an included file found at `path`, which may still fail (or
    // change) between the look-up and the read.
    void readFound(const std::string& path, const std::string& quoted, const FileLine& at,
                   int depth) {
        const FileRead file = files_.read(path, load_.limits.maxBytes - load_.bytes);
        if (file.status == FileStatus::Ok) {
            readFile(file.bytes.view(), path, depth, at);
            return;
        }
        load_.unkeepable();
        if (file.error == kChangedWhileRead)
            load_.warn(at, quoted + ": " + path +
                               " shrank or failed while it was read: its settings are missing");
        else
            load_.warn(at, quoted + " cannot be read (" + path + ": " +
                               failureReason(file.status, file.error) +
                               "): its settings are missing");
    }

    // An included file: played again from the cache where it was read in
    // the same state before, else read (and kept, where what it did
    // depends on nothing but its entry state and its own includes).
    void readIncluded(const std::string& path, const std::string& quoted, const FileLine& at,
                      int depth) {
        if (!replay_ || branches_.defines().size() > IncludeCache::kMaxDefines) {
            readFound(path, quoted, at, depth);
            return;
        }
        IncludeEntry entry = replay_->entry(depth);
        if (replay_->replay(path, entry, at))
            return;
        replay_->begin();
        readFound(path, quoted, at, depth);
        replay_->end(path, std::move(entry), joining_);
    }

    const ArenaPlace& place_;
    const FileSource& files_;
    LoadState load_;
    Branches branches_;
    KeyLines keys_;
    std::optional<IncludeReplay> replay_; // with a cache
    std::string joined_; // the pieces joined so far, while joining_
    bool joining_ = false;
    FileLine joinedAt_{};
};

} // namespace

namespace {

// Paths are UTF-8 text on every platform (Windows' own narrow strings would
// use its code page).
std::filesystem::path pathOf(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string textOf(const std::u8string& text) {
    return std::string(text.begin(), text.end());
}

} // namespace

ArenaPlace arenaPlaceOf(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path given = pathOf(path);
    // A path from the root of a drive (/srv/zone on Windows) has no drive
    // letter, so is not "absolute" there; it is taken as it is all the same.
    const bool rooted = given.has_root_directory();
    std::error_code ec;
    const fs::path here = rooted ? fs::path() : fs::current_path(ec);
    // The folder as the file system resolves it ("link/.." is the link's
    // target's parent), but as the user wrote it where the two agree.
    fs::path folder = (here / given).parent_path().lexically_normal();
    if (const fs::path real = fs::weakly_canonical((here / given).parent_path(), ec);
        !ec && !real.empty() && fs::weakly_canonical(folder, ec) != real)
        folder = real;
    const std::vector<fs::path> parts(folder.begin(), folder.end());
    const auto upTo = [&](std::size_t n) {
        fs::path p;
        for (std::size_t i = 0; i < n; ++i)
            p /= parts[i];
        return p;
    };
    ArenaPlace place;
    fs::path zone = folder;
    const std::size_t n = parts.size();
    if (n >= 3 && parts[n - 2] == "arenas") {
        zone = upTo(n - 2);
        place.arena = textOf(parts.back().u8string());
    } else {
        for (std::size_t i = n; i-- > 1;) {
            if (parts[i] == "conf") {
                zone = upTo(i);
                break;
            }
        }
    }
    if (!rooted)
        zone = zone.lexically_relative(here);
    // Written with the separator the checked path uses, so that the names
    // in reports read alike on every platform.
    const bool preferred =
        path.find(static_cast<char>(fs::path::preferred_separator)) != std::string::npos;
    place.zone = zone.empty() ? "."
                 : preferred  ? textOf(zone.u8string())
                              : textOf(zone.generic_u8string());
    return place;
}

ArenaLoad loadArena(const std::string& path, std::optional<std::string_view> input,
                    const ArenaPlace& place, const SettingNames* wanted,
                    const IncludeLimits& limits, IncludeCache* cache, const FileSource* files) {
    const FileSource& source = files ? *files : diskFiles();
    ArenaLoader loader(place, wanted, limits, cache, source);
    ArenaLoad load;
    // An arena's own file, found after the places searched before it.
    const std::vector<std::string> arenaFiles = searchPaths(place, "arena.conf");
    const auto same = [&](const std::string& candidate) {
        return pathOf(candidate).lexically_normal() == pathOf(path).lexically_normal();
    };
    if (const auto own = std::find_if(arenaFiles.begin(), arenaFiles.end(), same);
        !input && own != arenaFiles.end())
        // A pointer and a count: the page's Emscripten has no span from iterators.
        loader.searched(std::span(arenaFiles.data(), std::size_t(own - arenaFiles.begin())));
    if (input) {
        loader.readTop(*input, path);
    } else {
        // Read, not mapped (a bounded read): the reader goes through each
        // byte once, so a mapping would save little (see bench/include_zones.sh).
        const FileRead file = source.read(path, limits.maxBytes);
        load.status = file.status;
        load.error = file.error;
        if (file.status == FileStatus::Ok)
            loader.readTop(file.bytes.view(), path);
    }
    load.settings = loader.finish();
    return load;
}

std::int32_t includeValueToInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && isSpace(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < value.size() && value[i] == '0') {
        base = 8;
        if (i + 2 < value.size() && (value[i + 1] == 'x' || value[i + 1] == 'X') &&
            digitValue(value[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }
    if (i == value.size() || digitValue(value[i]) >= base)
        return !value.empty() && (value[0] == 'y' || value[0] == 'Y') ? 1 : 0;
    // The magnitude saturates at 2^63, where the 64-bit long's range ends.
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    for (; i < value.size() && digitValue(value[i]) < base; ++i) {
        const unsigned d = digitValue(value[i]);
        if (magnitude > (kLimit - d) / base)
            magnitude = kLimit;
        else
            magnitude = magnitude * base + d;
    }
    std::uint64_t result;
    if (negative)
        result = 0 - magnitude; // 2^63 and beyond: LONG_MIN
    else
        result = magnitude >= kLimit ? kLimit - 1 : magnitude;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(result));
}

} // namespace korvane
