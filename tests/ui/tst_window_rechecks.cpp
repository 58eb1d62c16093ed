// The window checks again: on F5, and by itself when the file checked, a
// file it includes, or a file made where the server would look for an
// #include changes.
#include "form1.h"
#include "report_text_edit.h"
#include "test_support.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using uitest::cleanReport;
using uitest::line;
using uitest::noShipsReport;

class TestWindowRechecks : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY((form = uitest::showForm(&pane))); }
    void cleanup() { delete form; }

    void checkAgainChecksTheSameFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("ships.cfg");
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), path));
        form->checkFile(path);
        QCOMPARE(report(), cleanReport());
        QVERIFY(form->findChild<QAction*>("mnufileagain")->isEnabled());

        // F5 right after the change, before the window notices it itself.
        QVERIFY(QFile::remove(path) && QFile::copy(uitest::fixture("no-ship-sections.cfg"), path));
        QTest::keyClick(form->focusWidget(), Qt::Key_F5);
        QCOMPARE(report(), noShipsReport());
        QCOMPARE(form->windowTitle(), "ships.cfg - Korvane");
    }

    // Written in place, and saved as editors that write a new file and
    // rename it over the old one do (the new file must be watched too).
    void aChangedFileIsCheckedAgain() {
        QTemporaryDir dir;
        const QString path = dir.filePath("ships.cfg");
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), path));
        form->checkFile(path);
        QCOMPARE(report(), cleanReport());

        uitest::overwrite(path, uitest::fixture("no-ship-sections.cfg"));
        QTRY_COMPARE(report(), noShipsReport());
        uitest::saveByRename(path, uitest::fixture("clean-ships.cfg"));
        QTRY_COMPARE(report(), cleanReport());
        uitest::overwrite(path, uitest::fixture("no-ship-sections.cfg"));
        QTRY_COMPARE(report(), noShipsReport());

        // Deleted: it cannot be checked; back again, it is.
        QVERIFY(QFile::remove(path));
        QTRY_COMPARE(report(), QStringList({line("red", path + ": No such file or directory")}));
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), path));
        QTRY_COMPARE(report(), cleanReport());
    }

    void aChangedIncludedFileIsCheckedAgain() {
        QTemporaryDir zone;
        QVERIFY(QDir(zone.path()).mkpath("arenas/a") && QDir(zone.path()).mkpath("conf"));
        const QString ships = zone.filePath("conf/ships.conf");
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), ships));
        const QString arena = zone.filePath("arenas/a/arena.conf");
        QFile file(arena);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#include ships.conf\n");
        file.close();

        form->checkFile(arena);
        QCOMPARE(report(), cleanReport());
        uitest::overwrite(ships, uitest::fixture("no-ship-sections.cfg"));
        QTRY_COMPARE(report(), noShipsReport());
        uitest::saveByRename(ships, uitest::fixture("clean-ships.cfg"));
        QTRY_COMPARE(report(), cleanReport());
        QCOMPARE(form->windowTitle(), "arena.conf - Korvane");
    }

    // An #include found nowhere, then made where the server looks for it;
    // then a file made earlier in the search order, which shadows it.
    void aCreatedIncludeIsCheckedAgain() {
        QTemporaryDir zone;
        QVERIFY(QDir(zone.path()).mkpath("arenas/a"));
        const QString arena = zone.filePath("arenas/a/arena.conf");
        QFile file(arena);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#include ships.conf\n");
        file.close();

        form->checkFile(arena);
        QCOMPARE(report().mid(0, noShipsReport().size()), noShipsReport());
        // Its folder too is made only now.
        QVERIFY(QDir(zone.path()).mkpath("conf"));
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), zone.filePath("conf/ships.conf")));
        QTRY_COMPARE(report(), cleanReport());
        QVERIFY(QFile::copy(uitest::fixture("no-ship-sections.cfg"),
                            zone.filePath("arenas/a/ships.conf")));
        QTRY_COMPARE(report(), noShipsReport());
    }

private:
    QStringList report() const { return uitest::report(*pane); }

    Form1* form = nullptr;
    ReportTextEdit* pane = nullptr;
};

QTEST_MAIN(TestWindowRechecks)
#include "tst_window_rechecks.moc"
