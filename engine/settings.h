#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A line of a settings file, named as the user can open it.
struct Location {
    std::string file;
    std::size_t line; // counted from 1 as an editor counts (LF, CR LF or lone CR)
    bool operator==(const Location&) const = default;
};

// Something the reader noticed that changes what the server loads, or that
// an operator would not see in an editor.
struct Warning {
    std::optional<Location> where;
    std::string text;
    bool operator==(const Warning&) const = default;
};

// A setting as a check run reads it: its value (0 when absent) and the
// reader's handle on the line that decided it, for locate().
struct Setting {
    static constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);
    std::int32_t value = 0;
    std::size_t where = kNowhere;
};

// The settings of one file, loaded once for a check run by either reader.
class Settings {
public:
    virtual ~Settings() = default;

    // out[s * keys.size() + k] is keys[k] of sections[s]. Names compare
    // ignoring ASCII case. Asking many at once is how a run reads the eight
    // ships in one search.
    virtual void read(std::span<const std::string_view> sections,
                      std::span<const std::string_view> keys, std::span<Setting> out) const = 0;

    // The line behind a Setting's `where` (never kNowhere).
    virtual Location locate(std::size_t where) const = 0;

    virtual std::span<const Warning> warnings() const { return {}; }

    // Why what the reads saw may not be the whole file, as an error of the
    // file layer (kChangedWhileRead: a mapped file shrank or failed while
    // it was read), or 0. Asked once a run has read what it needed.
    virtual int failure() const { return 0; }

    // One setting; read() for a single name.
    Setting read(std::string_view section, std::string_view key) const {
        Setting s;
        read(std::span(&section, 1), std::span(&key, 1), std::span(&s, 1));
        return s;
    }
};

} // namespace korvane
