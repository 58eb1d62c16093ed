#include "checker_run.h"

#include "console.h"
#include "effective_writer.h"
#include "file_names.h"

#include <cstring>
#include <iostream>
#include <sstream>

namespace korvane::cli {
namespace {

constexpr const char* kStdinName = "<stdin>";

} // namespace

void CheckerRun::file(const std::string& path, bool standardInput) {
    // Built whole: GCC 12 under the sanitizers takes the assignment of an
    // optional member for a read of uninitialised memory.
    const CheckRequest request{standardInput ? kStdinName : path, options_.dialect,
                               options_.zone, options_.arena, standardInput};
    if (options_.effective)
        effective(effectiveSettings(request), {});
    else
        report(check(request), {});
}

void CheckerRun::zone(const std::string& zone) {
    CheckRequest base{zone};
    base.dialect = options_.dialect;
    ZoneRun run;
    if (options_.effective) {
        run = effectiveZone(zone, base, [&](const EffectiveResult& result) {
            effective(result, arenaNote(zone, result.name, result.arena));
        });
    } else {
        run = checkZone(zone, base, [&](const CheckResult& result) {
            report(result, arenaNote(zone, result.name, result.arena));
        });
    }
    if (run.listError != 0)
        trouble(zone + "/arenas", std::strerror(run.listError));
    for (const UnlistedEntry& entry : run.unlisted)
        trouble(entry.path, std::string(std::strerror(entry.error)) + ": not checked as an arena");
    if (run.empty) {
        trouble(zone, kZoneWithoutArenas);
        return;
    }
    if (options_.effective || options_.format == Format::Sarif)
        return;
    std::ostringstream text;
    writeZoneSummary(text, zone, run, options_.format);
    write(text.str());
}

void CheckerRun::report(const CheckResult& result, const std::string& more) {
    if (result.status != FileStatus::Ok) {
        trouble(result.name, failureReason(result.status, result.error));
        return;
    }
    std::ostringstream text;
    text << heading(result.name, more);
    if (options_.format == Format::Sarif)
        sarif_.add(result);
    else
        writeReport(text, result, options_.format, options_.colour, options_.explain);
    if (options_.format == Format::Github)
        writeWarnings(text, result, options_.format);
    else
        writeWarnings(std::cerr, result, options_.format);
    write(text.str());
    // The report is given, but the file changed under the run.
    if (result.mayBeWrong)
        trouble(result.name, failureReason(FileStatus::Unreadable, result.changedError) +
                                 ": this report may be wrong");
    warnings_ += result.warningCount;
    if (result.errors > 0)
        findings();
}

void CheckerRun::effective(const EffectiveResult& result, const std::string& more) {
    if (result.status != FileStatus::Ok) {
        trouble(result.name, failureReason(result.status, result.error));
        return;
    }
    std::ostringstream text;
    text << heading(result.name, more);
    writeEffective(text, result, options_.format);
    for (const Warning& w : result.warnings)
        std::cerr << warningLine(w, result.name) << '\n';
    write(text.str());
    if (result.mayBeWrong)
        trouble(result.name, failureReason(FileStatus::Unreadable, result.changedError) +
                                 ": these settings may be wrong");
    warnings_ += result.warningCount;
}

std::string CheckerRun::heading(const std::string& name, const std::string& more) {
    std::string text;
    // Appended piece by piece: GCC 12 at -O3 takes a string put in front of
    // another for an overlapping copy (-Wrestrict).
    if (options_.format == Format::Text && options_.headed) {
        if (!first_)
            text += '\n';
        text += "==> ";
        text += quotedName(name);
        text += more;
        text += " <==\n";
    }
    first_ = false;
    return text;
}

void CheckerRun::finish(bool strict) {
    if (options_.format == Format::Sarif)
        write(sarif_.document());
    if (strict && warnings_ > 0) {
        std::cerr << "korvane-check: " << warnings_ << (warnings_ == 1 ? " warning" : " warnings")
                  << " from the reader, and --strict makes warnings fail the run\n";
        findings();
    }
}

void CheckerRun::trouble(const std::string& name, const std::string& reason) {
    std::cerr << "korvane-check: " << quotedName(name) << ": " << reason << '\n';
    status_ = kExitTrouble;
}

void CheckerRun::findings() {
    if (status_ == kExitOk)
        status_ = kExitFindings;
}

void CheckerRun::write(const std::string& text) {
    // JSON's bytes are the same everywhere; text takes the platform's line
    // ends. After the first failed write nothing more is written.
    const bool json = options_.format == Format::Json || options_.format == Format::Sarif;
    if (writeError_ == 0 && !text.empty())
        writeError_ = writeStandardOutput(json ? text : withLineEnds(text));
}

} // namespace korvane::cli
