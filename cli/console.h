#pragma once

// What korvane-check needs of the platform it runs on: its arguments as
// UTF-8, and standard output written in the console's conventions.

#include <string>
#include <string_view>
#include <vector>

namespace korvane::cli {

// The command line's arguments as UTF-8 (on Windows from the wide command
// line, whatever the code page), program name first.
class Arguments {
public:
    Arguments(int argc, char** argv);
    int argc() const { return static_cast<int>(pointers_.size()) - 1; }
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_; // into texts_, ending with nullptr
};

// Whether standard output is a terminal that shows ANSI colours (on
// Windows a console, asked to take them).
bool colourTerminal();

// Text output with the platform's line ends: CR LF on Windows.
std::string withLineEnds(std::string text);

// Writes all of `bytes` to standard output, as they are; 0, or the errno of
// the write that failed (a closed pipe is EPIPE everywhere).
int writeStandardOutput(std::string_view bytes);

} // namespace korvane::cli
