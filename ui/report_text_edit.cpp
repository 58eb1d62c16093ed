#include "report_text_edit.h"

#include "report_colours.h"

#include <QAction>
#include <QColor>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHelpEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QToolTip>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <vector>

namespace {

// The report's own colour (0x00BBGGRR) of a coloured fragment, kept beside
// the colour shown, which depends on the palette.
constexpr int kReportColour = QTextFormat::UserProperty + 1;

QColor fromReport(korvane::ReportColour colour) {
    // 0x00BBGGRR: red in the low byte.
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

korvane::ReportColour toReport(const QColor& colour) {
    const QRgb rgb = colour.rgb();
    return korvane::ReportColour(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16);
}

// The report colour shown on a pane of `palette` (report_colours.h).
QColor shownOn(const QPalette& palette, korvane::ReportColour colour) {
    return fromReport(korvane::window::shownOn(toReport(palette.color(QPalette::Base)),
                                               toReport(palette.color(QPalette::Text)), colour));
}

} // namespace

ReportTextEdit::ReportTextEdit(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    // Nothing the user can undo: the report's edits need no history.
    document()->setUndoRedoEnabled(false);
    // Read-only, but operators select and copy reports into messages.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QTextEdit::cursorPositionChanged, this, &ReportTextEdit::describeCaretLine);
}

QString ReportTextEdit::explanationAtCaret() const {
    return explanationOf ? explanationOf(textCursor().blockNumber()) : QString();
}

void ReportTextEdit::describeCaretLine() {
    setAccessibleDescription(explanationAtCaret());
}

void ReportTextEdit::explain(int line) {
    const QString text = explanationOf ? explanationOf(line) : QString();
    if (text.isEmpty())
        return;
    QMessageBox box(QMessageBox::Information, tr("Explain"), text, QMessageBox::Ok, window());
    box.setObjectName(QStringLiteral("explanation"));
    box.exec();
}

bool ReportTextEdit::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QTextEdit::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text =
        explanationOf ? explanationOf(cursorForPosition(help->pos()).blockNumber()) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, viewport());
    }
    return true;
}

void ReportTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    // Copy and Select All, then Explain for the line clicked on, or, from
    // the keyboard, the line at the caret.
    QMenu* menu = createStandardContextMenu(event->pos());
    const int line = event->reason() == QContextMenuEvent::Mouse
                         ? cursorForPosition(event->pos()).blockNumber()
                         : textCursor().blockNumber();
    menu->addSeparator();
    QAction* explainLine = menu->addAction(tr("&Explain"), this, [this, line] { explain(line); });
    explainLine->setObjectName(QStringLiteral("explain"));
    explainLine->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    explainLine->setEnabled(explanationOf && !explanationOf(line).isEmpty());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ReportTextEdit::setInsertionColour(korvane::ReportColour colour) {
    QTextCharFormat format = currentCharFormat();
    if (colour == korvane::kBlack) {
        // The pane's own text colour, black on the light pane the report was
        // made for: a literal black would vanish on a dark theme.
        format.clearForeground();
        format.clearProperty(kReportColour);
    } else {
        format.setProperty(kReportColour, colour);
        format.setForeground(shownOn(palette(), colour));
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

void ReportTextEdit::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        recolour();
}

void ReportTextEdit::recolour() {
    const auto shown = [this](QTextCharFormat format) {
        format.setForeground(
            shownOn(palette(), format.property(kReportColour).value<korvane::ReportColour>()));
        return format;
    };
    // Gathered first: a changed format may join fragments as they are walked.
    struct Coloured {
        int position, length; // a length of -1: the block's own format
        QTextCharFormat format;
    };
    std::vector<Coloured> coloured;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        // A line break's colour is that of the block after it.
        if (block.charFormat().hasProperty(kReportColour))
            coloured.push_back({block.position(), -1, block.charFormat()});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().hasProperty(kReportColour))
                coloured.push_back({fragment.position(), fragment.length(), fragment.charFormat()});
        }
    }
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (const Coloured& c : coloured) {
        cursor.setPosition(c.position);
        if (c.length < 0) {
            cursor.setBlockCharFormat(shown(c.format));
            continue;
        }
        cursor.setPosition(c.position + c.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(shown(c.format));
    }
    cursor.endEditBlock();
    if (currentCharFormat().hasProperty(kReportColour))
        setCurrentCharFormat(shown(currentCharFormat()));
}
