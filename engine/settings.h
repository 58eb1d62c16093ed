#pragma once

#include "origin.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

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
    bool set = false; // the file sets it (an absent key can still have a `where`)
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

    // Everything known of where a Setting's `where` came from: its line,
    // and with the include reader the #include chain, the branches and what
    // it replaced.
    virtual Origin origin(std::size_t where) const { return {locate(where), {}, {}, {}}; }

    // Every setting of `sections` as loaded, sections in the order given,
    // keys in the order first set; a load that kept only some settings
    // gives only those.
    virtual std::vector<EffectiveSetting> effective(
        std::span<const std::string_view> sections) const {
        (void)sections;
        return {};
    }

    virtual std::span<const Warning> warnings() const { return {}; }

    // The files the load read, each once, in the order first read: the
    // checked file first (for bytes read already, the name they were given),
    // then what it included. A front end watches them for changes.
    virtual std::vector<std::string> filesRead() const = 0;

    // Every path the load's search looked at for a file (the checked
    // file's arena and each #include) and did not read: created later, one
    // of them would change what is loaded. A front end watches them too.
    virtual std::vector<std::string> searched() const { return {}; }

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
