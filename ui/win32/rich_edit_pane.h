#pragma once

#include "report_pane.h"

#include <richedit.h>
#include <windows.h>

// The report pane Text1: the platform's rich text control (RichEdit 4.1,
// MSFTEDIT_CLASS), read-only but selectable, that the check run writes its
// coloured lines into through korvane::ReportPane.
//
// Positions and lengths count the control's characters, in which each line
// break is one character (the control keeps CR LF as a lone CR); so
// textLength() is always the position after the last character.
class RichEditPane : public korvane::ReportPane {
public:
    // Creates the control as a child of `parent`, empty.
    void create(HWND parent);
    HWND hwnd() const { return hwnd_; }
    // The font of every line, as described for `dpi`.
    void setFont(const LOGFONTW& face, UINT dpi);

    // kBlack is the system's window-text colour (COLOR_WINDOWTEXT), which
    // follows the theme, so the plain lines stay readable in high contrast.
    void setInsertionColour(korvane::ReportColour colour) override;
    // `text` is UTF-8.
    void insertAtCaret(std::string_view text) override;
    std::size_t textLength() const override;
    void setCaret(std::size_t position) override;
    // Empties the pane; what is inserted next takes the window-text colour.
    void clear() override;

private:
    HWND hwnd_ = nullptr;
    CHARFORMAT2W font_{}; // its face, size and weight; cbSize 0 until set
};
