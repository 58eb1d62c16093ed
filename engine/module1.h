#pragma once

#include "check_result.h"
#include "report_pane.h"
#include "settings.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The checking logic: the check run over the eight ships, the sixteen rules
// with their setting lookup, and the report log. Single-threaded by design:
// the state below is shared between the procedures, as the callers set it.
namespace korvane::Module1 {

// Path of the file being checked; set by the front end before CheckSettings.
extern std::string ConfigFile;
// Section whose keys are read; CheckShip sets it and leaves it so.
extern std::string CurrentSection;

// Where AddReportLine writes. The front end points it at its pane before a
// run; AddReportLine throws std::logic_error while it is unset.
void SetReportPane(ReportPane* pane);
ReportPane* GetReportPane();

// A setting as a rule read it; `where` is for Settings::locate and
// Settings::origin, `set` whether the file sets it.
struct KeyReading {
    std::string_view name;
    std::int32_t value;
    std::size_t where;
    bool set;
};

// While a scope lives, ReadSetting answers from `settings`: a check run loads
// its file once and reads every setting from that one version of it. The
// eight ships' rule keys are looked up at once, as the scope begins.
// Outside any scope nothing is loaded and every key reads 0.
class ReadingScope {
public:
    explicit ReadingScope(const Settings& settings);
    ~ReadingScope();
    ReadingScope(const ReadingScope&) = delete;
    ReadingScope& operator=(const ReadingScope&) = delete;

    const Settings& settings;
    // Each ship's rule keys, ship by ship in checking order.
    std::vector<KeyReading> ships;

private:
    const ReadingScope* outer_;
};

// CurrentSection/key of ConfigFile as its reader gives it; 0 for an absent
// file, section or key, and 0 without any lookup while ConfigFile or
// CurrentSection is empty.
std::int32_t ReadSetting(std::string_view key);

// The four rule kinds. Each reads its keys (the initial value first), writes
// one red finding when the rule is broken and returns 1, else returns 0.
std::int16_t CheckInitialMaximum(std::string_view base);
std::int16_t CheckInitialXMax(std::string_view base);
std::int16_t CheckInitialMaxX(std::string_view base);
std::int16_t CheckNonZero(std::string_view key, std::string_view hint);

// Applies the sixteen rules to one ship and writes its summary line.
std::int16_t CheckShip(std::string_view ship);
// The window's check: loads ConfigFile once (nothing when the path is empty:
// no settings), writes the whole report, then after a blank line one plain
// line per warning of the reader. A path that cannot be checked (missing, a
// folder, unreadable, a special file) gets one red line instead, naming it
// and saying why as korvane-check does, and no verdict. Expects an empty pane.
void CheckSettings();
// The files the last CheckSettings() read, each once: ConfigFile first, then
// the files it included. Empty when ConfigFile could not be read.
const std::vector<std::string>& FilesRead();
// The result of the last CheckSettings(): what the window's tooltips
// explain and what it watches.
const CheckResult& LastResult();
// The report alone, from settings loaded already from ConfigFile.
void CheckSettings(const Settings& settings);

// Appends text + CR LF at the end of the report; colour 0 leaves the
// insertion colour alone, any other colour is used for this line only.
void AddReportLine(std::string_view text, ReportColour colour);

// Told about each finding as it is written, with the keys its rule read.
// Used by front ends that point findings at their lines; nothing is
// recorded while no observer is set.
class FindingObserver {
public:
    virtual ~FindingObserver() = default;
    virtual void finding(std::string_view ship, std::string_view text,
                         std::span<const KeyReading> keys) = 0;
};
void SetFindingObserver(FindingObserver* observer);
FindingObserver* GetFindingObserver();

} // namespace korvane::Module1
