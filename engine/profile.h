#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A settings file parsed the way the Windows profile reader reads it.
//
// The text is kept decoded, one byte per character: files in a single-byte
// code page or UTF-8 keep their bytes; UTF-16 code units become their ASCII
// byte, or 0x80 for anything else. Only ASCII ever matters to a lookup (the
// names asked for are ASCII, and so are line ends, blanks, digits, signs and
// quotes), so nothing that decides a result is lost.
//
// Parsing is one pass that indexes the section headers; a lookup then reads
// only the lines of the section it needs. Not thread-safe: lookups memoise.
class Profile {
public:
    // Parses a file's bytes, byte order mark included.
    static Profile parse(std::string bytes);
    Profile() = default;

    // Where a key was found: the start of its line in the decoded text, and
    // its value (trimmed, cut at a NUL) before any conversion.
    struct KeyLine {
        std::size_t offset;
        std::string_view value;
    };

    // The first line naming `key` in the first section named `section`
    // (names trimmed, ASCII case ignored), or nothing.
    std::optional<KeyLine> find(std::string_view section, std::string_view key) const;

    // Looks up all of `keys` in the first section named `section` in one
    // walk of it, and keeps the answers for find() (and so readInt() and
    // locate()) in that section. A check run asks each ship's section for
    // thirty keys, and a hostile file can make that section hundreds of
    // megabytes of short lines: walked once per key, it would take more
    // than a minute. The answers of the last kPrefetchedSections calls are
    // kept; find() gives the same with or without them.
    void prefetch(std::string_view section, std::span<const std::string> keys) const;
    static constexpr std::size_t kPrefetchedSections = 16;

    // The key's value converted to a signed 32-bit integer; 0 when absent.
    std::int32_t readInt(std::string_view section, std::string_view key) const;

    // Start of the header line of the first section named `section`; for
    // the section of the lines before any header, 0.
    std::optional<std::size_t> sectionOffset(std::string_view section) const;

    // The line that decided section/key: the key's own line, the section's
    // header line when the key is absent from it, nothing when no header
    // names the section.
    std::optional<std::size_t> locate(std::string_view section, std::string_view key) const;

    // The line, counted from 1 as an editor counts (each LF, CR LF or lone
    // CR ends one line), holding the decoded text's `offset`.
    std::size_t lineAt(std::size_t offset) const;

    // The decoded text that offsets refer to.
    std::string_view text() const { return std::string_view(text_).substr(start_); }

    // Most section headers indexed by one parse; a file with more headers
    // than this (at least 16 MiB of nothing but headers) has the rest found
    // by scanning on demand, so the index never grows past 32 MiB.
    static constexpr std::size_t kMaxIndexedSections = std::size_t{1} << 21;

private:
    struct Section {
        std::size_t header; // where the header line's '[' stands; kNoHeader for the first
        std::size_t end;    // where the next header's line begins, or the end of the text
    };
    struct HashEntry {
        std::uint32_t hash;
        std::uint32_t index; // into headers_, which are in file order
    };
    static constexpr std::size_t kNoHeader = static_cast<std::size_t>(-1);

    std::optional<Section> findSection(std::string_view name) const;
    std::optional<Section> scanUnindexed(std::string_view name) const;
    Section sectionAt(std::size_t index) const;
    std::size_t bodyStart(const Section& s) const;
    std::string_view headerName(std::size_t header) const;
    // What prefetch() found for `key` (trimmed) in the section whose header
    // is `header`: the start of the key's line or nothing, or null when it
    // was not asked for.
    const std::optional<std::size_t>* prefetched(std::size_t header, std::string_view key) const;
    KeyLine keyLineAt(std::size_t start) const;

    std::string text_;
    std::size_t start_ = 0; // first byte after a byte order mark
    std::vector<std::size_t>
        headers_;                   // each header's '[' in file order; [0] is the implicit section
    std::vector<HashEntry> byHash_; // sorted by (hash, index)
    std::size_t indexedEnd_ = 0;    // where unindexed headers begin (the text's end when none)

    // Lookups past the index, remembered per name: a check run asks each
    // ship's section thirty times.
    mutable std::vector<std::pair<std::string, std::optional<Section>>> scanned_;
    // prefetch() answers, oldest first. Offsets rather than views, so that
    // a copy of the profile never points into the original's text.
    struct Prefetched {
        std::size_t header;
        std::vector<std::pair<std::string, std::optional<std::size_t>>> keys;
    };
    mutable std::vector<Prefetched> prefetched_;
    // Line numbers at every kLineStep bytes, built on the first lineAt().
    static constexpr std::size_t kLineStep = 1 << 16;
    mutable std::vector<std::size_t> lineMarks_;
};

// Converts a value text the way the profile reader does: quotes stripped,
// the first 29 characters only, optional sign, 0x/0o/0b prefixes, wrapping
// modulo 2^32. Text with no usable digits gives 0.
std::int32_t profileValueToInt(std::string_view value);

} // namespace korvane
