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
// Qt's standard options (-style NAME, -platform NAME, -reverse, ...) are
// passed over here: QApplication reads them from the same arguments.
Request readCommandLine(int argc, char* argv[]);

// The application on a display that can be reached (the environment's, or
// one that -platform or -display names). Without one it says in one line
// what to use instead and ends the program with status 1.
std::unique_ptr<QApplication> openDisplay(int& argc, char* argv[]);

// The whole program: the command line read, then the main window shown,
// with FILE checked; the status to end with.
int run(int argc, char* argv[]);

} // namespace startup
