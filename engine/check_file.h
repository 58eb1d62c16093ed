#pragma once

#include "memory_report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// A key a rule read: its value and the line that decided it (see
// Profile::locate).
struct CheckedKey {
    std::string name;
    std::int32_t value;
    std::optional<std::size_t> line;
    bool operator==(const CheckedKey&) const = default;
};

// A finding with the keys its rule read, in the order the rule read them.
// It points at the line of its first key.
struct Finding {
    std::string ship;
    std::string text;
    std::vector<CheckedKey> keys;
    std::optional<std::size_t> line() const {
        return keys.empty() ? std::nullopt : keys.front().line;
    }
};

struct CheckOutcome {
    std::vector<ReportLine> lines;
    int errors = 0;                // the findings in the report
    std::vector<Finding> findings; // filled only when asked for
};

enum class Findings { Skip, Locate };

// Runs the check run on `path` into a fresh in-memory report, as the main
// window's Check command does into its pane, and returns the report. With
// Findings::Locate it also lists the findings with their keys and lines;
// the lines are looked up after the run, which itself costs the same.
CheckOutcome checkFile(const std::string& path, Findings findings = Findings::Skip);

} // namespace korvane
