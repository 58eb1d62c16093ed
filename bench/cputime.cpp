// Runs a command with its output thrown away and prints what the kernel
// counted for it: "CPU-SECONDS PEAK-KIB STATUS", the CPU time (user +
// system) to the microsecond, which GNU time rounds to hundredths, and the
// command's exit status. With --pipe the
// output goes through a pipe that this program reads, as a harness would.
//   korvane-cputime [--pipe] COMMAND [ARG...]
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const bool pipe = argc > 1 && std::strcmp(argv[1], "--pipe") == 0;
    char** command = argv + 1 + (pipe ? 1 : 0);
    if (!*command) {
        std::fputs("usage: korvane-cputime [--pipe] COMMAND [ARG...]\n", stderr);
        return 2;
    }
    int out[2] = {-1, -1};
    if (pipe && ::pipe(out) != 0)
        return 2;
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(pipe ? out[1] : null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execvp(command[0], command);
        ::_exit(127);
    }
    if (pipe) {
        ::close(out[1]);
        char buffer[1 << 16];
        while (::read(out[0], buffer, sizeof buffer) > 0) {
        }
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return 2;
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    std::printf("%.6f %ld %d\n", seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss,
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}
