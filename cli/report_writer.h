#pragma once

#include "check_file.h"

#include <ostream>
#include <string>

namespace korvane::cli {

enum class Format { Text, Json };

struct FileReport {
    std::string name; // as given on the command line, or <stdin>
    CheckOutcome outcome;
};

// Writes one file's report to `out` in the chosen format. Text is one report
// line per output line, in ANSI colours when `colour` is set; JSON is one
// object on one line.
void writeReport(std::ostream& out, const FileReport& report, Format format, bool colour);

} // namespace korvane::cli
