#pragma once

#include "check_result.h"
#include "file_names.h"

#include <optional>
#include <ostream>
#include <string>

namespace korvane::cli {

using korvane::quotedName;

enum class Format {
    Text,   // the report, one line per line
    Json,   // one object per file: the report's lines and the findings
    Gcc,    // FILE:LINE: error: TEXT, one line per finding
    Github, // a workflow error annotation per finding
};

// Whether the format lists findings with their lines.
inline bool locatesFindings(Format f) {
    return f != Format::Text;
}

// The closing numbers of a zone checked in one run.
struct ZoneSummary {
    std::string zone; // as given on the command line
    std::size_t arenas = 0;
    std::size_t arenasWithErrors = 0;
    long long errors = 0;
};

// Writes one file's report to `out` in the chosen format; `colour` (ANSI)
// applies to text only. With `explain`, text has each finding's keys and
// their origins under it, and JSON each key's origin in full.
void writeReport(std::ostream& out, const CheckResult& report, Format format, bool colour,
                 bool explain = false);

// Writes the line that closes a zone's reports (in JSON, an object).
void writeZoneSummary(std::ostream& out, const ZoneSummary& summary, Format format);

// Writes the reader's warnings (none in JSON, whose object has them): as
// annotations for github, else FILE:LINE: warning: TEXT, meant for stderr.
void writeWarnings(std::ostream& out, const CheckResult& report, Format format);

} // namespace korvane::cli
