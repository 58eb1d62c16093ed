#pragma once

// How the server loads a .conf file with #include, #define/#ifdef and
// "later assignment wins", read one rule at a time for the fuzz targets to
// hold the real include reader against. Slow and plain on purpose: every
// step below is one rule of the server's loading, with no index and no
// shortcut, and numbers are converted without the C library.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::fuzz {

// A zone folder held in memory: names relative to the zone folder, as the
// server would find them ("arenas/a/arena.conf", "conf/ships/warbird.conf",
// "base.conf") mapped to their bytes. Folders are implied by the names.
using MemoryZone = std::map<std::string, std::string>;

struct OracleValue {
    std::int32_t value; // the number the server's GetInt(section, key, 0) gives
    std::string file;   // zone-relative name of the file of the deciding (last) assignment
    std::size_t line;   // its line, counted as an editor counts (LF, CR LF, lone CR), from 1
};

// How far includes are followed: an #include read in a file `maxDepth`
// includes deep, or after `maxIncludes` included files have been read, is
// skipped.
struct OracleLimits {
    int maxDepth = 50;
    std::size_t maxIncludes = std::numeric_limits<std::size_t>::max();
};

class IncludeOracle {
public:
    // Reads `checked` (a name in `zone`) as the top file, for arena `arena`
    // ("" = no arena), following #include through `zone`.
    IncludeOracle(const MemoryZone& zone, const std::string& checked, const std::string& arena,
                  OracleLimits limits = {});
    // The last assignment of section/key (ASCII case ignored), or nothing.
    std::optional<OracleValue> find(std::string_view section, std::string_view key) const;
    // Every setting, under its lower-case "section:key" name.
    const std::map<std::string, OracleValue>& settings() const { return settings_; }
    // Whether an #include looked for a name with ".." or an absolute one:
    // such names lead out of the zone, which this reading does not follow.
    bool leftZone() const { return leftZone_; }

private:
    // Every setting under its "section:key" name in lower case: the server
    // keeps `[S]` + `K=1` and `S:K=1` as the same setting.
    std::map<std::string, OracleValue> settings_;
    bool leftZone_ = false;
};

} // namespace korvane::fuzz
