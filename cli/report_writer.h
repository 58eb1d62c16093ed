#pragma once

#include "check_result.h"
#include "file_names.h"

#include <nlohmann/json.hpp>
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
    Sarif,  // one SARIF 2.1.0 log for the whole run (sarif_writer.h)
};

// Writes one file's report to `out` in the chosen format; `colour` (ANSI)
// applies to text only. With `explain`, text has each finding's keys and
// their origins under it; JSON always has each key's origin in full.
void writeReport(std::ostream& out, const CheckResult& report, Format format, bool colour,
                 bool explain = false);

// Writes the line that closes a zone's reports (in JSON, an object).
void writeZoneSummary(std::ostream& out, const std::string& zone, const ZoneRun& run,
                      Format format);

// Writes the reader's warnings (none in JSON, whose object has them): as
// annotations for github, else FILE:LINE: warning: TEXT, meant for stderr.
void writeWarnings(std::ostream& out, const CheckResult& report, Format format);

// JSON text as every JSON output writes it: stray bytes of a name that is
// not UTF-8 become U+FFFD, and C1 controls (U+0080 to U+009F, which some
// terminals act on) are escaped as \u0080 to \u009f.
std::string jsonText(const nlohmann::ordered_json& value);

} // namespace korvane::cli
