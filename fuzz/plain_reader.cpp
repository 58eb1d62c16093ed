#include "plain_reader.h"

#include <algorithm>

namespace korvane::fuzz {
namespace {

bool blank(char c) {
    return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == ' ' || c == '\x1A';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view cutAtNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string decode(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return std::string(bytes.substr(3));
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF"))
        return std::string(bytes);
    // UTF-16: only ASCII can matter, so every other unit becomes 0x80.
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned unit = little ? first | second << 8 : second | first << 8;
        text += unit < 0x80 ? static_cast<char>(unit) : '\x80';
    }
    return text;
}

} // namespace

PlainReader::PlainReader(std::string_view bytes) : text_(decode(bytes)) {
    const std::string_view t = text_;
    sections_.push_back({{}, std::nullopt, {}});
    // Lines end at every CR and LF; trimmed, the empty ones go.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= t.size(); ++i) {
        if (i < t.size() && t[i] != '\r' && t[i] != '\n')
            continue;
        if (i < t.size() && (t[i] == '\n' || i + 1 == t.size() || t[i + 1] != '\n'))
            lineEnds_.push_back(i);
        const std::string_view raw = t.substr(start, i - start);
        const std::string_view line = trimmed(raw);
        const std::size_t offset = start + (line.empty() ? 0 : line.data() - raw.data());
        start = i + 1;
        if (line.empty())
            continue;
        const auto close = line.rfind(']');
        if (line.front() == '[' && close != std::string_view::npos)
            sections_.push_back({cutAtNul(trimmed(line.substr(1, close - 1))), offset, {}});
        else
            sections_.back().lines.emplace_back(offset, line);
    }
}

std::string_view PlainReader::keyName(std::string_view line) {
    return cutAtNul(trimmed(line.substr(0, line.find('='))));
}

const PlainReader::Section* PlainReader::firstSection(std::string_view name) const {
    for (const Section& s : sections_) {
        if (sameName(s.name, trimmed(name)))
            return &s;
    }
    return nullptr;
}

std::optional<PlainReader::Key> PlainReader::find(std::string_view section,
                                                  std::string_view key) const {
    const Section* s = firstSection(section);
    if (!s)
        return std::nullopt;
    for (const auto& [offset, line] : s->lines) {
        if (!sameName(keyName(line), trimmed(key)))
            continue;
        const auto eq = line.find('=');
        return Key{offset, eq == std::string_view::npos ? std::string_view{}
                                                        : cutAtNul(trimmed(line.substr(eq + 1)))};
    }
    return std::nullopt;
}

std::optional<std::size_t> PlainReader::sectionHeader(std::string_view section) const {
    const Section* s = firstSection(section);
    return s ? s->header : std::nullopt;
}

std::size_t PlainReader::lineAt(std::size_t offset) const {
    return 1 +
           static_cast<std::size_t>(std::lower_bound(lineEnds_.begin(), lineEnds_.end(), offset) -
                                    lineEnds_.begin());
}

} // namespace korvane::fuzz
