#pragma once

// The one text that explains a finding: each value and where it was set.
// The windows' tooltips, korvane-check --explain, the language server's
// hover and the page all show this text.

#include "check_result.h"

#include <string>

namespace korvane {

// `file` as shown beside the checked file: the shortest path from the
// checked file's folder that names it unambiguously.
std::string shownPath(const std::string& file, const std::string& checkedFile);

// One line per key: its value and origin (file:line, or that it is not
// set), with the #include chain and any #ifdef/#ifndef that decided it,
// and what it overrode. Lines end with '\n'.
std::string explainKey(const ResultKey& key, const std::string& checkedFile);
std::string explainFinding(const ResultFinding& finding, const std::string& checkedFile);

} // namespace korvane
