#pragma once

// The state one include load shares among its parts: the lines' reader
// (include_reader.cpp), the branches and defines (include_branches.h), the
// key lines (include_keys.cpp), the look-ups (include_lookup.cpp) and the
// cache's recording and replay (include_replay.cpp).

#include "include_cache.h"
#include "include_settings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace korvane::include {

// An included file being read while what it does is recorded, with
// positions as the load numbers them (made relative when it is kept).
struct Recording {
    std::uint32_t fileBase;  // its index in the load's files
    std::uint32_t nodeBase;  // its first branch node
    std::uint32_t entryNode; // the branch around its #include line
    std::uint64_t bytesAt;
    std::size_t includedAt;
    std::size_t lookupsAt;
    std::size_t branchBase;
    IncludeEffect effect;
    bool keepable;
};

struct LoadState {
    LoadState(const IncludeLimits& givenLimits, bool isFiltered)
        : limits(givenLimits), out(std::make_unique<IncludeSettings>()), filtered(isFiltered) {}

    const IncludeLimits& limits;
    std::unique_ptr<IncludeSettings> out;
    bool filtered;
    std::shared_ptr<const KeptNames> kept; // of a filtered load

    // The current section.
    std::string section;        // lowered
    std::string sectionWritten; // as written, for a load that keeps every setting
    bool inSection = false;
    bool sectionWanted = true;
    bool fastFilter = true;       // see KeptNames
    std::size_t sectionIndex = 0; // of the current section, when kept

    std::size_t included = 0;
    std::size_t lookups = 0;
    // Look-ups made to tell whether a kept file can be played again, and
    // what each name came to in this load (the files do not change while
    // it reads): a zone run looks no more than reading would.
    std::size_t replayLookups = 0;
    std::unordered_map<std::string, std::string> outcomes;
    std::uint64_t bytes = 0;
    bool stopped = false;
    std::size_t dropped = 0;           // warnings not listed
    std::vector<Recording> recordings; // innermost last

    void warn(const FileLine& at, std::string text) {
        addWarning({Location{out->files[at.file], at.line}, std::move(text)});
    }
    void addWarning(Warning w);
    // What is read from now on depends on more than the entry state.
    void unkeepable() {
        for (Recording& r : recordings)
            r.keepable = false;
    }
    // Sets a slot, as recorded for the cache too.
    void assign(std::size_t slot, std::int32_t value, std::string_view text, const FileLine& at,
                std::uint32_t node);
    void header(std::string_view text);
    void sectionEntered();
};

} // namespace korvane::include
