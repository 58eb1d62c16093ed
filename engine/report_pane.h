#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvane {

// A colour in the 0x00BBGGRR layout: red in the low byte, blue in the third.
using ReportColour = std::uint32_t;

inline constexpr ReportColour kNoColour = 0;     // AddReportLine: keep the insertion colour
inline constexpr ReportColour kBlack = 0x000000; // what the pane is reset to after a coloured line
inline constexpr ReportColour kRed = 0x0000FF;   // findings
inline constexpr ReportColour kBlue = 0xFF0000;  // ship headers and summaries

// The operations of a rich text pane that the report log needs. The main
// window's pane and the in-memory document implement it. Positions and
// lengths are in the pane's own characters; the log only relies on
// textLength() being the position after the last character.
class ReportPane {
public:
    virtual ~ReportPane() = default;

    // Colour of whatever is inserted next (here, kBlack is a real colour).
    virtual void setInsertionColour(ReportColour colour) = 0;
    // Inserts UTF-8 text at the caret; the caret ends up after it.
    virtual void insertAtCaret(std::string_view text) = 0;
    virtual std::size_t textLength() const = 0;
    virtual void setCaret(std::size_t position) = 0;
    // Empties the pane in one step; the caret goes to 0.
    virtual void clear() = 0;
};

} // namespace korvane
