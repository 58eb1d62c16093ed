#include "include_oracle.h"

#include <algorithm>
#include <set>
#include <vector>

namespace korvane::fuzz {
namespace {

// The server reads with a 4096-byte fgets buffer: 4095 bytes and the NUL.
constexpr std::size_t kPieceBytes = 4095;
// Past this many nested includes the server would be following a loop.
constexpr std::size_t kSectionBytes = 64;
constexpr std::size_t kKeyChars = 63;

// C isspace in the "C" locale.
bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string out;
    for (char c : s)
        out += lower(c);
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view withoutLeadingBlanks(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    return s;
}

bool oneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

// Drops every leading character that is a blank or in `before`, and every
// trailing one that is a blank or in `after`.
std::string_view stripped(std::string_view s, std::string_view before, std::string_view after) {
    while (!s.empty() && (blank(s.front()) || oneOf(s.front(), before)))
        s.remove_prefix(1);
    while (!s.empty() && (blank(s.back()) || oneOf(s.back(), after)))
        s.remove_suffix(1);
    return s;
}

// ---- Numbers: C strtol(value, &end, 0) with a 64-bit long, cut to 32 bits.

unsigned digitValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A' + 10);
    return 99;
}

std::int32_t serverInt(std::string_view value) {
    std::size_t i = 0;
    // strtol skips white space of its own, before the sign.
    while (i < value.size() && blank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    unsigned base = 10;
    const bool hexPrefix = i + 2 < value.size() && value[i] == '0' &&
                           (value[i + 1] == 'x' || value[i + 1] == 'X') &&
                           digitValue(value[i + 2]) < 16;
    if (hexPrefix) {
        base = 16;
        i += 2;
    } else if (i < value.size() && value[i] == '0') {
        // "0x" with no hex digit after it reads as the octal number 0.
        base = 8;
    }

    // LONG_MIN's magnitude for a negative number, LONG_MAX for a positive one.
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    std::uint64_t magnitude = 0;
    bool anyDigit = false;
    bool saturated = false;
    for (; i < value.size(); ++i) {
        const unsigned digit = digitValue(value[i]);
        if (digit >= base)
            break;
        anyDigit = true;
        if (saturated)
            continue;
        if (magnitude > (limit - digit) / base) {
            saturated = true;
            magnitude = limit;
        } else {
            magnitude = magnitude * base + digit;
        }
    }

    if (!anyDigit)
        return !value.empty() && (value[0] == 'y' || value[0] == 'Y') ? 1 : 0;
    // The long's two's complement bits; the server keeps the low 32 of them.
    const std::uint64_t bits = negative ? std::uint64_t{0} - magnitude : magnitude;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
}

// ---- Where an include is found.

std::string collapsedSlashes(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    return out;
}

// The zone-relative name the file system would resolve `candidate` to:
// "a//b" is "a/b" and "a/./b" is "a/b". A ".." or a leading '/' leaves the
// zone, so such a name is only ever looked up as it stands.
std::string zoneName(std::string_view candidate) {
    const std::string name = collapsedSlashes(candidate);
    if (name.find("..") != std::string::npos || name.starts_with('/'))
        return name;
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find('/', start);
        if (slash == std::string::npos) {
            out += name.substr(start);
            return out;
        }
        const std::string part = name.substr(start, slash - start);
        if (part != ".")
            out += part + "/";
        start = slash + 1;
    }
}

// Where the server looks for an included NAME, in order.
std::vector<std::string> searchedNames(const std::string& name, const std::string& arena) {
    if (arena.empty())
        return {"conf/" + name, name, "arenas/(default)/" + name};
    return {"arenas/" + arena + "/" + name, "conf/" + name, name, "arenas/(default)/" + name};
}

// ---- Editor lines: LF, CR LF and a lone CR each end one.

std::vector<std::size_t> lineEnds(std::string_view bytes) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n')
            ends.push_back(i);
        else if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            ends.push_back(i);
    }
    return ends;
}

// ---- The load.

struct OpenFile {
    std::string name; // zone-relative
    const std::string* bytes;
    std::size_t next; // offset of the next byte to read
    int level;        // 0 for the checked file, 1 for what it includes, ...
};

// Where a piece was read: its file and the offset it starts at.
struct Origin {
    std::string file;
    const std::string* bytes;
    std::size_t offset;
};

struct Piece {
    std::string raw; // as fgets gives it, with its LF if it reached one
    Origin origin;
};

// One #ifdef or #ifndef still open.
struct Branch {
    bool outerReading; // were lines being read where it opened
    bool condition;    // the #ifdef's test
    bool inElse;       // an #else has been seen
};

class Load {
public:
    Load(const MemoryZone& zone, const std::string& arena, OracleLimits limits,
         std::map<std::string, OracleValue>& settings, bool& leftZone)
        : zone_(zone), arena_(arena), limits_(limits), settings_(settings), leftZone_(leftZone) {}

    void run(const std::string& checked) {
        // The checked file is opened by its name, not searched for.
        const auto it = zone_.find(checked);
        if (it == zone_.end())
            return;
        files_.push_back({checked, &it->second, 0, 0});

        for (;;) {
            std::optional<Piece> first = readPiece(kPieceBytes);
            if (!first)
                return;
            const Origin origin = first->origin;
            std::string line = cut(first->raw);
            // A trailing '\' joins the next piece, from whichever file comes
            // next, into the room left in the server's buffer.
            bool joinedToEnd = false;
            while (!line.empty() && line.back() == '\\') {
                line.pop_back();
                // At most 4094 bytes are left here, so the room is never empty.
                std::optional<Piece> next = readPiece(kPieceBytes - line.size());
                if (!next) {
                    joinedToEnd = true;
                    break;
                }
                line += cut(next->raw);
            }
            // The checked file ended inside a join: that text is never a line.
            if (joinedToEnd)
                return;
            handleLine(line, origin);
        }
    }

private:
    // Like fgets with a buffer of limit + 1 bytes: up to `limit` bytes,
    // ending after an LF if one comes first. At the end of an included file
    // the reading goes on in the file that included it.
    std::optional<Piece> readPiece(std::size_t limit) {
        while (!files_.empty()) {
            OpenFile& f = files_.back();
            if (f.next < f.bytes->size()) {
                Piece piece{{}, {f.name, f.bytes, f.next}};
                while (f.next < f.bytes->size() && piece.raw.size() < limit) {
                    const char c = (*f.bytes)[f.next];
                    ++f.next;
                    piece.raw += c;
                    if (c == '\n')
                        break;
                }
                return piece;
            }
            files_.pop_back();
        }
        return std::nullopt;
    }

    // The server's buffer ends at the first CR, NUL or LF of each piece.
    static std::string cut(const std::string& raw) {
        std::string out;
        for (char c : raw) {
            if (c == '\r' || c == '\0' || c == '\n')
                break;
            out += c;
        }
        return out;
    }

    bool reading() const {
        if (branches_.empty())
            return true;
        const Branch& b = branches_.back();
        const bool thisBranch = b.inElse ? !b.condition : b.condition;
        return b.outerReading && thisBranch;
    }

    // Defined names compare ignoring ASCII case: they are kept lowered.
    bool defined(std::string_view name) const { return defines_.count(lowered(name)) != 0; }

    // The argument starts at a fixed offset from the start of the line,
    // whatever the directive's word really is; blanks are skipped.
    static std::string_view argument(std::string_view line, std::size_t offset) {
        if (line.size() < offset)
            return {};
        return withoutLeadingBlanks(line.substr(offset));
    }

    static std::string firstWord(std::string_view arg) {
        std::size_t end = 0;
        while (end < arg.size() && !blank(arg[end]))
            ++end;
        return std::string(arg.substr(0, end));
    }

    static std::string testedName(std::string_view arg) {
        return std::string(stripped(arg, "({", ")}"));
    }

    // #undef's name: its whole argument, without the blanks at its end.
    static std::string wholeArgument(std::string_view arg) {
        return std::string(stripped(arg, "", ""));
    }

    void handleLine(const std::string& line, const Origin& origin) {
        // Only a '#' as the very first byte makes a directive.
        if (!line.empty() && line[0] == '#') {
            handleDirective(line);
            return;
        }
        if (!reading())
            return;
        const std::string_view text = trimmed(line);
        if (text.empty())
            return;
        if (text[0] == ';' || text[0] == '/')
            return;
        if (text[0] == '[') {
            handleHeader(text);
            return;
        }
        handleAssignment(text, origin);
    }

    void handleDirective(std::string_view line) {
        // #ifdef, #ifndef, #else and #endif are obeyed even in a false branch.
        if (line.starts_with("#ifdef")) {
            branches_.push_back({reading(), defined(testedName(argument(line, 1 + 6))), false});
            return;
        }
        if (line.starts_with("#ifndef")) {
            branches_.push_back({reading(), !defined(testedName(argument(line, 1 + 6))), false});
            return;
        }
        if (line.starts_with("#else")) {
            // A stray #else, or a second one, changes nothing.
            if (!branches_.empty() && !branches_.back().inElse)
                branches_.back().inElse = true;
            return;
        }
        if (line.starts_with("#endif")) {
            if (!branches_.empty())
                branches_.pop_back();
            return;
        }
        if (!reading())
            return;
        if (line.starts_with("#define")) {
            defines_.insert(lowered(firstWord(argument(line, 1 + 7))));
            return;
        }
        if (line.starts_with("#undef")) {
            defines_.erase(lowered(wholeArgument(argument(line, 1 + 5))));
            return;
        }
        if (line.starts_with("#include")) {
            include(std::string(stripped(argument(line, 1 + 7), "\"<", "\">")));
            return;
        }
        // Any other '#' line is a comment.
    }

    void include(const std::string& name) {
        // The file being read is the one the line's last piece came from: a
        // line joined across the end of an included file belongs to its includer.
        const int level = files_.back().level;
        if (level >= limits_.maxDepth || included_ == limits_.maxIncludes)
            return;
        for (const std::string& candidate : searchedNames(name, arena_)) {
            // A folder is only implied by longer names and is never a key of
            // the zone, so it is passed over just as a missing name is.
            const std::string found = zoneName(candidate);
            if (found.find("..") != std::string::npos || found.starts_with('/'))
                leftZone_ = true;
            const auto it = zone_.find(found);
            if (it == zone_.end())
                continue;
            files_.push_back({it->first, &it->second, 0, level + 1});
            ++included_;
            return;
        }
        // Found nowhere: the server logs it and reads on.
    }

    void handleHeader(std::string_view text) {
        const std::string_view name = stripped(text, "[", "]");
        section_ = std::string(name.substr(0, std::min(name.size(), kSectionBytes)));
    }

    void handleAssignment(std::string_view text, const Origin& origin) {
        if (text[0] == '=')
            return;

        // The key: up to '=' or 63 characters, '\' making the next one literal.
        std::string key;
        std::size_t i = 0;
        while (i < text.size() && text[i] != '=' && key.size() < kKeyChars) {
            if (text[i] == '\\') {
                ++i;
                if (i == text.size())
                    break;
            }
            key += text[i];
            ++i;
        }
        // Only a key that its '=' follows loses its trailing blanks (escaped
        // ones too); a key cut at 63 bytes, or on a line without '=', stays.
        const bool withValue = i < text.size() && text[i] == '=';
        if (withValue) {
            while (!key.empty() && blank(key.back()))
                key.pop_back();
        }

        // The value: after the '=', blanks skipped, the same '\' rule. A line
        // without '=', or whose key was cut before its '=', sets it empty.
        std::string value;
        if (withValue) {
            std::size_t j = i + 1;
            while (j < text.size() && blank(text[j]))
                ++j;
            for (; j < text.size(); ++j) {
                if (text[j] == '\\') {
                    ++j;
                    if (j == text.size())
                        break;
                }
                value += text[j];
            }
        }

        // With its '=', "Section:Key" names its own section and any other key
        // needs a header. Without '=', the key is the current section's, ':'
        // or not; before any header it stands alone, as "Section:Key" if it
        // has a ':' (a key without one can never be asked for).
        std::string setting;
        if (withValue && key.find(':') != std::string::npos)
            setting = key;
        else if (section_)
            setting = *section_ + ":" + key;
        else if (!withValue && key.find(':') != std::string::npos)
            setting = key;
        else
            return;

        settings_[lowered(setting)] =
            OracleValue{serverInt(value), origin.file, editorLine(origin)};
    }

    std::size_t editorLine(const Origin& origin) {
        auto cached = lineEnds_.find(origin.file);
        if (cached == lineEnds_.end())
            cached = lineEnds_.emplace(origin.file, lineEnds(*origin.bytes)).first;
        const std::vector<std::size_t>& ends = cached->second;
        // Line n starts after the (n-1)th line end.
        const auto before = std::lower_bound(ends.begin(), ends.end(), origin.offset);
        return 1 + static_cast<std::size_t>(before - ends.begin());
    }

    const MemoryZone& zone_;
    const std::string& arena_;
    OracleLimits limits_;
    std::size_t included_ = 0;
    std::map<std::string, OracleValue>& settings_;
    bool& leftZone_;

    std::vector<OpenFile> files_;        // the file being read is the last
    std::vector<Branch> branches_;       // one stack for the whole load
    std::set<std::string> defines_;      // lowered
    std::optional<std::string> section_; // none before the first header
    std::map<std::string, std::vector<std::size_t>> lineEnds_;
};

} // namespace

IncludeOracle::IncludeOracle(const MemoryZone& zone, const std::string& checked,
                             const std::string& arena, OracleLimits limits) {
    Load(zone, arena, limits, settings_, leftZone_).run(checked);
}

std::optional<OracleValue> IncludeOracle::find(std::string_view section,
                                               std::string_view key) const {
    std::string setting(section);
    setting += ':';
    setting += key;
    const auto it = settings_.find(lowered(setting));
    if (it == settings_.end())
        return std::nullopt;
    return it->second;
}

} // namespace korvane::fuzz
