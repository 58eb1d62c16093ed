#pragma once

#include "memory_report.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

struct CheckedKey {
    std::string name;
    std::int32_t value;
    bool operator==(const CheckedKey&) const = default;
};

// A finding with what its rule read, in the order the rule read it.
struct Finding {
    std::string ship;
    std::string text;
    std::vector<CheckedKey> keys;
};

struct CheckOutcome {
    std::vector<ReportLine> lines;
    int errors = 0;                // the findings in the report
    std::vector<Finding> findings; // filled only when asked for
};

// Runs the check run on `path` into a fresh in-memory report, as the main
// window's Check command does into its pane, and returns the report.
CheckOutcome checkFile(const std::string& path, bool recordFindings = false);

} // namespace korvane
