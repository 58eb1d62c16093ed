#pragma once

#include "report_pane.h"

#include <string>
#include <vector>

namespace korvane {

// One line of a report as it reads: its text without the CR LF, and the
// colour its text is shown in.
struct ReportLine {
    std::string text;
    ReportColour colour;
    bool operator==(const ReportLine&) const = default;
};

// A report pane held in memory: the text and the colour of every character.
// The headless front end and the tests write reports into it.
class MemoryReport final : public ReportPane {
public:
    void setInsertionColour(ReportColour colour) override { insertion_ = colour; }
    void insertAtCaret(std::string_view text) override;
    std::size_t textLength() const override { return text_.size(); }
    void setCaret(std::size_t position) override;
    void clear() override;

    const std::string& text() const { return text_; }
    ReportColour colourAt(std::size_t position) const { return colours_.at(position); }
    ReportColour insertionColour() const { return insertion_; }
    std::size_t caret() const { return caret_; }

    // The report split at each CR LF; a line's colour is that of its first
    // character (its CR for an empty line). Text after the last CR LF, if
    // any, is a last line of its own.
    std::vector<ReportLine> lines() const;

private:
    std::string text_;
    std::vector<ReportColour> colours_; // one per character of text_
    ReportColour insertion_ = kBlack;
    std::size_t caret_ = 0;
};

} // namespace korvane
