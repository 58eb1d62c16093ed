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
    std::string inputFile; // or, where given, standard input redirected from this file
                           // (under Wine by cmd's '<': a name without spaces)
    std::map<std::string, std::optional<std::string>> env; // set to the value, or unset
    bool terminal = false;                                 // stdout and stderr on a pseudo-terminal
    bool throughFiles = false; // stdin, stdout and stderr are files, not pipes
};

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// The Windows build under test, where KORVANE_CHECK_WINE names its
// korvane-check.exe (./dev.sh test sets it), or nothing: the Linux build.
const char* windowsChecker();

// For a test of what Windows does not have, or has otherwise.
#define SKIP_UNDER_WINE(reason)                                                                    \
    if (::korvane::test::windowsChecker())                                                         \
    GTEST_SKIP() << "not for Windows: " << reason

// The command that runs korvane-check: the Linux program, or `wine` and the
// Windows one.
std::vector<std::string> checkerCommand();

// korvane-check with `args`, given `input` on standard input. Under Wine,
// standard input, output and error go through files (Wine's helpers would
// hold pipes open for seconds), a run that printed nothing is run once more
// (Wine's client connection is seldom reset), and CR LF line ends read as
// LF.
ProcessResult runChecker(std::vector<std::string> args, const ProcessOptions& options = {});
ProcessResult runChecker(std::vector<std::string> args, const std::string& input);

} // namespace korvane::test
