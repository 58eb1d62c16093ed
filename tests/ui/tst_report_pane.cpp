// The report pane as the report log writes into it: one paragraph per line,
// each in the right colour, and lengths the caret can be put at.
#include "module1.h"
#include "report_text_edit.h"
#include "test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using korvane::Module1::AddReportLine;

class TestReportPane : public QObject {
    Q_OBJECT

private slots:
    void init() {
        pane = new ReportTextEdit;
        korvane::Module1::SetReportPane(pane);
    }
    void cleanup() {
        korvane::Module1::SetReportPane(nullptr);
        delete pane;
    }

    void linesKeepTheirColours() {
        AddReportLine("first", 0);
        AddReportLine("finding", 0x0000FF);
        AddReportLine("after red", 0);
        AddReportLine("header", 0xFF0000);
        AddReportLine("summary", 0xFF0000);
        AddReportLine("", 0);
        AddReportLine("Ünïcødé ✓", 0x00336699);

        // CR LF is one line break: no empty paragraph between the lines.
        QCOMPARE(uitest::lines(*pane), QStringList({"first", "finding", "after red", "header",
                                                    "summary", "", "Ünïcødé ✓"}));
        QCOMPARE(pane->toPlainText().count(QLatin1Char('\n')), qsizetype(7));
        const QList<QColor> expected = {
            Qt::black, Qt::red, Qt::black, Qt::blue, Qt::blue, Qt::black, QColor(0x99, 0x66, 0x33)};
        for (int line = 0; line < expected.size(); ++line)
            QCOMPARE(uitest::colour(*pane, line), expected.at(line));
    }

    void lengthIsWhereTheCaretEnds() {
        pane->insertAtCaret("ab\r\ncd\r\n");
        QCOMPARE(pane->textLength(), std::size_t(6));
        pane->setCaret(0);
        pane->insertAtCaret("0\r\n");
        pane->setCaret(pane->textLength());
        pane->insertAtCaret("end");
        pane->setCaret(pane->textLength() + 10); // past the end: at the end
        pane->insertAtCaret("!\r");
        pane->insertAtCaret("lone\nbreaks\r\n");
        QCOMPARE(uitest::lines(*pane), QStringList({"0", "ab", "cd", "end!", "lone", "breaks"}));
        QCOMPARE(pane->textLength(), std::size_t(pane->toPlainText().size()));
    }

    void plainLinesTakeThePanesTextColour() {
        // A dark theme: plain lines must stay readable on it.
        QPalette dark = pane->palette();
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
        pane->setPalette(dark);
        AddReportLine("Checking settings...", 0);
        AddReportLine("Checking Warbird...", 0xFF0000);
        AddReportLine("finding", 0x0000FF);
        AddReportLine("", 0);
        AddReportLine("Total errors: 1.", 0);
        // Coloured ones take a lighter blue and red, readable on it.
        const QList<QColor> expected = {QColor(0xEE, 0xEE, 0xEE), QColor(0x76, 0x76, 0xFF),
                                        QColor(0xFF, 0x35, 0x35), QColor(0xEE, 0xEE, 0xEE),
                                        QColor(0xEE, 0xEE, 0xEE)};
        for (int line = 0; line < expected.size(); ++line)
            QCOMPARE(uitest::colour(*pane, line), expected.at(line));
        // They set no colour of their own, so they follow a later change of
        // theme too.
        const QTextBlock verdict = pane->document()->findBlockByNumber(4);
        QVERIFY(!verdict.begin().fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush));
    }

    void clearingForgetsTheColourAtTheCaret() {
        AddReportLine("finding", 0x0000FF);
        AddReportLine("verdict", 0);
        pane->setCaret(3); // the user clicked into the red line
        pane->clear();
        QCOMPARE(pane->textLength(), std::size_t(0));
        AddReportLine("Checking settings...", 0);
        QCOMPARE(uitest::lines(*pane), QStringList({"Checking settings..."}));
        QCOMPARE(uitest::colour(*pane, 0), pane->palette().color(QPalette::Text));
    }

    void readOnlyButCopyable() {
        AddReportLine("InitialSpeed is equal to MaximumSpeed. [?status kickoff bug]", 0x0000FF);
        pane->show();
        QVERIFY(uitest::waitActive(pane));
        QTest::keyClicks(pane, "typed");
        QTest::keyClick(pane, Qt::Key_Backspace);
        QCOMPARE(uitest::lines(*pane).size(), 1);
        QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 "InitialSpeed is equal to MaximumSpeed. [?status kickoff bug]\n");
    }

private:
    ReportTextEdit* pane = nullptr;
};

QTEST_MAIN(TestReportPane)
#include "tst_report_pane.moc"
