#pragma once

#include "report_pane.h"

#include <QTextEdit>

// The report pane: a rich text control that the check run writes its
// coloured lines into through korvane::ReportPane. The user can select and
// copy the report but not change it.
//
// Positions and lengths count the document's characters, where each line
// break is one character; textLength() is always the position after the
// last character, so setCaret(textLength()) puts the caret at the end.
//
// Coloured lines keep the report's colour on a light pane and take a
// readable one of the same hue on a dark pane (readable_colour.h), also
// when the palette changes after they were written.
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

protected:
    void changeEvent(QEvent* event) override;

private:
    // Each coloured fragment shown again in its colour for the palette now.
    void recolour();
};
