#include "module1.h"

#include "file_names.h"
#include "load_settings.h"
#include "ship_rules.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace korvane::Module1 {

std::string ConfigFile;
std::string CurrentSection;

namespace {

ReportPane* reportPane = nullptr;
FindingObserver* findingObserver = nullptr;
const ReadingScope* reading = nullptr;
CheckResult lastResult;

constexpr ReportColour kFindingColour = kRed;
constexpr ReportColour kShipColour = kBlue;

std::string concat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (auto p : parts)
        s += p;
    return s;
}

KeyReading readSetting(std::string_view key) {
    if (ConfigFile.empty() || CurrentSection.empty() || !reading)
        return {key, 0, Setting::kNowhere, false};
    // A run asks for the keys it looked up as it began.
    const auto ship = std::find(kShips.begin(), kShips.end(), CurrentSection);
    const auto keys = ruleKeys();
    const auto known = std::find(keys.begin(), keys.end(), key);
    if (ship != kShips.end() && known != keys.end())
        return reading->ships[static_cast<std::size_t>(ship - kShips.begin()) * keys.size() +
                              static_cast<std::size_t>(known - keys.begin())];
    const Setting s = reading->settings.read(CurrentSection, key);
    return {key, s.value, s.where, s.set};
}

// Writes a rule's finding and tells the observer, if any, what it read.
std::int16_t finding(const std::string& text, std::initializer_list<KeyReading> keys) {
    AddReportLine(text, kFindingColour);
    if (findingObserver)
        findingObserver->finding(CurrentSection, text, std::span(keys.begin(), keys.size()));
    return 1;
}

// Both pair rules other than InitialMaximum: only a greater initial value
// is a finding.
std::int16_t checkGreater(RuleKind kind, std::string_view base) {
    const auto [initialKey, limitKey] = keysOf(kind, base);
    const KeyReading initial = readSetting(initialKey);
    const KeyReading limit = readSetting(limitKey);
    if (initial.value > limit.value) {
        return finding(concat({initialKey, " is greater than ", limitKey,
                               ". [False sysop alerts and player kickoffs]"}),
                       {initial, limit});
    }
    return 0;
}

} // namespace

ReadingScope::ReadingScope(const Settings& settings) : settings(settings), outer_(reading) {
    const auto keys = ruleKeys();
    std::vector<Setting> read(kShips.size() * keys.size());
    settings.read(kShips, keys, read);
    ships.reserve(read.size());
    for (std::size_t i = 0; i < read.size(); ++i)
        ships.push_back({keys[i % keys.size()], read[i].value, read[i].where, read[i].set});
    reading = this;
}

ReadingScope::~ReadingScope() {
    reading = outer_;
}

void SetReportPane(ReportPane* pane) {
    reportPane = pane;
}
ReportPane* GetReportPane() {
    return reportPane;
}
void SetFindingObserver(FindingObserver* observer) {
    findingObserver = observer;
}
FindingObserver* GetFindingObserver() {
    return findingObserver;
}

std::int32_t ReadSetting(std::string_view key) {
    return readSetting(key).value;
}

std::int16_t CheckInitialMaximum(std::string_view base) {
    const auto [initialKey, limitKey] = keysOf(RuleKind::InitialMaximum, base);
    const KeyReading initial = readSetting(initialKey);
    const KeyReading limit = readSetting(limitKey);
    if (initial.value == limit.value) {
        return finding(concat({initialKey, " is equal to ", limitKey, ". [?status kickoff bug]"}),
                       {initial, limit});
    }
    if (initial.value > limit.value) {
        return finding(concat({initialKey, " is greater than ", limitKey,
                               ". [Messes up greening and ?status]"}),
                       {initial, limit});
    }
    return 0;
}

std::int16_t CheckInitialXMax(std::string_view base) {
    return checkGreater(RuleKind::InitialXMax, base);
}

std::int16_t CheckInitialMaxX(std::string_view base) {
    return checkGreater(RuleKind::InitialMaxX, base);
}

std::int16_t CheckNonZero(std::string_view key, std::string_view hint) {
    const KeyReading value = readSetting(key);
    if (value.value == 0) // negative values pass
        return finding(concat({key, " is equal to 0. [", hint, "]"}), {value});
    return 0;
}

std::int16_t CheckShip(std::string_view ship) {
    CurrentSection = ship;
    std::int16_t count = 0;
    for (const Rule& rule : kRules) {
        switch (rule.kind) {
        case RuleKind::InitialMaximum:
            count += CheckInitialMaximum(rule.argument);
            break;
        case RuleKind::InitialXMax:
            count += CheckInitialXMax(rule.argument);
            break;
        case RuleKind::InitialMaxX:
            count += CheckInitialMaxX(rule.argument);
            break;
        case RuleKind::NonZero:
            count += CheckNonZero(rule.argument, rule.hint);
            break;
        }
    }
    if (count == 0) {
        AddReportLine(concat({ship, " is OK"}), kShipColour);
        return 0;
    }
    AddReportLine("Number of errors: " + std::to_string(count) + ".", kShipColour);
    return count;
}

void CheckSettings() {
    lastResult = CheckResult();
    lastResult.name = ConfigFile;
    ReportPane* const pane = reportPane;
    if (!pane)
        throw std::logic_error("CheckSettings: no report pane to write to");
    CheckResult result = check({ConfigFile}, *pane);
    // A path that leads to no file is no file without settings: 56 findings
    // would report a failure as a result.
    if (result.status != FileStatus::Ok) {
        AddReportLine(quotedName(ConfigFile) + ": " + failureReason(result.status, result.error),
                      kFindingColour);
    } else {
        for (const ReportLine& note : paneNotes(result))
            AddReportLine(note.text, note.colour);
    }
    lastResult = std::move(result);
}

const std::vector<std::string>& FilesRead() {
    return lastResult.filesRead;
}

const CheckResult& LastResult() {
    return lastResult;
}

void CheckSettings(const Settings& settings) {
    const ReadingScope scope(settings);
    std::int16_t total = 0;
    AddReportLine("Checking settings...", kNoColour);
    for (const std::string_view ship : kShips) {
        AddReportLine(concat({"Checking ", ship, "..."}), kShipColour);
        total += CheckShip(ship);
        AddReportLine("", kNoColour);
    }
    if (total == 0)
        AddReportLine("This CFG file is OK.", kNoColour);
    else
        AddReportLine("Total errors: " + std::to_string(total) + ".", kNoColour);
}

void AddReportLine(std::string_view text, ReportColour colour) {
    if (!reportPane)
        throw std::logic_error("AddReportLine: no report pane to write to");
    ReportPane& pane = *reportPane;
    if (colour != kNoColour)
        pane.setInsertionColour(colour);
    std::string line(text);
    line += "\r\n";
    pane.insertAtCaret(line);
    pane.setCaret(pane.textLength());
    if (colour != kNoColour)
        pane.setInsertionColour(kBlack);
}

} // namespace korvane::Module1
