#include "profile.h"

#include "byte_scan.h"
#include "name_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

namespace korvane {
namespace {

using namespace bytescan;

// What the reader makes of each byte: the blank set (TAB, LF, VT, FF, CR,
// space and Ctrl-Z; not 0xA0), and the line ends among them.
enum : unsigned char { kBlank = 1, kInlineBlank = 2, kLineEnd = 4 };
constexpr auto kClasses = [] {
    std::array<unsigned char, 256> c{};
    for (const unsigned char b : {'\t', '\v', '\f', ' ', '\x1A'})
        c[b] = kBlank | kInlineBlank;
    for (const unsigned char b : {'\n', '\r'})
        c[b] = kBlank | kLineEnd;
    return c;
}();

bool is(char c, unsigned char what) {
    return kClasses[static_cast<unsigned char>(c)] & what;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is(s.front(), kBlank))
        s.remove_prefix(1);
    while (!s.empty() && is(s.back(), kBlank))
        s.remove_suffix(1);
    return s;
}

// Trimmed first, then cut at a NUL: blanks before the NUL stay. (A loop:
// names are short, and a call to find one NUL would cost more.)
std::string_view nameOf(std::string_view raw) {
    const std::string_view s = trim(raw);
    std::size_t n = 0;
    while (n < s.size() && s[n] != '\0')
        ++n;
    return s.substr(0, n);
}

// The names asked for (each trimmed) as a table to find them by.
NameTable tableOf(std::span<const std::string_view> names, std::span<const std::size_t> which) {
    NameTable table;
    for (const std::size_t i : which)
        table.add(trim(names[i]), i);
    return table;
}

// From `start`, the start of a line, past every line shorter than `shortest`
// that holds no '[': such a line names no key of that length and is no
// header. Eight bytes at a time, a hostile section of tiny lines goes by at
// a few instructions a line; the first line that may matter is returned.
std::size_t skipShortLines(std::string_view t, std::size_t start, std::size_t shortest) {
    std::size_t line = start;
    for (std::size_t i = start; i + 8 <= t.size(); i += 8) {
        const std::uint64_t v = load8(t.data() + i);
        if (bytesEqual(v, '['))
            return line;
        const bool shortLines =
            eachMarked(bytesEqual(v, '\n') | bytesEqual(v, '\r'), i, [&](std::size_t end) {
                if (end - line >= shortest)
                    return false;
                line = end + 1;
                return true;
            });
        if (!shortLines || i + 8 - line >= shortest)
            return line;
    }
    return line;
}

// Where the line holding offset i ends: its first CR or LF, or the end.
std::size_t lineEndFrom(std::string_view t, std::size_t i) {
    return findFirst(t, i, '\n', '\r');
}

// The line ends in [from, to): each LF, and each CR that no LF follows. The
// LFs are counted eight bytes at a time.
std::size_t lineEndsIn(std::string_view t, std::size_t from, std::size_t to) {
    std::size_t n = 0;
    std::size_t i = from;
    for (; i + 8 <= to; i += 8)
        n += static_cast<std::size_t>(std::popcount(bytesEqual(load8(t.data() + i), '\n')));
    for (; i < to; ++i)
        n += t[i] == '\n';
    for (const char* cr =
             to > from ? static_cast<const char*>(std::memchr(t.data() + from, '\r', to - from))
                       : nullptr;
         cr; cr = static_cast<const char*>(
                 std::memchr(cr + 1, '\r', static_cast<std::size_t>(t.data() + to - cr - 1)))) {
        const auto after = static_cast<std::size_t>(cr - t.data()) + 1;
        n += after == t.size() || t[after] != '\n';
    }
    return n;
}

// Decodes UTF-16 in place from `from` on, one character per code unit:
// ASCII stays, anything else becomes 0x80, which no rule gives a meaning.
void decodeUtf16(Bytes& bytes, std::size_t from, bool bigEndian) {
    char* b = bytes.data();
    std::size_t out = from;
    for (std::size_t in = from; in + 1 < bytes.size(); in += 2) {
        const auto lo = static_cast<unsigned char>(b[in + (bigEndian ? 1 : 0)]);
        const auto hi = static_cast<unsigned char>(b[in + (bigEndian ? 0 : 1)]);
        const unsigned unit = lo | (hi << 8);
        b[out++] = unit < 0x80 ? static_cast<char>(unit) : '\x80';
    }
    bytes.resize(out);
}

} // namespace

Profile Profile::parse(Bytes bytes) {
    Profile p;
    const std::string_view b = bytes.view();
    if (b.starts_with("\xEF\xBB\xBF"))
        p.start_ = 3;
    else if (b.starts_with("\xFF\xFE") || b.starts_with("\xFE\xFF"))
        p.start_ = 2;
    if (p.start_ == 2) {
        const bool bigEndian = b[0] == '\xFE';
        // Into a block of its own: a mapped file is read-only.
        if (bytes.mapped())
            bytes = Bytes(b);
        decodeUtf16(bytes, 2, bigEndian);
    }
    p.text_ = std::move(bytes);
    return p;
}

void Profile::findSections(std::span<const std::string_view> names,
                           std::span<std::optional<std::size_t>> headers) const {
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = trim(names[i]);
        const auto known = std::find_if(searched_.begin(), searched_.end(),
                                        [&](const auto& s) { return s.first == name; });
        if (known != searched_.end())
            headers[i] = known->second;
        else
            pending.push_back(i);
    }
    if (pending.empty())
        return;
    for (const std::size_t i : pending)
        headers[i] = std::nullopt;
    NameTable wanted = tableOf(names, pending);

    // Jump from '[' to '[': a header is a line that starts with one (after
    // blanks) and holds a ']'. Each header's name is held against the names
    // asked for until all are found.
    const std::string_view t = text();
    std::size_t left = pending.size();
    for (std::size_t p = 0; left > 0 && p < t.size();) {
        const void* bracket = std::memchr(t.data() + p, '[', t.size() - p);
        if (!bracket)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(bracket) - t.data());
        std::size_t before = at;
        while (before > 0 && is(t[before - 1], kInlineBlank))
            --before;
        if (before > 0 && !is(t[before - 1], kLineEnd)) {
            p = at + 1;
            continue;
        }
        const std::size_t end = lineEndFrom(t, at);
        p = end;
        const std::size_t close = t.substr(at, end - at).rfind(']');
        if (close == std::string_view::npos)
            continue; // a '[' line without ']' is a key line
        if (close - 1 < wanted.shortest())
            continue; // trimmed or cut at a NUL, a name is shorter still
        wanted.take(nameOf(t.substr(at + 1, close - 1)), [&](std::size_t i) {
            headers[i] = at;
            --left;
        });
    }
    for (const std::size_t i : pending)
        searched_.emplace_back(std::string(trim(names[i])), headers[i]);
}

std::optional<std::size_t> Profile::findKeys(std::string_view section,
                                             std::span<const std::string_view> keys,
                                             std::span<std::optional<KeyLine>> found) const {
    std::fill(found.begin(), found.end(), std::nullopt);
    section = trim(section);
    // The lines before any header are the section "", and come first.
    if (section.empty()) {
        walk(0, keys, found);
        return std::nullopt;
    }
    std::optional<std::size_t> header;
    findSections(std::span(&section, 1), std::span(&header, 1));
    if (header)
        walk(lineEndFrom(text(), *header), keys, found);
    return header;
}

void Profile::walk(std::size_t from, std::span<const std::string_view> keys,
                   std::span<std::optional<KeyLine>> found) const {
    std::size_t left = keys.size();
    std::vector<std::size_t> all(keys.size());
    std::iota(all.begin(), all.end(), 0);
    NameTable wanted = tableOf(keys, all);

    // A line is passed over on the length of its name, then on its
    // fingerprint, before any name is compared: a hostile section can be
    // hundreds of megabytes of short lines.
    const std::string_view t = text();
    bool shortBefore = true; // whether the line before was too short to name a key
    for (std::size_t p = from; left > 0;) {
        if (shortBefore)
            p = skipShortLines(t, p, wanted.shortest());
        while (p < t.size() && is(t[p], kBlank))
            ++p; // also the run of CR and LF that ended the line before
        if (p == t.size())
            return;
        const std::size_t start = p;
        // The name ends at '=' or the line's end, and a NUL cuts it short.
        p = findFirst(t, p, '=', '\n', '\r', '\0');
        std::size_t cut = std::string_view::npos;
        if (p < t.size() && t[p] == '\0') {
            cut = p;
            p = findFirst(t, p, '=', '\n', '\r');
        }
        const std::size_t nameEnd = p;
        const bool hasValue = p < t.size() && t[p] == '=';
        const std::size_t end = hasValue ? lineEndFrom(t, p) : p;
        p = end;
        if (t[start] == '[' && t.substr(start, end - start).find(']') != std::string_view::npos)
            return; // the next header line ends the section
        if (cut == std::string_view::npos) {
            // Trimmed (a NUL is no blank, so a name cut at one needs none).
            cut = nameEnd;
            while (cut > start && is(t[cut - 1], kBlank))
                --cut;
        }
        shortBefore = cut - start < wanted.shortest();
        if (shortBefore)
            continue;
        wanted.take(t.substr(start, cut - start), [&](std::size_t i) {
            found[i] =
                KeyLine{start, hasValue ? nameOf(t.substr(nameEnd + 1, end - nameEnd - 1)) : ""};
            --left;
        });
    }
}

bool Profile::eachKey(std::string_view section,
                      const std::function<void(std::string_view, const KeyLine&)>& each,
                      std::string& written) const {
    const std::string_view t = text();
    section = trim(section);
    written.clear();
    std::size_t p = 0;
    if (!section.empty()) {
        std::optional<std::size_t> header;
        findSections(std::span(&section, 1), std::span(&header, 1));
        if (!header)
            return false;
        p = lineEndFrom(t, *header);
        const std::string_view line = t.substr(*header, p - *header);
        written = nameOf(line.substr(1, line.rfind(']') - 1));
    }
    for (;;) {
        while (p < t.size() && is(t[p], kBlank))
            ++p;
        if (p == t.size())
            return true;
        const std::size_t start = p;
        const std::size_t end = lineEndFrom(t, p);
        p = end;
        const std::string_view line = t.substr(start, end - start);
        if (line.front() == '[' && line.find(']') != std::string_view::npos)
            return true; // the next header line ends the section
        const std::size_t equals = std::min(line.find('='), line.size());
        const std::string_view name = nameOf(line.substr(0, equals));
        if (!name.empty())
            each(name, {start, equals < line.size() ? nameOf(line.substr(equals + 1)) : ""});
    }
}

std::optional<Profile::KeyLine> Profile::find(std::string_view section,
                                              std::string_view key) const {
    std::optional<KeyLine> found;
    findKeys(section, std::span(&key, 1), std::span(&found, 1));
    return found;
}

std::int32_t Profile::readInt(std::string_view section, std::string_view key) const {
    const auto found = find(section, key);
    return found ? profileValueToInt(found->value) : 0;
}

std::size_t Profile::lineAt(std::size_t offset) const {
    const std::string_view t = text();
    offset = std::min(offset, t.size());
    if (lineMarks_.empty()) {
        lineMarks_.push_back(1);
        for (std::size_t at = kLineStep; at <= t.size(); at += kLineStep)
            lineMarks_.push_back(lineMarks_.back() + lineEndsIn(t, at - kLineStep, at));
    }
    const std::size_t mark = offset / kLineStep;
    return lineMarks_[mark] + lineEndsIn(t, mark * kLineStep, offset);
}

} // namespace korvane
