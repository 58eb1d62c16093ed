// The include reader against the servers' loading rules: values, the cases
// of a zone's files, where the files are found, and what it warns about.
#include "include_reader.h"
#include "test_files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

using test::TempDir;
using test::utf8Text;

struct ValueCase {
    const char* name;
    const char* value;
    std::int32_t expected;
};

class IncludeValues : public testing::TestWithParam<ValueCase> {};

TEST_P(IncludeValues, ConvertAsTheServerDoes) {
    EXPECT_EQ(includeValueToInt(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeValues,
    testing::Values(ValueCase{"Decimal", "42", 42}, ValueCase{"Negative", "-42", -42},
                    ValueCase{"Plus", "+42", 42}, ValueCase{"LeadingZeroIsOctal", "010", 8},
                    ValueCase{"OctalStopsAtEight", "08", 0}, ValueCase{"Hex", "0x1F", 31},
                    ValueCase{"UppercaseHex", "0X1F", 31}, ValueCase{"HexPrefixAlone", "0x", 0},
                    ValueCase{"HexStopsAtG", "0x1G", 1}, ValueCase{"TrailingText", "12abc", 12},
                    ValueCase{"StopsAtPoint", "1.5", 1}, ValueCase{"StopsAtComma", "1,000", 1},
                    ValueCase{"Letters", "abc", 0}, ValueCase{"LowercaseY", "y", 1},
                    ValueCase{"Yes", "Yes", 1}, ValueCase{"No", "no", 0}, ValueCase{"N", "N", 0},
                    ValueCase{"SignThenSpace", "- 5", 0},
                    ValueCase{"CutToThirtyTwoBits", "2147483648", INT32_MIN},
                    ValueCase{"TwoToThe32Plus5", "4294967301", 5},
                    ValueCase{"SaturatesHigh", "99999999999999999999", -1},
                    ValueCase{"SaturatesLow", "-99999999999999999999", 0},
                    ValueCase{"DoubleQuoted", "\"12\"", 0}, ValueCase{"SingleQuoted", "'12'", 0},
                    ValueCase{"TextAfterNumber", "5 ; five", 5}, ValueCase{"Dollar", "$FIVE", 0},
                    ValueCase{"Empty", "", 0}),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

// What a query expects: a value set at a file and line, or nothing.
struct Expect {
    const char* section;
    const char* key;
    std::optional<std::int32_t> value;
    const char* file = "arenas/a/arena.conf";
    std::size_t line = 0; // 0: not checked
};

struct ZoneCase {
    const char* name;
    // Files under the zone folder; the first is the checked one.
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<Expect> expect;
    std::vector<const char*> warnings = {}; // a part of each warning's text, in order
};

class IncludeZones : public testing::TestWithParam<ZoneCase> {};

TEST_P(IncludeZones, ReadAsTheServerLoadsThem) {
    TempDir zone;
    for (const auto& [name, bytes] : GetParam().files)
        zone.write(name, bytes);
    const std::string checked = (zone.path() / GetParam().files.front().first).string();
    const ArenaLoad load = loadArena(checked, std::nullopt, arenaPlaceOf(checked));
    ASSERT_EQ(load.status, FileStatus::Ok);
    for (const Expect& e : GetParam().expect) {
        const Setting s = load.settings->read(e.section, e.key);
        const std::string query = std::string(e.section) + ":" + e.key;
        if (!e.value) {
            EXPECT_EQ(s.where, Setting::kNowhere) << query << " is set";
            continue;
        }
        EXPECT_EQ(s.value, *e.value) << query;
        ASSERT_NE(s.where, Setting::kNowhere) << query << " is not set";
        const Location at = load.settings->locate(s.where);
        EXPECT_EQ(at.file, (zone.path() / e.file).string()) << query;
        EXPECT_TRUE(e.line == 0 || at.line == e.line) << query << " at line " << at.line;
    }
    // A load that keeps only the settings asked for answers the same.
    std::vector<std::string_view> sections, keys;
    for (const Expect& e : GetParam().expect) {
        sections.push_back(e.section);
        keys.push_back(e.key);
    }
    const SettingNames wanted{sections, keys};
    const ArenaLoad kept = loadArena(checked, std::nullopt, arenaPlaceOf(checked), &wanted);
    for (const Expect& e : GetParam().expect) {
        const Setting whole = load.settings->read(e.section, e.key);
        const Setting part = kept.settings->read(e.section, e.key);
        EXPECT_EQ(part.value, whole.value) << e.section << ":" << e.key << " kept alone";
        EXPECT_EQ(part.where == Setting::kNowhere, whole.where == Setting::kNowhere)
            << e.section << ":" << e.key << " kept alone";
    }
    const auto warnings = load.settings->warnings();
    ASSERT_EQ(warnings.size(), GetParam().warnings.size());
    for (std::size_t i = 0; i < warnings.size(); ++i) {
        EXPECT_NE(warnings[i].text.find(GetParam().warnings[i]), std::string::npos)
            << warnings[i].text;
    }
}

constexpr const char* kArena = "arenas/a/arena.conf";

INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeZones,
    testing::Values(
        ZoneCase{"LaterWins", {{kArena, "[S]\nA=1\nA=2\n"}}, {{"S", "A", 2, kArena, 3}}},
        ZoneCase{"Reopened", {{kArena, "[S]\nA=1\n[T]\nB=1\n[S]\nA=3\n"}}, {{"S", "A", 3}}},
        // Kept alone, S follows lines of T that its own must not be taken for.
        ZoneCase{"KeptSectionAfterOneNotKept",
                 {{kArena, "[T]\nB=1\nB=2\n[S]\nA=3\nC=4\nD=5\nE=6\nF=7\n"}},
                 {{"S", "A", 3}, {"S", "F", 7, kArena, 9}}},
        ZoneCase{"QualifiedKey",
                 {{kArena, "[T]\nS:A=4\nB=5\n"}},
                 {{"S", "A", 4}, {"T", "B", 5}, {"T", "S:A", std::nullopt}}},
        ZoneCase{"NoEqualsSetsEmpty", {{kArena, "[S]\nA=5\nA\n"}}, {{"S", "A", 0, kArena, 3}}},
        ZoneCase{"Continuation",
                 {{kArena, "[S]\nA=1\\\n2\n;x\\\nB=3\nC=4\n"}},
                 {{"S", "A", 12, kArena, 2}, {"S", "B", std::nullopt}, {"S", "C", 4}}},
        ZoneCase{"LoneCr",
                 {{kArena, "[S]\nA=1\rB=2\nC=3\n"}},
                 {{"S", "A", 1, kArena, 2}, {"S", "B", std::nullopt}, {"S", "C", 3, kArena, 4}},
                 {"CR without an LF"}},
        ZoneCase{"ByteOrderMark",
                 {{kArena, "\xEF\xBB\xBF[S]\nA=1\n[T]\nB=2\n"}},
                 {{"S", "A", std::nullopt}, {"T", "B", 2}},
                 {"byte order mark", "not in any section"}},
        ZoneCase{"Ifdef",
                 {{kArena, "#define X\n[S]\n#ifdef X\nA=1\n#else\nA=2\n#endif\n"}},
                 {{"S", "A", 1}}},
        ZoneCase{
            "NestedFalse",
            {{kArena, "[S]\n#ifdef X\n#ifdef Y\nA=1\n#else\nA=2\n#endif\n#else\nA=3\n#endif\n"}},
            {{"S", "A", 3}}},
        ZoneCase{"DoubleElse",
                 {{kArena, "[S]\n#ifdef X\nA=1\n#else\nA=2\n#else\nA=3\n#endif\n"}},
                 {{"S", "A", 3, kArena, 7}},
                 {"second #else"}},
        ZoneCase{"SearchOrderArenaFirst",
                 {{kArena, "#include n\n"},
                  {"arenas/a/n", "[S]\nA=1\n"},
                  {"conf/n", "[S]\nA=2\n"},
                  {"n", "[S]\nA=3\n"},
                  {"arenas/(default)/n", "[S]\nA=4\n"}},
                 {{"S", "A", 1, "arenas/a/n", 2}}},
        ZoneCase{"SearchOrderThenConf",
                 {{kArena, "#include n\n"},
                  {"conf/n", "[S]\nA=2\n"},
                  {"n", "[S]\nA=3\n"},
                  {"arenas/(default)/n", "[S]\nA=4\n"}},
                 {{"S", "A", 2, "conf/n"}}},
        ZoneCase{
            "SearchOrderThenZoneFolder",
            {{kArena, "#include n\n"}, {"n", "[S]\nA=3\n"}, {"arenas/(default)/n", "[S]\nA=4\n"}},
            {{"S", "A", 3, "n"}}},
        ZoneCase{"SearchOrderThenDefaultArena",
                 {{kArena, "#include n\n"}, {"arenas/(default)/n", "[S]\nA=4\n"}},
                 {{"S", "A", 4, "arenas/(default)/n"}}},
        ZoneCase{"SearchSkipsFolders",
                 {{kArena, "#include n\n"}, {"arenas/a/n/x", ""}, {"conf/n", "[S]\nA=2\n"}},
                 {{"S", "A", 2, "conf/n"}}},
        ZoneCase{"Fragment",
                 {{kArena, "[S]\n#include frag\nB=2\n"}, {"frag", "A=1\n"}},
                 {{"S", "A", 1, "frag", 1}, {"S", "B", 2, kArena, 3}}},
        ZoneCase{"HeaderInInclude",
                 {{kArena, "[S]\n#include frag\nB=2\n"}, {"frag", "[T]\nA=1\n"}},
                 {{"T", "A", 1, "frag", 2}, {"T", "B", 2, kArena, 3}, {"S", "B", std::nullopt}}},
        ZoneCase{"Override",
                 {{kArena, "#include n\n[S]\nA=9\n"}, {"n", "[S]\nA=1\nB=1\n"}},
                 {{"S", "A", 9}, {"S", "B", 1, "n", 3}}},
        ZoneCase{"IncludeInFalseBranch",
                 {{kArena, "#ifdef X\n#include d\n#endif\n"}, {"d", "[S]\nA=1\n"}},
                 {{"S", "A", std::nullopt}}},
        ZoneCase{"JoinAcrossFiles",
                 {{kArena, "[S]\n#include j\nA=1\nB=2\n"}, {"j", "C=3\n; note \\\n"}},
                 {{"S", "C", 3, "j", 1}, {"S", "A", std::nullopt}, {"S", "B", 2}}},
        ZoneCase{"MissingInclude",
                 {{kArena, "[S]\nA=1\n#include nothere\nB=2\n"}},
                 {{"S", "A", 1}, {"S", "B", 2}},
                 {"#include \"nothere\" not found"}},
        ZoneCase{"DirectiveWordsAndOffsets",
                 {{kArena, "#defineX Y\n#ifdef Y\n[S]\n#endif\n#includeq\n#elsewhere\nA=1\n"},
                  {"q", "B=2\n"}},
                 {{"S", "A", 1}, {"S", "B", 2, "q", 1}},
                 {"#else without #ifdef"}},
        ZoneCase{"IndentedHashIsAKey",
                 {{kArena, "[S]\n  #include q\n"}, {"q", "B=2\n"}},
                 {{"S", "#include q", 0}, {"S", "B", std::nullopt}}},
        ZoneCase{"HeadersAndEscapes",
                 {{kArena, "[[ S ]]\nA\\=B=1\n[V] x\nC=\\5\n=7\n"}},
                 {{"S", "A=B", 1}, {"V] x", "C", 5}, {"V] x", "", std::nullopt}}},
        ZoneCase{"StrayEndifAndOpenIfdef",
                 {{kArena, "#endif\n[S]\n#ifndef X\nA=1\n"}},
                 {{"S", "A", 1}},
                 {"#endif without #ifdef", "#ifdef still open"}}),
    [](const testing::TestParamInfo<ZoneCase>& info) { return info.param.name; });

TEST(IncludePlaces, ComeFromTheCheckedPath) {
    EXPECT_EQ(arenaPlaceOf("/srv/zone/arenas/duel/arena.conf"), (ArenaPlace{"/srv/zone", "duel"}));
    EXPECT_EQ(arenaPlaceOf("/srv/zone/conf/ships/warbird.conf"), (ArenaPlace{"/srv/zone", ""}));
    EXPECT_EQ(arenaPlaceOf("/srv/zone/arena.conf"), (ArenaPlace{"/srv/zone", ""}));
    EXPECT_EQ(arenaPlaceOf("zone/arenas/a/arena.conf"), (ArenaPlace{"zone", "a"}));
    EXPECT_EQ(arenaPlaceOf("arena.conf"), (ArenaPlace{".", ""}));
#ifdef _WIN32
    // '\\' separates too, and the zone keeps the separator it was given.
    EXPECT_EQ(arenaPlaceOf("C:\\srv\\zone\\arenas\\duel\\arena.conf"),
              (ArenaPlace{"C:\\srv\\zone", "duel"}));
    EXPECT_EQ(arenaPlaceOf("\\srv\\zone\\conf\\ships\\warbird.conf"),
              (ArenaPlace{"\\srv\\zone", ""}));
    EXPECT_EQ(arenaPlaceOf("zone\\arenas\\a/arena.conf"), (ArenaPlace{"zone", "a"}));
#else
    // '\\' is a name's own byte here.
    EXPECT_EQ(arenaPlaceOf("zone\\arenas\\a/arena.conf"), (ArenaPlace{"zone\\arenas\\a", ""}));
#endif
    // Relative paths stay relative, going up where they must.
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "z/arenas/a");
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path() / "z/arenas/a");
    const ArenaPlace inside = arenaPlaceOf("arena.conf");
    std::filesystem::current_path(here);
    EXPECT_EQ(inside, (ArenaPlace{"../..", "a"}));
}

TEST(IncludeHostile, CyclesEndAndSpecialFilesAreSkippedWithoutBlocking) {
#ifdef _WIN32
    GTEST_SKIP() << "no FIFOs, Unix sockets, modes or free symbolic links on Windows";
#else
    TempDir zone;
    const std::string checked =
        zone.write("arenas/a/arena.conf", "[S]\n#include self.conf\n#include fifo\n#include sock\n"
                                          "#include dir\n#include dangling\n#include locked\n");
    zone.write("self.conf", "#include self.conf\nA=1\n");
    zone.fifo("fifo");
    zone.socket("sock");
    std::filesystem::create_directories(zone.path() / "dir");
    std::filesystem::create_symlink("nowhere", zone.path() / "dangling");
    const std::string locked = zone.write("locked", "B=1\n");
    ::chmod(locked.c_str(), 0);
    const ArenaLoad load = loadArena(checked, std::nullopt, arenaPlaceOf(checked));
    EXPECT_EQ(load.settings->read("S", "A").value, 1);
    std::vector<std::string> texts;
    for (const Warning& w : load.settings->warnings())
        texts.push_back(w.text);
    ASSERT_GE(texts.size(), 5u);
    EXPECT_NE(texts[0].find("already 50 includes deep"), std::string::npos) << texts[0];
    EXPECT_NE(texts[1].find("is not a regular file"), std::string::npos) << texts[1];
    EXPECT_NE(texts[2].find("is not a regular file"), std::string::npos) << texts[2];
    EXPECT_NE(texts[3].find("\"dir\" not found"), std::string::npos) << texts[3];
    EXPECT_NE(texts[4].find("\"dangling\" not found"), std::string::npos) << texts[4];
    if (::geteuid() != 0) {
        ASSERT_EQ(texts.size(), 6u);
        EXPECT_NE(texts[5].find("cannot be read"), std::string::npos) << texts[5];
    }
#endif
}

TEST(IncludeHostile, TheCheckedFileMustBeRegular) {
    TempDir zone;
#ifndef _WIN32
    EXPECT_EQ(loadArena(zone.fifo("a.conf"), std::nullopt, {".", ""}).status,
              FileStatus::NotRegular);
#endif
    std::filesystem::create_directories(zone.path() / "b.conf");
    EXPECT_EQ(loadArena(utf8Text(zone.path() / "b.conf"), std::nullopt, {".", ""}).status,
              FileStatus::NotRegular);
    EXPECT_EQ(loadArena((zone.path() / "none.conf").string(), std::nullopt, {".", ""}).status,
              FileStatus::Missing);
}

} // namespace
} // namespace korvane
