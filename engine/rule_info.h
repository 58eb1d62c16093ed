#pragma once

// What each of the sixteen rules is, for outputs that describe rules to
// other tools (SARIF's reportingDescriptors, the language server's codes).

#include <string>

namespace korvane {

struct RuleInfo {
    std::string id;               // stable, the same in every output
    std::string shortDescription; // one line
    std::string fullDescription;  // what it checks and why it matters in the game
};

// `rule` counts from 1 to 16 in checking order.
const RuleInfo& ruleInfo(int rule);

} // namespace korvane
