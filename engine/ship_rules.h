#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace korvane {

// The ships in the order they are checked; each name is also its section.
extern const std::array<std::string_view, 8> kShips;

// The four kinds of rule. For a base name B the pair rules compare:
//   InitialMaximum: InitialB against MaximumB (equal is a finding too)
//   InitialXMax:    InitialB against BMax
//   InitialMaxX:    InitialB against MaxB
// and NonZero finds the key B at 0.
enum class RuleKind { InitialMaximum, InitialXMax, InitialMaxX, NonZero };

struct Rule {
    RuleKind kind;
    std::string_view argument;
    std::string_view hint; // NonZero only
};
// The sixteen rules applied to every ship, in order.
extern const std::array<Rule, 16> kRules;

// The keys a rule of `kind` reads for `argument`, in reading order: the
// initial value, then the limit; NonZero reads one key, so `limit` is empty.
struct RuleKeys {
    std::string initial;
    std::string limit;
};
RuleKeys keysOf(RuleKind kind, std::string_view argument);

// Every key the sixteen rules read, in the order they read them.
std::span<const std::string_view> ruleKeys();

// The rule (1 to 16, in checking order) that reads `firstKey` first, or 0:
// no two rules start with the same key.
int ruleReading(std::string_view firstKey);

} // namespace korvane
