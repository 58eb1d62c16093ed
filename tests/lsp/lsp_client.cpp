#include "lsp_client.h"

#include "message_reader.h"
#include "run_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvane::test {

using nlohmann::json;

double replyTimeout() {
    return windowsChecker() ? 60 : 20;
}

LspClient::LspClient() {
    int toServer[2];
    int fromServer[2];
    if (::pipe(toServer) != 0 || ::pipe(fromServer) != 0)
        throw std::runtime_error("no pipes");
    std::vector<std::string> argv = checkerCommand();
    argv.push_back("--lsp");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(toServer[0], STDIN_FILENO);
        ::dup2(fromServer[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        for (int fd : {toServer[0], toServer[1], fromServer[0], fromServer[1], null})
            ::close(fd);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(toServer[0]);
    ::close(fromServer[1]);
    in_ = toServer[1];
    out_ = fromServer[0];
    ::signal(SIGPIPE, SIG_IGN);
}

LspClient::~LspClient() {
    if (in_ >= 0)
        ::close(in_);
    if (!status_ && !waitExit(windowsChecker() ? 10 : 2)) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
}

void LspClient::sendBytes(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("the server does not take input");
        done += static_cast<std::size_t>(n);
    }
}

void LspClient::send(const json& message) {
    sendBytes(lsp::frame(message.dump()));
}

void LspClient::closeInput() {
    ::close(in_);
    in_ = -1;
}

std::optional<json> LspClient::receive(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        lsp::Framed framed;
        if (reader_.next(framed))
            return json::parse(framed.bytes);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd fd{out_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0)
            return std::nullopt;
        reader_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
}

json LspClient::request(const std::string& method, const json& params) {
    const int id = nextId_++;
    send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    for (;;) {
        auto message = receive(replyTimeout());
        if (!message)
            throw std::runtime_error("no response to " + method);
        if (message->contains("id") && (*message)["id"] == id && !message->contains("method"))
            return *message;
        received.push_back(std::move(*message));
    }
}

void LspClient::notify(const std::string& method, const json& params) {
    send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

json LspClient::diagnostics(const std::string& uri) {
    for (auto it = received.begin(); it != received.end(); ++it) {
        if (it->value("method", "") == "textDocument/publishDiagnostics" &&
            (*it)["params"]["uri"] == uri) {
            json found = std::move(*it);
            received.erase(it);
            return found["params"];
        }
    }
    for (;;) {
        auto message = receive(replyTimeout());
        if (!message)
            throw std::runtime_error("no diagnostics for " + uri);
        if (message->value("method", "") == "textDocument/publishDiagnostics" &&
            (*message)["params"]["uri"] == uri)
            return (*message)["params"];
        received.push_back(std::move(*message));
    }
}

json LspClient::initialize() {
    json result = request("initialize", {{"processId", nullptr}, {"rootUri", nullptr}, {"capabilities", json::object()}});
    notify("initialized", json::object());
    return result;
}

std::optional<int> LspClient::waitExit(double seconds) {
    if (status_)
        return status_;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int raw = 0;
        if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return status_;
        }
        if (std::chrono::steady_clock::now() > until)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace korvane::test
