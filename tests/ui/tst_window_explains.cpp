// A finding line explains where its values were set: in a tooltip, and
// from the keyboard (Ctrl+E, the context menu, the accessible description).
#include "form1.h"
#include "report_text_edit.h"
#include "test_support.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>

namespace {

// The explanation of super-time-0.cfg's Warbird finding, as the engine
// gives it (engine/explanation.h).
const QString kSuperTimeExplained = QStringLiteral("SuperTime = 0 at super-time-0.cfg:33");

} // namespace

class TestWindowExplains : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY((form = uitest::showForm(&pane))); }
    void cleanup() { delete form; }

    // Hovering a finding line shows its explanation; a ship line shows none.
    void aFindingExplainsItselfInATooltip() {
        form->checkFile(uitest::fixture("super-time-0.cfg"));
        const QStringList text = uitest::lines(*pane);
        const int finding = int(text.indexOf("SuperTime is equal to 0. [Client crashes. Make it 1 "
                                             "instead of 0.]"));
        QVERIFY(finding > 0);
        QCOMPARE(tooltipOn(finding), kSuperTimeExplained);
        // The ship's header, the line before.
        QCOMPARE(tooltipOn(finding - 1), QString());
        QCOMPARE(tooltipOn(0), QString());
        QCOMPARE(tooltipOn(int(text.size()) - 1), QString()); // the verdict
    }

    // The same text from the keyboard: Ctrl+E on the line at the caret, the
    // context menu's Explain, and the pane's accessible description.
    void aFindingExplainsItselfFromTheKeyboard() {
        form->checkFile(uitest::fixture("super-time-0.cfg"));
        const int finding = int(uitest::lines(*pane).indexOf(
            "SuperTime is equal to 0. [Client crashes. Make it 1 instead of 0.]"));
        QVERIFY(finding > 0);
        QTextCursor caret(pane->document()->findBlockByNumber(finding));
        pane->setTextCursor(caret);
        QCOMPARE(pane->accessibleDescription(), kSuperTimeExplained);

        QString shown;
        {
            uitest::ModalDriver driver([&](QWidget* box) {
                shown = static_cast<QMessageBox*>(box)->text();
                static_cast<QMessageBox*>(box)->accept();
            });
            QTest::keyClick(pane, Qt::Key_E, Qt::ControlModifier);
            QVERIFY(driver.ran());
        }
        QCOMPARE(shown, kSuperTimeExplained);

        // Shift+F10 opens the pane's menu at the caret: Copy, Select All, Explain.
        const QPoint caretAt = pane->cursorRect().center();
        QContextMenuEvent atCaret(QContextMenuEvent::Keyboard, caretAt,
                                  pane->viewport()->mapToGlobal(caretAt));
        QCoreApplication::sendEvent(pane, &atCaret);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QStringList items;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                items << action->text().remove('&').section('\t', 0, 0);
        QCOMPARE(items, QStringList({"Copy", "Select All", "Explain"}));
        QAction* explain = menu->findChild<QAction*>("explain");
        QVERIFY(explain && explain->isEnabled());
        menu->close();

        // A ship line has nothing to explain: Explain is off, Ctrl+E shows nothing.
        pane->setTextCursor(QTextCursor(pane->document()->findBlockByNumber(1)));
        QCOMPARE(pane->accessibleDescription(), QString());
        uitest::ModalDriver none([](QWidget* box) { box->close(); });
        QTest::keyClick(pane, Qt::Key_E, Qt::ControlModifier);
        QTest::qWait(300);
        QVERIFY(!none.ran());
    }

private:
    // The tooltip shown on hovering line `line` of the pane, or nothing.
    QString tooltipOn(int line) {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
            return QStringLiteral("(the last tooltip stays)");
        const QTextBlock block = pane->document()->findBlockByNumber(line);
        QTextCursor at(block);
        at.movePosition(QTextCursor::Right);
        const QPoint where = pane->cursorRect(at).center();
        QHelpEvent hover(QEvent::ToolTip, where, pane->viewport()->mapToGlobal(where));
        QCoreApplication::sendEvent(pane->viewport(), &hover);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    Form1* form = nullptr;
    ReportTextEdit* pane = nullptr;
};

QTEST_MAIN(TestWindowExplains)
#include "tst_window_explains.moc"
