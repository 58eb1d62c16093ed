#include "profile.h"

#include <algorithm>

namespace korvane {
namespace {

bool isBlank(char c) {
    switch (c) {
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
    case ' ':
    case '\x1A':
        return true;
    default:
        return false;
    }
}

bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Trimmed first, then cut at a NUL: blanks before the NUL stay.
std::string_view nameOf(std::string_view raw) {
    const std::string_view s = trim(raw);
    return s.substr(0, s.find('\0'));
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

std::uint32_t nameHash(std::string_view name) {
    std::uint32_t h = 2166136261u; // FNV-1a
    for (char c : name) {
        h ^= static_cast<unsigned char>(asciiLower(c));
        h *= 16777619u;
    }
    return h;
}

std::size_t lineEndFrom(std::string_view t, std::size_t i) {
    while (i < t.size() && !isLineEnd(t[i]))
        ++i;
    return i;
}

// The line that starts (with no blank) at `start`, its trailing blanks trimmed.
std::string_view trimmedLineFrom(std::string_view t, std::size_t start) {
    std::size_t end = lineEndFrom(t, start);
    while (end > start && isBlank(t[end - 1]))
        --end;
    return t.substr(start, end - start);
}

// Calls visit(start, line) for each line that begins at or after `from`, in
// order, with its blanks at both ends trimmed (empty lines are skipped),
// until visit returns false.
template <typename Visit> void forEachLine(std::string_view t, std::size_t from, Visit visit) {
    std::size_t pos = from;
    for (;;) {
        // Leading blanks include line ends, so this also steps over the run
        // of CR and LF that ended the previous line.
        while (pos < t.size() && isBlank(t[pos]))
            ++pos;
        if (pos == t.size())
            return;
        const std::string_view line = trimmedLineFrom(t, pos);
        if (!visit(pos, line))
            return;
        pos += line.size();
    }
}

// If the trimmed line is a section header, its name.
std::optional<std::string_view> headerName(std::string_view line) {
    if (line.front() != '[')
        return std::nullopt;
    const auto close = line.rfind(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return nameOf(line.substr(1, close - 1));
}

std::string_view keyName(std::string_view line) {
    return nameOf(line.substr(0, line.find('=')));
}

// Empty for a line without '='.
std::string_view keyValue(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view{} : nameOf(line.substr(eq + 1));
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

Profile Profile::parse(Bytes bytes, std::size_t indexCap) {
    Profile p;
    const std::string_view b = bytes.view();
    if (b.starts_with("\xEF\xBB\xBF"))
        p.start_ = 3;
    else if (b.starts_with("\xFF\xFE") || b.starts_with("\xFE\xFF"))
        p.start_ = 2;
    if (p.start_ == 2)
        decodeUtf16(bytes, 2, b[0] == '\xFE');
    p.text_ = std::move(bytes);

    const std::string_view t = p.text();
    p.indexedEnd_ = t.size();
    forEachLine(t, 0, [&](std::size_t start, std::string_view line) {
        const auto name = headerName(line);
        if (!name)
            return true;
        if (p.index_.size() == indexCap) {
            p.indexedEnd_ = start;
            return false;
        }
        p.index_.push_back({nameHash(*name), start});
        return true;
    });
    // Stable: among headers of one hash, the first in the file comes first.
    std::stable_sort(p.index_.begin(), p.index_.end(),
                     [](const Header& a, const Header& b) { return a.hash < b.hash; });
    return p;
}

std::optional<std::size_t> Profile::findHeader(std::string_view name) const {
    const std::string_view t = text();
    const std::uint32_t hash = nameHash(name);
    auto it = std::lower_bound(index_.begin(), index_.end(), hash,
                               [](const Header& h, std::uint32_t v) { return h.hash < v; });
    for (; it != index_.end() && it->hash == hash; ++it) {
        if (sameName(*headerName(trimmedLineFrom(t, it->offset)), name))
            return it->offset;
    }
    std::optional<std::size_t> found;
    if (indexedEnd_ < t.size()) {
        forEachLine(t, indexedEnd_, [&](std::size_t start, std::string_view line) {
            const auto header = headerName(line);
            if (header && sameName(*header, name))
                found = start;
            return !found;
        });
    }
    return found;
}

std::optional<std::size_t> Profile::findKeys(std::string_view section,
                                             std::span<const std::string_view> keys,
                                             std::span<std::optional<KeyLine>> found) const {
    std::fill(found.begin(), found.end(), std::nullopt);
    section = trim(section);
    // The lines before any header are the section "", and come first.
    const std::optional<std::size_t> header = section.empty() ? std::nullopt : findHeader(section);
    if (!section.empty() && !header)
        return std::nullopt;
    const std::string_view t = text();
    std::size_t left = keys.size();
    forEachLine(t, header ? lineEndFrom(t, *header) : 0,
                [&](std::size_t start, std::string_view line) {
                    if (headerName(line))
                        return false; // the section ends here
                    const std::string_view name = keyName(line);
                    for (std::size_t i = 0; i < keys.size(); ++i) {
                        if (!found[i] && sameName(name, trim(keys[i]))) {
                            found[i] = KeyLine{start, keyValue(line)};
                            --left;
                        }
                    }
                    return left > 0;
                });
    return header;
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
    // Each LF ends a line, and so does each CR that no LF follows.
    const auto endsIn = [&](std::size_t from, std::size_t to) {
        std::size_t n = 0;
        for (std::size_t i = from; i < to; ++i) {
            if (t[i] == '\n' || (t[i] == '\r' && (i + 1 == t.size() || t[i + 1] != '\n')))
                ++n;
        }
        return n;
    };
    if (lineMarks_.empty()) {
        lineMarks_.push_back(1);
        for (std::size_t at = kLineStep; at <= t.size(); at += kLineStep)
            lineMarks_.push_back(lineMarks_.back() + endsIn(at - kLineStep, at));
    }
    const std::size_t mark = offset / kLineStep;
    return lineMarks_[mark] + endsIn(mark * kLineStep, offset);
}

} // namespace korvane
