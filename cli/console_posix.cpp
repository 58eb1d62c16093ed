#include "console.h"

#include <cerrno>
#include <unistd.h>

namespace korvane::cli {

Arguments::Arguments(int argc, char** argv) : texts_(argv, argv + argc) {
    for (std::string& text : texts_)
        pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

bool colourTerminal() {
    return ::isatty(STDOUT_FILENO);
}

std::string withLineEnds(std::string text) {
    return text;
}

int writeStandardOutput(std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace korvane::cli
