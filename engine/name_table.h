#pragma once

// The few names a reader looks for among many lines (the settings a check
// asks for), found without comparing most lines' names at all: a name of
// another length is none of them, and one of the same length is compared in
// full only with those whose first and last characters it shares. Names
// compare ignoring ASCII case, as the servers compare them.

#include "ascii.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korvane {

inline bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

class NameTable {
public:
    // Looks for `name` (which must outlive the table) as `index`.
    void add(std::string_view name, std::size_t index) {
        byLength_[slot(name.size())].push_back({ends(name), index, name});
        shortest_ = std::min(shortest_, name.size());
    }

    // Calls match(index) for each name looked for that `name` is.
    template <typename Match> void find(std::string_view name, Match match) const {
        const auto& candidates = byLength_[slot(name.size())];
        if (candidates.empty())
            return;
        const std::uint16_t hash = ends(name);
        for (const Entry& e : candidates) {
            if (e.hash == hash && sameName(e.name, name))
                match(e.index);
        }
    }

    // The same, and looks for those names no more.
    template <typename Match> void take(std::string_view name, Match match) {
        auto& candidates = byLength_[slot(name.size())];
        if (candidates.empty())
            return;
        const std::uint16_t hash = ends(name);
        for (std::size_t c = 0; c < candidates.size();) {
            const Entry& e = candidates[c];
            if (e.hash == hash && sameName(e.name, name)) {
                match(e.index);
                candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(c));
            } else {
                ++c;
            }
        }
    }

    // No name shorter than this is any of them.
    std::size_t shortest() const { return shortest_; }

private:
    struct Entry {
        std::uint16_t hash;
        std::size_t index;
        std::string_view name;
    };
    // The cheapest hash that tells most names apart: the first and last
    // characters, case aside.
    static std::uint16_t ends(std::string_view name) {
        if (name.empty())
            return 0;
        return static_cast<std::uint16_t>(static_cast<unsigned char>(asciiLower(name.front()))
                                              << 8 |
                                          static_cast<unsigned char>(asciiLower(name.back())));
    }
    // Lengths past 62 share one list.
    static std::size_t slot(std::size_t length) { return std::min<std::size_t>(length, 63); }
    std::array<std::vector<Entry>, 64> byLength_;
    std::size_t shortest_ = SIZE_MAX;
};

} // namespace korvane
