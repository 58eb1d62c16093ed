#include "check_file.h"

#include "module1.h"

#include <algorithm>

namespace korvane {
namespace {

class FindingRecorder final : public Module1::FindingObserver {
public:
    FindingRecorder(const Settings& settings, std::vector<Finding>& out)
        : settings_(settings), out_(out) {}
    void finding(std::string_view ship, std::string_view text,
                 std::span<const Module1::KeyReading> keys) override {
        Finding f{std::string(ship), std::string(text), {}};
        for (const Module1::KeyReading& key : keys) {
            f.keys.push_back({std::string(key.name), key.value,
                              key.where == Setting::kNowhere
                                  ? std::nullopt
                                  : std::optional(settings_.locate(key.where))});
        }
        out_.push_back(std::move(f));
    }

private:
    const Settings& settings_;
    std::vector<Finding>& out_;
};

// Points the module at this run's report and observer however the run ends.
class RunScope {
public:
    RunScope(ReportPane& pane, Module1::FindingObserver* observer) {
        Module1::SetReportPane(&pane);
        Module1::SetFindingObserver(observer);
    }
    ~RunScope() {
        Module1::SetReportPane(nullptr);
        Module1::SetFindingObserver(nullptr);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
};

} // namespace

CheckOutcome checkFile(SettingsRequest request, Findings findings) {
    const std::string path = request.path;
    const LoadedSettings loaded = loadSettings(std::move(request));
    CheckOutcome outcome;
    outcome.status = loaded.status;
    outcome.error = loaded.error;
    if (loaded.status != FileStatus::Ok)
        return outcome;

    MemoryReport report;
    FindingRecorder recorder(*loaded.settings, outcome.findings);
    {
        RunScope scope(report, findings == Findings::Locate ? &recorder : nullptr);
        Module1::ConfigFile = path;
        Module1::CheckSettings(*loaded.settings);
    }
    // The file shrank or failed under the run: its report could be wrong,
    // so none is given.
    if (const int failure = loaded.settings->failure(); failure != 0) {
        CheckOutcome failed;
        failed.status = FileStatus::Unreadable;
        failed.error = failure;
        return failed;
    }
    outcome.lines = report.lines();
    // Every finding, and nothing else, is written in the findings' red.
    outcome.errors =
        static_cast<int>(std::count_if(outcome.lines.begin(), outcome.lines.end(),
                                       [](const ReportLine& l) { return l.colour == kRed; }));
    const auto warnings = loaded.settings->warnings();
    outcome.warnings.assign(warnings.begin(), warnings.end());
    return outcome;
}

} // namespace korvane
