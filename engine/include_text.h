#pragma once

// The include reader's small text rules (include_reader.h, choices 4 to 6),
// shared by the parts of a load.

#include "ascii.h"
#include "include_reader.h"
#include "name_table.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace korvane::include {

// The server's pieces: what fgets reads into a 4096-byte buffer.
constexpr std::size_t kPieceBytes = 4095;
constexpr std::size_t kSectionBytes = 64;
constexpr std::size_t kKeyBytes = 63;

inline bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

// `s` without blanks and `leading` characters at its start, nor blanks and
// `trailing` characters at its end.
inline std::string_view stripped(std::string_view s, std::string_view leading,
                                 std::string_view trailing) {
    while (!s.empty() && (isSpace(s.front()) || leading.find(s.front()) != s.npos))
        s.remove_prefix(1);
    while (!s.empty() && (isSpace(s.back()) || trailing.find(s.back()) != s.npos))
        s.remove_suffix(1);
    return s;
}

// The argument of a directive: from `offset` bytes after the '#', blanks skipped.
inline std::string_view argument(std::string_view text, std::size_t offset) {
    text.remove_prefix(std::min(text.size(), 1 + offset));
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

inline std::string_view firstWord(std::string_view s) {
    std::size_t n = 0;
    while (n < s.size() && !isSpace(s[n]))
        ++n;
    return s.substr(0, n);
}

// Copies `text` up to `stop` (or its end, or `limit` characters), each '\'
// taken as making the next character literal; returns where it ended.
inline std::size_t unescape(std::string_view text, char stop, std::size_t limit, std::string& out) {
    std::size_t i = 0;
    while (i < text.size() && text[i] != stop && out.size() < limit) {
        if (text[i] == '\\' && ++i == text.size())
            break; // a '\' with nothing after it gives nothing
        out += text[i++];
    }
    return i;
}

inline std::string combinedName(std::string_view section, std::string_view key) {
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

} // namespace korvane::include

namespace korvane {

// The settings a filtered load keeps and how it finds them: the same for
// every load of a run that keeps the same settings, so a cache shares it.
struct KeptNames {
    std::vector<std::string> givenSections, givenKeys; // as asked
    std::vector<std::string> sections;                 // lowered
    include::NameIndex byName;                         // Section:Key to its assignment
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
            sections.push_back(include::lowered(section));
        keyCount = wanted.keys.size();
        // The table keeps views: of the names held here, which outlive it.
        for (std::size_t k = 0; k < keyCount; ++k)
            keyTable.add(givenKeys[k], k);
        for (const std::string_view section : wanted.sections) {
            for (const std::string_view key : wanted.keys) {
                std::string name = include::combinedName(section, key);
                // A kept name holding a second ':' ("s:t" + "k") could be
                // set from a section and key that split it otherwise.
                fastFilter = fastFilter && name.find(':') == name.rfind(':');
                at.push_back(byName.emplace(std::move(name), byName.size()).first->second);
            }
        }
    }
    KeptNames(const KeptNames&) = delete;
    KeptNames& operator=(const KeptNames&) = delete;

    bool keeps(const SettingNames& wanted) const {
        return std::equal(givenSections.begin(), givenSections.end(), wanted.sections.begin(),
                          wanted.sections.end()) &&
               std::equal(givenKeys.begin(), givenKeys.end(), wanted.keys.begin(),
                          wanted.keys.end());
    }
};

} // namespace korvane
