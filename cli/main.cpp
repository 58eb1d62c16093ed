// korvane-check: the check run for terminals, scripts and CI.

#include "check_result.h"
#include "file_names.h"
#include "console.h"
#include "include_cache.h"
#include "include_reader.h"
#include "korvane_version.h"
#include "report_writer.h"
#include "zone_arenas.h"

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

// One run over the FILEs and zones given: writes each report, keeps the
// exit status and counts the reader's warnings.
class Run {
public:
    Run(Format format, bool colour, bool headed, korvane::Dialect dialect)
        : format_(format), colour_(colour), headed_(headed), dialect_(dialect) {}

    // Checks one file and writes its report, under `heading` where reports
    // are headed; the findings, or nothing when it could not be checked.
    std::optional<int> check(const korvane::CheckRequest& request,
                             std::optional<std::string> arena = std::nullopt,
                             const std::string& heading = {}) {
        korvane::CheckResult report = korvane::check(request);
        report.arena = std::move(arena);
        if (report.status != FileStatus::Ok) {
            trouble(report.name, korvane::failureReason(report.status, report.error));
            return std::nullopt;
        }
        std::ostringstream text;
        if (format_ == Format::Text && headed_)
            text << (first_ ? "" : "\n") << "==> " << quotedName(report.name) << heading
                 << " <==\n";
        first_ = false;
        korvane::cli::writeReport(text, report, format_, colour_);
        if (format_ == Format::Github)
            korvane::cli::writeWarnings(text, report, format_);
        else
            korvane::cli::writeWarnings(std::cerr, report, format_);
        write(text.str());
        // The report is given, but the file changed under the run.
        if (report.mayBeWrong)
            trouble(report.name, korvane::failureReason(FileStatus::Unreadable, report.changedError) +
                                     ": this report may be wrong");
        warnings_ += report.warningCount;
        if (report.errors > 0)
            findings();
        return report.errors;
    }

    // Checks every arena of the zone folder `zone`, then closes with the
    // numbers of the zone. Included files are read once for all arenas.
    void checkZone(const std::string& zone) {
        const korvane::ZoneArenas found = korvane::zoneArenas(zone);
        if (found.error != 0)
            trouble(zone + "/arenas", std::strerror(found.error));
        if (found.arenas.empty()) {
            trouble(zone, "a zone folder without arenas (no arena.conf found)");
            return;
        }
        // The zone as checking an arena's own file would name it.
        const std::string root =
            korvane::arenaPlaceOf(withSlash(zone) + "arenas/(default)/arena.conf").zone;
        korvane::IncludeCache cache;
        korvane::cli::ZoneSummary summary{zone};
        for (const korvane::ZoneArena& arena : found.arenas) {
            if (arena.status != FileStatus::Ok) {
                trouble(arena.path, korvane::failureReason(arena.status, arena.error));
                continue;
            }
            // An arena without a file of its own is named beside the one it reads.
            const bool own = arena.path == withSlash(zone) + "arenas/" + arena.name + "/arena.conf";
            korvane::CheckRequest request{arena.path, dialect_, root, arena.name};
            request.cache = &cache;
            const auto errors =
                check(request, arena.name, own ? "" : " (arena " + quotedName(arena.name) + ")");
            if (!errors)
                continue;
            ++summary.arenas;
            summary.arenasWithErrors += *errors > 0 ? 1 : 0;
            summary.errors += *errors;
        }
        std::ostringstream text;
        korvane::cli::writeZoneSummary(text, summary, format_);
        write(text.str());
    }

    void trouble(const std::string& name, const std::string& reason) {
        std::cerr << "korvane-check: " << quotedName(name) << ": " << reason << '\n';
        status_ = kExitTrouble;
    }

    int status() const { return status_; }
    std::size_t warnings() const { return warnings_; }
    void findings() {
        if (status_ == kExitOk)
            status_ = kExitFindings;
    }
    const Output& out() const { return out_; }

private:
    // JSON's bytes are the same everywhere; text takes the platform's line
    // ends.
    void write(const std::string& text) {
        out_.write(format_ == Format::Json ? text : korvane::cli::withLineEnds(text));
    }

    static std::string withSlash(const std::string& folder) {
        return folder.ends_with('/') ? folder : folder + '/';
    }

    Format format_;
    bool colour_;
    bool headed_;
    korvane::Dialect dialect_;
    Output out_;
    int status_ = kExitOk;
    bool first_ = true;
    std::size_t warnings_ = 0;
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
    app.footer("A zone folder (one that holds arenas/) as FILE checks every arena of the zone,\n"
               "each with its arena.conf as the server finds it, and closes with the numbers\n"
               "of the zone.\n"
               "Exit status: 0 when every FILE is OK, 1 when any has findings (or, with\n"
               "--strict, when the reader warns), 2 on a usage error or when a FILE cannot be\n"
               "checked. FILE - reads standard input; put -- before a FILE whose name starts\n"
               "with -.");
    app.set_version_flag("--version", std::string("korvane-check ") + korvane::kVersion);
    // Unknown options are named below, as CLI11 would take them for files.
    app.allow_extras();
    // Unix paths start with '/': never options, on Windows either.
    app.allow_windows_style_options(false);

    std::vector<std::string> files;
    app.add_option("FILE", files, "Settings files, or zone folders, to check")->required();
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
    bool strict = false;
    app.add_flag("--strict", strict,
                 "Fail the run (exit status 1) when the reader warns, even where no FILE has "
                 "findings: for CI");

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
    if (dialect == korvane::Dialect::Profile && (zone || arena))
        return usageError(std::string(zone ? "--zone" : "--arena") +
                          " is for the include dialect: it cannot go with --dialect=profile");
    const bool colour = format == Format::Text && useColour(colourMode);
    std::vector<bool> zones;
    for (const std::string& path : files)
        zones.push_back(path != "-" && korvane::isZoneFolder(path));
    const bool anyZone = std::find(zones.begin(), zones.end(), true) != zones.end();
    if (anyZone && (zone || arena))
        return usageError("--zone and --arena are for a FILE; a zone folder names its own");
    Run run(format, colour, files.size() > 1 || anyZone, dialect);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& path = files[i];
        if (zones[i]) {
            run.checkZone(path);
            continue;
        }
        const bool fromStdin = path == "-";
        run.check({fromStdin ? kStdinName : path, dialect, zone, arena, fromStdin});
    }
    if (strict && run.warnings() > 0) {
        std::cerr << "korvane-check: " << run.warnings()
                  << (run.warnings() == 1 ? " warning" : " warnings")
                  << " from the reader, and --strict makes warnings fail the run\n";
        run.findings();
    }

    const Output& out = run.out();
    if (out.error() != 0) {
        std::cerr << "korvane-check: cannot write the report: " << std::strerror(out.error())
                  << '\n';
        return kExitTrouble;
    }
    return run.status();
}
