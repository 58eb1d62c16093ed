// korvane-check on a zone folder: every arena in one run, each reported as
// checking its file alone reports it, whatever the run kept of the files
// the arenas share; the closing numbers; and --strict.
#include "run_process.h"
#include "test_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace korvane::test {
namespace {

using nlohmann::json;

// The eight ships with every rule kept and nothing to find.
std::string cleanShips() {
    std::string ships;
    for (const char* ship :
         {"Warbird", "Javelin", "Spider", "Leviathan", "Terrier", "Weasel", "Lancaster", "Shark"}) {
        ships += std::string("[") + ship +
                 "]\nInitialRotation=1\nMaximumRotation=2\nInitialSpeed=1\nMaximumSpeed=2\n"
                 "InitialThrust=1\nMaximumThrust=2\nInitialRecharge=1\nMaximumRecharge=2\n"
                 "InitialEnergy=1\nMaximumEnergy=2\nSuperTime=1\nShieldsTime=1\n";
    }
    return ships;
}

std::vector<json> jsonLines(const std::string& out) {
    std::vector<json> objects;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        objects.push_back(json::parse(out.substr(start, end - start)));
    return objects;
}

struct ZoneRow {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; // under the zone folder
    std::vector<std::string> arenas;                        // checked, in order
    std::vector<int> errors;                                // of each arena
};

class ZoneRun : public testing::TestWithParam<ZoneRow> {};

// Each arena's object from the zone run is the object of checking its file
// alone (with its zone and arena named where its file is not its own).
TEST_P(ZoneRun, ReportsEachArenaAsCheckingItAlone) {
    TempDir zone;
    for (const auto& [name, bytes] : GetParam().files)
        zone.write(name, bytes);
    const std::string z = zone.path().string();
    const auto run = runChecker({"--format=json", z});
    std::vector<json> objects = jsonLines(run.out);
    ASSERT_EQ(objects.size(), GetParam().arenas.size() + 1) << run.out << run.err;

    int total = 0, failing = 0;
    for (std::size_t i = 0; i < GetParam().arenas.size(); ++i) {
        json& object = objects[i];
        const std::string arena = GetParam().arenas[i];
        EXPECT_EQ(object["arena"], arena);
        EXPECT_EQ(object["errors"], GetParam().errors[i]) << arena;
        total += GetParam().errors[i];
        failing += GetParam().errors[i] > 0 ? 1 : 0;
        const std::string file = object["file"];
        object.erase("arena");
        const auto alone = runChecker({"--format=json", "--zone", z, "--arena", arena, file});
        EXPECT_EQ(object, json::parse(alone.out)) << arena;
    }
    EXPECT_EQ(objects.back(), json({{"zone", z},
                                    {"arenas", GetParam().arenas.size()},
                                    {"arenas_with_errors", failing},
                                    {"errors", total}}));
    EXPECT_EQ(run.status, failing > 0 ? 1 : 0);
}

const std::string kShips = cleanShips();

INSTANTIATE_TEST_SUITE_P(
    Zones, ZoneRun,
    testing::Values(
        // One file for all, one arena overriding it.
        ZoneRow{"Shared",
                {{"conf/ships.conf", kShips},
                 {"arenas/a/arena.conf", "#include ships.conf\n"},
                 {"arenas/b/arena.conf", "#include ships.conf\n[Shark]\nSuperTime=0\n"},
                 {"arenas/c/arena.conf", "#include ships.conf\n"}},
                {"a", "b", "c"},
                {0, 1, 0}},
        // The shared file's own include is found in b's folder for b.
        ZoneRow{"NestedIncludeFoundPerArena",
                {{"conf/ships.conf", kShips + "#include tune.conf\n"},
                 {"conf/tune.conf", "[Warbird]\nSuperTime=2\n"},
                 {"arenas/b/tune.conf", "[Warbird]\nSuperTime=0\n"},
                 {"arenas/a/arena.conf", "#include ships.conf\n"},
                 {"arenas/b/arena.conf", "#include ships.conf\n"},
                 {"arenas/c/arena.conf", "#include ships.conf\n"}},
                {"a", "b", "c"},
                {0, 1, 0}},
        // A fragment without a header sets the section it is included in.
        ZoneRow{"SectionAtTheInclude",
                {{"conf/ships.conf", kShips},
                 {"conf/frag.conf", "InitialEnergy=5\nMaximumEnergy=5\n"},
                 {"arenas/a/arena.conf", "#include ships.conf\n[Warbird]\n#include frag.conf\n"},
                 {"arenas/b/arena.conf", "#include ships.conf\n[Javelin]\n#include frag.conf\n"},
                 {"arenas/c/arena.conf",
                  "#include ships.conf\n[Javelin]\n#include frag.conf\n#include frag.conf\n"}},
                {"a", "b", "c"},
                {1, 1, 1}},
        // What is defined decides what a file sets, and what it defines
        // holds after it.
        ZoneRow{
            "Defines",
            {{"conf/ships.conf", kShips},
             {"conf/league.conf", "#ifdef LEAGUE\n[Spider]\nSuperTime=0\n#endif\n#define SEEN\n"},
             {"arenas/a/arena.conf", "#include ships.conf\n#include league.conf\n"},
             {"arenas/b/arena.conf", "#include ships.conf\n#define LEAGUE\n#include league.conf\n"},
             {"arenas/c/arena.conf", "#include ships.conf\n#include league.conf\n#ifdef "
                                     "SEEN\n[Shark]\nShieldsTime=0\n#endif\n"}},
            {"a", "b", "c"},
            {0, 1, 1}},
        // What reaches out of a file: a join that swallows the includer's
        // next line, an #endif that closes the includer's #ifdef, warnings.
        ZoneRow{"LeaksAndWarnings",
                {{"conf/ships.conf", kShips},
                 {"conf/join.conf", "; note \\"},
                 {"conf/close.conf", "#endif\n#include gone.conf\n"},
                 {"arenas/a/arena.conf",
                  "#include ships.conf\n#include join.conf\n[Weasel]\nSuperTime=0\n"},
                 {"arenas/b/arena.conf", "#include ships.conf\n#include join.conf\nSuperTime=0\n"
                                         "[Weasel]\nSuperTime=0\n"},
                 {"arenas/c/arena.conf", "#include ships.conf\n#ifndef NOPE\n#include "
                                         "close.conf\n#endif\n#ifndef NOPE\n#include close.conf\n"
                                         "#else\n[Weasel]\nSuperTime=0\n#endif\n"}},
                {"a", "b", "c"},
                {1, 1, 1}},
        // Arenas without a file of their own read the zone's, with their own
        // folder searched first; the default arena is one of them.
        ZoneRow{"BorrowedArenaFile",
                {{"conf/ships.conf", kShips},
                 {"conf/arena.conf", "#include ships.conf\n#include tune.conf\n"},
                 {"conf/tune.conf", ""},
                 {"arenas/pub/tune.conf", "[Lancaster]\nSuperTime=0\n"},
                 {"arenas/duel/arena.conf", "#include ships.conf\n"},
                 {"arenas/.hidden/arena.conf", "[Shark]\nSuperTime=0\n"}},
                {"(default)", "duel", "pub"},
                {0, 0, 1}}),
    [](const testing::TestParamInfo<ZoneRow>& info) { return info.param.name; });

TEST(ZoneText, HeadsEachArenaAndClosesWithTheZone) {
    TempDir zone;
    zone.write("conf/ships.conf", kShips);
    zone.write("arenas/a/arena.conf", "#include ships.conf\n[Shark]\nSuperTime=0\n");
    zone.write("arenas/(default)/arena.conf", "#include ships.conf\n");
    zone.write("arenas/b/readme.txt", "");
    const std::string z = zone.path().string();
    const auto run = runChecker({z});
    const std::string ok = "Checking settings...\n"
                           "Checking Warbird...\nWarbird is OK\n\nChecking Javelin...\nJavelin is "
                           "OK\n\nChecking Spider...\nSpider is OK\n\nChecking Leviathan...\n"
                           "Leviathan is OK\n\nChecking Terrier...\nTerrier is OK\n\n"
                           "Checking Weasel...\nWeasel is OK\n\nChecking Lancaster...\nLancaster "
                           "is OK\n\nChecking Shark...\n";
    EXPECT_EQ(run.out, "==> " + z + "/arenas/(default)/arena.conf <==\n" + ok +
                           "Shark is OK\n\nThis CFG file is OK.\n"
                           "\n==> " +
                           z + "/arenas/a/arena.conf <==\n" + ok +
                           "SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]\n"
                           "Number of errors: 1.\n\nTotal errors: 1.\n"
                           "\n==> " +
                           z + "/arenas/(default)/arena.conf (arena b) <==\n" + ok +
                           "Shark is OK\n\nThis CFG file is OK.\n"
                           "\nArenas checked: 3, with errors: 1, total errors: 1.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 1);

    const auto gcc = runChecker({"--format=gcc", z});
    EXPECT_EQ(gcc.out, z + "/arenas/a/arena.conf:3: error: SuperTime is equal to 0. [Client "
                           "crashes. Make it 1 instead of 0.]\n"
                           "Arenas checked: 3, with errors: 1, total errors: 1.\n");
}

TEST(ZoneText, WhatCannotBeCheckedIsTrouble) {
    TempDir zone;
    const std::string z = zone.path().string();
    zone.write("arenas/a/notes.txt", "");
    // A zone where no arena has a file checks nothing: that is no success.
    const auto empty = runChecker({z});
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err,
              "korvane-check: " + z + ": a zone folder without arenas (no arena.conf found)\n");
    // A folder without arenas/ is no zone.
    EXPECT_EQ(runChecker({z + "/arenas"}).err,
              "korvane-check: " + z + "/arenas: not a regular file\n");
    // A zone names its own zone and arenas.
    zone.write("arenas/a/arena.conf", "");
    const auto both = runChecker({"--zone", z, z});
    EXPECT_EQ(both.status, 2);
    EXPECT_TRUE(both.err.starts_with("korvane-check: --zone and --arena are for a FILE"))
        << both.err;
    // One arena whose file is a FIFO: the others are still checked.
    zone.write("arenas/b/arena.conf", "");
    std::filesystem::create_directories(zone.path() / "arenas/c");
    ASSERT_NE(zone.fifo("arenas/c/arena.conf"), "");
    const auto fifo = runChecker({z});
    EXPECT_EQ(fifo.status, 2);
    EXPECT_EQ(fifo.err, "korvane-check: " + z + "/arenas/c/arena.conf: not a regular file\n");
    EXPECT_TRUE(fifo.out.ends_with("\nArenas checked: 2, with errors: 2, total errors: 112.\n"))
        << fifo.out;
}

// An entry of arenas/ that cannot be told a folder or not may be an arena
// the run did not check: it is named, not dropped.
TEST(ZoneText, AnEntryThatCannotBeListedIsTrouble) {
    SKIP_UNDER_WINE("a link that leads to itself");
    TempDir zone;
    const std::string z = zone.path().string();
    zone.write("arenas/a/arena.conf", cleanShips());
    std::filesystem::create_symlink("loop", zone.path() / "arenas/loop");
    const auto run = runChecker({"--format=gcc", z});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "korvane-check: " + z + "/arenas/loop: " + std::strerror(ELOOP) +
                           ": not checked as an arena\n");
    EXPECT_EQ(run.out, "Arenas checked: 1, with errors: 0, total errors: 0.\n");
}

struct StrictRow {
    const char* name;
    std::vector<std::string> args; // before the file
    const char* arena;             // the arena file
    int status;
    const char* err; // standard error, @ standing for the arena file
};

class Strict : public testing::TestWithParam<StrictRow> {};

TEST_P(Strict, WarningsFailTheRunOnlyWhenAskedTo) {
    TempDir zone;
    zone.write("conf/ships.conf", kShips);
    const std::string arena = zone.write("arenas/a/arena.conf", GetParam().arena);
    std::vector<std::string> args = GetParam().args;
    args.push_back(arena);
    const auto run = runChecker(args);
    EXPECT_EQ(run.status, GetParam().status);
    std::string err = GetParam().err;
    for (std::size_t at; (at = err.find('@')) != std::string::npos;)
        err.replace(at, 1, arena);
    EXPECT_EQ(run.err, err);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Strict,
    testing::Values(
        StrictRow{"OffByDefault",
                  {},
                  "#include ships.conf\n#else\n",
                  0,
                  "@:2: warning: #else without #ifdef\n"},
        StrictRow{"WarningFails",
                  {"--strict"},
                  "#include ships.conf\n#else\n",
                  1,
                  "@:2: warning: #else without #ifdef\n"
                  "korvane-check: 1 warning from the reader, and --strict makes warnings fail "
                  "the run\n"},
        StrictRow{"NoWarningPasses", {"--strict"}, "#include ships.conf\n", 0, ""},
        StrictRow{"FindingsStayFindings",
                  {"--strict", "--format=gcc"},
                  "#include ships.conf\n#else\n#endif\n[Shark]\nSuperTime=0\n",
                  1,
                  "@:2: warning: #else without #ifdef\n@:3: warning: #endif without #ifdef\n"
                  "korvane-check: 2 warnings from the reader, and --strict makes warnings fail "
                  "the run\n"}),
    [](const testing::TestParamInfo<StrictRow>& info) { return info.param.name; });

// The reader lists 100 warnings and a note of those not shown, which is no
// warning of its own: --strict counts all 250.
TEST(StrictCount, CountsEveryWarningTheReaderGave) {
    TempDir zone;
    std::string elses;
    for (int i = 0; i < 250; ++i)
        elses += "#else\n";
    const std::string arena = zone.write("arenas/a/arena.conf", elses);
    std::string err;
    for (int line = 1; line <= 100; ++line)
        err += arena + ":" + std::to_string(line) + ": warning: #else without #ifdef\n";
    err += arena + ": warning: 150 more warnings not shown\n"
                   "korvane-check: 250 warnings from the reader, and --strict makes warnings "
                   "fail the run\n";
    const auto run = runChecker({"--strict", arena});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, err);
}

} // namespace
} // namespace korvane::test
