#include "start_up.h"

#include "form1.h"
#include "korvane_version.h"
#include "window_text.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
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

// Qt's standard options, which QApplication takes out of the arguments it
// is given (QGuiApplication's, its X11 ones and QApplication's; see their
// documentation), by the name after the dash: those that take a value (the
// next argument) and those that do not. Qt reads them with one dash or two.
const std::array kQtOptionsWithValue = {"platform",
                                        "platformpluginpath",
                                        "platformtheme",
                                        "plugin",
                                        "qwindowgeometry",
                                        "qwindowicon",
                                        "qwindowtitle",
                                        "session",
                                        "display",
                                        "geometry",
                                        "title",
                                        "icon",
                                        "name",
                                        "visual",
                                        "style",
                                        "stylesheet"};
const std::array kQtFlags = {"reverse", "testability", "widgetcount", "nograb", "dograb"};

// The name of Qt's option `arg` ("-style=X" gives "style"), or empty.
std::string qtOption(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-')
        return {};
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    const std::string_view name = arg.substr(0, arg.find('='));
    const auto is = [name](const char* option) { return name == option; };
    // Only QApplication's two take their value after '=' too.
    if (name.size() != arg.size())
        return name == "style" || name == "stylesheet" ? std::string(name) : std::string();
    if (std::none_of(kQtOptionsWithValue.begin(), kQtOptionsWithValue.end(), is) &&
        std::none_of(kQtFlags.begin(), kQtFlags.end(), is))
        return {};
    return std::string(name);
}

bool takesValue(const std::string& option) {
    return std::find(kQtOptionsWithValue.begin(), kQtOptionsWithValue.end(), option) !=
           kQtOptionsWithValue.end();
}

// Whether Qt's option `name` is among the arguments.
bool qtOptionGiven(int argc, char* argv[], const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--")
            break;
        const std::string option = qtOption(argv[i]);
        if (option == name)
            return true;
        if (takesValue(option) && std::string_view(argv[i]).find('=') == std::string_view::npos)
            ++i;
    }
    return false;
}

} // namespace

Request readCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    bool options = true; // until "--", after which every argument is a FILE
    for (int i = 0; i < argc; ++i) {
        const std::string option = i > 0 && options ? qtOption(argv[i]) : std::string();
        if (!option.empty()) {
            // Qt's, with its value: QApplication reads them.
            if (takesValue(option) && std::string_view(argv[i]).find('=') == std::string_view::npos)
                ++i;
            continue;
        }
        options = options && std::string_view(argv[i]) != "--";
        arguments << QFile::decodeName(argv[i]);
    }
    QCoreApplication::setApplicationName(QStringLiteral("korvane"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(korvane::kVersion));
    QCommandLineParser parser;
    // "-xyz" is one option, as Qt's own are written, not x, y and z.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Checks a game server's ship settings in a window. With FILE, checks it "
                       "at once, as File, Check... would.\nQt's standard options, such as "
                       "-style NAME or -platform NAME, are passed to Qt."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A settings file to check"),
                                 QStringLiteral("[FILE]"));
    const auto fail = [](const QString& message) {
        std::fputs(korvane::window::usageError(message.toStdString()).c_str(), stderr);
        return Request{{}, korvane::window::kUsageStatus};
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
    if (const auto refused = korvane::window::refusedFiles(std::size_t(files.size())))
        return fail(QString::fromStdString(*refused));
    return {files.value(0), std::nullopt};
}

std::unique_ptr<QApplication> openDisplay(int& argc, char* argv[]) {
    // Without any display Qt could only fail.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qtOptionGiven(argc, argv, "platform") &&
        !qtOptionGiven(argc, argv, "display"))
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

int run(int argc, char* argv[]) {
    const Request request = readCommandLine(argc, argv);
    if (request.exitWith)
        return *request.exitWith;
    const auto app = openDisplay(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));

    Form1 form;
    form.show();
    if (!request.file.isEmpty())
        form.checkFile(request.file);
    return app->exec();
}

} // namespace startup
