// The main window driven as a user drives it: Ctrl+O, a file chosen in the
// dialog, the coloured report read back from the pane. Tests that only need
// a check call Form1::checkFile.
#include "form1.h"
#include "module1.h"
#include "report_text_edit.h"
#include "test_support.h"
#include "twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <cmath>
#include <stdexcept>
#include <sys/stat.h>

namespace {

using uitest::cleanReport;
using uitest::line;
using uitest::noShipsReport;

class ThrowOnThirdFinding : public korvane::Module1::FindingObserver {
public:
    void finding(std::string_view, std::string_view,
                 std::span<const korvane::Module1::KeyReading>) override {
        if (++seen == 3)
            throw std::runtime_error("failure in the middle of a run");
    }
    int seen = 0;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY((form = uitest::showForm(&pane))); }
    void cleanup() {
        korvane::Module1::SetFindingObserver(nullptr);
        delete form;
    }

    void twipsAtTheLogicalDpi() {
        QCOMPARE(korvane::twips::toPixels(7824, 96), 522);
        QCOMPARE(korvane::twips::toPixels(3912, 96), 261);
        QCOMPARE(korvane::twips::toPixels(3744, 96), 250);
        QCOMPARE(korvane::twips::toPixels(2496, 96), 166);
        QCOMPARE(korvane::twips::toPixels(7824, 192), 1043);
    }

    void opensOnAnEmptyPaneUnderTheMenus() {
        QCOMPARE(form->windowTitle(), "Korvane");
        QVERIFY(!form->windowIcon().isNull());
        QCOMPARE(pane->size(), korvane::twips::toPixels(QSize(7824, 3912), *form));
        QCOMPARE(pane->geometry(), clientArea());
        QVERIFY(uitest::lines(*pane).isEmpty());

        QStringList menuBar;
        for (QAction* title : form->menuBar()->actions())
            menuBar << title->text() + (title->menu() ? " >" : "");
        QCOMPARE(menuBar, QStringList({"&File >", "&About..."}));
        QStringList file;
        for (QAction* item : form->findChild<QMenu*>("mnufile")->actions())
            file << (item->isSeparator() ? "-" : item->text() + " " + item->shortcut().toString());
        QCOMPARE(file, QStringList({"&Check... Ctrl+O", "Check &Again F5", "-", "E&xit Ctrl+Q"}));
        // Nothing to check again yet: F5 does nothing.
        QVERIFY(!form->findChild<QAction*>("mnufileagain")->isEnabled());
        QTest::keyClick(form->focusWidget(), Qt::Key_F5);
        QVERIFY(uitest::lines(*pane).isEmpty());
        QCOMPARE(form->windowTitle(), "Korvane");
    }

    void theCaptionNamesTheFileChecked_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("caption");
        const QString dir = QDir::tempPath();
        QTest::newRow("file") << uitest::fixture("clean-ships.cfg") << "clean-ships.cfg - Korvane";
        QTest::newRow("relative") << "ships.conf"
                                  << "ships.conf - Korvane";
        QTest::newRow("folder") << dir + "/" << QFileInfo(dir).fileName() + " - Korvane";
        QTest::newRow("root") << "/"
                              << "/ - Korvane";
        // "[*]" would otherwise be taken for the caption's modified mark.
        QTest::newRow("placeholder") << dir + "/a[*].cfg"
                                     << "a[*].cfg - Korvane";
        QTest::newRow("control") << dir + "/new\nline.cfg"
                                 << "'new'$'\\012''line.cfg' - Korvane";
    }
    void theCaptionNamesTheFileChecked() {
        QFETCH(QString, path);
        QFETCH(QString, caption);
        form->checkFile(path);
        // As the window system is told it, placeholders resolved.
        QCOMPARE(form->windowHandle()->title(), caption);
    }

    // One red line that names the path and says why, as korvane-check does.
    void aPathThatCannotBeCheckedGivesOneLine() {
        QTemporaryDir dir;
        const QString missing = dir.filePath("missing.cfg");
        form->checkFile(missing);
        QCOMPARE(report(), QStringList({line("red", missing + ": No such file or directory")}));
        QCOMPARE(form->windowTitle(), "missing.cfg - Korvane");
        form->checkFile(dir.path());
        QCOMPARE(report(), QStringList({line("red", dir.path() + ": not a regular file")}));
    }

    void checkWritesTheColouredReport() {
        form->checkFile(uitest::fixture("no-ship-sections.cfg"));
        QCOMPARE(report(), noShipsReport());
        QCOMPARE(korvane::Module1::ConfigFile,
                 QFile::encodeName(uitest::fixture("no-ship-sections.cfg")).toStdString());

        // The second check empties the pane first.
        form->checkFile(uitest::fixture("clean-ships.cfg"));
        QCOMPARE(report(), cleanReport());
    }

    void confFilesListTheirReadersWarnings() {
        QTemporaryDir zone;
        QVERIFY(QDir(zone.path()).mkpath("arenas/a") && QDir(zone.path()).mkpath("conf"));
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), zone.filePath("conf/ships.conf")));
        const QString arena = zone.filePath("arenas/a/arena.conf");
        QFile file(arena);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#include ships.conf\n#include nothere.conf\n");
        file.close();

        form->checkFile(arena);
        const QString warning =
            line("black", arena + ":2: warning: #include \"nothere.conf\" not found");
        const QStringList shown = report();
        QCOMPARE(shown.mid(0, 26), cleanReport());
        QCOMPARE(shown.size(), 28);
        QCOMPARE(shown.at(26), line("black", ""));
        QVERIFY2(shown.at(27).startsWith(warning), qPrintable(shown.at(27)));
    }

    void controlCharactersInWarningsAreQuoted() {
        QTemporaryDir zone;
        QVERIFY(QDir(zone.path()).mkpath("arenas/a"));
        const QString arena = zone.filePath("arenas/a/arena.conf");
        QFile file(arena);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#include \"e\x1b[2Jx\"\n");
        file.close();

        form->checkFile(arena);
        // An escape sequence would be lost, or drive a terminal the report
        // is copied to: it is quoted as a shell quotes it.
        const QString name = "e'$'\\033''[2Jx";
        const QString z = zone.path();
        const QString warning = arena + ":1: warning: '#include \"" + name + "\" not found (no " +
                                z + "/arenas/a/" + name + ", " + z + "/conf/" + name + ", " + z +
                                "/" + name + " or " + z + "/arenas/(default)/" + name +
                                "): its settings are missing'";
        QCOMPARE(report().constLast(), line("black", warning));
    }

    void aDroppedFileIsChecked() {
        // Two files dropped on the report: the first is checked.
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(uitest::fixture("no-ship-sections.cfg")),
                       QUrl::fromLocalFile(uitest::fixture("clean-ships.cfg"))});
        QVERIFY(drop(files));
        QCOMPARE(report(), noShipsReport());
        // Text is no file: refused, and the report stays.
        QMimeData text;
        text.setText(QStringLiteral("[Warbird]"));
        QVERIFY(!drop(text));
        QCOMPARE(report(), noShipsReport());
    }

    void cancelStartsNoCheck() {
        korvane::Module1::ConfigFile = "before";
        uitest::ModalDriver cancel([](QWidget* dialog) { pressEscape(dialog); });
        pressCtrlO();
        QVERIFY(cancel.ran());
        QVERIFY(uitest::lines(*pane).isEmpty());
        QCOMPARE(korvane::Module1::ConfigFile, "before");

        // Cancelled again, the dialog still holds the earlier choice.
        QTemporaryDir dir;
        const QString path = dir.filePath("ships.cfg");
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), path));
        chooseInDialog(path);
        QCOMPARE(report(), cleanReport());
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::copy(uitest::fixture("no-ship-sections.cfg"), path));
        uitest::ModalDriver cancelAgain([](QWidget* dialog) { pressEscape(dialog); });
        pressCtrlO();
        QVERIFY(cancelAgain.ran());
        QCOMPARE(report(), cleanReport());
    }

    void allFilesListsEveryName() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(uitest::fixture("no-ship-sections.cfg"), dir.filePath("server.cfg")));
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), dir.filePath("ships.ini")));
        QVERIFY(QFile::copy(uitest::fixture("clean-ships.cfg"), dir.filePath("SHIPS")));

        uitest::ModalDriver choose([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY(dialog);
            uitest::typeIntoFileDialog(dialog, dir.path());
            QTRY_COMPARE(uitest::listedNames(dialog), QStringList({"server.cfg"}));

            auto* filters = dialog->findChild<QComboBox*>("fileTypeCombo");
            QCOMPARE(filters->count(), 2);
            QCOMPARE(filters->itemText(0), "SS Configuration Files");
            QCOMPARE(filters->itemText(1), "All files");
            filters->setFocus();
            QTest::keyClick(filters, Qt::Key_Down);
            QTRY_COMPARE(uitest::listedNames(dialog),
                         QStringList({"SHIPS", "server.cfg", "ships.ini"}));
            uitest::typeIntoFileDialog(dialog, "SHIPS");
        });
        pressCtrlO();
        QVERIFY(choose.ran());
        QVERIFY(!choose.leftOpen());
        QCOMPARE(korvane::Module1::ConfigFile,
                 QFile::encodeName(dir.filePath("SHIPS")).toStdString());
        QCOMPARE(report(), cleanReport());
    }

    void paneFollowsTheClientArea() {
        const QSize normal = pane->size();
        form->showMinimized();
        QTRY_VERIFY(form->isMinimized());
        QCOMPARE(pane->size(), normal);

        form->showMaximized();
        QTRY_VERIFY(pane->width() > normal.width());
        QVERIFY(form->isMaximized());
        QCOMPARE(pane->geometry(), clientArea());

        form->showNormal();
        QTRY_COMPARE(pane->size(), normal);
        QCOMPARE(pane->geometry(), clientArea());

        // The window enforces no minimum: it shrinks to a pixel, and the
        // pane with it, as long as there is room under the menu bar.
        const QSize small(12, form->menuBar()->height() + 3);
        form->resize(small);
        QTRY_COMPARE(form->size(), small);
        QTRY_COMPARE(pane->geometry(), clientArea());
        form->resize(1, 1);
        QTRY_COMPARE(form->size(), QSize(1, 1));
    }

    void failedRunKeepsItsFirstLines() {
        ThrowOnThirdFinding observer;
        korvane::Module1::SetFindingObserver(&observer);
        form->checkFile(uitest::fixture("no-ship-sections.cfg"));
        // The lines written so far, then one that says the check stopped.
        QCOMPARE(report(), noShipsReport().mid(0, 5)
                               << line("red", uitest::fixture("no-ship-sections.cfg") +
                                                  ": the check stopped on an unexpected error: "
                                                  "failure in the middle of a run; the report "
                                                  "above is incomplete"));
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY2(window == form || !window->isVisible(), window->metaObject()->className());

        korvane::Module1::SetFindingObserver(nullptr);
        form->checkFile(uitest::fixture("no-ship-sections.cfg"));
        QCOMPARE(report(), noShipsReport());
    }

    // Whatever is chosen, the check finishes with the reader's result, or
    // says why there is none, and the window stays usable.
    void specialAndHostileFilesCannotFreezeTheWindow() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.cfg");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString nuls = dir.filePath("nuls.cfg");
        {
            QFile f(nuls);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1 << 20, '\0'));
        }
        // (A name that leads nowhere, such as a dangling link, the dialog
        // itself refuses with a message of its own.)
        form->checkFile(nuls);
        QCOMPARE(report(), noShipsReport());
        for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
            form->checkFile(path);
            QCOMPARE(report(), QStringList({line("red", path + ": not a regular file")}));
        }
        form->checkFile(uitest::fixture("clean-ships.cfg"));
        QCOMPARE(report(), cleanReport());
    }

    // On a dark pane a finding's red and a ship line's blue keep their hue
    // and reach 4.5:1 against the pane's base, measured as WCAG 2 measures
    // it, whether the palette changed before the check or after it; back
    // on a light pane they are #FF0000 and #0000FF again.
    void coloursAreReadableOnADarkPane_data() {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("text");
        QTest::newRow("black") << QColor(QRgb(0x000000)) << QColor(QRgb(0xFFFFFF));
        QTest::newRow("Breeze Dark") << QColor(QRgb(0x1B1E20)) << QColor(QRgb(0xFCFCFC));
        QTest::newRow("Adwaita dark") << QColor(QRgb(0x2D2D2D)) << QColor(QRgb(0xFFFFFF));
        QTest::newRow("Darcula") << QColor(QRgb(0x3C3F41)) << QColor(QRgb(0xBBBBBB));
    }
    void coloursAreReadableOnADarkPane() {
        QFETCH(QColor, base);
        QFETCH(QColor, text);
        const QPalette light = form->palette();
        QPalette dark = light;
        dark.setColor(QPalette::Base, base);
        dark.setColor(QPalette::Text, text);

        form->setPalette(dark);
        form->checkFile(uitest::fixture("no-ship-sections.cfg"));
        QCOMPARE(shownHues(), noShipsReport());
        measureOn(base, "checked on it");

        form->setPalette(light);
        QCOMPARE(report(), noShipsReport());
        form->setPalette(dark);
        QCOMPARE(shownHues(), noShipsReport());
        measureOn(base, "palette changed");
    }

    void ctrlQEndsTheProgram() {
        QTest::keyClick(form->focusWidget(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!form->isVisible());
    }

private:
    // As a drag from a file manager ends: over the report pane. Whether the
    // window took it.
    bool drop(QMimeData& data) {
        QWidget* target = pane->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }

    // As a user does: Ctrl+O, then the path typed into the dialog.
    void chooseInDialog(const QString& path) {
        uitest::ModalDriver choose([path](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY(dialog);
            uitest::typeIntoFileDialog(dialog, path);
        });
        pressCtrlO();
        QVERIFY(choose.ran());
        QVERIFY(!choose.leftOpen());
        QCOMPARE(QApplication::activePopupWidget(), nullptr); // no completion list left over
    }

    // The window system gives the window back the focus when a dialog over
    // it closes; the offscreen one leaves that to the program.
    void pressCtrlO() {
        form->activateWindow();
        QVERIFY(uitest::waitActive(form));
        QTest::keyClick(form->focusWidget(), Qt::Key_O, Qt::ControlModifier);
    }

    static void pressEscape(QWidget* dialog) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    }

    QRect clientArea() const {
        const int menuBar = form->menuBar()->height();
        return {0, menuBar, form->width(), form->height() - menuBar};
    }

    // The report with each line's colour named by its hue alone.
    QStringList shownHues() const {
        QStringList result;
        const QStringList text = uitest::lines(*pane);
        for (int i = 0; i < text.size(); ++i) {
            const QColor colour = uitest::colour(*pane, i);
            const char* name = colour == pane->palette().color(QPalette::Text) ? "black"
                               : colour.hslSaturation() < 255                  ? "other"
                               : colour.hue() == 0                             ? "red"
                               : colour.hue() == 240                           ? "blue"
                                                                               : "other";
            result << line(name, text.at(i));
        }
        return result;
    }

    // Every coloured line's contrast against `base`, at least 4.5:1.
    void measureOn(const QColor& base, const char* when) const {
        QMap<QString, double> least;
        for (int i = 0; i < uitest::lines(*pane).size(); ++i) {
            const QColor colour = uitest::colour(*pane, i);
            if (colour == pane->palette().color(QPalette::Text))
                continue;
            const double ratio = contrast(colour, base);
            if (!least.contains(colour.name()) || ratio < least[colour.name()])
                least[colour.name()] = ratio;
        }
        QCOMPARE(least.size(), 2);
        for (auto it = least.cbegin(); it != least.cend(); ++it) {
            qInfo("%s on %s (%s): %.2f:1", qPrintable(it.key()), qPrintable(base.name()), when,
                  it.value());
            QVERIFY2(it.value() >= 4.5, qPrintable(it.key()));
        }
    }

    // WCAG 2: relative luminance, and the ratio of the lighter to the darker.
    static double contrast(const QColor& a, const QColor& b) {
        const auto luminance = [](const QColor& c) {
            const auto linear = [](double v) {
                return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) +
                   0.0722 * linear(c.blueF());
        };
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }

    QStringList report() const { return uitest::report(*pane); }

    Form1* form = nullptr;
    ReportTextEdit* pane = nullptr;
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
