// The four rule kinds at their boundaries, and the lookup they read through.
#include "module_fixture.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using Module1::CheckInitialMaximum;
using Module1::CheckInitialMaxX;
using Module1::CheckInitialXMax;
using Module1::CheckNonZero;

class Rules : public test::ModuleTest {
protected:
    // Settings of one ship section, S.
    void ship(const std::string& keys) {
        settings("[S]\n" + keys);
        section("S");
    }
    // (Moved in: GCC 12 at -O3 warns falsely on assigning a literal.)
    static void section(std::string name) { Module1::CurrentSection = std::move(name); }
    std::vector<ReportLine> findings() const { return report.lines(); }
};

TEST_F(Rules, InitialMaximumFindsEqualAndGreater) {
    ship("InitialEnergy=5\nMaximumEnergy=5\n");
    EXPECT_EQ(CheckInitialMaximum("Energy"), 1);
    ship("InitialEnergy=6\nMaximumEnergy=5\n");
    EXPECT_EQ(CheckInitialMaximum("Energy"), 1);
    ship("InitialEnergy=4\nMaximumEnergy=5\n");
    EXPECT_EQ(CheckInitialMaximum("Energy"), 0);
    EXPECT_EQ(findings(),
              (std::vector<ReportLine>{
                  {"InitialEnergy is equal to MaximumEnergy. [?status kickoff bug]", kRed},
                  {"InitialEnergy is greater than MaximumEnergy. [Messes up greening and ?status]",
                   kRed}}));
}

TEST_F(Rules, BothKeysAbsentAreEqual) {
    ship("");
    EXPECT_EQ(CheckInitialMaximum("Rotation"), 1);
    EXPECT_EQ(findings().at(0).text,
              "InitialRotation is equal to MaximumRotation. [?status kickoff bug]");
}

TEST_F(Rules, XMaxAndMaxXPassEqualityAndFindGreater) {
    ship("InitialRepel=5\nRepelMax=5\nInitialGuns=5\nMaxGuns=5\n");
    EXPECT_EQ(CheckInitialXMax("Repel"), 0);
    EXPECT_EQ(CheckInitialMaxX("Guns"), 0);
    EXPECT_TRUE(findings().empty());

    ship("InitialRepel=3\nRepelMax=2\nInitialGuns=3\nMaxGuns=2\n");
    EXPECT_EQ(CheckInitialXMax("Repel"), 1);
    EXPECT_EQ(CheckInitialMaxX("Guns"), 1);
    EXPECT_EQ(
        findings(),
        (std::vector<ReportLine>{
            {"InitialRepel is greater than RepelMax. [False sysop alerts and player kickoffs]",
             kRed},
            {"InitialGuns is greater than MaxGuns. [False sysop alerts and player kickoffs]",
             kRed}}));
}

TEST_F(Rules, ComparisonsAreSigned) {
    ship("InitialBurst=-1\nBurstMax=0\nInitialBombs=0\nMaxBombs=-1\n");
    EXPECT_EQ(CheckInitialXMax("Burst"), 0);
    EXPECT_EQ(CheckInitialMaxX("Bombs"), 1);
    // 0xFFFFFFFF reads as -1, not as a large number.
    ship("InitialSpeed=0xFFFFFFFF\nMaximumSpeed=2147483647\n");
    EXPECT_EQ(CheckInitialMaximum("Speed"), 0);
    ship("InitialSpeed=2147483647\nMaximumSpeed=2147483648\n");
    EXPECT_EQ(CheckInitialMaximum("Speed"), 1);
}

TEST_F(Rules, NonZeroFindsOnlyZero) {
    const std::string hint = "Client crashes. Make it 1 instead of 0.";
    ship("SuperTime=-3\n");
    EXPECT_EQ(CheckNonZero("SuperTime", hint), 0);
    ship("SuperTime=1\n");
    EXPECT_EQ(CheckNonZero("SuperTime", hint), 0);
    ship("ShieldsTime=4294967296\n"); // wraps to 0
    EXPECT_EQ(CheckNonZero("ShieldsTime", hint), 1);
    ship("");
    EXPECT_EQ(CheckNonZero("SuperTime", hint), 1);
    EXPECT_EQ(findings(),
              (std::vector<ReportLine>{
                  {"ShieldsTime is equal to 0. [Client crashes. Make it 1 instead of 0.]", kRed},
                  {"SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]", kRed}}));
}

TEST_F(Rules, EmptyFileOrSectionNameReadsZeroWithoutTheFile) {
    // The lines before any header form the section named "": a lookup that
    // went to the file with an empty section name would find 5 here.
    settings("SuperTime=5\n[S]\nSuperTime=5\n");
    section("");
    EXPECT_EQ(Module1::ReadSetting("SuperTime"), 0);
    section("S");
    EXPECT_EQ(Module1::ReadSetting("SuperTime"), 5);
    Module1::ConfigFile.clear();
    EXPECT_EQ(Module1::ReadSetting("SuperTime"), 0);
}

class RecordingObserver : public Module1::FindingObserver {
public:
    void finding(std::string_view ship, std::string_view text,
                 std::span<const Module1::KeyReading> keys) override {
        seen.append(ship).append("|").append(text);
        for (const auto& key : keys)
            seen.append("|").append(key.name).append("=").append(std::to_string(key.value));
        seen += "\n";
    }
    std::string seen;
};

TEST_F(Rules, ObserverHearsEachFindingWithTheKeysInReadingOrder) {
    RecordingObserver observer;
    Module1::SetFindingObserver(&observer);
    ship("InitialThor=2\nThorMax=1\nInitialRotation=9\nMaximumRotation=10\n");
    CheckInitialXMax("Thor");
    CheckInitialMaximum("Rotation");
    CheckNonZero("SuperTime", "h");
    Module1::SetFindingObserver(nullptr);
    EXPECT_EQ(observer.seen,
              "S|InitialThor is greater than ThorMax. [False sysop alerts and player kickoffs]"
              "|InitialThor=2|ThorMax=1\n"
              "S|SuperTime is equal to 0. [h]|SuperTime=0\n");
}

} // namespace
} // namespace korvane
