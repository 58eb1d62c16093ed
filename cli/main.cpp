// korvane-check: the check run for terminals, scripts and CI.

#include "check_file.h"
#include "console.h"
#include "korvane_version.h"
#include "report_writer.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using korvane::FileStatus;
using korvane::cli::Format;
using korvane::cli::quotedName;

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;
constexpr int kExitTrouble = 2; // usage error, or a file that could not be checked

constexpr const char* kStdinName = "<stdin>";

bool useColour(const std::string& mode) {
    if (mode == "always")
        return true;
    if (mode == "never")
        return false;
    const char* noColour = std::getenv("NO_COLOR");
    return !(noColour && *noColour) && korvane::cli::colourTerminal();
}

int usageError(const std::string& message) {
    std::cerr << "korvane-check: " << message << "\nRun with --help for more information.\n";
    return kExitTrouble;
}

// Standard output, written to the end or not at all after the first failed
// write, whose own reason is kept.
class Output {
public:
    void write(const std::string& bytes) {
        if (error_ == 0)
            error_ = korvane::cli::writeStandardOutput(bytes);
    }
    int error() const { return error_; }

private:
    int error_ = 0;
};

} // namespace

int main(int rawArgc, char** rawArgv) {
    // Settings files are mapped, not copied: a file that shrinks meanwhile
    // must then not end the program.
    korvane::guardMappedFiles();
    korvane::cli::Arguments arguments(rawArgc, rawArgv);
    const int argc = arguments.argc();
    char** const argv = arguments.argv();
    CLI::App app{"Checks the ship settings of a game server's settings file and prints the "
                 "report: red findings, blue ship headers and summaries, and a verdict.",
                 "korvane-check"};
    app.footer("Exit status: 0 when every FILE is OK, 1 when any has findings, 2 on a usage\n"
               "error or when a FILE cannot be checked. FILE - reads standard input; put --\n"
               "before a FILE whose name starts with -.");
    app.set_version_flag("--version", std::string("korvane-check ") + korvane::kVersion);
    // Unknown options are named below, as CLI11 would take them for files.
    app.allow_extras();
    // Unix paths start with '/': never options, on Windows either.
    app.allow_windows_style_options(false);

    std::vector<std::string> files;
    app.add_option("FILE", files, "Settings files to check")->required();
    std::string colourMode = "auto";
    app.add_option("--color", colourMode,
                   "Colour the text report: auto (on a terminal, unless NO_COLOR is set and not "
                   "empty), always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}));
    std::string formatName = "text";
    const std::map<std::string, Format> formats{{"text", Format::Text},
                                                {"json", Format::Json},
                                                {"gcc", Format::Gcc},
                                                {"github", Format::Github}};
    app.add_option("--format", formatName,
                   "Output: text (the report), json (one object per FILE, with the findings and "
                   "their lines), gcc (FILE:LINE: error: TEXT per finding) or github (a workflow "
                   "annotation per finding)")
        ->check(CLI::IsMember(formats));
    std::string dialectName = "auto";
    const std::map<std::string, korvane::Dialect> dialects{{"auto", korvane::Dialect::Auto},
                                                           {"profile", korvane::Dialect::Profile},
                                                           {"include", korvane::Dialect::Include}};
    app.add_option("--dialect", dialectName,
                   "How to read each FILE: profile (a Windows-style INI file, as the Windows "
                   "profile reader reads it), include (an arena's .conf file, as the newer "
                   "servers load it with its #include files) or auto (the default: include for "
                   "names ending in .conf, profile for any other)")
        ->check(CLI::IsMember(dialects));
    std::optional<std::string> zone;
    app.add_option("--zone", zone,
                   "The zone folder where #include files are looked for (default: the one the "
                   "FILE's path implies)");
    std::optional<std::string> arena;
    app.add_option("--arena", arena,
                   "The arena whose folder #include files are looked for first (default: the "
                   "one the FILE's path implies)");

    // CLI11 would take the next argument as the value of "--format=".
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--") && arg.ends_with("=") && arg.find('=') == arg.size() - 1)
            return usageError("option " + std::string(arg.substr(0, arg.size() - 1)) +
                              " needs a value");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::RequiredError&) {
        // Only FILE is required; an unknown option is the likelier mistake.
        if (app.remaining().empty())
            return usageError("no FILE to check");
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? kExitOk : kExitTrouble;
    }
    for (const std::string& extra : app.remaining()) {
        if (extra == "--")
            continue;
        std::string message = "unknown option " + quotedName(extra);
        if (!extra.starts_with("--")) {
            message += "; to check a file whose name starts with '-', put -- before it: "
                       "korvane-check -- " +
                       quotedName(extra);
        }
        return usageError(message);
    }
    if (std::count(files.begin(), files.end(), "-") > 1)
        return usageError("- (standard input) is given more than once");

    const Format format = formats.at(formatName);
    const korvane::Dialect dialect = dialects.at(dialectName);
    const bool colour = format == Format::Text && useColour(colourMode);
    Output out;
    int status = kExitOk;
    bool first = true;
    for (const std::string& path : files) {
        const bool fromStdin = path == "-";
        korvane::SettingsRequest request{fromStdin ? kStdinName : path, std::nullopt, dialect, zone,
                                         arena};
        if (fromStdin) {
            korvane::FileRead read = korvane::readStandardInput();
            if (read.status != FileStatus::Ok) {
                std::cerr << "korvane-check: " << kStdinName << ": "
                          << korvane::failureReason(read.status, read.error) << '\n';
                status = kExitTrouble;
                continue;
            }
            request.input = std::move(read.bytes);
        }
        korvane::cli::FileReport report{
            request.path, korvane::checkFile(std::move(request), locatesFindings(format)
                                                                     ? korvane::Findings::Locate
                                                                     : korvane::Findings::Skip)};
        if (report.outcome.status != FileStatus::Ok) {
            std::cerr << "korvane-check: " << quotedName(report.name) << ": "
                      << korvane::failureReason(report.outcome.status, report.outcome.error)
                      << '\n';
            status = kExitTrouble;
            continue;
        }
        std::ostringstream text;
        if (format == Format::Text && files.size() > 1)
            text << (first ? "" : "\n") << "==> " << quotedName(report.name) << " <==\n";
        first = false;
        korvane::cli::writeReport(text, report, format, colour);
        if (format == Format::Github)
            korvane::cli::writeWarnings(text, report, format);
        else
            korvane::cli::writeWarnings(std::cerr, report, format);
        // JSON's bytes are the same everywhere; text takes the platform's
        // line ends.
        out.write(format == Format::Json ? text.str() : korvane::cli::withLineEnds(text.str()));
        if (report.outcome.errors > 0 && status == kExitOk)
            status = kExitFindings;
    }

    if (out.error() != 0) {
        std::cerr << "korvane-check: cannot write the report: " << std::strerror(out.error())
                  << '\n';
        return kExitTrouble;
    }
    return status;
}
