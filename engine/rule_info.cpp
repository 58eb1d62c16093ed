#include "rule_info.h"

#include "ship_rules.h"

#include <array>
#include <stdexcept>

namespace korvane {
namespace {

// The ids, in checking order: once published, never renamed (tools that
// read SARIF key their baselines on them).
constexpr std::array<std::string_view, 16> kIds{
    "initial-rotation-maximum", "initial-speed-maximum",  "initial-thrust-maximum",
    "initial-recharge-maximum", "initial-energy-maximum", "initial-repel-max",
    "initial-burst-max",        "initial-brick-max",      "initial-rocket-max",
    "initial-decoy-max",        "initial-portal-max",     "initial-thor-max",
    "initial-guns-max",         "initial-bombs-max",      "super-time-nonzero",
    "shields-time-nonzero",
};

RuleInfo describe(std::size_t index) {
    const Rule& rule = kRules[index];
    const auto [initial, limit] = keysOf(rule.kind, rule.argument);
    RuleInfo info{std::string(kIds[index]), {}, {}};
    switch (rule.kind) {
    case RuleKind::InitialMaximum:
        info.shortDescription = initial + " must be below " + limit;
        info.fullDescription =
            "Compares each ship's " + initial + " (what the ship starts with) with its " + limit +
            " (the most prizes can raise it to). Equal values are a finding, as they set off "
            "the ?status kickoff bug: \"[?status kickoff bug]\". A greater starting value is "
            "one too, as it upsets greening (the prizes that raise the value) and ?status: "
            "\"[Messes up greening and ?status]\".";
        break;
    case RuleKind::InitialXMax:
    case RuleKind::InitialMaxX:
        info.shortDescription = initial + " must not be greater than " + limit;
        info.fullDescription =
            "Compares each ship's " + initial + " (what the ship starts with) with its " + limit +
            " (the most it may carry). A ship that starts with more than it may carry is a "
            "finding: the server sees a ship holding more than it allows, alerts the sysops "
            "falsely and kicks the player off: \"[False sysop alerts and player kickoffs]\".";
        break;
    case RuleKind::NonZero:
        info.shortDescription = initial + " must not be 0";
        info.fullDescription =
            "Checks that each ship's " + initial + " is not 0 (an absent key reads 0; a negative "
            "value passes). At 0 the players' clients crash: \"[" + std::string(rule.hint) +
            "]\"";
        break;
    }
    return info;
}

} // namespace

const RuleInfo& ruleInfo(int rule) {
    static const std::array<RuleInfo, 16> rules = [] {
        std::array<RuleInfo, 16> all;
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = describe(i);
        return all;
    }();
    if (rule < 1 || rule > static_cast<int>(rules.size()))
        throw std::out_of_range("ruleInfo: the rules count from 1 to 16");
    return rules[static_cast<std::size_t>(rule - 1)];
}

} // namespace korvane
