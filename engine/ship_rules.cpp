#include "ship_rules.h"

namespace korvane {

const std::array<Ship, 8> kShips{{
    {"Warbird", "Checking Warbird..."},
    {"Javelin", "Checking Javelin..."},
    {"Spider", "Checking Spider..."},
    {"Leviathan", "Checking Leviathan..."},
    {"Terrier", "Checking Terrier..."},
    {"Weasel", "Checking Weasel..."},
    {"Lancaster", "Checking Lancaster..."},
    {"Shark", "Checking Shark..."},
}};

namespace {
constexpr std::string_view kZeroTimeHint = "Client crashes. Make it 1 instead of 0.";
}

const std::array<Rule, 16> kRules{{
    {RuleKind::InitialMaximum, "Rotation", {}},
    {RuleKind::InitialMaximum, "Speed", {}},
    {RuleKind::InitialMaximum, "Thrust", {}},
    {RuleKind::InitialMaximum, "Recharge", {}},
    {RuleKind::InitialMaximum, "Energy", {}},
    {RuleKind::InitialXMax, "Repel", {}},
    {RuleKind::InitialXMax, "Burst", {}},
    {RuleKind::InitialXMax, "Brick", {}},
    {RuleKind::InitialXMax, "Rocket", {}},
    {RuleKind::InitialXMax, "Decoy", {}},
    {RuleKind::InitialXMax, "Portal", {}},
    {RuleKind::InitialXMax, "Thor", {}},
    {RuleKind::InitialMaxX, "Guns", {}},
    {RuleKind::InitialMaxX, "Bombs", {}},
    {RuleKind::NonZero, "SuperTime", kZeroTimeHint},
    {RuleKind::NonZero, "ShieldsTime", kZeroTimeHint},
}};

RuleKeys keysOf(RuleKind kind, std::string_view argument) {
    const std::string base(argument);
    switch (kind) {
    case RuleKind::InitialMaximum:
        return {"Initial" + base, "Maximum" + base};
    case RuleKind::InitialXMax:
        return {"Initial" + base, base + "Max"};
    case RuleKind::InitialMaxX:
        return {"Initial" + base, "Max" + base};
    case RuleKind::NonZero:
        break;
    }
    return {base, {}};
}

} // namespace korvane
