// korvane-check: the check run for terminals, scripts and CI.

#include "checker_run.h"
#include "console.h"
#include "korvane_version.h"
#include "lsp/server.h"
#include "zone_arenas.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using korvane::cli::Format;
using korvane::cli::kExitOk;
using korvane::cli::kExitTrouble;
using korvane::cli::quotedName;

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

} // namespace

int main(int rawArgc, char** rawArgv) {
    // Settings files are mapped, not copied: a file that shrinks meanwhile
    // must then not end the program.
    korvane::guardMappedFiles();
    korvane::cli::Arguments arguments(rawArgc, rawArgv);
    const int argc = arguments.argc();
    char** const argv = arguments.argv();
    // The language server for editors: standard input and output are its own.
    if (argc == 2 && std::strcmp(argv[1], "--lsp") == 0)
        return korvane::lsp::runLanguageServer();
    CLI::App app{"Checks the ship settings of a game server's settings file and prints the "
                 "report: red findings, blue ship headers and summaries, and a verdict.",
                 "korvane-check"};
    app.footer("A zone folder (one that holds arenas/) as FILE checks every arena of the zone,\n"
               "each with its arena.conf as the server finds it, and closes with the numbers\n"
               "of the zone.\n"
               "Exit status: 0 when every FILE is OK, 1 when any has findings (or, with\n"
               "--strict, when the reader warns), 2 on a usage error or when a FILE cannot be\n"
               "checked (or changed while it was read: its report may be wrong). FILE - reads\n"
               "standard input; put -- before a FILE whose name starts with -.");
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
                                                {"github", Format::Github},
                                                {"sarif", Format::Sarif}};
    app.add_option("--format", formatName,
                   "Output: text (the report), json (one object per FILE, with the findings and "
                   "their lines), gcc (FILE:LINE: error: TEXT per finding), github (a workflow "
                   "annotation per finding) or sarif (one SARIF 2.1.0 log, for code scanning)")
        ->check(CLI::IsMember(formats));
    bool explain = false;
    app.add_flag("--explain", explain,
                 "Explain each finding: with text, under it one line per key with its value, "
                 "where it was set (FILE:LINE), the #include lines that led there, the "
                 "#ifdef/#ifndef that decided it and what it replaced; with json, each key's "
                 "\"set\", \"via\", \"branches\" and \"overrides\"");
    bool effective = false;
    app.add_flag("--effective", effective,
                 "Instead of the report, list every key of the eight ship sections as the "
                 "server loads it from each FILE or arena: Section:Key=value  FILE:LINE, and "
                 "(overrides FILE:LINE) where it replaced earlier lines (text or json)");
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
    bool lsp = false; // handled above, alone; here only for --help
    app.add_flag("--lsp", lsp,
                 "Run as a language server for editors (the Language Server Protocol on "
                 "standard input and output), alone without FILE");
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
    if (lsp)
        return usageError("--lsp takes no FILE and no other option");
    if (std::count(files.begin(), files.end(), "-") > 1)
        return usageError("- (standard input) is given more than once");

    const Format format = formats.at(formatName);
    const korvane::Dialect dialect = dialects.at(dialectName);
    if (dialect == korvane::Dialect::Profile && (zone || arena))
        return usageError(std::string(zone ? "--zone" : "--arena") +
                          " is for the include dialect: it cannot go with --dialect=profile");
    if ((explain || effective) && format != Format::Text && format != Format::Json)
        return usageError(std::string(explain ? "--explain" : "--effective") +
                          " gives text or json: it cannot go with --format=" + formatName);
    if (explain && effective)
        return usageError("--explain is for a report: it cannot go with --effective");
    std::vector<bool> zones;
    for (const std::string& path : files)
        zones.push_back(path != "-" && korvane::isZoneFolder(path));
    const bool anyZone = std::find(zones.begin(), zones.end(), true) != zones.end();
    if (anyZone && (zone || arena))
        return usageError("--zone and --arena are for a FILE; a zone folder names its own");
    korvane::cli::RunOptions options;
    options.format = format;
    options.colour = format == Format::Text && useColour(colourMode);
    options.headed = files.size() > 1 || anyZone;
    options.explain = explain;
    options.effective = effective;
    options.dialect = dialect;
    options.zone = zone;
    options.arena = arena;
    korvane::cli::CheckerRun run(std::move(options));
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (zones[i])
            run.zone(files[i]);
        else
            run.file(files[i], files[i] == "-");
    }
    run.finish(strict);
    if (run.writeError() != 0) {
        std::cerr << "korvane-check: cannot write the report: " << std::strerror(run.writeError())
                  << '\n';
        return kExitTrouble;
    }
    return run.status();
}
