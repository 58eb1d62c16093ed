#pragma once

#include "memory_report.h"
#include "settings_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// A key a rule read: its value and the line that decided it (the key's own
// line, or its section's header line when the key is absent from it).
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
    FileStatus status = FileStatus::Ok; // anything else: no check was run
    int error = 0;                      // errno, for Missing and Unreadable
    std::vector<ReportLine> lines;
    int errors = 0;                // the findings in the report
    std::vector<Finding> findings; // filled only when asked for
};

enum class Findings { Skip, Locate };

struct CheckRequest {
    std::string path; // the file; for `input`, the name the report gives it
    std::optional<std::string> input = std::nullopt; // settings read already (standard input)
    Findings findings = Findings::Skip;
};

// Loads the file once and runs the check run on it into a fresh in-memory
// report, as the main window's Check command does into its pane. With
// Findings::Locate the outcome also lists the findings with their keys and
// lines. A file that cannot be read gets no run; the outcome says why.
CheckOutcome checkFile(CheckRequest request);

} // namespace korvane
