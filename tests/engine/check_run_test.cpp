// Whole reports, compared line by line and colour by colour.
#include "check_file.h"
#include "module_fixture.h"
#include "test_files.h"

#include <gtest/gtest.h>

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
    const auto outcome = checkFile(dir.write("clean.cfg", text));

    std::vector<std::pair<std::string, std::vector<ReportLine>>> ships;
    for (const auto& name : kShipNames)
        ships.push_back({name, {{name + " is OK", kBlue}}});
    EXPECT_EQ(outcome.lines, expectedReport(ships, "This CFG file is OK."));
    EXPECT_EQ(outcome.lines.size(), 26u);
    EXPECT_EQ(outcome.errors, 0);
}

TEST_F(CheckRun, NoSettingsAtAllGiveSevenFindingsPerShip) {
    EXPECT_EQ(checkFile(dir.write("empty.cfg", "")).lines, noSettingsReport());
    EXPECT_EQ(checkFile((dir.path() / "does-not-exist.cfg").string()).lines, noSettingsReport());
    EXPECT_EQ(checkFile(dir.path().string()).lines, noSettingsReport());
    EXPECT_EQ(checkFile((dir.path() / "does-not-exist.cfg").string()).errors, 56);
}

TEST_F(CheckRun, ShipsPresentAreJudgedAndMissingOnesFindSeven) {
    const std::string text = cleanShip("Warbird", "InitialRotation=300\r\nSuperTime=0\r\n") +
                             cleanShip("lancaster") + cleanShip("Nomad");
    const auto outcome = checkFile(dir.write("some.cfg", text));

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
    const auto outcome = checkFile(dir.write("broken.cfg", text));
    EXPECT_EQ(outcome.errors, 128);
    EXPECT_EQ(outcome.lines.back().text, "Total errors: 128.");
    EXPECT_EQ(outcome.lines.at(outcome.lines.size() - 3).text, "Number of errors: 16.");
}

TEST_F(CheckRun, LeavesTheSectionAtTheLastShip) {
    Module1::CheckSettings();
    EXPECT_EQ(Module1::CurrentSection, "Shark");
    EXPECT_EQ(Module1::ConfigFile, kPath);
}

TEST_F(CheckRun, SecondRunSeesAFileRewrittenInPlace) {
    const std::string path = dir.write("ship.cfg", cleanShip("Warbird"));
    EXPECT_EQ(checkFile(path).errors, 49);
    // Same length, written at once: as a copy that keeps the times leaves it.
    std::string changed = cleanShip("Warbird");
    changed.replace(changed.find("SuperTime=1"), 11, "SuperTime=0");
    dir.write("ship.cfg", changed);
    EXPECT_EQ(checkFile(path).errors, 50);
}

} // namespace
} // namespace korvane
