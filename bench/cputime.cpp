// Runs a command with its output thrown away and prints what the kernel
// counted for it: "CPU-SECONDS PEAK-KIB", the CPU time (user + system) to
// the microsecond, which GNU time rounds to hundredths.
//   korvane-cputime COMMAND [ARG...]
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: korvane-cputime COMMAND [ARG...]\n", stderr);
        return 2;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execvp(argv[1], argv + 1);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return 2;
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    std::printf("%.6f %ld\n", seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 127 ? 127 : 0;
}
