#include "profile.h"

#include <algorithm>
#include <cstring>

namespace korvane {
namespace {

// The profile reader's whitespace: TAB, LF, VT, FF, CR, space and Ctrl-Z.
// A non-breaking space (0xA0) is not among them.
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

std::string_view cutAtNul(std::string_view s) {
    const auto nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// A name as it is compared: cut at a NUL, then trimmed.
std::string_view nameOf(std::string_view raw) {
    return trim(cutAtNul(raw));
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

std::size_t skipBlanks(std::string_view t, std::size_t i, std::size_t end) {
    while (i < end && isBlank(t[i]))
        ++i;
    return i;
}

// The line that starts (with no blank) at `start`, its trailing blanks trimmed.
std::string_view trimmedLineFrom(std::string_view t, std::size_t start) {
    std::size_t e = lineEndFrom(t, start);
    while (e > start && isBlank(t[e - 1]))
        --e;
    return t.substr(start, e - start);
}

// Calls visit(start, line) for each line that begins in [from, end), in
// order, with the line's blanks at both ends trimmed (empty lines are
// skipped), until visit returns false.
template <typename Visit>
void forEachLine(std::string_view t, std::size_t from, std::size_t end, Visit visit) {
    std::size_t pos = from;
    while (pos < end) {
        // Leading blanks include the line ends, so this also steps over the
        // run of CR and LF that ended the previous line.
        const std::size_t q = skipBlanks(t, pos, end);
        if (q == end)
            return;
        const std::string_view line = trimmedLineFrom(t, q);
        pos = q + line.size();
        if (!visit(q, line))
            return;
    }
}

// A key line's name: the text before its first '=', cut at a NUL, trimmed.
std::string_view keyName(std::string_view line) {
    return nameOf(line.substr(0, line.find('=')));
}

// A key line's value: the text after its first '=', trimmed, cut at a NUL;
// empty for a line without '='.
std::string_view keyValue(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view{} : cutAtNul(trim(line.substr(eq + 1)));
}

// If the trimmed line is a section header, the raw text between its
// '[' and its last ']'.
std::optional<std::string_view> headerText(std::string_view line) {
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.rfind(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return line.substr(1, close - 1);
}

// Decodes UTF-16 in place, one byte per code unit: ASCII stays, anything
// else becomes 0x80, which no rule of the reader gives a meaning to.
void decodeUtf16(std::string& bytes, bool bigEndian) {
    std::size_t out = 0;
    for (std::size_t in = 2; in + 1 < bytes.size(); in += 2) {
        const auto lo = static_cast<unsigned char>(bytes[in + (bigEndian ? 1 : 0)]);
        const auto hi = static_cast<unsigned char>(bytes[in + (bigEndian ? 0 : 1)]);
        const unsigned unit = lo | (hi << 8);
        bytes[out++] = unit < 0x80 ? static_cast<char>(unit) : '\x80';
    }
    bytes.resize(out);
}

} // namespace

Profile Profile::parse(std::string bytes) {
    Profile p;
    const auto startsWith = [&](std::string_view mark) {
        return std::string_view(bytes).substr(0, mark.size()) == mark;
    };
    if (startsWith("\xEF\xBB\xBF"))
        p.start_ = 3;
    else if (startsWith("\xFF\xFE"))
        decodeUtf16(bytes, false);
    else if (startsWith("\xFE\xFF"))
        decodeUtf16(bytes, true);
    p.text_ = std::move(bytes);

    const std::string_view t = p.text();
    p.headers_.push_back(kNoHeader);
    p.indexedEnd_ = t.size();
    forEachLine(t, 0, t.size(), [&](std::size_t start, std::string_view line) {
        if (!headerText(line))
            return true; // a key line, or a '[' without ']'
        if (p.headers_.size() == kMaxIndexedSections) {
            p.indexedEnd_ = start;
            return false;
        }
        p.headers_.push_back(start);
        return true;
    });

    p.byHash_.reserve(p.headers_.size());
    for (std::size_t i = 0; i < p.headers_.size(); ++i)
        p.byHash_.push_back({nameHash(p.headerName(p.headers_[i])), static_cast<std::uint32_t>(i)});
    std::sort(p.byHash_.begin(), p.byHash_.end(), [](const HashEntry& a, const HashEntry& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.index < b.index;
    });
    return p;
}

std::string_view Profile::headerName(std::size_t header) const {
    if (header == kNoHeader)
        return {};
    return nameOf(headerText(trimmedLineFrom(text(), header)).value_or(std::string_view{}));
}

Profile::Section Profile::sectionAt(std::size_t index) const {
    const std::size_t end = index + 1 < headers_.size() ? headers_[index + 1] : indexedEnd_;
    return {headers_[index], end};
}

std::size_t Profile::bodyStart(const Section& s) const {
    return s.header == kNoHeader ? 0 : lineEndFrom(text(), s.header);
}

std::optional<Profile::Section> Profile::findSection(std::string_view name) const {
    name = trim(name);
    const std::uint32_t h = nameHash(name);
    auto it = std::lower_bound(byHash_.begin(), byHash_.end(), h,
                               [](const HashEntry& e, std::uint32_t v) { return e.hash < v; });
    for (; it != byHash_.end() && it->hash == h; ++it) {
        if (sameName(headerName(headers_[it->index]), name))
            return sectionAt(it->index);
    }
    if (indexedEnd_ == text().size())
        return std::nullopt;
    return scanUnindexed(name);
}

std::optional<Profile::Section> Profile::scanUnindexed(std::string_view name) const {
    for (const auto& [seen, result] : scanned_) {
        if (sameName(seen, name))
            return result;
    }
    std::optional<Section> found;
    forEachLine(text(), indexedEnd_, text().size(), [&](std::size_t start, std::string_view line) {
        const auto header = headerText(line);
        if (!header)
            return true;
        if (found) { // this header ends the section found
            found->end = start;
            return false;
        }
        if (sameName(nameOf(*header), name))
            found = Section{start, text().size()};
        return true;
    });
    scanned_.emplace_back(std::string(name), found);
    return found;
}

std::optional<std::size_t> Profile::sectionOffset(std::string_view section) const {
    const auto s = findSection(section);
    if (!s)
        return std::nullopt;
    return s->header == kNoHeader ? 0 : s->header;
}

std::optional<Profile::KeyLine> Profile::find(std::string_view section,
                                              std::string_view key) const {
    const auto s = findSection(section);
    if (!s)
        return std::nullopt;
    key = trim(key);
    if (const auto* known = prefetched(s->header, key))
        return known->has_value() ? std::optional(keyLineAt(**known)) : std::nullopt;
    std::optional<KeyLine> found;
    forEachLine(text(), bodyStart(*s), s->end, [&](std::size_t start, std::string_view line) {
        // The first matching line decides, with or without a value.
        if (!sameName(keyName(line), key))
            return true;
        found = KeyLine{start, keyValue(line)};
        return false;
    });
    return found;
}

void Profile::prefetch(std::string_view section, std::span<const std::string> keys) const {
    const auto s = findSection(section);
    if (!s)
        return; // find() answers at once
    Prefetched batch{s->header, {}};
    for (const std::string& key : keys) {
        if (!prefetched(s->header, trim(key)))
            batch.keys.emplace_back(std::string(trim(key)), std::nullopt);
    }
    std::size_t left = batch.keys.size();
    if (left == 0)
        return;
    // Most lines of a hostile section are passed over on their name's length.
    std::size_t shortest = std::string::npos, longest = 0;
    for (const auto& [key, found] : batch.keys) {
        shortest = std::min(shortest, key.size());
        longest = std::max(longest, key.size());
    }
    forEachLine(text(), bodyStart(*s), s->end, [&](std::size_t start, std::string_view line) {
        const std::string_view name = keyName(line);
        if (name.size() < shortest || name.size() > longest)
            return true;
        for (auto& [key, found] : batch.keys) {
            if (!found && key.size() == name.size() && sameName(name, key)) {
                found = start;
                --left;
            }
        }
        return left > 0;
    });
    if (prefetched_.size() == kPrefetchedSections)
        prefetched_.erase(prefetched_.begin());
    prefetched_.push_back(std::move(batch));
}

const std::optional<std::size_t>* Profile::prefetched(std::size_t header,
                                                      std::string_view key) const {
    for (const Prefetched& batch : prefetched_) {
        if (batch.header != header)
            continue;
        for (const auto& [name, found] : batch.keys) {
            if (sameName(name, key))
                return &found;
        }
    }
    return nullptr;
}

Profile::KeyLine Profile::keyLineAt(std::size_t start) const {
    return KeyLine{start, keyValue(trimmedLineFrom(text(), start))};
}

std::optional<std::size_t> Profile::locate(std::string_view section, std::string_view key) const {
    if (const auto found = find(section, key))
        return lineAt(found->offset);
    const auto s = findSection(section);
    if (!s || s->header == kNoHeader)
        return std::nullopt;
    return lineAt(s->header);
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
