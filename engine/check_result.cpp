#include "check_result.h"

#include "file_names.h"
#include "module1.h"
#include "ship_rules.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

namespace korvane {

std::optional<Location> ResultFinding::location() const {
    for (const ResultKey& key : keys) {
        if (key.origin)
            return key.origin->at;
    }
    return std::nullopt;
}

namespace {

// Hears each finding as the run writes it, with what its rule read, and
// passes it on to whoever listened before (a test, say).
class FindingRecorder final : public Module1::FindingObserver {
public:
    FindingRecorder(const Settings& settings, std::vector<ResultFinding>& out)
        : settings_(settings), out_(out) {}
    void finding(std::string_view ship, std::string_view text,
                 std::span<const Module1::KeyReading> keys) override {
        ResultFinding f{keys.empty() ? 0 : ruleReading(keys.front().name), std::string(ship),
                        std::string(text), {}};
        for (const Module1::KeyReading& key : keys) {
            f.keys.push_back({std::string(key.name), key.value, key.set,
                              key.where == Setting::kNowhere
                                  ? std::nullopt
                                  : std::optional(settings_.origin(key.where))});
        }
        out_.push_back(std::move(f));
        if (outer_)
            outer_->finding(ship, text, keys);
    }
    void listenAfter(Module1::FindingObserver* outer) { outer_ = outer; }

private:
    const Settings& settings_;
    std::vector<ResultFinding>& out_;
    Module1::FindingObserver* outer_ = nullptr;
};

// The run's lines go to the result's report and, as they are written, to
// the window's pane. The report log only ever moves the caret to the end,
// so each pane's own end stands for the other's.
class BothPanes final : public ReportPane {
public:
    BothPanes(MemoryReport& kept, ReportPane& shown) : kept_(kept), shown_(shown) {}
    void setInsertionColour(ReportColour colour) override {
        kept_.setInsertionColour(colour);
        shown_.setInsertionColour(colour);
    }
    void insertAtCaret(std::string_view text) override {
        kept_.insertAtCaret(text);
        shown_.insertAtCaret(text);
    }
    std::size_t textLength() const override { return kept_.textLength(); }
    void setCaret(std::size_t position) override {
        kept_.setCaret(position);
        shown_.setCaret(shown_.textLength());
    }
    void clear() override {
        kept_.clear();
        shown_.clear();
    }

private:
    MemoryReport& kept_;
    ReportPane& shown_;
};

// Points the module at this run's file, report and recorder however the
// run ends, and puts back what was there.
class RunScope {
public:
    RunScope(const std::string& file, ReportPane& pane, FindingRecorder& recorder)
        : file_(Module1::ConfigFile), pane_(Module1::GetReportPane()),
          observer_(Module1::GetFindingObserver()) {
        recorder.listenAfter(observer_);
        Module1::ConfigFile = file;
        Module1::SetReportPane(&pane);
        Module1::SetFindingObserver(&recorder);
    }
    ~RunScope() {
        Module1::ConfigFile = std::move(file_);
        Module1::SetReportPane(pane_);
        Module1::SetFindingObserver(observer_);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    std::string file_;
    ReportPane* pane_;
    Module1::FindingObserver* observer_;
};

// The include reader lists its first warnings and closes the list with
// "N more warnings not shown", a note rather than a warning of its own.
std::size_t warningsGiven(std::span<const Warning> listed) {
    constexpr std::string_view kMore = " more warnings not shown";
    if (listed.empty() || listed.back().where || !listed.back().text.ends_with(kMore))
        return listed.size();
    const std::string_view count(listed.back().text.data(), listed.back().text.size() - kMore.size());
    std::size_t more = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), more);
    if (error != std::errc() || end != count.data() + count.size())
        return listed.size();
    return listed.size() - 1 + more;
}

CheckResult run(const CheckRequest& request, ReportPane* shown) {
    CheckResult result;
    result.name = request.path;
    const LoadedSettings loaded = loadSettings(settingsRequest(request));
    result.status = loaded.status;
    result.error = loaded.error;
    if (loaded.status != FileStatus::Ok) {
        // A path that could not be checked is watched until it can be.
        if (!request.standardInput && !request.path.empty())
            result.watch.push_back(request.path);
        return result;
    }
    const Settings& settings = *loaded.settings;
    MemoryReport report;
    std::optional<BothPanes> both;
    if (shown)
        both.emplace(report, *shown);
    FindingRecorder recorder(settings, result.findings);
    {
        RunScope scope(request.path, both ? static_cast<ReportPane&>(*both) : report, recorder);
        Module1::CheckSettings(settings);
    }
    result.lines = report.lines();
    // Every finding, and nothing else, is written in the findings' red.
    result.errors = static_cast<int>(std::count_if(
        result.lines.begin(), result.lines.end(), [](const ReportLine& l) { return l.colour == kRed; }));
    // Asked once everything was read: the file may have changed under the run.
    result.changedError = settings.failure();
    result.mayBeWrong = result.changedError != 0;
    const auto warnings = settings.warnings();
    result.warnings.assign(warnings.begin(), warnings.end());
    result.warningCount = warningsGiven(warnings);
    if (!request.path.empty())
        result.filesRead = settings.filesRead();
    std::unordered_set<std::string> watched;
    const auto watch = [&](const std::string& path) {
        if (watched.insert(path).second)
            result.watch.push_back(path);
    };
    // Standard input is read once: only what it included can change.
    for (std::size_t i = request.standardInput ? 1 : 0; i < result.filesRead.size(); ++i)
        watch(result.filesRead[i]);
    for (const std::string& path : settings.searched())
        watch(path);
    return result;
}

} // namespace

SettingsRequest settingsRequest(const CheckRequest& request) {
    SettingsRequest asked{request.path};
    // An empty path names no file: nothing is read, and there are no settings.
    if (request.path.empty() && !request.standardInput)
        asked.input = Bytes();
    asked.dialect = request.dialect;
    asked.zone = request.zone;
    asked.arena = request.arena;
    asked.standardInput = request.standardInput;
    asked.cache = request.cache;
    asked.files = request.files;
    return asked;
}

std::vector<ReportLine> paneNotes(const CheckResult& result) {
    std::vector<ReportLine> notes;
    if (!result.warnings.empty())
        notes.push_back({"", kNoColour});
    for (const Warning& w : result.warnings)
        notes.push_back({warningLine(w, result.name), kNoColour});
    if (result.mayBeWrong) {
        notes.push_back({"", kNoColour});
        notes.push_back({warningLine({std::nullopt, failureReason(FileStatus::Unreadable,
                                                                  result.changedError) +
                                                        ": this report may be wrong"},
                                     result.name),
                         kNoColour});
    }
    return notes;
}

CheckResult check(const CheckRequest& request) {
    return run(request, nullptr);
}

CheckResult check(const CheckRequest& request, ReportPane& pane) {
    return run(request, &pane);
}

EffectiveResult effectiveSettings(const CheckRequest& request) {
    EffectiveResult result;
    result.name = request.path;
    SettingsRequest asked = settingsRequest(request);
    asked.everySetting = true;
    asked.cache = nullptr; // the include cache keeps a check run's keys alone
    const LoadedSettings loaded = loadSettings(std::move(asked));
    result.status = loaded.status;
    result.error = loaded.error;
    if (loaded.status != FileStatus::Ok)
        return result;
    result.settings = loaded.settings->effective(kShips);
    const auto warnings = loaded.settings->warnings();
    result.warnings.assign(warnings.begin(), warnings.end());
    result.warningCount = warningsGiven(warnings);
    result.changedError = loaded.settings->failure();
    result.mayBeWrong = result.changedError != 0;
    return result;
}

} // namespace korvane
