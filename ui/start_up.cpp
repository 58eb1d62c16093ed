#include "start_up.h"

#include "korvane_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace startup {
namespace {

namespace fs = std::filesystem;

bool executable(const fs::path& p) {
    return ::access(p.c_str(), X_OK) == 0 && !fs::is_directory(p);
}

// The command that runs the checker from wherever this program is run: its
// name when the shell finds it beside this program (installed), else its
// path (in a build tree, ../cli from here).
std::string checkerCommand(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        self = fs::absolute(argv0, ec);
    const fs::path here = self.parent_path();
    const fs::path beside = here / "korvane-check";
    if (executable(beside)) {
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "";
        for (std::size_t start = 0; start <= dirs.size();) {
            const std::size_t end = std::min(dirs.find(':', start), dirs.size());
            const fs::path candidate = fs::path(dirs.substr(start, end - start)) / "korvane-check";
            if (executable(candidate) && fs::equivalent(candidate, beside, ec))
                return "korvane-check";
            start = end + 1;
        }
        return beside.string();
    }
    const fs::path built = (here / ".." / "cli" / "korvane-check").lexically_normal();
    return executable(built) ? built.string() : "korvane-check";
}

[[noreturn]] void noDisplay(const char* argv0, const std::string& why) {
    std::fprintf(stderr,
                 "korvane: %s; to check a settings file on a machine without one, use %s FILE\n",
                 why.c_str(), checkerCommand(argv0).c_str());
    std::exit(1);
}

const char* programName = "korvane";
std::vector<QString> held; // Qt's messages while it connects, shown only if it does

// A display that cannot be reached ends Qt with a fatal message after a few
// warnings: those become the one line. Anything else waits until the
// application stands, then goes out as Qt would print it.
void whileConnecting(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        const QByteArray display =
            qgetenv("WAYLAND_DISPLAY").isEmpty() ? qgetenv("DISPLAY") : qgetenv("WAYLAND_DISPLAY");
        noDisplay(programName,
                  "cannot open the display " +
                      (display.isEmpty() ? std::string("asked for") : display.toStdString()));
    }
    held.push_back(qFormatLogMessage(type, context, message));
}

} // namespace

Request readCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    QCoreApplication::setApplicationName(QStringLiteral("korvane"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(korvane::kVersion));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks a game server's ship settings in a window. With FILE, checks it "
                       "at once, as File, Check... would."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A settings file to check"),
                                 QStringLiteral("[FILE]"));
    const auto fail = [](const QString& message) {
        std::fprintf(stderr, "korvane: %s\nRun with --help for more information.\n",
                     qPrintable(message));
        return Request{{}, 2};
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        // Before there is an application, Qt cannot know the program's name.
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                        QStringLiteral("korvane"))),
                   stdout);
        return {{}, 0};
    }
    if (parser.isSet(version)) {
        std::printf("korvane %s\n", korvane::kVersion);
        return {{}, 0};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(QStringLiteral("one FILE at a time"));
    return {files.value(0), std::nullopt};
}

std::unique_ptr<QApplication> openDisplay(int& argc, char* argv[]) {
    // Without any display Qt could only fail.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        noDisplay(argv[0], "no display found");
    programName = argv[0];
    const QtMessageHandler previous = qInstallMessageHandler(whileConnecting);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : held)
        std::fprintf(stderr, "%s\n", qPrintable(message));
    held.clear();
    return app;
}

} // namespace startup
