#pragma once

// What included files set, kept across the loads of one run, so that a file
// that many arenas of a zone include is read once. The include reader keeps
// an included file's effect (what it sets and where from, what it warns
// about and reads, and the state it leaves) per entry state, and plays it
// again where the same file is included in the same state with its own
// includes found as before: the load then holds what reading it would give,
// origins included.

#include "include_reader.h"
#include "include_settings.h"
#include "settings.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace korvane {

using DefinedNames = std::unordered_set<std::string>;
struct KeptNames; // include_text.h

// What reading an included file depends on besides its bytes.
struct IncludeEntry {
    int depth = 0;       // of the included file
    std::string section; // the current section, lowered
    bool inSection = false;
    DefinedNames defines;        // the names defined
    std::size_t branchLevels = 0; // #ifdef levels open, up to those an origin lists
    bool operator==(const IncludeEntry&) const = default;
};

// What reading the file did, the files it included within it counted in.
// Files count from the file itself (0); branch nodes from its first, with
// kEntry for the branches open where it was included.
struct IncludeEffect {
    static constexpr std::uint32_t kEntry = UINT32_MAX - 1;
    struct File {
        std::string name;
        include::FileLine from; // the #include line (none for the file itself)
    };
    struct Node {
        include::BranchNode node;
        bool decidedOutside = false; // by a #define/#undef before the file
    };
    struct Assigned {
        std::size_t index;
        std::int32_t value;
        std::string text;
        include::FileLine at;
        std::uint32_t node;
    };
    // A #define or #undef (at none: a name undefined that had no line).
    struct Decision {
        std::string name; // lowered
        include::FileLine at;
    };
    std::vector<File> files; // read, in order: the file itself first
    std::vector<Node> nodes;
    std::vector<Assigned> assigned; // in the order they were made
    std::vector<Decision> decisions;
    std::vector<Warning> warnings; // at most the limit of warnings listed
    std::size_t warningsPast = 0;  // the warnings after those
    // Each #include NAME within, and what it came to (the file found, or
    // the warning given): valid only where they come to the same.
    std::vector<std::pair<std::string, std::string>> lookups;
    std::uint64_t bytes = 0;  // bytes read
    std::size_t included = 0; // files included within it
    std::size_t lookedUp = 0; // candidate paths tried within it
    // The state it leaves.
    std::string section;
    bool inSection = false;
    DefinedNames defines;
};

class IncludeCache {
public:
    // Files kept per path, each for one entry state; more are read as usual.
    static constexpr std::size_t kStatesPerFile = 8;
    // A load with more names defined than this reads its includes as usual.
    static constexpr std::size_t kMaxDefines = 64;
    // A file that leads to more #include lines, or assignments, than this
    // is not kept.
    static constexpr std::size_t kMaxLookups = 10'000;

    struct Kept {
        IncludeEntry entry;
        IncludeEffect effect;
    };

    // A cache serves loads that keep the same settings under the same
    // limits: those of the first load that uses it, which shares its names.
    std::shared_ptr<const KeptNames> names;
    IncludeLimits limits;

    const std::vector<Kept>& kept(const std::string& path) const {
        static const std::vector<Kept> none;
        const auto it = files_.find(path);
        return it == files_.end() ? none : it->second;
    }

    // Keeps a file's effect in a state, while the kept states stay within
    // the budget (what a zone run may hold beyond one arena's load); what
    // would pass it is dropped, and that file read again where included.
    void keep(const std::string& path, IncludeEntry entry, IncludeEffect effect) {
        const std::size_t bytes = footprint(path, entry, effect);
        if (used_ + bytes > budget)
            return;
        std::vector<Kept>& states = files_[path];
        if (states.size() < kStatesPerFile) {
            used_ += bytes;
            states.push_back({std::move(entry), std::move(effect)});
        }
    }

    // The bytes the kept states may hold.
    std::size_t budget = std::size_t{32} << 20;
    // The bytes they hold, as footprint() counts them.
    std::size_t used() const { return used_; }

    // Included files read, and played again from the cache, so far.
    std::size_t reads = 0;
    std::size_t replays = 0;

private:
    // What keeping an effect costs, allocations counted at their size plus
    // a word or two of the allocator's.
    static std::size_t footprint(const std::string& path, const IncludeEntry& entry,
                                 const IncludeEffect& e);

    std::map<std::string, std::vector<Kept>> files_;
    std::size_t used_ = 0;
};

} // namespace korvane
