// The readers' edges that their main tables leave open: each row holds one
// behaviour that a small slip in the code (a comparison, a constant, a
// dropped statement) would change; scripts/mutants.py finds such slips.
#include "include_reader.h"
#include "profile.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

constexpr const char* kArena = "arenas/a/arena.conf";

// A setting expected at a line of the checked file, or (line 0) not set.
struct Wanted {
    const char* section;
    const char* key;
    std::int32_t value;
    std::size_t line;
};

struct IncludeEdge {
    const char* name;
    std::string bytes; // of the checked file, arenas/a/arena.conf
    std::vector<Wanted> wanted;
    std::vector<std::string> warnings = {}; // each whole, "LINE: TEXT"
};

class IncludeEdges : public testing::TestWithParam<IncludeEdge> {};

// Loaded whole and keeping only the settings asked about: both the same.
TEST_P(IncludeEdges, ReadAsTheServerLoadsThem) {
    const IncludeEdge& c = GetParam();
    test::TempDir zone;
    const std::string checked = zone.write(kArena, c.bytes);
    std::vector<std::string_view> sections, keys;
    for (const Wanted& w : c.wanted) {
        sections.push_back(w.section);
        keys.push_back(w.key);
    }
    const SettingNames names{sections, keys};
    for (const SettingNames* kept : {static_cast<const SettingNames*>(nullptr), &names}) {
        SCOPED_TRACE(kept ? "keeping only these settings" : "keeping every setting");
        const ArenaLoad load = loadArena(checked, std::nullopt, arenaPlaceOf(checked), kept);
        for (const Wanted& w : c.wanted) {
            const std::string query = std::string(w.section) + ":" + w.key;
            const Setting s = load.settings->read(w.section, w.key);
            if (w.line == 0) {
                EXPECT_EQ(s.where, Setting::kNowhere) << query << " is set";
                continue;
            }
            ASSERT_NE(s.where, Setting::kNowhere) << query << " is not set";
            EXPECT_EQ(s.value, w.value) << query;
            EXPECT_EQ(load.settings->locate(s.where), (Location{checked, w.line})) << query;
        }
        std::vector<std::string> warnings;
        for (const Warning& w : load.settings->warnings())
            warnings.push_back((w.where && w.where->file == checked
                                    ? std::to_string(w.where->line) + ": "
                                    : std::string()) +
                               w.text);
        EXPECT_EQ(warnings, c.warnings);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeEdges,
    testing::Values(
        // The '\' that joins is dropped, not kept as an escape.
        IncludeEdge{"JoinedKey", "[S]\nA\\\n=5\n", {{"S", "A", 5, 2}}},
        // A '\' before the key's first byte: no plain key, whoever reads it.
        IncludeEdge{"EscapedFirstByte", "[S]\n\\A=5\n", {{"S", "A", 5, 2}}},
        // A CR ends the line's text even before its '='.
        IncludeEdge{"CrBeforeEquals",
                    "[S]\nK\r=5\nB=2\n",
                    {{"S", "K", 0, 2}, {"S", "B", 2, 4}},
                    {"2: a CR without an LF after it: the server reads on to the next LF and "
                     "drops everything from the CR on"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace korvane
