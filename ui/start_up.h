#pragma once

#include <QString>
#include <memory>
#include <optional>

class QApplication;

// What happens before the main window opens.
namespace startup {

struct Request {
    QString file;                // a file to check at once, or empty
    std::optional<int> exitWith; // --help, --version or a mistake: end here
};

// Reads `korvane [FILE]`, --help and --version, which need no display.
Request readCommandLine(int argc, char* argv[]);

// The application on a display that can be reached. Without one it says in
// one line what to use instead and ends the program with status 1.
std::unique_ptr<QApplication> openDisplay(int& argc, char* argv[]);

} // namespace startup
