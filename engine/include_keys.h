#pragma once

// Header and key lines (include_reader.h, choices 5 and 6): what each sets.

#include "include_branches.h"
#include "include_load.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane::include {

class KeyLines {
public:
    KeyLines(LoadState& load, Branches& branches) : load_(load), branches_(branches) {}

    // A line trimmed at both ends that is no header: a key, with or without
    // its value. `plain`: the piece holds no ':' and no '\\'.
    void line(std::string_view text, const FileLine& at, bool plain);

private:
    // Where a filtered load keeps key `key` of the current (kept) section,
    // or nothing when it keeps no such key.
    std::optional<std::size_t> keptIndex(std::string_view key) const;
    // A value with '\\' taken as making the next character literal; valid
    // until the next call.
    std::string_view unescapeValue(std::string_view value);
    void set(std::size_t slot, std::string_view value, const FileLine& at);

    LoadState& load_;
    Branches& branches_;
    std::string key_, name_, written_, value_; // kept to keep their room
};

} // namespace korvane::include
