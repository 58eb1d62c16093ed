// The include reader's bound on look-ups: each candidate path it tries
// counts, so a file that includes itself among many missing names ends.
#include "include_reader.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <regex>

namespace korvane {
namespace {

struct LookupCase {
    const char* name;
    std::size_t maxLookups;
    std::int32_t value;            // of S:A, which the last include sets
    std::vector<Warning> warnings; // their files are relative to the zone
};

class IncludeLookups : public testing::TestWithParam<LookupCase> {};

TEST_P(IncludeLookups, AreCountedPerCandidate) {
    test::TempDir zone;
    // With '/' on every platform: the include reader joins names to the
    // zone with the separator the zone is written with.
    const std::string z = zone.path().generic_string();
    // Each missing name costs four look-ups: arenas/a/, conf/, the zone
    // and arenas/(default)/.
    const std::string checked =
        zone.write("arenas/a/a.conf", "#include x\n#include y\n[S]\n#include s\n");
    zone.write("arenas/(default)/s", "A=7\n");
    IncludeLimits limits;
    limits.maxLookups = GetParam().maxLookups;
    const ArenaLoad load = loadArena(checked, std::nullopt, {z, "a"}, nullptr, limits);
    EXPECT_EQ(load.settings->read("S", "A").value, GetParam().value);
    std::vector<Warning> expected;
    for (Warning w : GetParam().warnings) {
        w.text = std::regex_replace(w.text, std::regex("Z/"), z + "/");
        w.where->file = checked;
        expected.push_back(w);
    }
    const auto warnings = load.settings->warnings();
    EXPECT_EQ(std::vector<Warning>(warnings.begin(), warnings.end()), expected);
}

const Warning kXMissing{Location{"", 1},
                        "#include \"x\" not found (no Z/arenas/a/x, Z/conf/x, Z/x or "
                        "Z/arenas/(default)/x): its settings are missing"};
const Warning kYMissing{Location{"", 2},
                        "#include \"y\" not found (no Z/arenas/a/y, Z/conf/y, Z/y or "
                        "Z/arenas/(default)/y): its settings are missing"};

INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeLookups,
    testing::Values(
        LookupCase{"EnoughForAll", 12, 7, {kXMissing, kYMissing}},
        LookupCase{"OneShortOfTheLast",
                   11,
                   0,
                   {kXMissing,
                    kYMissing,
                    {Location{"", 4}, "#include \"s\" not followed: 11 include look-ups in one "
                                      "load (an include cycle?)"}}},
        LookupCase{"NoneLeftAfterTheFirst",
                   4,
                   0,
                   {kXMissing,
                    {Location{"", 2}, "#include \"y\" not followed: 4 include look-ups in one "
                                      "load (an include cycle?)"},
                    {Location{"", 4}, "#include \"s\" not followed: 4 include look-ups in one "
                                      "load (an include cycle?)"}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace korvane
