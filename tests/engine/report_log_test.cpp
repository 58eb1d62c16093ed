// How report lines reach the pane: text, line ends and colours.
#include "module_fixture.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using Module1::AddReportLine;

class ReportLog : public test::ModuleTest {};

TEST_F(ReportLog, EveryLineEndsWithCrLf) {
    AddReportLine("first", kNoColour);
    AddReportLine("", kNoColour);
    AddReportLine("last", kRed);
    EXPECT_EQ(report.text(), "first\r\n\r\nlast\r\n");
    EXPECT_EQ(report.caret(), report.textLength());
}

TEST_F(ReportLog, ColouredLinesResetToBlackAndColourZeroKeepsTheInsertionColour) {
    report.setInsertionColour(0x00FF00); // the pane's own colour after it was emptied
    AddReportLine("a", kNoColour);
    AddReportLine("b", kRed);
    AddReportLine("c", kBlue);
    AddReportLine("d", kNoColour);
    EXPECT_EQ(report.lines(),
              (std::vector<ReportLine>{{"a", 0x00FF00}, {"b", kRed}, {"c", kBlue}, {"d", kBlack}}));
    // The line end carries the line's colour too; the reset follows it.
    EXPECT_EQ(report.colourAt(4), kRed);
    EXPECT_EQ(report.insertionColour(), kBlack);
}

TEST_F(ReportLog, LinesLandAtTheEndWhereverTheCaretWas) {
    AddReportLine("one", kNoColour);
    report.setCaret(0);
    AddReportLine("two", kBlue);
    EXPECT_EQ(report.text(), "two\r\none\r\n");
    AddReportLine("three", kNoColour);
    EXPECT_EQ(report.text(), "two\r\none\r\nthree\r\n");
}

TEST_F(ReportLog, NoPaneIsAnErrorAndAFailingPaneStopsTheRunKeepingEarlierLines) {
    Module1::SetReportPane(nullptr);
    EXPECT_THROW(AddReportLine("x", kRed), std::logic_error);

    class FailingPane : public ReportPane {
    public:
        explicit FailingPane(MemoryReport& into) : into_(into) {}
        void setInsertionColour(ReportColour c) override { into_.setInsertionColour(c); }
        void insertAtCaret(std::string_view text) override {
            if (++inserts_ > 3)
                throw std::runtime_error("pane gone");
            into_.insertAtCaret(text);
        }
        std::size_t textLength() const override { return into_.textLength(); }
        void setCaret(std::size_t p) override { into_.setCaret(p); }
        void clear() override { into_.clear(); }

    private:
        MemoryReport& into_;
        int inserts_ = 0;
    } failing(report);
    Module1::SetReportPane(&failing);
    Module1::ConfigFile.clear(); // no file, no settings: a finding at once
    EXPECT_THROW(Module1::CheckSettings(), std::runtime_error);
    EXPECT_EQ(report.lines().size(), 3u);
    EXPECT_EQ(report.lines().at(2).text,
              "InitialRotation is equal to MaximumRotation. [?status kickoff bug]");
}

} // namespace
} // namespace korvane
