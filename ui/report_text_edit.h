#pragma once

#include "report_pane.h"

#include <QTextEdit>
#include <functional>

// The report pane: a rich text control that the check run writes its
// coloured lines into through korvane::ReportPane. The user can select and
// copy the report but not change it.
//
// Positions and lengths count the document's characters, where each line
// break is one character; textLength() is always the position after the
// last character, so setCaret(textLength()) puts the caret at the end.
//
// Coloured lines keep the report's colour on a light pane and take a
// readable one of the same hue on a dark pane (report_colours.h), also
// when the palette changes after they were written.
//
// A finding line explains itself: hovering it shows the explanation in a
// tooltip; Explain on its context menu (or the window's Ctrl+E, at the
// caret) shows it in a box; and the pane's accessible description is that
// of the line at the caret, for screen readers. Other lines have none.
class ReportTextEdit : public QTextEdit, public korvane::ReportPane {
    Q_OBJECT

public:
    explicit ReportTextEdit(QWidget* parent = nullptr);

    void setInsertionColour(korvane::ReportColour colour) override;
    // `text` is UTF-8. CR LF, a lone CR and a lone LF each end one line.
    void insertAtCaret(std::string_view text) override;
    std::size_t textLength() const override;
    void setCaret(std::size_t position) override;
    // Empties the pane; what is inserted next takes the control's own
    // text colour again, wherever the caret or a selection had been.
    void clear() override;

    // The explanation of line `line` (from 0), empty for none; the owner
    // sets it to what its last check gives.
    std::function<QString(int line)> explanationOf;
    // The explanation of the line at the caret, empty for none.
    QString explanationAtCaret() const;
    // Shows the explanation of line `line` in a box; nothing for a line
    // without one.
    void explain(int line);
    // The explanation may have changed (a new check): the accessible
    // description follows.
    void describeCaretLine();

protected:
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Each coloured fragment shown again in its colour for the palette now.
    void recolour();
};
