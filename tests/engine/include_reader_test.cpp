// The include reader against the servers' loading rules: values, and the
// cases of a zone's files with what it warns about.
#include "include_reader.h"
#include "test_files.h"
#include "zone_warnings.h"

#include <gtest/gtest.h>

// GCC 12 at -O3 (Release builds) takes a string put in front of another in
// the cases' table for an overlapping copy (-Wrestrict): a false alarm, in
// builds that make warnings errors.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

namespace korvane {
namespace {

using test::TempDir;

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
                    ValueCase{"PastTwoToThe62", "4611686018427387905", 1},
                    ValueCase{"JustBelowTwoToThe63", "9223372036854775800", -8},
                    ValueCase{"DoubleQuoted", "\"12\"", 0}, ValueCase{"SingleQuoted", "'12'", 0},
                    ValueCase{"TextAfterNumber", "5 ; five", 5}, ValueCase{"Dollar", "$FIVE", 0},
                    ValueCase{"Empty", "", 0}),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

// What a query expects: a value set at a file and line, or nothing. A set
// value cannot be expected without its place.
struct Expect {
    std::string section;
    std::string key;
    std::optional<std::int32_t> value;
    std::string file;
    std::size_t line;
    Expect(std::string s, std::string k, std::int32_t v, std::string f, std::size_t l)
        : section(std::move(s)), key(std::move(k)), value(v), file(std::move(f)), line(l) {}
};

Expect absent(std::string section, std::string key) {
    Expect e(std::move(section), std::move(key), 0, "", 0);
    e.value = std::nullopt;
    return e;
}

struct ZoneCase {
    const char* name;
    // Files under the zone folder; the first is the checked one. "@ZONE@" in
    // their bytes stands for the zone folder's path.
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<Expect> expect;
    // Each warning whole, as "FILE:LINE: TEXT" with the zone folder left out.
    std::vector<std::string> warnings = {};
    IncludeLimits limits = {};
};

// Loads the case's zone whole, then keeping only the settings it asks about
// (which passes over the lines of other sections by the fast path): both
// must find each expected value at its place and warn the same.
void readZone(const ZoneCase& c) {
    TempDir zone;
    const std::string folder = zone.path().string();
    for (const auto& [name, bytes] : c.files)
        zone.write(name, replaced(bytes, "@ZONE@", folder));
    const std::string checked = (zone.path() / c.files.front().first).string();
    std::vector<std::string_view> sections, keys;
    for (const Expect& e : c.expect) {
        sections.push_back(e.section);
        keys.push_back(e.key);
    }
    const SettingNames wanted{sections, keys};
    for (const SettingNames* kept : {static_cast<const SettingNames*>(nullptr), &wanted}) {
        SCOPED_TRACE(kept ? "keeping only these settings" : "keeping every setting");
        const ArenaLoad load =
            loadArena(checked, std::nullopt, arenaPlaceOf(checked), kept, c.limits);
        ASSERT_EQ(load.status, FileStatus::Ok);
        for (const Expect& e : c.expect) {
            const Setting s = load.settings->read(e.section, e.key);
            const std::string query = e.section + ":" + e.key;
            if (!e.value) {
                EXPECT_EQ(s.where, Setting::kNowhere) << query << " is set";
                continue;
            }
            ASSERT_NE(s.where, Setting::kNowhere) << query << " is not set";
            EXPECT_EQ(s.value, *e.value) << query;
            const Location at = load.settings->locate(s.where);
            // As paths: on Windows an absolute #include name may join its
            // parts with either separator.
            EXPECT_EQ(std::filesystem::path(at.file), zone.path() / e.file) << query;
            EXPECT_EQ(at.line, e.line) << query;
        }
        EXPECT_EQ(shownWarnings(load.settings->warnings(), folder), c.warnings);
    }
}

class IncludeZones : public testing::TestWithParam<ZoneCase> {};

TEST_P(IncludeZones, ReadAsTheServerLoadsThem) {
#ifdef _WIN32
    if (std::string_view(GetParam().name) == "IncludeNameQuotes")
        GTEST_SKIP() << "no '<' or '>' in Windows file names";
#endif
    readZone(GetParam());
}

std::string caseName(const testing::TestParamInfo<ZoneCase>& info) {
    return info.param.name;
}

constexpr const char* kArena = "arenas/a/arena.conf";

// The cases of the loading rules, then the shapes where an earlier reading
// disagreed with the servers, then the rest of the rules' corners.
INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeZones,
    testing::Values(
        ZoneCase{"LaterWins", {{kArena, "[S]\nA=1\nA=2\n"}}, {{"S", "A", 2, kArena, 3}}},
        ZoneCase{"Reopened",
                 {{kArena, "[S]\nA=1\n[T]\nB=1\n[S]\nA=3\n"}},
                 {{"S", "A", 3, kArena, 6}, {"T", "B", 1, kArena, 4}}},
        // Kept alone, S follows lines of T that its own must not be taken for.
        ZoneCase{"KeptSectionAfterOneNotKept",
                 {{kArena, "[T]\nB=1\nB=2\n[S]\nA=3\nC=4\nD=5\nE=6\nF=7\n"}},
                 {{"S", "A", 3, kArena, 5}, {"S", "F", 7, kArena, 9}}},
        ZoneCase{"QualifiedKey",
                 {{kArena, "[T]\nS:A=4\nB=5\n"}},
                 {{"S", "A", 4, kArena, 2}, {"T", "B", 5, kArena, 3}, absent("T", "S:A")}},
        ZoneCase{"NoEqualsSetsEmpty", {{kArena, "[S]\nA=5\nA\n"}}, {{"S", "A", 0, kArena, 3}}},
        ZoneCase{"NoEqualsWithColon",
                 {{kArena, "T:A\n[S]\nT:B\nT:C=5\n"}},
                 {{"T", "A", 0, kArena, 1},
                  absent("T", "B"),
                  {"T", "C", 5, kArena, 4},
                  {"S", "T:B", 0, kArena, 3}}},
        ZoneCase{"LongKey",
                 {{kArena, "[S]\nA=2\nA" + std::string(62, ' ') + "x\n"}},
                 {{"S", "A", 2, kArena, 2}, {"S", "A" + std::string(62, ' '), 0, kArena, 3}}},
        ZoneCase{"DefinedNamesIgnoreCase",
                 {{kArena, "#define league\n[S]\n#ifdef LEAGUE\nA=1\n#endif\n"}},
                 {{"S", "A", 1, kArena, 4}}},
        ZoneCase{"UndefNamesItsWholeArgument",
                 {{kArena, "#define X\n#undef X Y\n[S]\n#ifdef X\nA=1\n#endif\n"}},
                 {{"S", "A", 1, kArena, 5}}},
        ZoneCase{"UndefTrimmedAndCaseIgnored",
                 {{kArena, "#define X Y\n#undef x \t\n[S]\n#ifdef X\nA=1\n#endif\nB=2\n"}},
                 {absent("S", "A"), {"S", "B", 2, kArena, 7}}},
        ZoneCase{"NoArenaSearchesTheDefaultArena",
                 {{"conf/main.conf", "#include s\n"}, {"arenas/(default)/s", "[S]\nA=1\n"}},
                 {{"S", "A", 1, "arenas/(default)/s", 2}}},
        ZoneCase{"Continuation",
                 {{kArena, "[S]\nA=1\\\n2\n;x\\\nB=3\nC=4\n"}},
                 {{"S", "A", 12, kArena, 2}, absent("S", "B"), {"S", "C", 4, kArena, 6}}},
        ZoneCase{"LoneCr",
                 {{kArena, "[S]\nA=1\rB=2\nC=3\n"}},
                 {{"S", "A", 1, kArena, 2}, absent("S", "B"), {"S", "C", 3, kArena, 4}},
                 {"arenas/a/arena.conf:2: a CR without an LF after it: the server reads on to "
                  "the next LF and drops everything from the CR on"}},
        ZoneCase{"ByteOrderMark",
                 {{kArena, "\xEF\xBB\xBF[S]\nA=1\n[T]\nB=2\n"}},
                 {absent("S", "A"), {"T", "B", 2, kArena, 4}},
                 {"arenas/a/arena.conf:1: byte order mark: the server reads it as part of the "
                  "first line",
                  "arenas/a/arena.conf:2: value not in any section: ignored"}},
        ZoneCase{"Ifdef",
                 {{kArena, "#define X\n[S]\n#ifdef X\nA=1\n#else\nA=2\n#endif\n"}},
                 {{"S", "A", 1, kArena, 4}}},
        ZoneCase{
            "NestedFalse",
            {{kArena, "[S]\n#ifdef X\n#ifdef Y\nA=1\n#else\nA=2\n#endif\n#else\nA=3\n#endif\n"}},
            {{"S", "A", 3, kArena, 9}}},
        ZoneCase{"DoubleElse",
                 {{kArena, "[S]\n#ifdef X\nA=1\n#else\nA=2\n#else\nA=3\n#endif\n"}},
                 {{"S", "A", 3, kArena, 7}},
                 {"arenas/a/arena.conf:6: second #else for one #ifdef: ignored"}},
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
                 {{"S", "A", 2, "conf/n", 2}}},
        ZoneCase{
            "SearchOrderThenZoneFolder",
            {{kArena, "#include n\n"}, {"n", "[S]\nA=3\n"}, {"arenas/(default)/n", "[S]\nA=4\n"}},
            {{"S", "A", 3, "n", 2}}},
        ZoneCase{"SearchOrderThenDefaultArena",
                 {{kArena, "#include n\n"}, {"arenas/(default)/n", "[S]\nA=4\n"}},
                 {{"S", "A", 4, "arenas/(default)/n", 2}}},
        ZoneCase{"SearchSkipsFolders",
                 {{kArena, "#include n\n"}, {"arenas/a/n/x", ""}, {"conf/n", "[S]\nA=2\n"}},
                 {{"S", "A", 2, "conf/n", 2}}},
        ZoneCase{"AbsoluteNameStandsForItself",
                 {{kArena, "[S]\n#include @ZONE@/abs\n"}, {"abs", "A=1\n"}},
                 {{"S", "A", 1, "abs", 1}}},
        ZoneCase{"Fragment",
                 {{kArena, "[S]\n#include frag\nB=2\n"}, {"frag", "A=1\n"}},
                 {{"S", "A", 1, "frag", 1}, {"S", "B", 2, kArena, 3}}},
        ZoneCase{"HeaderInInclude",
                 {{kArena, "[S]\n#include frag\nB=2\n"}, {"frag", "[T]\nA=1\n"}},
                 {{"T", "A", 1, "frag", 2}, {"T", "B", 2, kArena, 3}, absent("S", "B")}},
        ZoneCase{"Override",
                 {{kArena, "#include n\n[S]\nA=9\n"}, {"n", "[S]\nA=1\nB=1\n"}},
                 {{"S", "A", 9, kArena, 3}, {"S", "B", 1, "n", 3}}},
        ZoneCase{"IncludeInFalseBranch",
                 {{kArena, "#ifdef X\n#include d\n#endif\n"}, {"d", "[S]\nA=1\n"}},
                 {absent("S", "A")}},
        ZoneCase{"JoinAcrossFiles",
                 {{kArena, "[S]\n#include j\nA=1\nB=2\n"}, {"j", "C=3\n; note \\\n"}},
                 {{"S", "C", 3, "j", 1}, absent("S", "A"), {"S", "B", 2, kArena, 4}}},
        ZoneCase{"MissingInclude",
                 {{kArena, "[S]\nA=1\n#include nothere\nB=2\n"}},
                 {{"S", "A", 1, kArena, 2}, {"S", "B", 2, kArena, 4}},
                 {"arenas/a/arena.conf:3: #include \"nothere\" not found (no arenas/a/nothere, "
                  "conf/nothere, nothere or arenas/(default)/nothere): its settings are missing"}},
        // Under [Spider], "Warbird:InitialEnergy" is Spider's key of that name.
        ZoneCase{"LineWithoutEqualsStaysInItsSection",
                 {{kArena, "[Warbird]\nInitialEnergy=1000\n[Spider]\nWarbird:InitialEnergy\n"}},
                 {{"Warbird", "InitialEnergy", 1000, kArena, 2},
                  {"Spider", "Warbird:InitialEnergy", 0, kArena, 4}}},
        ZoneCase{
            "KeyCutAt63IsNotTrimmed",
            {{kArena, "[S]\nInitialEnergy=1000\nInitialEnergy" + std::string(50, ' ') + "x\n"}},
            {{"S", "InitialEnergy", 1000, kArena, 2},
             {"S", "InitialEnergy" + std::string(50, ' '), 0, kArena, 3}}},
        ZoneCase{"KeyWithoutEqualsKeepsEscapedBlanks",
                 {{kArena, "[S]\nA=5\nA\\ \\ \nB\\ =7\nC \t\n"}},
                 {{"S", "A", 5, kArena, 2},
                  {"S", "A ", 0, kArena, 3},
                  {"S", "B", 7, kArena, 4},
                  {"S", "C", 0, kArena, 5}}},
        // A joined line at the top of an included file, included under a
        // section not kept.
        ZoneCase{"JoinedLineAtTheTopOfAnInclude",
                 {{kArena, "[Warbird]\nMaximumEnergy=1500\n[Misc]\n#include s\n"},
                  {"arenas/a/s", "Warbird:InitialEnergy=\\\n2000\n"}},
                 {{"Warbird", "InitialEnergy", 2000, "arenas/a/s", 1},
                  {"Warbird", "MaximumEnergy", 1500, kArena, 2}}},
        ZoneCase{"JoinOpenAtTheEnd",
                 {{kArena, "[S]\nA=1\nA=5\\\n"}},
                 {{"S", "A", 1, kArena, 2}},
                 {"arenas/a/arena.conf:3: the last line ends with \\ and joins nothing: it is "
                  "not read"}},
        ZoneCase{"JoinOpenAtTheEndOfTheLastInclude",
                 {{kArena, "[S]\nB=2\n#include j\n"}, {"j", "A=5\\\n"}},
                 {absent("S", "A"), {"S", "B", 2, kArena, 2}},
                 {"j:1: the last line ends with \\ and joins nothing: it is not read"}},
        ZoneCase{"IncludeNameQuotes",
                 {{kArena, "#include >f<\n#include <g>\n#include \"h\"\n"},
                  {">f<", "[S]\nA=1\n"},
                  {"f", "[S]\nA=7\n"},
                  {"g", "B=2\n"},
                  {"h", "C=3\n"}},
                 {{"S", "A", 1, ">f<", 2}, {"S", "B", 2, "g", 1}, {"S", "C", 3, "h", 1}}},
        ZoneCase{"EmptySectionNames",
                 {{kArena, "[]\nA=1\n[\nB=2\n[ ]\nC=3\n"}},
                 {{"", "A", 1, kArena, 2}, {"", "B", 2, kArena, 4}, {"", "C", 3, kArena, 6}}},
        ZoneCase{"BareDefineDefinesTheEmptyName",
                 {{kArena, "#define\n[S]\n#ifdef\nA=1\n#endif\n#ifdef ( )\nB=2\n#endif\n"}},
                 {{"S", "A", 1, kArena, 4}, {"S", "B", 2, kArena, 7}}},
        ZoneCase{"DirectiveWordsAndOffsets",
                 {{kArena, "#defineX Y\n#ifdef Y\n[S]\n#endif\n#includeq\n#elsewhere\nA=1\n"},
                  {"q", "B=2\n"}},
                 {{"S", "A", 1, kArena, 7}, {"S", "B", 2, "q", 1}},
                 {"arenas/a/arena.conf:6: #else without #ifdef"}},
        ZoneCase{"IndentedHashIsAKey",
                 {{kArena, "[S]\n  #include q\n"}, {"q", "B=2\n"}},
                 {{"S", "#include q", 0, kArena, 2}, absent("S", "B")}},
        ZoneCase{"HeadersAndEscapes",
                 {{kArena, "[[ S ]]\nA\\=B=1\n[V] x\nC=\\5\n=7\n"}},
                 {{"S", "A=B", 1, kArena, 2}, {"V] x", "C", 5, kArena, 4}, absent("V] x", "")}},
        ZoneCase{"StrayEndifAndOpenIfdef",
                 {{kArena, "#endif\n[S]\n#ifndef X\nA=1\n"}},
                 {{"S", "A", 1, kArena, 4}},
                 {"arenas/a/arena.conf:1: #endif without #ifdef",
                  "arenas/a/arena.conf:3: #ifdef still open when everything has been read"}}),
    caseName);

// A kept setting after a section that is not kept: a load keeping only some
// settings passes over that section's lines by the dozen, and must stop
// wherever a line may matter.
const std::string kNotKept = "[X]\nx=1\ny=2\nz=3\n"; // lines 1 to 4
const std::string kKey63(63, 'K');

INSTANTIATE_TEST_SUITE_P(
    KeptAfterNotKept, IncludeZones,
    testing::Values(
        ZoneCase{"Include",
                 {{kArena, kNotKept + "#include k\nw=4\nv=5\n"}, {"k", "[S]\nA=1\n"}},
                 {{"S", "A", 1, "k", 2}}},
        ZoneCase{"Define",
                 {{kArena, kNotKept + "#define D\nw=4\n[S]\n#ifdef D\nA=1\n#endif\n"}},
                 {{"S", "A", 1, kArena, 9}}},
        ZoneCase{"Ifndef",
                 {{kArena, kNotKept + "#ifndef E\n[S]\nA=1\n#else\nA=2\n#endif\n"}},
                 {{"S", "A", 1, kArena, 7}}},
        ZoneCase{"Else",
                 {{kArena, kNotKept + "#ifdef E\nw=4\n#else\nv=5\nu=6\n[S]\nA=1\n#endif\n"}},
                 {{"S", "A", 1, kArena, 11}}},
        ZoneCase{"IndentedHeader",
                 {{kArena, kNotKept + "  [S]\nA=1\nB=2\n"}},
                 {{"S", "A", 1, kArena, 6}}},
        ZoneCase{"TabBeforeHeader",
                 {{kArena, kNotKept + "\t[S]\nA=1\nB=2\n"}},
                 {{"S", "A", 1, kArena, 6}}},
        ZoneCase{
            "QualifiedKey", {{kArena, kNotKept + "S:A=1\nw=4\nv=5\n"}}, {{"S", "A", 1, kArena, 5}}},
        ZoneCase{"JoinThenHeader",
                 {{kArena, kNotKept + "w=4\\\n[S]\nA=1\nS:B=2\nv=5\n"}},
                 {absent("S", "A"), {"S", "B", 2, kArena, 8}}},
        ZoneCase{"Nul",
                 {{kArena, kNotKept + std::string("w=4\0v\n[S]\nA=1\n", 13)}},
                 {{"S", "A", 1, kArena, 7}},
                 {"arenas/a/arena.conf:5: NUL byte: the server drops the rest of the line"}},
        ZoneCase{"LoneCr",
                 {{kArena, kNotKept + "w=4\rv=5\n[S]\nA=1\n"}},
                 {{"S", "A", 1, kArena, 8}},
                 {"arenas/a/arena.conf:5: a CR without an LF after it: the server reads on to "
                  "the next LF and drops everything from the CR on"}},
        ZoneCase{"CrLf",
                 {{kArena, kNotKept + "w=4\r\nv=5\r\n[S]\r\nA=1\r\n"}},
                 {{"S", "A", 1, kArena, 8}}},
        ZoneCase{"Piece4095",
                 {{kArena, kNotKept + std::string(4095, 'w') + "[S]\nA=1\n"}},
                 {{"S", "A", 1, kArena, 6}},
                 {"arenas/a/arena.conf:5: line longer than 4095 bytes: the server reads the "
                  "rest as a line of its own"}},
        ZoneCase{"Line4094",
                 {{kArena, kNotKept + std::string(4094, 'w') + "\nv=5\n[S]\nA=1\n"}},
                 {{"S", "A", 1, kArena, 8}}},
        ZoneCase{"Key63",
                 {{kArena, kNotKept + "[S]\n" + kKey63 + "=5\nw=4\n"}},
                 {{"S", kKey63, 5, kArena, 6}}},
        ZoneCase{"Key64IsCut",
                 {{kArena, kNotKept + "[S]\n" + kKey63 + "L=5\nw=4\n"}},
                 {{"S", kKey63, 0, kArena, 6}, absent("S", kKey63 + "L")}},
        ZoneCase{
            "Section64IsCut",
            {{kArena, kNotKept + "[" + std::string(64, 'N') + "Z]\nA=1\n"}},
            {{std::string(64, 'N'), "A", 1, kArena, 6}, absent(std::string(64, 'N') + "Z", "A")}}),
    caseName);

// The limits that end cycles and hostile files, each with its warning.
INSTANTIATE_TEST_SUITE_P(
    Limits, IncludeZones,
    testing::Values(
        ZoneCase{"Depth",
                 {{kArena, "#include n1\n"},
                  {"n1", "#include n2\n"},
                  {"n2", "[S]\nA=2\n#include n3\n"},
                  {"n3", "A=3\n"}},
                 {{"S", "A", 2, "n2", 2}},
                 {"n2:3: #include \"n3\" not followed: already 2 includes deep (an include "
                  "cycle?)"},
                 {.maxDepth = 2}},
        ZoneCase{"IncludedFiles",
                 {{kArena, "[S]\n#include i\n#include i\n#include i\nB=2\n"}, {"i", "A=1\n"}},
                 {{"S", "A", 1, "i", 1}, {"S", "B", 2, kArena, 5}},
                 {"arenas/a/arena.conf:4: #include \"i\" not followed: 2 included files read in "
                  "one load (an include cycle?)"},
                 {.maxIncludes = 2}},
        ZoneCase{"Bytes",
                 {{kArena, "[S]\nA=1\nB=2\n"}},
                 {{"S", "A", 1, kArena, 2}, absent("S", "B")},
                 {"arenas/a/arena.conf:3: stopped reading: more than 10 bytes read in one load "
                  "(an include cycle?)"},
                 {.maxBytes = 10}},
        ZoneCase{"DefinedNames",
                 {{kArena, "#define A\n#define B\n#define C\n#define a\n[S]\n#ifdef C\nX=1\n"
                           "#endif\n#ifdef b\nY=2\n#endif\n"}},
                 {absent("S", "X"), {"S", "Y", 2, kArena, 10}},
                 {"arenas/a/arena.conf:3: more than 2 names defined: the rest are ignored"},
                 {.maxDefines = 2}},
        // An #undef gives its name's bytes back.
        ZoneCase{"DefinedBytes",
                 {{kArena, "#define ABCD\n#define efgh\n#define I\n#undef abcd\n#define J\n[S]\n"
                           "#ifdef I\nX=1\n#endif\n#ifdef J\nY=2\n#endif\n"}},
                 {absent("S", "X"), {"S", "Y", 2, kArena, 11}},
                 {"arenas/a/arena.conf:3: more than 8 bytes of defined names: the rest are "
                  "ignored"},
                 {.maxDefinedBytes = 8}},
        ZoneCase{"Warnings",
                 {{kArena, "#endif\n#endif\n#endif\n[S]\nA=1\n"}},
                 {{"S", "A", 1, kArena, 5}},
                 {"arenas/a/arena.conf:1: #endif without #ifdef", "2 more warnings not shown"},
                 {.maxWarnings = 1}},
        // Only the first open #ifdefs' places are kept; the rest are counted.
        ZoneCase{"OpenIfdefs",
                 {{kArena, "[S]\n#ifndef A\n#ifdef B\n#endif\n#ifndef C\n#ifndef D\nA=1\n"}},
                 {{"S", "A", 1, kArena, 7}},
                 {"arenas/a/arena.conf:2: #ifdef still open when everything has been read",
                  "arenas/a/arena.conf:5: #ifdef still open when everything has been read",
                  "1 more warnings not shown"},
                 {.maxWarnings = 2}}),
    caseName);

} // namespace
} // namespace korvane
