#include "include_reader.h"

#include "ascii.h"
#include "byte_scan.h"
#include "file_names.h"
#include "file_source.h"
#include "include_cache.h"
#include "name_table.h"
#include "search_order.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace korvane {
namespace {

using namespace bytescan;

// The server's pieces: what fgets reads into a 4096-byte buffer.
constexpr std::size_t kPieceBytes = 4095;
constexpr std::size_t kSectionBytes = 64;
constexpr std::size_t kKeyBytes = 63;

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

// A piece of a file, as the server's fgets gives it.
struct Piece {
    std::string_view bytes;   // LF included, when the piece ends at one
    std::string_view content; // cut at its first CR, NUL or LF
    std::size_t line;         // the editor line it starts on
    bool loneCr;              // holds a CR that no LF follows
    bool nul;                 // holds a NUL
    bool plain;               // holds no ':' and no '\\'
};

// Hands out the pieces of a file's bytes in memory, counting editor lines
// as it goes.
class PieceReader {
public:
    explicit PieceReader(std::string_view bytes) : data_(bytes.data()), end_(bytes.size()) {}

    // The next piece of at most `limit` bytes; false at the end.
    bool next(std::size_t limit, Piece& piece) {
        if (begin_ == end_)
            return false;
        const std::size_t room = std::min(limit, end_ - begin_);
        const char* start = data_ + begin_;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', room));
        const std::size_t size = lf ? static_cast<std::size_t>(lf - start) + 1 : room;
        const std::size_t stop = begin_ + size;
        piece = {std::string_view(start, size),
                 std::string_view(start, lf ? size - 1 : size),
                 line_,
                 false,
                 false,
                 next(colon_, ':') >= stop && next(backslash_, '\\') >= stop};
        // Each LF ends an editor line, and so does each CR that no LF follows.
        if (lf)
            ++line_;
        // Most files hold no CR and no NUL: where the next one stands is kept
        // until a piece passes it.
        for (std::size_t cr = next(cr_, '\r'); cr < stop; cr = cr_ = find(cr + 1, '\r')) {
            if (cr - begin_ < piece.content.size())
                piece.content = piece.content.substr(0, cr - begin_);
            if (cr + 1 == end_ || data_[cr + 1] != '\n') {
                ++line_;
                piece.loneCr = true;
            }
        }
        if (const std::size_t nul = next(nul_, '\0'); nul < stop) {
            piece.nul = true;
            piece.content = piece.content.substr(0, std::min(piece.content.size(), nul - begin_));
        }
        begin_ = stop;
        return true;
    }

    // Passes over whole lines from here that a section the load does not
    // keep cannot be touched by: lines of at most `limit` bytes, without
    // ':', '\\', CR or NUL, whose first byte is none of '#', '[' and the
    // blanks (empty lines go too). Their LFs are found eight bytes at a
    // time; a zone's bulk goes by at a few instructions a line. Returns the
    // bytes passed over.
    std::size_t skipUntouchable(std::size_t limit) {
        const std::size_t end = std::min(
            {end_, next(colon_, ':'), next(backslash_, '\\'), next(cr_, '\r'), next(nul_, '\0')});
        const auto untouchable = [&](std::size_t at) {
            const char c = data_[at];
            return c != '#' && c != '[' && (c == '\n' || !isSpace(c));
        };
        const std::size_t from = begin_;
        std::size_t line = begin_;
        std::size_t lines = 0;
        if (line < end && untouchable(line)) {
            for (std::size_t i = line; i + 8 <= end; i += 8) {
                const bool on =
                    eachMarked(bytesEqual(load8(data_ + i), '\n'), i, [&](std::size_t lf) {
                        if (lf - line >= limit || lf + 1 >= end)
                            return false;
                        line = lf + 1;
                        ++lines;
                        return untouchable(line);
                    });
                if (!on)
                    break;
            }
        }
        begin_ = line;
        line_ += lines;
        return line - from;
    }

private:
    // The first `c` from `from` on in the buffer, or end_.
    std::size_t find(std::size_t from, char c) const {
        const void* at = from < end_ ? std::memchr(data_ + from, c, end_ - from) : nullptr;
        return at ? static_cast<std::size_t>(static_cast<const char*>(at) - data_) : end_;
    }
    // The first `c` from begin_ on, kept in `cached` until passed.
    std::size_t next(std::size_t& cached, char c) const {
        if (cached == kUnknown || cached < begin_)
            cached = find(begin_, c);
        return cached;
    }

    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    const char* data_ = nullptr;
    std::size_t begin_ = 0, end_ = 0;
    mutable std::size_t cr_ = kUnknown, nul_ = kUnknown, colon_ = kUnknown, backslash_ = kUnknown;
    std::size_t line_ = 1;
};

struct Assignment {
    std::int32_t value = 0;
    std::uint32_t file = 0;
    std::size_t line = 0;
    bool set = false;
};

std::string combinedName(std::string_view section, std::string_view key) {
    std::string name = lowered(section);
    name += ':';
    name += lowered(key);
    return name;
}

// Lowered Section:Key; found by string_view, so no lookup allocates.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using NameIndex = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;

} // namespace

// The settings a filtered load keeps and how it finds them: the same for
// every load of a run that keeps the same settings, so a cache shares it.
struct KeptNames {
    std::vector<std::string> givenSections, givenKeys; // as asked
    std::vector<std::string> sections;                 // lowered
    NameIndex byName;                                  // Section:Key to its assignment
    std::vector<std::size_t> at; // the assignment of each section and key, in order
    NameTable keyTable;          // the kept keys, by their index
    std::size_t keyCount = 0;
    // Whether a plain key line in a section may be judged by section and key
    // alone: true unless a kept name holds more than one ':'.
    bool fastFilter = true;

    explicit KeptNames(const SettingNames& wanted) {
        givenSections.assign(wanted.sections.begin(), wanted.sections.end());
        givenKeys.assign(wanted.keys.begin(), wanted.keys.end());
        for (const std::string_view section : wanted.sections)
            sections.push_back(lowered(section));
        keyCount = wanted.keys.size();
        for (std::size_t k = 0; k < keyCount; ++k)
            keyTable.add(wanted.keys[k], k);
        for (const std::string_view section : wanted.sections) {
            for (const std::string_view key : wanted.keys) {
                std::string name = combinedName(section, key);
                // A kept name holding a second ':' ("s:t" + "k") could be
                // set from a section and key that split it otherwise.
                fastFilter = fastFilter && name.find(':') == name.rfind(':');
                at.push_back(byName.emplace(std::move(name), byName.size()).first->second);
            }
        }
    }

    bool keeps(const SettingNames& wanted) const {
        return std::equal(givenSections.begin(), givenSections.end(), wanted.sections.begin(),
                          wanted.sections.end()) &&
               std::equal(givenKeys.begin(), givenKeys.end(), wanted.keys.begin(),
                          wanted.keys.end());
    }
};

namespace {

class IncludeSettings final : public Settings {
public:
    void read(std::span<const std::string_view> sections, std::span<const std::string_view> keys,
              std::span<Setting> out) const override {
        // The names kept, asked in their order (as a check run asks them):
        // each is where the load put it.
        if (kept && kept->keeps({sections, keys})) {
            for (std::size_t i = 0; i < kept->at.size(); ++i) {
                const Assignment& a = assignments[kept->at[i]];
                out[i] = a.set ? Setting{a.value, kept->at[i], true} : Setting{};
            }
            return;
        }
        const NameIndex& byName = names();
        std::size_t i = 0;
        for (const std::string_view section : sections) {
            for (const std::string_view key : keys) {
                const auto it = byName.find(combinedName(section, key));
                const bool set = it != byName.end() && assignments[it->second].set;
                out[i++] = set ? Setting{assignments[it->second].value, it->second, true} : Setting{};
            }
        }
    }

    Location locate(std::size_t where) const override {
        const Assignment& a = assignments.at(where);
        return {files.at(a.file), a.line};
    }

    std::span<const Warning> warnings() const override { return warningList; }

    // `files` has a name per file read, so one included twice is there twice.
    std::vector<std::string> filesRead() const override {
        std::vector<std::string> distinct;
        std::unordered_set<std::string_view> seen;
        for (const std::string& name : files) {
            if (seen.insert(name).second)
                distinct.push_back(name);
        }
        return distinct;
    }

    std::vector<std::string> searched() const override { return searchedList; }

    const NameIndex& names() const { return kept ? kept->byName : byName; }

    // A path looked at and not read, once.
    void searchedAt(const std::string& path) {
        if (searchedSet.insert(path).second)
            searchedList.push_back(path);
    }

    std::shared_ptr<const KeptNames> kept; // of a filtered load
    NameIndex byName;                      // of a load that keeps every setting
    std::vector<Assignment> assignments;
    std::vector<std::string> files;
    std::vector<Warning> warningList;
    std::vector<std::string> searchedList;
    std::unordered_set<std::string> searchedSet;
};

// One load of an arena, line by line, as the server reads it.
class ArenaLoader {
public:
    ArenaLoader(const ArenaPlace& place, const SettingNames* wanted, const IncludeLimits& limits,
                IncludeCache* cache, const FileSource& files)
        : place_(place), files_(files), limits_(limits), out_(std::make_unique<IncludeSettings>()),
          filtered_(wanted) {
        if (!wanted)
            return;
        // Kept effects are in terms of the kept settings: a cache serves
        // filtered loads of the same settings under the same limits.
        if (cache && cache->names && cache->names->keeps(*wanted) && cache->limits == limits)
            kept_ = cache->names;
        else
            kept_ = std::make_shared<const KeptNames>(*wanted);
        if (cache && !cache->names) {
            cache->names = kept_;
            cache->limits = limits;
        }
        cache_ = cache && cache->names == kept_ ? cache : nullptr;
        fastFilter_ = kept_->fastFilter;
        out_->kept = kept_;
        out_->assignments.resize(kept_->byName.size());
    }

    // Reads the checked file's bytes, and ends the load.
    void readTop(std::string_view bytes, const std::string& name) {
        readFile(bytes, name, 0);
        if (joining_)
            warn(joinedAt_, "the last line ends with \\ and joins nothing: it is not read");
        for (const Position& at : openAt_)
            warn(at, "#ifdef still open when everything has been read");
        // Where the others opened is not kept: their warnings would not be
        // shown, only counted.
        dropped_ += branches_.size() - openAt_.size();
    }

    // The checked file is the arena's own file found after `searched`.
    void searched(std::span<const std::string> paths) {
        for (const std::string& path : paths)
            out_->searchedAt(path);
    }

    std::unique_ptr<const Settings> finish() {
        if (dropped_ > 0) {
            warnings().push_back(
                {std::nullopt, std::to_string(dropped_) + " more warnings not shown"});
        }
        return std::move(out_);
    }

private:
    struct Position {
        std::uint32_t file;
        std::size_t line;
    };
    // Three bytes a branch: a hostile file of "#ifdef" lines holds
    // less than it reads.
    struct Branch {
        bool outerActive;
        bool taken; // the lines of the current branch are read
        bool elseSeen;
    };
    // What an editor hides in one file, warned about once per file.
    struct FileNotes {
        bool nul = false, loneCr = false, longLine = false;
    };

    std::vector<Warning>& warnings() { return out_->warningList; }

    void keep(std::string name) {
        if (out_->byName.emplace(std::move(name), out_->assignments.size()).second)
            out_->assignments.emplace_back();
    }

    void warn(const Position& at, std::string text) {
        addWarning({Location{out_->files[at.file], at.line}, std::move(text)});
    }

    void addWarning(Warning w) {
        for (Recording& r : recordings_) {
            if (r.effect.warnings.size() < limits_.maxWarnings)
                r.effect.warnings.push_back(w);
            else
                ++r.effect.warningsPast;
        }
        if (warnings().size() == limits_.maxWarnings) {
            ++dropped_;
            return;
        }
        warnings().push_back(std::move(w));
    }

    bool active() const { return branches_.empty() || branches_.back().taken; }

    // A file's bytes, as the file layer read them (see loadArena).
    void readFile(std::string_view bytes, const std::string& name, int depth) {
        PieceReader reader(bytes);
        readFile(reader, name, depth);
    }

    void readFile(PieceReader& reader, const std::string& name, int depth) {
        const auto file = static_cast<std::uint32_t>(out_->files.size());
        out_->files.push_back(name);
        FileNotes notes;
        Piece piece{{}, {}, 1, false, false, false};
        bool first = true;
        for (std::size_t room; !stopped_;) {
            // In a section a filtered load does not keep, most lines can
            // touch nothing: they are passed over by the dozen.
            if (!first && filtered_ && fastFilter_ && inSection_ && !sectionWanted_ && !joining_)
                bytes_ += reader.skipUntouchable(kPieceBytes);
            if (!reader.next(room = kPieceBytes - joined_.size(), piece))
                break;
            bytes_ += piece.bytes.size();
            if (bytes_ > limits_.maxBytes) {
                stopped_ = true;
                warn({file, piece.line}, "stopped reading: more than " +
                                             std::to_string(limits_.maxBytes) +
                                             " bytes read in one load (an include cycle?)");
                break;
            }
            const Position at{file, piece.line};
            if (first &&
                (piece.bytes.starts_with("\xEF\xBB\xBF") || piece.bytes.starts_with("\xFF\xFE") ||
                 piece.bytes.starts_with("\xFE\xFF")))
                warn(at, "byte order mark: the server reads it as part of the first line");
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

    void note(const Piece& piece, bool cut, const Position& at, FileNotes& notes) {
        if (piece.loneCr && !notes.loneCr) {
            notes.loneCr = true;
            warn(at, "a CR without an LF after it: the server reads on to the next LF and drops "
                     "everything from the CR on");
        }
        if (piece.nul && !notes.nul) {
            notes.nul = true;
            warn(at, "NUL byte: the server drops the rest of the line");
        }
        if (cut && !notes.longLine) {
            notes.longLine = true;
            warn(at, "line longer than 4095 bytes: the server reads the rest as a line of its "
                     "own");
        }
    }

    // `plain`: the line holds no ':' and no '\\' (so a filtered load may
    // judge it by its section alone).
    void handleLine(std::string_view text, const Position& at, int depth, bool plain) {
        if (!text.empty() && text.front() == '#') {
            directive(text, at, depth);
            return;
        }
        if (!active())
            return;
        text = stripped(text, "", "");
        if (text.empty() || text.front() == ';' || text.front() == '/')
            return;
        if (text.front() == '[') {
            header(text);
            return;
        }
        keyLine(text, at, plain);
    }

    // The argument of a directive: from `offset` bytes after the '#', blanks skipped.
    static std::string_view argument(std::string_view text, std::size_t offset) {
        text.remove_prefix(std::min(text.size(), 1 + offset));
        while (!text.empty() && isSpace(text.front()))
            text.remove_prefix(1);
        return text;
    }

    // `s` without blanks and `leading` characters at its start, nor blanks
    // and `trailing` characters at its end.
    static std::string_view stripped(std::string_view s, std::string_view leading,
                                     std::string_view trailing) {
        while (!s.empty() && (isSpace(s.front()) || leading.find(s.front()) != s.npos))
            s.remove_prefix(1);
        while (!s.empty() && (isSpace(s.back()) || trailing.find(s.back()) != s.npos))
            s.remove_suffix(1);
        return s;
    }

    static std::string_view firstWord(std::string_view s) {
        std::size_t n = 0;
        while (n < s.size() && !isSpace(s[n]))
            ++n;
        return s.substr(0, n);
    }

    void directive(std::string_view text, const Position& at, int depth) {
        if (text.starts_with("#ifdef") || text.starts_with("#ifndef")) {
            const bool defined =
                defines_.contains(lowered(stripped(argument(text, 6), "({", ")}")));
            const bool taken = text[3] == 'd' ? defined : !defined;
            branches_.push_back({active(), active() && taken, false});
            if (branches_.size() <= limits_.maxWarnings)
                openAt_.push_back(at);
        } else if (text.starts_with("#else")) {
            branchTouched();
            if (branches_.empty()) {
                warn(at, "#else without #ifdef");
            } else if (branches_.back().elseSeen) {
                warn(at, "second #else for one #ifdef: ignored");
            } else {
                Branch& b = branches_.back();
                b.elseSeen = true;
                b.taken = b.outerActive && !b.taken;
            }
        } else if (text.starts_with("#endif")) {
            branchTouched();
            if (branches_.empty()) {
                warn(at, "#endif without #ifdef");
            } else {
                branches_.pop_back();
                if (openAt_.size() > branches_.size())
                    openAt_.pop_back();
            }
        } else if (!active()) {
            return;
        } else if (text.starts_with("#define")) {
            define(lowered(firstWord(argument(text, 7))), at);
        } else if (text.starts_with("#undef")) {
            // The whole argument is the name: "#undef X Y" leaves X defined.
            if (const auto it = defines_.find(lowered(stripped(argument(text, 5), "", "")));
                it != defines_.end()) {
                definedBytes_ -= it->size();
                defines_.erase(it);
            }
        } else if (text.starts_with("#include")) {
            include(stripped(argument(text, 7), "\"<", "\">"), at, depth);
        }
    }

    // Defines a (lowered) name, within the limits: every name is held until
    // the load ends, so their count and their bytes are both bounded.
    void define(std::string name, const Position& at) {
        if (defines_.contains(name))
            return;
        if (defines_.size() == limits_.maxDefines ||
            definedBytes_ + name.size() > limits_.maxDefinedBytes) {
            unkeepable(); // warned about once per load
            if (!definesFull_)
                warn(at, defines_.size() == limits_.maxDefines
                             ? "more than " + std::to_string(limits_.maxDefines) +
                                   " names defined: the rest are ignored"
                             : "more than " + std::to_string(limits_.maxDefinedBytes) +
                                   " bytes of defined names: the rest are ignored");
            definesFull_ = true;
            return;
        }
        definedBytes_ += name.size();
        defines_.insert(std::move(name));
    }

    void include(std::string_view name, const Position& at, int depth) {
        const std::string quoted = "#include \"" + std::string(name) + "\"";
        if (depth >= limits_.maxDepth) {
            warn(at, quoted + " not followed: already " + std::to_string(limits_.maxDepth) +
                         " includes deep (an include cycle?)");
            return;
        }
        if (included_ == limits_.maxIncludes) {
            unkeepable(); // depends on what the load read before
            warn(at, quoted + " not followed: " + std::to_string(limits_.maxIncludes) +
                         " included files read in one load (an include cycle?)");
            return;
        }
        const Found found = find(name, true);
        if (found.lookupsOut) {
            unkeepable();
            warn(at, found.problem);
            return;
        }
        for (Recording& r : recordings_) {
            if (r.effect.lookups.size() < IncludeCache::kMaxLookups)
                r.effect.lookups.emplace_back(name, found.outcome());
            else
                r.keepable = false;
        }
        if (!found.problem.empty()) {
            warn(at, found.problem);
            return;
        }
        ++included_;
        readIncluded(found.path, quoted, at, depth + 1);
    }

    // Where an #include NAME leads for this arena: the file found (not yet
    // read), or why nothing is read.
    struct Found {
        std::string path;
        std::string problem;
        bool lookupsOut = false; // the load's look-ups ran out
        const std::string& outcome() const { return problem.empty() ? path : problem; }
    };

    // With `counted`, each candidate tried is one of the load's look-ups.
    Found find(std::string_view name, bool counted) {
        const std::string quoted = "#include \"" + std::string(name) + "\"";
        const std::vector<std::string> candidates = searchPaths(place_, name);
        Found found;
        std::string unreadable;
        for (const std::string& candidate : candidates) {
            // Each name looked for costs the file system a look-up: a file
            // that includes itself, and many names found nowhere, would
            // otherwise ask for hundreds of millions.
            if (counted && lookups_ == limits_.maxLookups) {
                found.problem = quoted + " not followed: " + std::to_string(limits_.maxLookups) +
                                " include look-ups in one load (an include cycle?)";
                found.lookupsOut = true;
                return found;
            }
            lookups_ += counted ? 1 : 0;
            const std::string& path = candidate;
            const FileRead file = files_.probe(path);
            switch (file.status) {
            case FileStatus::Ok:
                found.path = path;
                return found;
            case FileStatus::NotRegular:
                if (file.folder)
                    break;
                found.problem = quoted + ": " + path + " is not a regular file: skipped";
                out_->searchedAt(path);
                return found;
            case FileStatus::Unreadable:
                if (unreadable.empty())
                    unreadable = path + ": " + std::strerror(file.error);
                break;
            case FileStatus::Missing:
                break;
            }
            out_->searchedAt(path);
        }
        if (!unreadable.empty()) {
            found.problem =
                quoted + " cannot be read (" + unreadable + "): its settings are missing";
            return found;
        }
        std::string looked;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            looked += i == 0 ? "" : (i + 1 == candidates.size() ? " or " : ", ");
            looked += candidates[i];
        }
        found.problem = quoted + " not found (no " + looked + "): its settings are missing";
        return found;
    }

    // Reads an included file found at `path`, which may still fail (or
    // change) between the look-up and the read.
    void readFound(const std::string& path, const std::string& quoted, const Position& at,
                   int depth) {
        const FileRead file = files_.read(path, limits_.maxBytes - bytes_);
        if (file.status == FileStatus::Ok) {
            readFile(file.bytes.view(), path, depth);
            return;
        }
        unkeepable();
        if (file.error == kChangedWhileRead)
            warn(at, quoted + ": " + path +
                         " shrank or failed while it was read: its settings are missing");
        else
            warn(at, quoted + " cannot be read (" + path + ": " +
                         failureReason(file.status, file.error) + "): its settings are missing");
    }

    // An included file: played again from the cache where it was read in
    // the same state before, else read (and kept, where what it did
    // depends on nothing but its entry state and its own includes).
    void readIncluded(const std::string& path, const std::string& quoted, const Position& at,
                      int depth) {
        if (!cache_ || defines_.size() > IncludeCache::kMaxDefines) {
            readFound(path, quoted, at, depth);
            return;
        }
        IncludeEntry entry{depth, section_, inSection_, defines_};
        for (const IncludeCache::Kept& kept : cache_->kept(path)) {
            if (kept.entry == entry && replayable(kept.effect)) {
                ++cache_->replays;
                replay(kept.effect);
                return;
            }
        }
        ++cache_->reads;
        recordings_.push_back({static_cast<std::uint32_t>(out_->files.size()),
                               bytes_,
                               included_,
                               lookups_,
                               branches_.size(),
                               {},
                               true});
        readFound(path, quoted, at, depth);
        Recording r = std::move(recordings_.back());
        recordings_.pop_back();
        // What leaks out of the file (a join still open, an #ifdef left
        // open or one of the includer's closed) is not kept.
        if (!r.keepable || stopped_ || joining_ || branches_.size() != r.branchBase ||
            defines_.size() > IncludeCache::kMaxDefines)
            return;
        IncludeEffect& e = r.effect;
        e.files.assign(out_->files.begin() + r.fileBase, out_->files.end());
        for (std::size_t i = 0; i < out_->assignments.size(); ++i) {
            const Assignment& a = out_->assignments[i];
            if (a.set && a.file >= r.fileBase)
                e.assigned.push_back({i, a.value, a.file - r.fileBase, a.line});
        }
        e.bytes = bytes_ - r.bytesAt;
        e.included = included_ - r.includedAt;
        e.lookedUp = lookups_ - r.lookupsAt;
        e.section = section_;
        e.inSection = inSection_;
        e.defines = defines_;
        cache_->keep(path, std::move(entry), std::move(e));
    }

    // Whether a kept effect is what reading the file would do now: within
    // the load's bounds, with its includes found as they were.
    bool replayable(const IncludeEffect& e) {
        if (included_ + e.included >= limits_.maxIncludes || bytes_ + e.bytes > limits_.maxBytes ||
            lookups_ + e.lookedUp >= limits_.maxLookups)
            return false;
        return std::all_of(e.lookups.begin(), e.lookups.end(), [&](const auto& lookup) {
            return find(lookup.first, false).outcome() == lookup.second;
        });
    }

    void replay(const IncludeEffect& e) {
        const auto base = static_cast<std::uint32_t>(out_->files.size());
        out_->files.insert(out_->files.end(), e.files.begin(), e.files.end());
        for (const IncludeEffect::Assigned& a : e.assigned)
            out_->assignments[a.index] = {a.value, base + a.file, a.line, true};
        for (const Warning& w : e.warnings)
            addWarning(w);
        // Past the warnings played, the list is full.
        dropped_ += e.warningsPast;
        for (Recording& r : recordings_) {
            r.effect.warningsPast += e.warningsPast;
            if (r.effect.lookups.size() + e.lookups.size() <= IncludeCache::kMaxLookups)
                r.effect.lookups.insert(r.effect.lookups.end(), e.lookups.begin(), e.lookups.end());
            else
                r.keepable = false;
        }
        bytes_ += e.bytes;
        included_ += e.included;
        lookups_ += e.lookedUp;
        section_ = e.section;
        inSection_ = e.inSection;
        if (inSection_)
            sectionEntered();
        defines_ = e.defines;
        definedBytes_ = 0;
        for (const std::string& name : defines_)
            definedBytes_ += name.size();
    }

    // An included file being read while what it does is recorded.
    struct Recording {
        std::uint32_t fileBase; // its index in the load's files
        std::uint64_t bytesAt;
        std::size_t includedAt;
        std::size_t lookupsAt;
        std::size_t branchBase;
        IncludeEffect effect;
        bool keepable;
    };

    void unkeepable() {
        for (Recording& r : recordings_)
            r.keepable = false;
    }

    // An #else or #endif: the files that it reaches out of are not kept.
    void branchTouched() {
        for (Recording& r : recordings_) {
            if (branches_.size() <= r.branchBase)
                r.keepable = false;
        }
    }

    void header(std::string_view text) {
        text = stripped(text, "[", "]");
        section_.assign(text.substr(0, kSectionBytes)); // in its own room: no allocation
        for (char& c : section_)
            c = asciiLower(c);
        inSection_ = true;
        sectionEntered();
    }

    void sectionEntered() {
        if (!filtered_)
            return;
        const auto wanted = std::find(kept_->sections.begin(), kept_->sections.end(), section_);
        sectionWanted_ = wanted != kept_->sections.end();
        sectionIndex_ = static_cast<std::size_t>(wanted - kept_->sections.begin());
    }

    // Where a filtered load keeps key `key` of the current (kept) section, or
    // nothing when it keeps no such key.
    std::optional<std::size_t> keptIndex(std::string_view key) const {
        std::optional<std::size_t> kept;
        kept_->keyTable.find(
            key, [&](std::size_t k) { kept = kept_->at[sectionIndex_ * kept_->keyCount + k]; });
        return kept;
    }

    // Copies `text` up to `stop` (or its end, or `limit` characters), each
    // '\' taken as making the next character literal; returns where it ended.
    static std::size_t unescape(std::string_view text, char stop, std::size_t limit,
                                std::string& out) {
        std::size_t i = 0;
        while (i < text.size() && text[i] != stop && out.size() < limit) {
            if (text[i] == '\\' && ++i == text.size())
                break; // a '\' with nothing after it gives nothing
            out += text[i++];
        }
        return i;
    }

    // A line trimmed at both ends that is no header: a key, with or without
    // its value.
    void keyLine(std::string_view text, const Position& at, bool plain) {
        if (text.front() == '=')
            return;
        // Most lines of a big zone are plain keys (no ':', no '\\') that a
        // filtered load keeps only in a kept section, and only a few of.
        if (filtered_ && fastFilter_ && inSection_) {
            if (plain && !sectionWanted_)
                return;
            // Where the plain key ends: at its '=', at a ':' or '\\' in it, or
            // at the end.
            const std::size_t keyEnd = findFirst(text, 0, '=', ':', '\\');
            const bool plain = keyEnd == text.size() || text[keyEnd] == '=';
            if (plain && !sectionWanted_)
                return;
            if (plain && keyEnd <= kKeyBytes) {
                std::string_view key = text.substr(0, keyEnd);
                while (!key.empty() && isSpace(key.back()))
                    key.remove_suffix(1);
                const auto index = keptIndex(key);
                if (!index)
                    return;
                std::string_view value = text.substr(std::min(text.size(), keyEnd + 1));
                while (!value.empty() && isSpace(value.front()))
                    value.remove_prefix(1);
                if (value.find('\\') != std::string_view::npos)
                    value = unescapeValue(value);
                out_->assignments[*index] = {includeValueToInt(value), at.file, at.line, true};
                return;
            }
        }
        key_.clear();
        const std::size_t end = unescape(text, '=', kKeyBytes, key_);
        // A key cut at its 63rd byte, or on a line without '=', stands as it
        // is; only a key before its '=' loses its end blanks (escaped ones too).
        const bool hasValue = end < text.size() && text[end] == '=';
        if (hasValue) {
            while (!key_.empty() && isSpace(key_.back()))
                key_.pop_back();
        }
        // Only a key with its value names Section:Key itself; a line without
        // '=' belongs to the current section, or before any header is kept
        // under its bare name.
        name_.clear();
        if (!hasValue || key_.find(':') == std::string::npos) {
            if (inSection_) {
                name_ = section_;
                name_ += ':';
            } else if (hasValue) {
                warn(at, "value not in any section: ignored");
                return;
            }
        }
        for (const char c : key_)
            name_ += asciiLower(c);
        std::size_t index;
        if (const auto it = out_->names().find(std::string_view(name_));
            it != out_->names().end()) {
            index = it->second;
        } else if (filtered_) {
            return;
        } else {
            index = out_->assignments.size();
            keep(name_);
        }
        std::string_view value = hasValue ? text.substr(end + 1) : std::string_view();
        while (!value.empty() && isSpace(value.front()))
            value.remove_prefix(1);
        value = unescapeValue(value);
        out_->assignments[index] = {includeValueToInt(value), at.file, at.line, true};
    }

    // A value, blanks skipped, with '\\' taken as making the next character
    // literal; valid until the next call.
    std::string_view unescapeValue(std::string_view value) {
        value_.clear();
        unescape(value, '\0', std::string::npos, value_);
        return value_;
    }

    const ArenaPlace& place_;
    const FileSource& files_;
    const IncludeLimits& limits_;
    std::unique_ptr<IncludeSettings> out_;
    bool filtered_;
    std::unordered_set<std::string> defines_; // lowered
    std::size_t definedBytes_ = 0;            // the bytes of their names
    bool definesFull_ = false;
    std::vector<Branch> branches_;
    std::vector<Position> openAt_; // where the first branches (up to maxWarnings) opened
    std::string section_;          // lowered
    bool inSection_ = false;
    bool sectionWanted_ = true;
    bool fastFilter_ = true;                // see KeptNames
    std::size_t sectionIndex_ = 0;          // of the current section, when kept
    std::shared_ptr<const KeptNames> kept_; // of a filtered load
    std::string key_, name_, value_;        // kept to keep their room
    std::string joined_;                    // the pieces joined so far, while joining_
    bool joining_ = false;
    Position joinedAt_{};
    std::size_t included_ = 0;
    std::size_t lookups_ = 0;
    std::uint64_t bytes_ = 0;
    bool stopped_ = false;
    std::size_t dropped_ = 0;
    IncludeCache* cache_ = nullptr;
    std::vector<Recording> recordings_; // innermost last
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
    if (const auto own = std::find(arenaFiles.begin(), arenaFiles.end(), path);
        !input && own != arenaFiles.end())
        loader.searched(std::span(arenaFiles.begin(), own));
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
