// The include cache: a file that many arenas include is read once per run,
// and read again wherever playing it back could differ from reading it.
#include "include_cache.h"
#include "include_reader.h"
#include "ship_rules.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::TempDir;

struct CacheRow {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; // under the zone
    std::vector<std::string> arenas;                        // loaded in turn
    std::size_t reads;                                      // included files read
    std::size_t replays;                                    // and played back
};

class IncludeCacheRows : public testing::TestWithParam<CacheRow> {};

TEST_P(IncludeCacheRows, ReadsOnlyWhatCouldDiffer) {
    TempDir zone;
    for (const auto& [name, bytes] : GetParam().files)
        zone.write(name, bytes);
    const SettingNames wanted{kShips, ruleKeys()};
    IncludeCache cache;
    for (const std::string& arena : GetParam().arenas) {
        const std::string path = (zone.path() / "arenas" / arena / "arena.conf").string();
        loadArena(path, std::nullopt, {zone.path().string(), arena}, &wanted, {}, &cache);
    }
    EXPECT_EQ(cache.reads, GetParam().reads);
    EXPECT_EQ(cache.replays, GetParam().replays);
}

const std::string kShipsFile = "[Warbird]\nInitialEnergy=1\n#include tune.conf\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, IncludeCacheRows,
    testing::Values(
        // ships.conf and the tune.conf it includes are read once.
        CacheRow{"SharedFileReadOnce",
                 {{"conf/ships.conf", kShipsFile},
                  {"conf/tune.conf", "MaximumEnergy=2\n"},
                  {"arenas/a/arena.conf", "#include ships.conf\n"},
                  {"arenas/b/arena.conf", "#include ships.conf\n"},
                  {"arenas/c/arena.conf", "#include ships.conf\n"}},
                 {"a", "b", "c"},
                 2,
                 2},
        // b has its own tune.conf: ships.conf leads elsewhere there.
        CacheRow{"OwnNestedFile",
                 {{"conf/ships.conf", kShipsFile},
                  {"conf/tune.conf", "MaximumEnergy=2\n"},
                  {"arenas/b/tune.conf", "MaximumEnergy=3\n"},
                  {"arenas/a/arena.conf", "#include ships.conf\n"},
                  {"arenas/b/arena.conf", "#include ships.conf\n"}},
                 {"a", "b"},
                 4,
                 0},
        // Another section, or other names defined, at the #include.
        CacheRow{"OtherEntryState",
                 {{"conf/tune.conf", "MaximumEnergy=2\n"},
                  {"arenas/a/arena.conf", "[Warbird]\n#include tune.conf\n"},
                  {"arenas/b/arena.conf", "[Javelin]\n#include tune.conf\n"},
                  {"arenas/c/arena.conf", "#define X\n[Javelin]\n#include tune.conf\n"},
                  {"arenas/d/arena.conf", "[JAVELIN]\n#include tune.conf\n"}},
                 {"a", "b", "c", "d"},
                 3,
                 1},
        // A file whose last line joins the includer's next is never kept.
        CacheRow{"OpenJoinNotKept",
                 {{"conf/join.conf", "; note \\"},
                  {"arenas/a/arena.conf", "#include join.conf\nA=1\n"},
                  {"arenas/b/arena.conf", "#include join.conf\nA=1\n"}},
                 {"a", "b"},
                 2,
                 0}),
    [](const testing::TestParamInfo<CacheRow>& info) { return info.param.name; });

} // namespace
} // namespace korvane
