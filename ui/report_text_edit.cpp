#include "report_text_edit.h"

#include <QColor>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

ReportTextEdit::ReportTextEdit(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    // Read-only, but operators select and copy reports into messages.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void ReportTextEdit::setInsertionColour(korvane::ReportColour colour) {
    QTextCharFormat format = currentCharFormat();
    if (colour == korvane::kBlack) {
        // The pane's own text colour, black on the light pane the report was
        // made for: a literal black would vanish on a dark theme.
        format.clearForeground();
    } else {
        // 0x00BBGGRR: red in the low byte.
        format.setForeground(
            QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)));
    }
    setCurrentCharFormat(format);
}

void ReportTextEdit::insertAtCaret(std::string_view text) {
    // insertText ends a paragraph at each CR LF, lone CR and lone LF.
    QTextCursor cursor = textCursor();
    cursor.insertText(QString::fromUtf8(text.data(), qsizetype(text.size())), currentCharFormat());
    setTextCursor(cursor);
}

std::size_t ReportTextEdit::textLength() const {
    // characterCount() includes the separator after the last paragraph,
    // which the caret can never pass.
    return std::size_t(document()->characterCount() - 1);
}

void ReportTextEdit::setCaret(std::size_t position) {
    QTextCursor cursor(document());
    cursor.setPosition(int(std::min(position, textLength())));
    // As in any rich text control, the insertion format becomes that of the
    // text before the caret; setTextCursor also scrolls the caret into view.
    setTextCursor(cursor);
}

void ReportTextEdit::clear() {
    QTextEdit::clear();
    // QTextEdit::clear() keeps the format at the old caret, which could be
    // a red finding the user had clicked into.
    setCurrentCharFormat(QTextCharFormat());
}
