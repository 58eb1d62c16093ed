#pragma once

// The one entry every front end calls: a request in, one structured result
// out. The windows, every korvane-check format, the zone run, the language
// server and the page only render this result.

#include "file_source.h"
#include "load_settings.h"
#include "memory_report.h"
#include "origin.h"
#include "zone_arenas.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

struct CheckRequest {
    std::string path; // the file; with standard input, only the name it is shown by
    Dialect dialect = Dialect::Auto;
    // The include dialect's zone folder and arena, instead of those the
    // path implies (arenaPlaceOf).
    std::optional<std::string> zone = std::nullopt;
    std::optional<std::string> arena = std::nullopt;
    bool standardInput = false;
    const FileSource* files = nullptr; // diskFiles() when null
    IncludeCache* cache = nullptr;     // shared by the loads of one zone run
};

// A key a rule read: its value, whether the file set it (an absent key
// reads 0) and, where a line decided it, where from.
struct ResultKey {
    std::string name;
    std::int32_t value = 0;
    bool set = false;
    // Set keys always; with the profile reader an absent key's section
    // header too (as `at`, nothing else).
    std::optional<Origin> origin;
    bool operator==(const ResultKey&) const = default;
};

struct ResultFinding {
    int rule;          // 1 to 16, in checking order (ship_rules.h)
    std::string ship;  // the section
    std::string text;  // the report's line
    std::vector<ResultKey> keys; // in the order the rule read them
    // Where the first key with a line was decided.
    std::optional<Location> location() const;
};

struct CheckResult {
    std::string name;                 // as asked for
    std::optional<std::string> arena; // when checked as one of a zone's arenas
    // Not Ok: nothing was checked, `error` says why (failureReason).
    FileStatus status = FileStatus::Ok;
    int error = 0;
    // The file changed (shrank, or a read failed) while it was read: the
    // report is given but may be wrong; `changedError` for failureReason.
    bool mayBeWrong = false;
    int changedError = 0;
    std::vector<ReportLine> lines; // the report, exactly as the window writes it
    int errors = 0;                // findings
    std::vector<ResultFinding> findings;
    std::vector<Warning> warnings; // those listed
    std::size_t warningCount = 0;  // all the reader gave, listed or not
    std::vector<std::string> filesRead; // the checked file first
    // Every path whose creation, change or removal could change the result:
    // the files read, and each place the search looked at before the file
    // it found (or at all, for a name found nowhere).
    std::vector<std::string> watch;
};

CheckResult check(const CheckRequest& request);
// The same, also writing each report line into `pane` as it is written:
// a window's pane shows a run that stops on an unexpected error as far as
// it got. The lines after the report (warnings) are the caller's.
CheckResult check(const CheckRequest& request, ReportPane& pane);

// What a window writes under a checked file's report: a blank line and one
// line per warning listed, then, where the file changed under the run, a
// blank line and the line that says the report may be wrong. Plain lines,
// in the form of warningLine (file_names.h).
std::vector<ReportLine> paneNotes(const CheckResult& result);

// Every key of the eight ship sections as the server loads them, in the
// order the sections are checked and, in each, the order keys were first set.
struct EffectiveResult {
    std::string name;
    std::optional<std::string> arena;
    FileStatus status = FileStatus::Ok;
    int error = 0;
    // As CheckResult's: the file changed under the load.
    bool mayBeWrong = false;
    int changedError = 0;
    std::vector<EffectiveSetting> settings;
    std::vector<Warning> warnings;
    std::size_t warningCount = 0;
};
EffectiveResult effectiveSettings(const CheckRequest& request);

// A whole zone: each arena as the server finds its file, checked in name
// order, included files read once for all. `each` gets every arena's result
// as it is done; arenas whose file cannot be checked come as results that
// are not Ok.
struct ZoneRun {
    std::size_t arenas = 0; // checked
    std::size_t arenasWithErrors = 0;
    long long errors = 0;
    int listError = 0; // errno when arenas/ could not be listed to its end
    // Entries of arenas/ that could not be told folders or not: arenas,
    // perhaps, that the run did not check.
    std::vector<UnlistedEntry> unlisted;
    bool empty = false; // no arena found at all
};
ZoneRun checkZone(const std::string& zone, const CheckRequest& base,
                  const std::function<void(const CheckResult&)>& each);
// The line that closes a zone's reports: "Arenas checked: N, with errors:
// M, total errors: T."
std::string zoneSummaryLine(const ZoneRun& run);
// What a zone run's heading adds after an arena's file: " (arena NAME)"
// when the arena has no file of its own and reads `file`, else nothing.
std::string arenaNote(const std::string& zone, const std::string& file,
                      const std::optional<std::string>& arena);
// Why a zone folder with no arena found gets no report.
inline constexpr const char* kZoneWithoutArenas =
    "a zone folder without arenas (no arena.conf found)";
// The same walk for the effective settings: each arena's, in name order.
// `arenas` counts those loaded; findings count nothing here.
ZoneRun effectiveZone(const std::string& zone, const CheckRequest& base,
                      const std::function<void(const EffectiveResult&)>& each);

// The loader's request for a check request: the engine's own plumbing.
SettingsRequest settingsRequest(const CheckRequest& request);

} // namespace korvane
