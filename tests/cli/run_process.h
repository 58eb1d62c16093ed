#pragma once

// Runs a program as a user would from a shell, and collects what it did.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace korvane::test {

struct ProcessResult {
    int status = -1; // exit status; 128 + signal number when killed
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string input;                                     // standard input
    std::map<std::string, std::optional<std::string>> env; // set to the value, or unset
    bool terminal = false;                                 // stdout and stderr on a pseudo-terminal
};

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// korvane-check with `args`, given `input` on standard input.
ProcessResult runChecker(std::vector<std::string> args, const std::string& input = {});

} // namespace korvane::test
