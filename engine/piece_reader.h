#pragma once

// The pieces of a file's bytes as the server's fgets gives them
// (include_reader.h, choice 2), with the editor lines they start on.

#include "byte_scan.h"
#include "include_text.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace korvane::include {

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
                const bool on = bytescan::eachMarked(
                    bytescan::bytesEqual(bytescan::load8(data_ + i), '\n'), i, [&](std::size_t lf) {
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

} // namespace korvane::include
