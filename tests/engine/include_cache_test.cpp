// The include cache: a file that many arenas include is read once per run,
// and read again wherever playing it back could differ from reading it.
#include "file_source.h"
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
    std::size_t budget = std::size_t{32} << 20;             // of the cache
};

class IncludeCacheRows : public testing::TestWithParam<CacheRow> {};

TEST_P(IncludeCacheRows, ReadsOnlyWhatCouldDiffer) {
    TempDir zone;
    for (const auto& [name, bytes] : GetParam().files)
        zone.write(name, bytes);
    const SettingNames wanted{kShips, ruleKeys()};
    IncludeCache cache;
    cache.budget = GetParam().budget;
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
        // Past its budget the cache keeps nothing more: tune.conf fits.
        CacheRow{"PastTheBudget",
                 {{"conf/ships.conf", kShipsFile},
                  {"conf/tune.conf", "MaximumEnergy=2\n"},
                  {"arenas/a/arena.conf", "#include ships.conf\n"},
                  {"arenas/b/arena.conf", "#include ships.conf\n"},
                  {"arenas/c/arena.conf", "#include ships.conf\n"}},
                 {"a", "b", "c"},
                 4,
                 2,
                 1500},
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
                 0},
        // ships.conf, read in b with tune.conf played back, keeps what
        // tune.conf looked up: c, with its own deep.conf, reads them again.
        CacheRow{"NestedLookupsKept",
                 {{"conf/ships.conf", "#include tune.conf\n"},
                  {"conf/mid.conf", "#include tune.conf\n"},
                  {"conf/tune.conf", "#include deep.conf\n"},
                  {"conf/deep.conf", "A=1\n"},
                  {"arenas/c/deep.conf", "A=2\n"},
                  {"arenas/a/arena.conf", "#include mid.conf\n"},
                  {"arenas/b/arena.conf", "#include ships.conf\n"},
                  {"arenas/c/arena.conf", "#include ships.conf\n"}},
                 {"a", "b", "c"},
                 7,
                 1}),
    [](const testing::TestParamInfo<CacheRow>& info) { return info.param.name; });

// Played back, a file explains its values as reading it does: each arena's
// origins, effective settings, files and warnings are those it has alone.
TEST(IncludeCache, ReplaysExplainAsReadingDoes) {
    MemoryFiles files;
    files.put("Z/conf/ships.conf", "[Warbird]\nA=1\n#ifdef LEAGUE\nB=2\n#else\nB=3\n#endif\n"
                                   "#include tune.conf\nA=4\n#include none.conf\n");
    files.put("Z/conf/tune.conf",
              "#ifndef LEAGUE\nC=5\n#endif\n#define TUNED\n#ifdef TUNED\nD=6\n#endif\n");
    const std::vector<std::pair<std::string, std::string>> arenas = {
        {"a", "#include ships.conf\n"},
        {"b", "\n\n#include ships.conf\nA=9\n"},
        {"c", "#define league\n#include ships.conf\n"},
        {"d", "#define x\n#undef x\n#define LEAGUE\n\n#include ships.conf\n"},
        {"e", "#ifdef NOPE\n#else\n#include ships.conf\n#endif\n"},
        {"f", "#ifndef Q\n\n#include ships.conf\n#endif\n"},
        {"g", "[Javelin]\n#include ships.conf\nA=9\n"
              "[Javelin]\n#undef TUNED\n#include ships.conf\nA=9\n"},
        {"h", "#include head.conf\nA=7\n"},
        {"i", "#include head.conf\nA=7\n"},
    };
    files.put("Z/conf/head.conf", "[Warbird]\n");
    for (const auto& [arena, bytes] : arenas)
        files.put("Z/arenas/" + arena + "/arena.conf", bytes);
    const std::vector<std::string_view> sections = {"Warbird", "Javelin"},
                                        keys = {"A", "B", "C", "D"};
    const SettingNames wanted{sections, keys};
    IncludeCache cache;
    for (const auto& [arena, bytes] : arenas) {
        SCOPED_TRACE(arena);
        const std::string path = "Z/arenas/" + arena + "/arena.conf";
        const ArenaLoad alone =
            loadArena(path, std::nullopt, {"Z", arena}, &wanted, {}, nullptr, &files);
        const ArenaLoad run =
            loadArena(path, std::nullopt, {"Z", arena}, &wanted, {}, &cache, &files);
        for (const std::string_view key : keys) {
            const Setting a = alone.settings->read("Warbird", key);
            const Setting r = run.settings->read("Warbird", key);
            ASSERT_EQ(a.set, r.set) << key;
            EXPECT_EQ(a.value, r.value) << key;
            if (a.set) {
                EXPECT_EQ(alone.settings->origin(a.where), run.settings->origin(r.where)) << key;
            }
        }
        EXPECT_EQ(alone.settings->effective(sections), run.settings->effective(sections));
        EXPECT_EQ(alone.settings->filesRead(), run.settings->filesRead());
        EXPECT_EQ(alone.settings->searched(), run.settings->searched());
        const auto w1 = alone.settings->warnings(), w2 = run.settings->warnings();
        EXPECT_EQ(std::vector(w1.begin(), w1.end()), std::vector(w2.begin(), w2.end()));
    }
    // a's ships.conf and tune.conf, b's ships.conf, c's (d's again), and
    // e's (f's again), each with their tune.conf; in g, tune.conf and the
    // second ships.conf, which leaves the section the next A=9 is set in;
    // i's head.conf, which enters the first section of i.
    EXPECT_EQ(cache.replays, 6u);
}

} // namespace
} // namespace korvane
