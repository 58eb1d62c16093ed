// Whole reports, compared line by line and colour by colour.
#include "check_result.h"
#include "module_fixture.h"
#include "test_files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#endif

namespace korvane {
namespace {

const std::vector<std::string> kShipNames = {"Warbird", "Javelin", "Spider",    "Leviathan",
                                             "Terrier", "Weasel",  "Lancaster", "Shark"};

// A ship section that keeps every rule, with `extra` lines first (the first
// line of a key decides, so they override).
std::string cleanShip(const std::string& name, const std::string& extra = "") {
    return "[" + name + "]\r\n" + extra +
           "InitialRotation=200\r\nMaximumRotation=300\r\nInitialSpeed=2000\r\nMaximumSpeed="
           "3000\r\n"
           "InitialThrust=10\r\nMaximumThrust=20\r\nInitialRecharge=400\r\nMaximumRecharge=900\r\n"
           "InitialEnergy=1000\r\nMaximumEnergy=1500\r\nSuperTime=1\r\nShieldsTime=1\r\n";
}

std::vector<ReportLine>
expectedReport(const std::vector<std::pair<std::string, std::vector<ReportLine>>>& ships,
               const std::string& verdict) {
    std::vector<ReportLine> lines{{"Checking settings...", kBlack}};
    for (const auto& [name, body] : ships) {
        lines.push_back({"Checking " + name + "...", kBlue});
        lines.insert(lines.end(), body.begin(), body.end());
        lines.push_back({"", kBlack});
    }
    lines.push_back({verdict, kBlack});
    return lines;
}

const std::vector<ReportLine> kSevenFindings = {
    {"InitialRotation is equal to MaximumRotation. [?status kickoff bug]", kRed},
    {"InitialSpeed is equal to MaximumSpeed. [?status kickoff bug]", kRed},
    {"InitialThrust is equal to MaximumThrust. [?status kickoff bug]", kRed},
    {"InitialRecharge is equal to MaximumRecharge. [?status kickoff bug]", kRed},
    {"InitialEnergy is equal to MaximumEnergy. [?status kickoff bug]", kRed},
    {"SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]", kRed},
    {"ShieldsTime is equal to 0. [Client crashes. Make it 1 instead of 0.]", kRed},
    {"Number of errors: 7.", kBlue},
};

std::vector<ReportLine> noSettingsReport() {
    std::vector<std::pair<std::string, std::vector<ReportLine>>> ships;
    for (const auto& name : kShipNames)
        ships.push_back({name, kSevenFindings});
    return expectedReport(ships, "Total errors: 56.");
}

class CheckRun : public test::ModuleTest {
protected:
    test::TempDir dir;
};

TEST_F(CheckRun, CleanFileGivesTheTwentySixLineReport) {
    std::string text;
    for (const auto& name : kShipNames)
        text += cleanShip(name);
    const auto outcome = check({dir.write("clean.cfg", text)});

    std::vector<std::pair<std::string, std::vector<ReportLine>>> ships;
    for (const auto& name : kShipNames)
        ships.push_back({name, {{name + " is OK", kBlue}}});
    EXPECT_EQ(outcome.lines, expectedReport(ships, "This CFG file is OK."));
    EXPECT_EQ(outcome.lines.size(), 26u);
    EXPECT_EQ(outcome.errors, 0);
}

TEST_F(CheckRun, NoSettingsAtAllGiveSevenFindingsPerShip) {
    const auto empty = check({dir.write("empty.cfg", "")});
    EXPECT_EQ(empty.lines, noSettingsReport());
    EXPECT_EQ(empty.errors, 56);
    // The window's check of an empty path: no file, no settings.
    Module1::SetReportPane(&report); // check() wrote into a report of its own
    Module1::ConfigFile.clear();
    Module1::CheckSettings();
    EXPECT_EQ(report.lines(), noSettingsReport());
    EXPECT_TRUE(Module1::FilesRead().empty());
}

// The window's check of a path that leads to no file it can read: one red
// line that names it and says why, in korvane-check's words, and no verdict.
TEST_F(CheckRun, APathThatCannotBeCheckedGivesOneLine) {
    const std::string missing = (dir.path() / "does-not-exist.conf").string();
    const std::string folder = dir.path().string();
    struct Row {
        std::string path;
        std::string line;
    };
    std::vector<Row> rows = {
        {missing, missing + ": No such file or directory"},
        {folder + "/does-not-exist.cfg", folder + "/does-not-exist.cfg: No such file or directory"},
        {folder, folder + ": not a regular file"},
        // Control characters are quoted, as korvane-check quotes them.
        {folder + "/new\nline.cfg",
         "'" + folder + "/new'$'\\012''line.cfg': No such file or directory"},
    };
#ifdef _WIN32
    rows.push_back({"NUL", "NUL: not a regular file"});
#else
    const std::string fifo = dir.fifo("fifo.cfg");
    rows.push_back({fifo, fifo + ": not a regular file"});
    rows.push_back({"/dev/zero", "/dev/zero: not a regular file"});
#endif
    for (const auto& row : rows) {
        report.clear();
        Module1::ConfigFile = row.path;
        Module1::CheckSettings();
        EXPECT_EQ(report.lines(), (std::vector<ReportLine>{{row.line, kRed}})) << row.path;
        EXPECT_TRUE(Module1::FilesRead().empty()) << row.path;
    }
}

TEST_F(CheckRun, TheWindowsCheckTellsWhichFilesItRead) {
    const std::string ships = dir.write("zone/conf/ships.conf", cleanShip("Warbird"));
    const std::string arena =
        dir.write("zone/arenas/a/arena.conf", "#include ships.conf\n#include nothere.conf\n"
                                              "#include ships.conf\n#include more.conf\n");
    const std::string more = dir.write("zone/arenas/a/more.conf", "[Javelin]\n");
    const std::string plain = dir.write("plain.cfg", cleanShip("Warbird"));
    const struct {
        std::string path;
        std::vector<std::string> read;
    } rows[] = {
        {arena, {arena, ships, more}}, // each once, missing ones not at all
        {plain, {plain}},
    };
    for (const auto& row : rows) {
        report.clear();
        Module1::ConfigFile = row.path;
        Module1::CheckSettings();
        EXPECT_EQ(Module1::FilesRead(), row.read) << row.path;
    }
}

TEST_F(CheckRun, AFileThatCannotBeReadGetsNoRun) {
    const auto missing = check({(dir.path() / "does-not-exist.cfg").string()});
    EXPECT_EQ(missing.status, FileStatus::Missing);
    EXPECT_TRUE(missing.lines.empty());
    EXPECT_EQ(check({dir.path().string()}).status, FileStatus::NotRegular);
    // Bytes held in memory are checked under the name given.
    MemoryFiles files;
    files.put("held.cfg", cleanShip("Warbird"));
    CheckRequest held{"held.cfg"};
    held.files = &files;
    const CheckResult input = check(held);
    EXPECT_EQ(input.status, FileStatus::Ok);
    EXPECT_EQ(input.errors, 49);
    EXPECT_EQ(input.filesRead, (std::vector<std::string>{"held.cfg"}));
}

TEST_F(CheckRun, ShipsPresentAreJudgedAndMissingOnesFindSeven) {
    const std::string text = cleanShip("Warbird", "InitialRotation=300\r\nSuperTime=0\r\n") +
                             cleanShip("lancaster") + cleanShip("Nomad");
    const auto outcome = check({dir.write("some.cfg", text)});

    std::vector<std::pair<std::string, std::vector<ReportLine>>> ships;
    for (const auto& name : kShipNames) {
        if (name == "Warbird") {
            ships.push_back(
                {name,
                 {{"InitialRotation is equal to MaximumRotation. [?status kickoff bug]", kRed},
                  {"SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]", kRed},
                  {"Number of errors: 2.", kBlue}}});
        } else if (name == "Lancaster") {
            ships.push_back({name, {{"Lancaster is OK", kBlue}}});
        } else {
            ships.push_back({name, kSevenFindings});
        }
    }
    EXPECT_EQ(outcome.lines, expectedReport(ships, "Total errors: 44."));
    EXPECT_EQ(outcome.errors, 44);
}

TEST_F(CheckRun, EverythingBrokenCountsSixteenPerShip) {
    std::string text;
    for (const auto& name : kShipNames) {
        text += "[" + name + "]\n";
        for (const char* base : {"Repel", "Burst", "Brick", "Rocket", "Decoy", "Portal", "Thor"})
            text += std::string("Initial") + base + "=2\n" + base + "Max=1\n";
        text += "InitialGuns=2\nMaxGuns=1\nInitialBombs=2\nMaxBombs=1\n";
    }
    const auto outcome = check({dir.write("broken.cfg", text)});
    EXPECT_EQ(outcome.errors, 128);
    EXPECT_EQ(outcome.lines.back().text, "Total errors: 128.");
    EXPECT_EQ(outcome.lines.at(outcome.lines.size() - 3).text, "Number of errors: 16.");
}

TEST_F(CheckRun, LeavesTheSectionAtTheLastShip) {
    Module1::CheckSettings(*loadSettings({"settings.cfg", Bytes()}).settings);
    EXPECT_EQ(Module1::CurrentSection, "Shark");
    EXPECT_EQ(Module1::ConfigFile, "settings.cfg");
}

TEST_F(CheckRun, AFileThatShrinksUnderARunIsToldNotReported) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows reads files, never maps them";
#else
    guardMappedFiles();
    std::string text;
    for (const auto& name : kShipNames)
        text += cleanShip(name);
    const std::string path = dir.write("ship.cfg", text + std::string(1 << 20, ';'));
    const LoadedSettings loaded = loadSettings({path});
    ASSERT_EQ(loaded.settings->failure(), 0);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    Module1::SetReportPane(&report);
    Module1::CheckSettings(*loaded.settings);
    EXPECT_EQ(loaded.settings->failure(), kChangedWhileRead);
#endif
}

TEST_F(CheckRun, FilesTruncatedAndRewrittenDuringRunsNeverEndThemNorGoUntold) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows reads files, never maps them (and this build has no std::thread)";
#else
    guardMappedFiles();
    std::string text;
    for (const auto& name : kShipNames)
        text += cleanShip(name);
    while (text.size() < (1u << 20))
        text += "; " + std::string(70, '-') + "\r\n";
    text += cleanShip("Shark", "SuperTime=0\r\n");
    const std::string path = dir.write("ship.cfg", text);
    std::atomic<bool> done = false;
    std::thread writer([&] {
        while (!done) {
            const int fd = ::open(path.c_str(), O_WRONLY);
            if (fd < 0)
                continue;
            (void)!::ftruncate(fd, static_cast<off_t>(text.size() / 2));
            (void)!::ftruncate(fd, 0);
            (void)!::pwrite(fd, text.data(), text.size(), 0);
            ::close(fd);
        }
    });
    // Each run read the file as it was at one moment, or saw it shrink under
    // it and says its report may be wrong.
    int checked = 0, changed = 0;
    for (int run = 0; run < 200; ++run) {
        const CheckResult outcome = check({path});
        if (outcome.status != FileStatus::Ok || outcome.lines.empty() ||
            outcome.lines.front().text != "Checking settings...")
            continue;
        if (!outcome.mayBeWrong)
            ++checked;
        else if (outcome.changedError == kChangedWhileRead)
            ++changed;
    }
    done = true;
    writer.join();
    EXPECT_EQ(checked + changed, 200);
#endif
}

TEST_F(CheckRun, EachRunReadsTheFileAfresh) {
    const std::string path = dir.write("ship.cfg", cleanShip("Warbird"));
    const auto before = std::filesystem::last_write_time(test::utf8Path(path));
    EXPECT_EQ(check({path}).errors, 49);
    // Rewritten in place with the same size, and its modification time put
    // back: as a copy that keeps the times leaves it.
    {
        std::fstream file(test::utf8Path(path), std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(file);
        file.seekp(static_cast<std::streamoff>(cleanShip("Warbird").find("SuperTime=1") + 10));
        ASSERT_TRUE(file.put('0'));
    }
    std::filesystem::last_write_time(test::utf8Path(path), before);
    ASSERT_EQ(std::filesystem::last_write_time(test::utf8Path(path)), before);
    EXPECT_EQ(check({path}).errors, 50);
    Module1::SetReportPane(&report);
    Module1::ConfigFile = path;
    Module1::CheckSettings();
    EXPECT_EQ(report.lines().back().text, "Total errors: 50.");
}

} // namespace
} // namespace korvane
