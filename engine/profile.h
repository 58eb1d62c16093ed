#pragma once

// The profile reader: a settings file read the way the Windows profile
// reader (GetPrivateProfileInt) reads it. Its choices, in one place:
//
//  1. Bytes. EF BB BF at the very start is skipped. FF FE or FE FF there
//     means UTF-16 (little- or big-endian): each code unit becomes its ASCII
//     byte, or 0x80 for anything else. Otherwise one byte is one character.
//     A byte order mark anywhere else is text.
//  2. Lines. Any run of CR and LF ends a line. The blank set is TAB, LF, VT,
//     FF, CR, space and Ctrl-Z (0x1A), not 0xA0; every line is trimmed of it
//     and empty lines are skipped. There is no comment syntax: ';' and '#'
//     begin ordinary names.
//  3. Headers. A line that starts with '[' and holds a ']' opens a section,
//     named by the text up to its last ']'. A '[' line without ']' is a key
//     line. The lines before the first header form the section "".
//  4. Keys. The first '=' splits a line into name and value; a line without
//     '=' names a key with no value.
//  5. Names, of sections and keys, are trimmed and then cut at a NUL (blanks
//     before the NUL stay part of the name); they compare ignoring the case
//     of ASCII letters only.
//  6. The first section of a name is the only one searched, never merged
//     with later ones; it ends at the next header line. In it, the first line
//     naming the key decides, even one without '='.
//  7. Values are trimmed and then cut at a NUL. Quotes, the 29-character
//     limit and the conversion: see profileValueToInt.

#include "bytes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class Profile {
public:
    // Takes a file's bytes, byte order mark included. Nothing is read yet:
    // a lookup searches the text for what it needs.
    static Profile parse(Bytes bytes);
    static Profile parse(std::string_view bytes) { return parse(Bytes(bytes)); }
    // Whether the mapped file lost bytes while it was read (Bytes::damaged).
    bool damaged() const { return text_.damaged(); }
    Profile() = default;

    // A key's line: where it starts in text(), and its value before any
    // conversion.
    struct KeyLine {
        std::size_t offset;
        std::string_view value;
    };

    // Where the first header naming each of `names` starts, found in one
    // search of the text (names trimmed, ASCII case ignored); nothing for a
    // name that no header has. Answers are kept: a name is searched once.
    void findSections(std::span<const std::string_view> names,
                      std::span<std::optional<std::size_t>> headers) const;

    // Walks the first section named `section` once and fills found[i] with
    // the first line naming keys[i], or nothing. Returns where the section's
    // header line starts, or nothing when no header names the section (the
    // lines before any header have none either).
    std::optional<std::size_t> findKeys(std::string_view section,
                                        std::span<const std::string_view> keys,
                                        std::span<std::optional<KeyLine>> found) const;

    // Every key line of the first section named `section`, in order, with
    // its name (trimmed, cut at a NUL); `written` gets the section's name as
    // its header writes it. False when no header names the section.
    bool eachKey(std::string_view section,
                 const std::function<void(std::string_view name, const KeyLine&)>& each,
                 std::string& written) const;

    std::optional<KeyLine> find(std::string_view section, std::string_view key) const;
    // The key's value as a signed 32-bit integer; 0 when absent.
    std::int32_t readInt(std::string_view section, std::string_view key) const;

    // The line, counted from 1 as an editor counts (each LF, CR LF or lone
    // CR ends one), that holds offset `offset` of text().
    std::size_t lineAt(std::size_t offset) const;

    // The decoded text that offsets refer to.
    std::string_view text() const { return text_.view().substr(start_); }

private:
    // Fills found[] from the lines that start at `from`, up to the next
    // header line.
    void walk(std::size_t from, std::span<const std::string_view> keys,
              std::span<std::optional<KeyLine>> found) const;

    Bytes text_;
    std::size_t start_ = 0; // first character after a byte order mark
    // Names searched for, and where their first header starts.
    mutable std::vector<std::pair<std::string, std::optional<std::size_t>>> searched_;
    // Line numbers at every kLineStep characters, made by the first lineAt().
    static constexpr std::size_t kLineStep = 1 << 16;
    mutable std::vector<std::size_t> lineMarks_;
};

// Converts a value the way the profile reader does: a value of two or more
// characters between matching quotes (" or ') loses them; only the first 29
// characters count (so a quoted value of exactly 29 inside loses its last);
// characters up to 0x20 are skipped, then one '+' or '-', then a lowercase
// 0x, 0o or 0b selects base 16, 8 or 2 (otherwise 10: leading zeros are not
// octal), then digits of that base up to the first other character. The
// result wraps modulo 2^32; no digits give 0.
std::int32_t profileValueToInt(std::string_view value);

// A value as the profile reader hands it out as text: between matching
// quotes (" or ', two characters or more), without them.
std::string profileValueText(std::string_view value);

} // namespace korvane
