// The program's own start, end to end: startup::run, as main() calls it,
// with Qt's standard options among the arguments and no display in the
// environment. The tests run inside the program's event loop, once its
// window is up; those that need no display start the real program.
#include "form1.h"
#include "korvane_version.h"
#include "report_text_edit.h"
#include "start_up.h"
#include "test_support.h"

#include <QApplication>
#include <QProcess>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

namespace {

// korvane, run without a display: what it printed, and its status.
struct Run {
    QString out, err;
    int status;
};
Run runProgram(const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KORVANE_PROGRAM), arguments);
    if (!program.waitForFinished(20000))
        program.kill();
    return {QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError()), program.exitCode()};
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT

private slots:
    void qtTakesItsOwnOptions() {
        QCOMPARE(QGuiApplication::platformName(), "offscreen");
        QCOMPARE(QApplication::style()->name(), "fusion");
        QCOMPARE(QGuiApplication::layoutDirection(), Qt::RightToLeft); // -reverse
    }

    void theFileGivenIsChecked() {
        Form1* form = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            form = form ? form : qobject_cast<Form1*>(window);
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), "clean-ships.cfg - Korvane");
        const QStringList report = uitest::lines(*form->findChild<ReportTextEdit*>("Text1"));
        QCOMPARE(report.size(), 26);
        QCOMPARE(report.constFirst(), "Checking settings...");
        QCOMPARE(report.constLast(), "This CFG file is OK.");
    }

    // --help and --version need no display, with Qt's options or without.
    void helpAndVersionNeedNoDisplay() {
        const Run help = runProgram({"-style=Fusion", "--help", "-platform", "xcb"});
        QCOMPARE(help.err, "");
        QCOMPARE(help.out,
                 "Usage: korvane [options] [FILE]\n"
                 "Checks a game server's ship settings in a window. With FILE, checks it at "
                 "once, as File, Check... would.\n"
                 "Qt's standard options, such as -style NAME or -platform NAME, are passed to "
                 "Qt.\n\n"
                 "Options:\n"
                 "  -h, --help     Shows this help.\n"
                 "  -v, --version  Shows the version.\n\n"
                 "Arguments:\n"
                 "  FILE           A settings file to check\n");
        QCOMPARE(help.status, 0);

        const Run version = runProgram({"--stylesheet", "none.qss", "-reverse", "--version"});
        QCOMPARE(version.out, QStringLiteral("korvane %1\n").arg(korvane::kVersion));
        QCOMPARE(version.status, 0);
    }

    // Only Qt's own options pass, as Qt writes them: "-s" is no short form
    // of -style.
    void otherOptionsAreStillRefused() {
        const Run refused = runProgram({"-s", "Fusion", "FILE"});
        QCOMPARE(refused.out, "");
        QCOMPARE(refused.err,
                 "korvane: Unknown option 's'.\nRun with --help for more information.\n");
        QCOMPARE(refused.status, 2);
        // Qt reads -platform=NAME as no option of its own.
        const Run unknown = runProgram({"-platform=xcb", "FILE"});
        QCOMPARE(unknown.err,
                 "korvane: Unknown option 'platform'.\nRun with --help for more information.\n");
        QCOMPARE(unknown.status, 2);
    }

    // The window core's one-FILE rule, as the Windows window applies it too.
    void aSecondFileIsRefused() {
        const Run refused = runProgram({"one.cfg", "-platform", "offscreen", "two.cfg"});
        QCOMPARE(refused.out, "");
        QCOMPARE(refused.err,
                 "korvane: one FILE at a time\nRun with --help for more information.\n");
        QCOMPARE(refused.status, 2);
    }
};

namespace {

int testStatus = 1;

// Runs the tests once the program's event loop runs, then closes the
// window, which ends the program.
void testInsideTheProgram() {
    QTimer::singleShot(0, qApp, [] {
        TestStartUp test;
        testStatus = QTest::qExec(&test);
        QApplication::closeAllWindows();
    });
}
Q_COREAPP_STARTUP_FUNCTION(testInsideTheProgram)

} // namespace

int main() {
    // Only the options name the display.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        qunsetenv(name);
    std::vector<std::string> arguments = {
        "korvane",
        "-style",
        "Fusion",
        "-reverse",
        "-platform",
        "offscreen",
        QFile::encodeName(uitest::fixture("clean-ships.cfg")).toStdString()};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int status = startup::run(int(arguments.size()), argv.data());
    return status != 0 ? status : testStatus;
}

#include "tst_start_up.moc"
