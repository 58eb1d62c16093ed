// What a load that keeps every setting says the server loads, for the
// effective-settings view: each reader's own rules on which line wins.
#include "file_source.h"
#include "load_settings.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct EffectiveCase {
    const char* name;
    Dialect dialect;
    std::string bytes; // of the checked file, f.conf in the zone Z
    std::vector<std::string_view> sections;
    // "Section:Key=value line", with "(overrides line value ...)" after.
    std::vector<std::string> expected;
    bool everySetting = true; // or only what a check run reads
};

class Effective : public testing::TestWithParam<EffectiveCase> {};

TEST_P(Effective, IsWhatTheServerLoadsInOrder) {
    MemoryFiles files;
    files.put("Z/f.conf", GetParam().bytes);
    files.put("Z/conf/inc", "[S]\nA=7\n[T]\nB=8\n");
    SettingsRequest request{"Z/f.conf"};
    request.dialect = GetParam().dialect;
    request.files = &files;
    request.everySetting = GetParam().everySetting;
    const LoadedSettings loaded = loadSettings(std::move(request));
    std::vector<std::string> shown;
    for (const EffectiveSetting& s : loaded.settings->effective(GetParam().sections)) {
        std::string line = s.section + ":" + s.key + "=" + s.value + " " +
                           (s.origin.at.file == "Z/f.conf" ? "" : s.origin.at.file + ":") +
                           std::to_string(s.origin.at.line);
        for (const Overridden& o : s.origin.overrides)
            line += " (overrides " + std::to_string(o.at.line) + " " + o.value + ")";
        shown.push_back(line);
    }
    EXPECT_EQ(shown, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Effective,
    testing::Values(
        // The profile reader: the first section of a name, and in it the first
        // line of a key (one without '=' too); quotes go, as the reader hands
        // the value out.
        EffectiveCase{"ProfileFirstWins",
                      Dialect::Profile,
                      "A=0\n[s]\nB=2\nA=1\nA=5\n[S]\nC=3\n[ T ]\n  speed  =  \"5\"  \nD\nD=4\n",
                      {"", "S", "t"},
                      {":A=0 1", "s:B=2 3", "s:A=1 4", "T:speed=5 9", "T:D= 10"}},
        EffectiveCase{"ProfileNoSuchSection", Dialect::Profile, "[S] ; old [T]\nA=1\n", {"S"}, {}},
        // The include reader: the last assignment wins, in the order keys
        // were first set, whatever the sections' order in the file.
        EffectiveCase{"IncludeLaterWins",
                      Dialect::Include,
                      "[T]\nB=1\n[S]\nA=1\nS:C=\\5\n[s]\nA=2\nB\n#include inc\n",
                      {"S", "T"},
                      {"S:A=7 Z/conf/inc:2 (overrides 4 1) (overrides 7 2)", "S:C=5 5", "s:B= 8",
                       "T:B=8 Z/conf/inc:4 (overrides 2 1)"}},
        // Only what a check run reads: named as the run asks for it.
        EffectiveCase{"IncludeReadForTheCheck",
                      Dialect::Include,
                      "[WARBIRD]\ninitialrotation=1\nSpeed=2\nMaximumRotation=3\n",
                      {"Warbird"},
                      {"Warbird:InitialRotation=1 2", "Warbird:MaximumRotation=3 4"},
                      false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace korvane
