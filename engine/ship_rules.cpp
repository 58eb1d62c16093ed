#include "ship_rules.h"

#include <vector>

namespace korvane {

const std::array<std::string_view, 8> kShips{
    "Warbird", "Javelin", "Spider", "Leviathan", "Terrier", "Weasel", "Lancaster", "Shark",
};

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

std::span<const std::string_view> ruleKeys() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> k;
        for (const Rule& rule : kRules) {
            auto [initial, limit] = keysOf(rule.kind, rule.argument);
            k.push_back(std::move(initial));
            if (!limit.empty())
                k.push_back(std::move(limit));
        }
        return k;
    }();
    static const std::vector<std::string_view> views(names.begin(), names.end());
    return views;
}

int ruleReading(std::string_view firstKey) {
    for (std::size_t i = 0; i < kRules.size(); ++i) {
        if (keysOf(kRules[i].kind, kRules[i].argument).initial == firstKey)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

} // namespace korvane
