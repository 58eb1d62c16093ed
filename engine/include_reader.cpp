#include "include_reader.h"

#include "byte_scan.h"

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

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

// '/' always separates; on Windows '\\' does too.
bool isSeparator(char c) {
    return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
}

std::string joinPath(const std::string& folder, std::string_view name) {
    const auto named = std::filesystem::path(std::u8string(name.begin(), name.end()));
    if (named.has_root_directory() || named.has_root_name())
        return std::string(name);
    if (folder.empty() || folder == ".")
        return std::string(name);
    std::string path = folder;
    // Joined as the folder's own name is: "C:\\zone" takes '\\'.
    if (!isSeparator(path.back())) {
        const auto last = std::find_if(path.rbegin(), path.rend(), isSeparator);
        path += last == path.rend() ? '/' : *last;
    }
    path += name;
    return path;
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

class IncludeSettings final : public Settings {
public:
    void read(std::span<const std::string_view> sections, std::span<const std::string_view> keys,
              std::span<Setting> out) const override {
        std::size_t i = 0;
        for (const std::string_view section : sections) {
            for (const std::string_view key : keys) {
                const auto it = byName.find(combinedName(section, key));
                const bool set = it != byName.end() && assignments[it->second].set;
                out[i++] = set ? Setting{assignments[it->second].value, it->second} : Setting{};
            }
        }
    }

    Location locate(std::size_t where) const override {
        const Assignment& a = assignments.at(where);
        return {files.at(a.file), a.line};
    }

    std::span<const Warning> warnings() const override { return warningList; }

    static std::string combinedName(std::string_view section, std::string_view key) {
        std::string name = lowered(section);
        name += ':';
        name += lowered(key);
        return name;
    }

    // Lowered Section:Key; found by string_view, so no lookup allocates.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> byName;
    std::vector<Assignment> assignments;
    std::vector<std::string> files;
    std::vector<Warning> warningList;
};

// One load of an arena, line by line, as the server reads it.
class ArenaLoader {
public:
    ArenaLoader(const ArenaPlace& place, const SettingNames* wanted, const IncludeLimits& limits)
        : place_(place), limits_(limits), out_(std::make_unique<IncludeSettings>()),
          filtered_(wanted) {
        if (wanted) {
            for (const std::string_view section : wanted->sections)
                wantedSections_.push_back(lowered(section));
            for (const std::string_view key : wanted->keys) {
                wantedKeys_.push_back(lowered(key));
                keysByHash_[keyHash(key)].push_back(wantedKeys_.size() - 1);
            }
            for (const std::string_view section : wanted->sections) {
                for (const std::string_view key : wanted->keys) {
                    const std::string name = IncludeSettings::combinedName(section, key);
                    keep(name);
                    keptAt_.push_back(out_->byName.find(name)->second);
                    // A kept name holding a second ':' ("s:t" + "k") could be
                    // set from a section and key that split it otherwise.
                    fastFilter_ = fastFilter_ && name.find(':') == name.rfind(':');
                }
            }
        }
    }

    // Reads the checked file's bytes, and ends the load.
    void readTop(std::string_view bytes, const std::string& name) {
        readFile(bytes, name, 0);
        if (joining_)
            warn(joinedAt_, "the last line ends with \\ and joins nothing: it is not read");
        for (const Branch& b : branches_)
            warn(b.at, "#ifdef still open when everything has been read");
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
    struct Branch {
        bool outerActive;
        bool taken; // the lines of the current branch are read
        bool elseSeen;
        Position at;
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
        if (warnings().size() == limits_.maxWarnings) {
            ++dropped_;
            return;
        }
        warnings().push_back({Location{out_->files[at.file], at.line}, std::move(text)});
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
                handleLine(line, joinedAt_, depth);
            } else {
                plainLine_ = piece.plain;
                handleLine(text, at, depth);
                plainLine_ = false;
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

    void handleLine(std::string_view text, const Position& at, int depth) {
        if (!text.empty() && text.front() == '#') {
            directive(text, at, depth);
            return;
        }
        if (!active())
            return;
        // (The end of a line needs no trimming: headers and keys trim theirs,
        // and a value's trailing blanks change no number.)
        while (!text.empty() && isSpace(text.front()))
            text.remove_prefix(1);
        if (text.empty() || text.front() == ';' || text.front() == '/')
            return;
        if (text.front() == '[') {
            header(text);
            return;
        }
        keyLine(text, at);
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
            const std::string_view name = stripped(argument(text, 6), "({", ")}");
            const bool defined = defines_.contains(std::string(name));
            const bool taken = text[3] == 'd' ? defined : !defined;
            branches_.push_back({active(), active() && taken, false, at});
        } else if (text.starts_with("#else")) {
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
            if (branches_.empty())
                warn(at, "#endif without #ifdef");
            else
                branches_.pop_back();
        } else if (!active()) {
            return;
        } else if (text.starts_with("#define")) {
            const std::string name(firstWord(argument(text, 7)));
            if (defines_.contains(name))
                return;
            if (defines_.size() == limits_.maxDefines) {
                if (!definesFull_)
                    warn(at, "more than " + std::to_string(limits_.maxDefines) +
                                 " names defined: the rest are ignored");
                definesFull_ = true;
                return;
            }
            defines_.insert(name);
        } else if (text.starts_with("#undef")) {
            defines_.erase(std::string(firstWord(argument(text, 5))));
        } else if (text.starts_with("#include")) {
            include(stripped(argument(text, 7), "\"<", "\">"), at, depth);
        }
    }

    void include(std::string_view name, const Position& at, int depth) {
        const std::string quoted = "#include \"" + std::string(name) + "\"";
        if (depth >= limits_.maxDepth) {
            warn(at, quoted + " not followed: already " + std::to_string(limits_.maxDepth) +
                         " includes deep (an include cycle?)");
            return;
        }
        if (included_ == limits_.maxIncludes) {
            warn(at, quoted + " not followed: " + std::to_string(limits_.maxIncludes) +
                         " included files read in one load (an include cycle?)");
            return;
        }
        std::vector<std::string> candidates;
        const std::string n(name);
        if (!place_.arena.empty())
            candidates.push_back("arenas/" + place_.arena + "/" + n);
        candidates.push_back("conf/" + n);
        candidates.push_back(n);
        if (!place_.arena.empty())
            candidates.push_back("arenas/(default)/" + n);

        std::string unreadable;
        for (const std::string& candidate : candidates) {
            // Each name looked for costs the file system a look-up: a file
            // that includes itself, and many names found nowhere, would
            // otherwise ask for hundreds of millions.
            if (lookups_ == limits_.maxLookups) {
                warn(at, quoted + " not followed: " + std::to_string(limits_.maxLookups) +
                             " include look-ups in one load (an include cycle?)");
                return;
            }
            ++lookups_;
            const std::string path = joinPath(place_.zone, candidate);
            const FileRead file = readSettingsFile(path, Reading::Plain, limits_.maxBytes - bytes_);
            switch (file.status) {
            case FileStatus::Ok:
                ++included_;
                readFile(file.bytes.view(), path, depth + 1);
                return;
            case FileStatus::NotRegular:
                if (file.folder)
                    continue;
                warn(at, quoted + ": " + path + " is not a regular file: skipped");
                return;
            case FileStatus::Unreadable:
                if (file.error == kChangedWhileRead) {
                    warn(at, quoted + ": " + path +
                                 " shrank or failed while it was read: its settings are missing");
                    return;
                }
                if (unreadable.empty())
                    unreadable = path + ": " + std::strerror(file.error);
                continue;
            case FileStatus::Missing:
                continue;
            }
        }
        if (!unreadable.empty()) {
            warn(at, quoted + " cannot be read (" + unreadable + "): its settings are missing");
            return;
        }
        std::string looked;
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            looked += i == 0 ? "" : (i + 1 == candidates.size() ? " or " : ", ");
            looked += joinPath(place_.zone, candidates[i]);
        }
        warn(at, quoted + " not found (no " + looked + "): its settings are missing");
    }

    void header(std::string_view text) {
        text = stripped(text, "[", "]");
        section_.assign(text.substr(0, kSectionBytes)); // in its own room: no allocation
        for (char& c : section_)
            c = asciiLower(c);
        inSection_ = true;
        const auto wanted = std::find(wantedSections_.begin(), wantedSections_.end(), section_);
        sectionWanted_ = !filtered_ || wanted != wantedSections_.end();
        sectionIndex_ = static_cast<std::size_t>(wanted - wantedSections_.begin());
    }

    // Where a filtered load keeps key `key` of the current (kept) section, or
    // nothing when it keeps no such key.
    std::optional<std::size_t> keptIndex(std::string_view key) const {
        if (key.empty())
            return std::nullopt;
        for (const std::size_t k : keysByHash_[keyHash(key)]) {
            const std::string& w = wantedKeys_[k];
            if (w.size() == key.size() &&
                std::equal(w.begin(), w.end(), key.begin(),
                           [](char a, char b) { return a == asciiLower(b); }))
                return keptAt_[sectionIndex_ * wantedKeys_.size() + k];
        }
        return std::nullopt;
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

    void keyLine(std::string_view text, const Position& at) {
        if (text.front() == '=')
            return;
        // Most lines of a big zone are plain keys (no ':', no '\\') that a
        // filtered load keeps only in a kept section, and only a few of.
        if (filtered_ && fastFilter_ && inSection_) {
            if (plainLine_ && !sectionWanted_)
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
        while (!key_.empty() && isSpace(key_.back()))
            key_.pop_back();
        const bool hasValue = end < text.size() && text[end] == '=';
        name_.clear();
        if (key_.find(':') == std::string::npos) {
            if (!inSection_) {
                if (hasValue)
                    warn(at, "value not in any section: ignored");
                return;
            }
            name_ = section_;
            name_ += ':';
        }
        for (const char c : key_)
            name_ += asciiLower(c);
        std::size_t index;
        if (const auto it = out_->byName.find(std::string_view(name_)); it != out_->byName.end()) {
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
    const IncludeLimits& limits_;
    std::unique_ptr<IncludeSettings> out_;
    bool filtered_;
    std::unordered_set<std::string> defines_;
    bool definesFull_ = false;
    std::vector<Branch> branches_;
    std::string section_; // lowered
    bool inSection_ = false;
    bool sectionWanted_ = true;
    // Whether a plain key line in a section may be judged by section and key
    // alone: true unless a kept name holds more than one ':'.
    bool fastFilter_ = true;
    std::size_t sectionIndex_ = 0;            // of the current section, when kept
    std::vector<std::string> wantedSections_; // lowered
    std::vector<std::string> wantedKeys_;     // lowered
    std::vector<std::size_t> keptAt_;         // assignment of each wanted section and key
    // The kept keys by a hash of their length and three of their letters:
    // a line's key is compared with at most a few of them.
    static std::size_t keyHash(std::string_view key) {
        if (key.empty())
            return 0;
        const auto at = [&](std::size_t i) {
            return static_cast<unsigned char>(asciiLower(key[i]));
        };
        return (key.size() * 0x9E37u ^ at(0) * 131u ^ at(key.size() / 2) * 31u ^
                at(key.size() - 1)) %
               kKeyBuckets;
    }
    static constexpr std::size_t kKeyBuckets = 1024;
    std::vector<std::vector<std::size_t>> keysByHash_ =
        std::vector<std::vector<std::size_t>>(kKeyBuckets);
    std::string key_, name_, value_; // kept to keep their room
    bool plainLine_ = false;         // the line being read holds no ':' and no '\\'
    std::string joined_;             // the pieces joined so far, while joining_
    bool joining_ = false;
    Position joinedAt_{};
    std::size_t included_ = 0;
    std::size_t lookups_ = 0;
    std::uint64_t bytes_ = 0;
    bool stopped_ = false;
    std::size_t dropped_ = 0;
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
    const fs::path folder = (here / given).parent_path().lexically_normal();
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
                    const IncludeLimits& limits) {
    ArenaLoader loader(place, wanted, limits);
    ArenaLoad load;
    if (input) {
        loader.readTop(*input, path);
    } else {
        // Read, not mapped: the reader goes through each byte once, so a
        // mapping would save little (see bench/include_zones.sh).
        const FileRead file = readSettingsFile(path, Reading::Plain, limits.maxBytes);
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
    const auto digit = [](char c) -> unsigned {
        if (c >= '0' && c <= '9')
            return static_cast<unsigned>(c - '0');
        if (c >= 'a' && c <= 'z')
            return static_cast<unsigned>(c - 'a' + 10);
        if (c >= 'A' && c <= 'Z')
            return static_cast<unsigned>(c - 'A' + 10);
        return 99;
    };
    unsigned base = 10;
    if (i < value.size() && value[i] == '0') {
        base = 8;
        if (i + 2 < value.size() && (value[i + 1] == 'x' || value[i + 1] == 'X') &&
            digit(value[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }
    if (i == value.size() || digit(value[i]) >= base)
        return !value.empty() && (value[0] == 'y' || value[0] == 'Y') ? 1 : 0;
    // The magnitude saturates at 2^63, where the 64-bit long's range ends.
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    for (; i < value.size() && digit(value[i]) < base; ++i) {
        const unsigned d = digit(value[i]);
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
