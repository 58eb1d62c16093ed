// The one check result: findings with their rules and keys, the notes a
// window writes under a report, the explanation text and the rules'
// descriptions.
#include "check_result.h"
#include "explanation.h"
#include "module1.h"
#include "rule_info.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <set>

// GCC 12 at -O3 (Release builds, Linux and MinGW) takes the strings of a
// braced Origin for uninitialised where it destroys them
// (-Wmaybe-uninitialized): a false alarm, in builds that make warnings errors.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace korvane {

// Readable failures: the explanation says it all.
void PrintTo(const ResultKey& key, std::ostream* out) {
    *out << explainKey(key, "");
}
void PrintTo(const Location& at, std::ostream* out) {
    *out << at.file << ':' << at.line;
}

namespace {

TEST(CheckResultFindings, EachNamesItsRuleShipAndKeysInReadingOrder) {
    test::TempDir dir;
    const std::string path = dir.write(
        "server.cfg", "[Warbird]\nInitialGuns=3\nMaxGuns=2\nSuperTime=0\nInitialRotation=1\n"
                      "MaximumRotation=1\nInitialThor=2\nThorMax=1\n");
    const CheckResult result = check({path});
    ASSERT_EQ(result.status, FileStatus::Ok);
    struct Row {
        int rule;
        std::string text;
        std::vector<ResultKey> keys;
    };
    const auto key = [&](const char* name, int value, std::size_t line) {
        return ResultKey{name, value, true, Origin{{path, line}, {}, {}, {}}};
    };
    const Row rows[] = {
        {1,
         "InitialRotation is equal to MaximumRotation. [?status kickoff bug]",
         {key("InitialRotation", 1, 5), key("MaximumRotation", 1, 6)}},
        {12,
         "InitialThor is greater than ThorMax. [False sysop alerts and player kickoffs]",
         {key("InitialThor", 2, 7), key("ThorMax", 1, 8)}},
        {13,
         "InitialGuns is greater than MaxGuns. [False sysop alerts and player kickoffs]",
         {key("InitialGuns", 3, 2), key("MaxGuns", 2, 3)}},
        {15, "SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]",
         {key("SuperTime", 0, 4)}},
    };
    const auto warbird = [&](int rule) {
        for (const ResultFinding& f : result.findings) {
            if (f.rule == rule && f.ship == "Warbird")
                return f;
        }
        return ResultFinding{0, "", "", {}};
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const ResultFinding f = warbird(rows[i].rule);
        EXPECT_EQ(f.rule, rows[i].rule) << i;
        EXPECT_EQ(f.ship, "Warbird") << i;
        EXPECT_EQ(f.text, rows[i].text) << i;
        EXPECT_EQ(f.keys, rows[i].keys) << i;
        EXPECT_EQ(f.location(), rows[i].keys.front().origin->at) << i;
    }
    // An absent key reads 0, unset; the profile reader points at its section.
    const ResultFinding shields = warbird(16);
    EXPECT_EQ(result.findings.at(1).rule, 2); // in the report's order
    EXPECT_EQ(shields.keys, (std::vector<ResultKey>{
                                {"ShieldsTime", 0, false, Origin{{path, 1}, {}, {}, {}}}}));
    const ResultFinding& javelin = result.findings.at(9);
    EXPECT_EQ(javelin.ship, "Javelin");
    EXPECT_EQ(javelin.keys.front().origin, std::nullopt);
    EXPECT_EQ(javelin.location(), std::nullopt);
    // One finding per red line, in the same order.
    EXPECT_EQ(result.errors, static_cast<int>(result.findings.size()));
    EXPECT_EQ(result.errors, 9 + 7 * 7);
    EXPECT_EQ(result.filesRead, (std::vector<std::string>{path}));
    EXPECT_EQ(result.watch, result.filesRead);
}

TEST(CheckResultFindings, AFileThatCannotBeCheckedIsWatchedUntilItCan) {
    test::TempDir dir;
    const std::string missing = (dir.path() / "nothing.cfg").string();
    const CheckResult result = check({missing});
    EXPECT_EQ(result.status, FileStatus::Missing);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_TRUE(result.findings.empty());
    EXPECT_EQ(result.watch, (std::vector<std::string>{missing}));
}

// What could change the result: the files read, and every place the
// search looked at before the file it found, or at all for a name found
// nowhere.
TEST(CheckResultFindings, WatchesTheFilesReadAndThePlacesSearched) {
    test::TempDir dir;
    const std::string ships = dir.write("conf/ships.conf", "[Warbird]\n");
    // The zone as the paths written name it (with '/' on Windows too).
    const std::string zone = ships.substr(0, ships.size() - std::string("/conf/ships.conf").size());
    const std::string arena = dir.write("arenas/a/arena.conf", "#include ships.conf\n#include x\n");
    const CheckResult result = check({arena});
    EXPECT_EQ(result.filesRead, (std::vector<std::string>{arena, ships}));
    const std::vector<std::string> watch(result.watch.begin(), result.watch.end());
    EXPECT_EQ(watch, (std::vector<std::string>{arena, ships, zone + "/arenas/a/ships.conf",
                                               zone + "/arenas/a/x", zone + "/conf/x",
                                               zone + "/x", zone + "/arenas/(default)/x"}));
}

// The window's pane gets the run's lines as they come, and the module's
// state is put back after it.
TEST(CheckResultFindings, TheWindowsCheckIsTheResultWithItsNotes) {
    test::TempDir dir;
    const std::string path = dir.write("zone/arenas/a/arena.conf", "[Warbird]\nSuperTime=1\n\\");
    MemoryReport pane;
    Module1::SetReportPane(&pane);
    Module1::ConfigFile = path;
    Module1::CheckSettings();
    Module1::SetReportPane(nullptr);
    const CheckResult& last = Module1::LastResult();
    std::vector<ReportLine> expected = last.lines;
    expected.push_back({"", kBlack});
    expected.push_back(
        {path + ":3: warning: the last line ends with \\ and joins nothing: it is not read",
         kBlack});
    EXPECT_EQ(pane.lines(), expected);
    EXPECT_EQ(last.name, path);
    EXPECT_EQ(last.errors, 55);
    EXPECT_EQ(last.warningCount, 1u);
    EXPECT_EQ(Module1::ConfigFile, path);
    EXPECT_EQ(Module1::GetFindingObserver(), nullptr);
}

TEST(CheckResultNotes, WarningsThenTheLineThatSaysTheReportMayBeWrong) {
    struct Row {
        std::vector<Warning> warnings;
        bool mayBeWrong;
        std::vector<std::string> notes;
    };
    const Row rows[] = {
        {{}, false, {}},
        {{{Location{"inc.conf", 4}, "w1"}, {std::nullopt, "w2"}},
         false,
         {"", "inc.conf:4: warning: w1", "a.conf: warning: w2"}},
        {{},
         true,
         {"", "a.conf: warning: the file shrank or failed while it was read: this report may be "
              "wrong"}},
        {{{std::nullopt, "w"}},
         true,
         {"", "a.conf: warning: w", "",
          "a.conf: warning: the file shrank or failed while it was read: this report may be "
          "wrong"}},
    };
    for (const Row& row : rows) {
        CheckResult result;
        result.name = "a.conf";
        result.warnings = row.warnings;
        result.mayBeWrong = row.mayBeWrong;
        result.changedError = row.mayBeWrong ? kChangedWhileRead : 0;
        std::vector<std::string> notes;
        for (const ReportLine& line : paneNotes(result)) {
            EXPECT_EQ(line.colour, kNoColour);
            notes.push_back(line.text);
        }
        EXPECT_EQ(notes, row.notes);
    }
}

TEST(Explanation, PathsAreShownFromTheCheckedFilesFolder) {
    const struct {
        std::string file, checked, shown;
    } rows[] = {
        {"zone/arenas/a/arena.conf", "zone/arenas/a/arena.conf", "arena.conf"},
        {"zone/arenas/a/../../conf/ships.conf", "zone/arenas/a/arena.conf", "../../conf/ships.conf"},
        {"zone/./conf/ships.conf", "zone/arena.conf", "conf/ships.conf"},
        {"ships.conf", "arena.conf", "ships.conf"},
        {"/etc/zone/ships.conf", "/etc/zone/arenas/a/arena.conf", "../../ships.conf"},
        // Shorter as it was given; a relative name cannot be told from a rooted one.
        {"/z/s.conf", "/a/b/c/d/e/f/arena.conf", "/z/s.conf"},
        {"/z/s.conf", "zone/arena.conf", "/z/s.conf"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(shownPath(row.file, row.checked), row.shown) << row.file;
}

TEST(Explanation, OneLinePerKeyWithItsOrigin) {
    const Origin full{{"zone/conf/ships.conf", 12},
                      {{"zone/arenas/a/arena.conf", 3}, {"zone/conf/base.conf", 2}},
                      {{{"zone/conf/ships.conf", 10}, false, "DUEL", false, true,
                        Location{"zone/arenas/a/arena.conf", 1}},
                       {{"zone/conf/ships.conf", 11}, true, "X", true, true, std::nullopt}},
                      {{{"zone/conf/ships.conf", 5}, "2000"}, {{"zone/conf/ships.conf", 6}, ""}}};
    const struct {
        ResultKey key;
        std::string line;
    } rows[] = {
        {{"InitialSpeed", 3000, true, full},
         "InitialSpeed = 3000 at ../../conf/ships.conf:12, included by arena.conf:3 > "
         "../../conf/base.conf:2; in #ifdef DUEL at ../../conf/ships.conf:10 (defined at "
         "arena.conf:1); in the #else of #ifndef X at ../../conf/ships.conf:11 (defined); "
         "replaces 2000 at ../../conf/ships.conf:5; replaces an empty value at "
         "../../conf/ships.conf:6\n"},
        {{"MaximumSpeed", 0, false, std::nullopt}, "MaximumSpeed = 0: not set\n"},
        {{"SuperTime", 0, false, Origin{{"zone/arenas/a/s.cfg", 4}, {}, {}, {}}},
         "SuperTime = 0: not set (its section at s.cfg:4)\n"},
        {{"Thor", -1, true, Origin{{"zone/arenas/a/new\nline.conf", 1}, {}, {}, {}}},
         "Thor = -1 at 'new'$'\\012''line.conf':1\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(explainKey(row.key, "zone/arenas/a/arena.conf"), row.line);
    const ResultFinding finding{2, "Warbird", "text", {rows[0].key, rows[1].key}};
    EXPECT_EQ(explainFinding(finding, "zone/arenas/a/arena.conf"), rows[0].line + rows[1].line);
}

TEST(RuleInfo, SixteenStableIdsWithTheirDescriptions) {
    std::set<std::string> ids;
    for (int rule = 1; rule <= 16; ++rule) {
        const RuleInfo& info = ruleInfo(rule);
        ids.insert(info.id);
        EXPECT_FALSE(info.shortDescription.empty()) << rule;
        EXPECT_NE(info.fullDescription.find('['), std::string::npos) << rule;
    }
    EXPECT_EQ(ids.size(), 16u);
    EXPECT_EQ(ruleInfo(1).id, "initial-rotation-maximum");
    EXPECT_EQ(ruleInfo(1).shortDescription, "InitialRotation must be below MaximumRotation");
    EXPECT_NE(ruleInfo(2).fullDescription.find("[Messes up greening and ?status]"),
              std::string::npos);
    EXPECT_EQ(ruleInfo(6).id, "initial-repel-max");
    EXPECT_EQ(ruleInfo(13).shortDescription, "InitialGuns must not be greater than MaxGuns");
    EXPECT_EQ(ruleInfo(16).id, "shields-time-nonzero");
    EXPECT_NE(ruleInfo(16).fullDescription.find("[Client crashes. Make it 1 instead of 0.]"),
              std::string::npos);
    EXPECT_THROW(ruleInfo(17), std::out_of_range);
    EXPECT_THROW(ruleInfo(0), std::out_of_range);
}

} // namespace
} // namespace korvane
