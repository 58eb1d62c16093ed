#pragma once

#include "load_settings.h"
#include "memory_report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// A key a rule read: its value and the line that decided it (with the
// profile reader, the section's header line for a key absent from it).
struct CheckedKey {
    std::string name;
    std::int32_t value;
    std::optional<Location> where;
    bool operator==(const CheckedKey&) const = default;
};

// A finding with the keys its rule read, in the order the rule read them.
// It points where the first of its keys that has a line was decided.
struct Finding {
    std::string ship;
    std::string text;
    std::vector<CheckedKey> keys;
    std::optional<Location> location() const {
        for (const CheckedKey& key : keys) {
            if (key.where)
                return key.where;
        }
        return std::nullopt;
    }
};

struct CheckOutcome {
    FileStatus status = FileStatus::Ok; // anything else: no check was run
    int error = 0;                      // errno, for Missing and Unreadable
    std::vector<ReportLine> lines;
    int errors = 0;                // the findings in the report
    std::vector<Finding> findings; // filled only when asked for
    std::vector<Warning> warnings; // the reader's
};

enum class Findings { Skip, Locate };

// Loads the file once and runs the check run on it into a fresh in-memory
// report, as the main window's Check command does into its pane. With
// Findings::Locate the outcome also lists the findings with their keys and
// lines. A file that cannot be read gets no run; the outcome says why.
CheckOutcome checkFile(SettingsRequest request, Findings findings = Findings::Skip);

} // namespace korvane
