#pragma once

#include "report_pane.h"

#include <functional>
#include <richedit.h>
#include <string>
#include <vector>
#include <windows.h>
// After windows.h, which it needs.
#include <oleacc.h>

// The report pane Text1: the platform's rich text control (RichEdit 4.1,
// MSFTEDIT_CLASS), read-only but selectable, that the check run writes its
// coloured lines into through korvane::ReportPane.
//
// Positions and lengths count the control's characters, in which each line
// break is one character (the control keeps CR LF as a lone CR); so
// textLength() is always the position after the last character.
//
// Coloured lines keep the report's colour on a light window colour and
// take a readable one of the same hue on a dark one (report_colours.h),
// also when the system's colours change after they were written.
//
// A finding line explains itself: hovering it shows the explanation in a
// tooltip, and Explain on the pane's context menu (which also has Copy and
// Select All) shows it in a box. Other lines have none. For screen readers,
// the explanation of the line at the caret is the pane's accessible
// description, kept up to date as the caret moves.
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

    // The system's colours changed: each coloured line shown again.
    void recolour();

    // The explanation of report line `line` (from 0), empty for none; the
    // owner sets it to what its last check gives.
    std::function<std::wstring(std::size_t line)> explanationOf;
    // The report line at the caret.
    std::size_t caretLine() const;
    // Shows the explanation of `line` in a box over the window; nothing for
    // a line without one.
    void explain(std::size_t line) const;
    // Makes the explanation of the caret's line the pane's accessible
    // description (none on other lines), if it changed; the owner calls it
    // after writing a report, the pane itself as the caret moves.
    void describeCaretLine();

private:
    static LRESULT CALLBACK PaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    // The report line of character `position`.
    std::size_t lineOf(LONG position) const;
    // The report line under `client` (the pane's client coordinates).
    std::size_t lineAt(POINT client) const;
    void showContextMenu(LPARAM where);
    void forgetDescription();

    HWND hwnd_ = nullptr;
    HWND tip_ = nullptr;
    std::size_t tipLine_ = SIZE_MAX; // the line the tooltip is about
    std::wstring tipText_;
    IAccPropServices* accessible_ = nullptr; // made when first needed
    bool accessibleTried_ = false;
    std::wstring described_;
    CHARFORMAT2W font_{}; // its face, size and weight; cbSize 0 until set
    korvane::ReportColour insertion_ = korvane::kBlack;
    // Where each report line starts, and the coloured runs with the report's
    // own colour, as they were inserted.
    std::vector<LONG> lineStarts_;
    struct Run {
        LONG start, end;
        korvane::ReportColour colour;
    };
    std::vector<Run> coloured_;
};
