#include "standard_input.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace korvane::lsp {

void prepareStandardStreams() {
    // A client gone mid-write: the write fails with EPIPE and the server ends.
    std::signal(SIGPIPE, SIG_IGN);
}

bool inputWaiting(int milliseconds) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&in, 1, milliseconds);
        if (n >= 0 || errno != EINTR)
            return n != 0; // an error: the read will tell
    }
}

std::size_t readInput(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR && errno != EAGAIN)
            return 0;
        if (errno == EAGAIN)
            inputWaiting(-1);
    }
}

} // namespace korvane::lsp
