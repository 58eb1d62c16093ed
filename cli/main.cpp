// korvane-check: the check run for terminals, scripts and CI.

#include "check_file.h"
#include "korvane_version.h"
#include "report_writer.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using korvane::FileStatus;
using korvane::cli::Format;

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;
constexpr int kExitTrouble = 2; // usage error, or a file that could not be checked

constexpr const char* kStdinName = "<stdin>";

std::string reasonFor(const korvane::CheckOutcome& outcome) {
    if (outcome.status == FileStatus::NotRegular)
        return "not a regular file";
    return std::strerror(outcome.error);
}

bool useColour(const std::string& mode) {
    if (mode == "always")
        return true;
    if (mode == "never")
        return false;
    const char* noColour = std::getenv("NO_COLOR");
    return ::isatty(STDOUT_FILENO) && !(noColour && *noColour);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Checks the ship settings of a game server's settings file and prints the "
                 "report: red findings, blue ship headers and summaries, and a verdict.",
                 "korvane-check"};
    app.footer("Exit status: 0 when every FILE is OK, 1 when any has findings, 2 on a usage\n"
               "error or when a FILE cannot be checked. FILE - reads standard input.");
    app.set_version_flag("--version", std::string("korvane-check ") + korvane::kVersion);

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? kExitOk : kExitTrouble;
    }

    const Format format = formats.at(formatName);
    const korvane::Dialect dialect = dialects.at(dialectName);
    const bool colour = format == Format::Text && useColour(colourMode);
    int status = kExitOk;
    bool first = true;
    for (const std::string& path : files) {
        const bool fromStdin = path == "-";
        korvane::SettingsRequest request{fromStdin ? kStdinName : path, std::nullopt, dialect, zone,
                                         arena};
        if (fromStdin) {
            korvane::FileRead read = korvane::readStream(STDIN_FILENO);
            request.input = std::move(read.bytes);
        }
        korvane::cli::FileReport report{
            request.path, korvane::checkFile(std::move(request), locatesFindings(format)
                                                                     ? korvane::Findings::Locate
                                                                     : korvane::Findings::Skip)};
        if (report.outcome.status != FileStatus::Ok) {
            std::cerr << "korvane-check: " << report.name << ": " << reasonFor(report.outcome)
                      << '\n';
            status = kExitTrouble;
            continue;
        }
        if (format == Format::Text && files.size() > 1)
            std::cout << (first ? "" : "\n") << "==> " << report.name << " <==\n";
        first = false;
        korvane::cli::writeReport(std::cout, report, format, colour);
        korvane::cli::writeWarnings(format == Format::Github ? std::cout : std::cerr, report,
                                    format);
        if (report.outcome.errors > 0 && status == kExitOk)
            status = kExitFindings;
    }

    std::cout.flush();
    if (!std::cout) {
        std::cerr << "korvane-check: cannot write the report: " << std::strerror(errno) << '\n';
        return kExitTrouble;
    }
    return status;
}
