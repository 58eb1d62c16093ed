#pragma once

// --effective: every key of the eight ship sections as the server loads
// it, and where from.

#include "check_result.h"
#include "report_writer.h"

#include <ostream>

namespace korvane::cli {

// Text: one line per setting, "Section:Key=value  FILE:LINE", then
// "  (overrides FILE:LINE, ...)" where it replaced earlier assignments.
// JSON: one object {"file", "arena"?, "settings": [...]} per file.
void writeEffective(std::ostream& out, const EffectiveResult& result, Format format);

} // namespace korvane::cli
