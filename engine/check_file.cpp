#include "check_file.h"

#include "module1.h"
#include "profile_store.h"

#include <algorithm>

namespace korvane {
namespace {

class FindingRecorder final : public Module1::FindingObserver {
public:
    explicit FindingRecorder(std::vector<Finding>& out) : out_(out) {}
    void finding(std::string_view ship, std::string_view text, const Module1::KeyReading* keys,
                 std::size_t keyCount) override {
        Finding f{std::string(ship), std::string(text), {}};
        for (std::size_t i = 0; i < keyCount; ++i)
            f.keys.push_back({std::string(keys[i].name), keys[i].value, std::nullopt});
        out_.push_back(std::move(f));
    }

private:
    std::vector<Finding>& out_;
};

// Restores the module's report target and observer however the run ends.
class RunScope {
public:
    RunScope(ReportPane* pane, Module1::FindingObserver* observer)
        : pane_(Module1::GetReportPane()) {
        Module1::SetReportPane(pane);
        Module1::SetFindingObserver(observer);
    }
    ~RunScope() {
        Module1::SetReportPane(pane_);
        Module1::SetFindingObserver(nullptr);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    ReportPane* pane_;
};

} // namespace

CheckOutcome checkFile(const std::string& path, Findings findings) {
    CheckOutcome outcome;
    MemoryReport report;
    FindingRecorder recorder(outcome.findings);
    {
        RunScope scope(&report, findings == Findings::Locate ? &recorder : nullptr);
        Module1::ConfigFile = path;
        Module1::CheckSettings();
    }
    if (!outcome.findings.empty()) {
        // The parse the run read from, kept while the file is unchanged.
        const auto profile = ProfileStore::instance().load(path).profile;
        for (Finding& f : outcome.findings) {
            for (CheckedKey& key : f.keys)
                key.line = profile->locate(f.ship, key.name);
        }
    }
    outcome.lines = report.lines();
    // Every finding, and nothing else, is written in the findings' red.
    outcome.errors =
        static_cast<int>(std::count_if(outcome.lines.begin(), outcome.lines.end(),
                                       [](const ReportLine& l) { return l.colour == kRed; }));
    return outcome;
}

} // namespace korvane
