#pragma once

// One korvane-check run over the FILEs and zones given: asks the engine for
// each result and renders it in the chosen format, keeping the exit status
// and the reader's warnings.

#include "check_result.h"
#include "report_writer.h"
#include "sarif_writer.h"

#include <cstddef>
#include <optional>
#include <string>

namespace korvane::cli {

struct RunOptions {
    Format format = Format::Text;
    bool colour = false;
    bool headed = false;    // several reports: each under a heading
    bool explain = false;   // each finding's keys and their origins
    bool effective = false; // the settings as loaded instead of the report
    Dialect dialect = Dialect::Auto;
    std::optional<std::string> zone = std::nullopt;
    std::optional<std::string> arena = std::nullopt;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;
inline constexpr int kExitTrouble = 2; // usage error, or a file that could not be checked

class CheckerRun {
public:
    explicit CheckerRun(RunOptions options) : options_(std::move(options)) {}

    // A FILE, or standard input (shown as <stdin>).
    void file(const std::string& path, bool standardInput);
    // Every arena of the zone folder `zone`, then the numbers of the zone.
    void zone(const std::string& zone);
    // What comes once all is checked: a SARIF log, and with `strict` the
    // failure that warnings make.
    void finish(bool strict);

    int status() const { return status_; }
    // The errno of the first write to standard output that failed, or 0.
    int writeError() const { return writeError_; }

private:
    void report(const CheckResult& result, const std::string& heading);
    void effective(const EffectiveResult& result, const std::string& heading);
    std::string heading(const std::string& name, const std::string& more);
    void trouble(const std::string& name, const std::string& reason);
    void findings();
    void write(const std::string& text);

    RunOptions options_;
    SarifLog sarif_;
    int status_ = kExitOk;
    int writeError_ = 0;
    bool first_ = true;
    std::size_t warnings_ = 0;
};

} // namespace korvane::cli
