#pragma once

// The profile reader's rules taken one at a time, with no index and no
// shortcut, for the fuzz targets to hold the real reader against. Slow and
// obvious on purpose: each step below is one rule of the reader.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::fuzz {

class PlainReader {
public:
    explicit PlainReader(std::string_view bytes);

    struct Key {
        std::size_t offset;     // where the key's line starts in text()
        std::string_view value; // trimmed, cut at a NUL
    };
    struct Section {
        std::string_view name;
        std::optional<std::size_t> header; // none for the lines before any header
        std::vector<std::pair<std::size_t, std::string_view>> lines; // start, trimmed text
    };

    // The decoded text: the same one byte per character as Profile::text().
    std::string_view text() const { return text_; }
    const std::vector<Section>& sections() const { return sections_; }

    std::optional<Key> find(std::string_view section, std::string_view key) const;
    // Where the header of the first section of that name starts; nothing for
    // no such section, and for the lines before any header.
    std::optional<std::size_t> sectionHeader(std::string_view section) const;
    std::size_t lineAt(std::size_t offset) const;

    // A key line's name: before the first '=', trimmed, cut at a NUL.
    static std::string_view keyName(std::string_view line);

private:
    const Section* firstSection(std::string_view name) const;

    std::string text_;
    std::vector<Section> sections_;
    std::vector<std::size_t> lineEnds_; // every LF, and every CR that no LF follows
};

} // namespace korvane::fuzz
