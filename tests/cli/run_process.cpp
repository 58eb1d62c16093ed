#include "run_process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::test {
namespace {

[[noreturn]] void execChild(const std::vector<std::string>& argv, const ProcessOptions& options) {
    for (const auto& [name, value] : options.env) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

int statusOf(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// Reads both pipes to their ends, writing the input as the child takes it.
void pump(int in, const std::string& input, int out, std::string& outText, int err,
          std::string& errText) {
    std::size_t written = 0;
    if (in >= 0 && input.empty()) {
        ::close(in);
        in = -1;
    }
    char buf[65536];
    while (out >= 0 || err >= 0) {
        pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
        if (::poll(fds, 3, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out : err;
            if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? outText : errText).append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fd);
                fd = -1;
            }
        }
        if (in >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::write(in, input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if (n <= 0 || written == input.size()) {
                ::close(in);
                in = -1;
            }
        }
    }
    if (in >= 0)
        ::close(in);
}

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

ProcessResult throughFiles(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ProcessResult result;
    char folder[] = "/tmp/korvane-run-XXXXXX";
    if (!::mkdtemp(folder))
        return result;
    const std::string base = folder;
    std::ofstream(base + "/in", std::ios::binary) << options.input;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string inPath = options.inputFile.empty() ? base + "/in" : options.inputFile;
        const int in = ::open(inPath.c_str(), O_RDONLY);
        const int out = ::open((base + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((base + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0)
            ::_exit(127);
        execChild(argv, options);
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    result.status = statusOf(raw);
    result.out = readWhole(base + "/out");
    result.err = readWhole(base + "/err");
    std::filesystem::remove_all(base);
    return result;
}

// CR LF as LF; a lone CR stays.
std::string withLf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    }
    return out;
}

// A Linux path as a Windows program names it: Wine's Z: is '/'.
std::string onDriveZ(std::string path) {
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return "Z:" + path;
}

} // namespace

const char* windowsChecker() {
    const char* exe = std::getenv("KORVANE_CHECK_WINE");
    return exe && *exe ? exe : nullptr;
}

std::vector<std::string> checkerCommand() {
    if (const char* exe = windowsChecker())
        return {"/usr/bin/env", "wine", exe};
    return {KORVANE_CHECK};
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ::signal(SIGPIPE, SIG_IGN);
    if (options.throughFiles)
        return throughFiles(argv, options);
    ProcessResult result;
    if (options.terminal) {
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0)
            execChild(argv, options);
        pump(-1, {}, master, result.out, -1, result.err);
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        result.status = statusOf(raw);
        return result;
    }
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int input =
            options.inputFile.empty() ? in[0] : ::open(options.inputFile.c_str(), O_RDONLY);
        if (input < 0)
            ::_exit(127);
        ::dup2(input, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        execChild(argv, options);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    pump(in[1], options.input, out[0], result.out, err[0], result.err);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    result.status = statusOf(raw);
    return result;
}

ProcessResult runChecker(std::vector<std::string> args, const ProcessOptions& options) {
    const std::vector<std::string> command = checkerCommand();
    args.insert(args.begin(), command.begin(), command.end());
    if (!windowsChecker())
        return runProcess(args, options);
    ProcessOptions files = options;
    files.throughFiles = true;
    if (!options.inputFile.empty()) {
        // A file redirected by Windows' own shell, opened as Windows opens
        // it: a handle Wine makes of a Linux descriptor has no name to tell.
        // (Names without spaces, unquoted, as cmd /c takes them best.)
        std::string line = onDriveZ(windowsChecker());
        for (auto arg = args.begin() + static_cast<long>(command.size()); arg != args.end(); ++arg)
            line += " " + *arg;
        line += " < " + onDriveZ(options.inputFile);
        args = {"/usr/bin/env", "wine", "cmd", "/c", line};
        files.inputFile.clear();
    }
    files.env.emplace("WINEDEBUG", "-all");
    ProcessResult result = runProcess(args, files);
    if (result.out.empty() && result.err.empty())
        result = runProcess(args, files);
    result.out = withLf(result.out);
    result.err = withLf(result.err);
    return result;
}

ProcessResult runChecker(std::vector<std::string> args, const std::string& input) {
    ProcessOptions options;
    options.input = input;
    return runChecker(std::move(args), options);
}

} // namespace korvane::test
