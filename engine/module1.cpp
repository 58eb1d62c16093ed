#include "module1.h"

#include "profile_store.h"
#include "ship_rules.h"

#include <stdexcept>
#include <vector>

namespace korvane::Module1 {

std::string ConfigFile;
std::string CurrentSection;

namespace {

ReportPane* reportPane = nullptr;
FindingObserver* findingObserver = nullptr;

constexpr ReportColour kFindingColour = kRed;
constexpr ReportColour kShipColour = kBlue;

std::string concat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (auto p : parts)
        s += p;
    return s;
}

// Writes a rule's finding and tells the observer, if any, what it read.
std::int16_t finding(const std::string& text, std::initializer_list<KeyReading> keys) {
    AddReportLine(text, kFindingColour);
    if (findingObserver)
        findingObserver->finding(CurrentSection, text, keys.begin(), keys.size());
    return 1;
}

// Both pair rules other than InitialMaximum: only a greater initial value
// is a finding.
std::int16_t checkGreater(RuleKind kind, std::string_view base) {
    const auto [initialKey, limitKey] = keysOf(kind, base);
    const std::int32_t initial = ReadSetting(initialKey);
    const std::int32_t limit = ReadSetting(limitKey);
    if (initial > limit) {
        return finding(concat({initialKey, " is greater than ", limitKey,
                               ". [False sysop alerts and player kickoffs]"}),
                       {{initialKey, initial}, {limitKey, limit}});
    }
    return 0;
}

// Every key the sixteen rules read: a ship's section is walked once for all
// of them (see Profile::prefetch).
const std::vector<std::string>& ruleKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const Rule& rule : kRules) {
            auto [initial, limit] = keysOf(rule.kind, rule.argument);
            k.push_back(std::move(initial));
            if (!limit.empty())
                k.push_back(std::move(limit));
        }
        return k;
    }();
    return keys;
}

} // namespace

void SetReportPane(ReportPane* pane) {
    reportPane = pane;
}
ReportPane* GetReportPane() {
    return reportPane;
}
void SetFindingObserver(FindingObserver* observer) {
    findingObserver = observer;
}

std::int32_t ReadSetting(std::string_view key) {
    if (ConfigFile.empty() || CurrentSection.empty())
        return 0;
    return ProfileStore::instance().readInt(ConfigFile, CurrentSection, key);
}

std::int16_t CheckInitialMaximum(std::string_view base) {
    const auto [initialKey, limitKey] = keysOf(RuleKind::InitialMaximum, base);
    const std::int32_t initial = ReadSetting(initialKey);
    const std::int32_t limit = ReadSetting(limitKey);
    if (initial == limit) {
        return finding(concat({initialKey, " is equal to ", limitKey, ". [?status kickoff bug]"}),
                       {{initialKey, initial}, {limitKey, limit}});
    }
    if (initial > limit) {
        return finding(concat({initialKey, " is greater than ", limitKey,
                               ". [Messes up greening and ?status]"}),
                       {{initialKey, initial}, {limitKey, limit}});
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
    const std::int32_t value = ReadSetting(key);
    if (value == 0) // negative values pass
        return finding(concat({key, " is equal to 0. [", hint, "]"}), {{key, value}});
    return 0;
}

std::int16_t CheckShip(std::string_view ship) {
    CurrentSection = ship;
    if (!ConfigFile.empty())
        ProfileStore::instance().prefetch(ConfigFile, CurrentSection, ruleKeys());
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
    std::int16_t total = 0;
    ProfileStore::instance().beginCheck();
    AddReportLine("Checking settings...", kNoColour);
    for (const Ship& ship : kShips) {
        AddReportLine(ship.header, kShipColour);
        total += CheckShip(ship.name);
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
