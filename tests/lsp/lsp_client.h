#pragma once

// A scripted language client: starts korvane-check --lsp (or the Windows
// program under Wine) on pipes, sends framed messages, reads what comes back.

#include "message_reader.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace korvane::test {

class LspClient {
public:
    LspClient(); // korvane-check --lsp, as checkerCommand() runs it
    ~LspClient();
    LspClient(const LspClient&) = delete;
    LspClient& operator=(const LspClient&) = delete;

    void send(const nlohmann::json& message);
    void sendBytes(const std::string& bytes);
    void closeInput();

    // The next message, or none when nothing whole comes within `seconds`.
    std::optional<nlohmann::json> receive(double seconds);
    // Sends a request and waits for its response; what comes before it is
    // kept in `received`.
    nlohmann::json request(const std::string& method, const nlohmann::json& params);
    void notify(const std::string& method, const nlohmann::json& params);
    // The next publishDiagnostics for `uri` (earlier ones seen are passed).
    nlohmann::json diagnostics(const std::string& uri);
    // initialize and initialized, with a folder as the workspace.
    nlohmann::json initialize();
    // The exit status, or none when it runs on after `seconds`.
    std::optional<int> waitExit(double seconds);

    std::vector<nlohmann::json> received; // messages that were not asked for yet

private:
    pid_t pid_ = -1;
    int in_ = -1;  // the server's standard input
    int out_ = -1; // its standard output
    lsp::MessageReader reader_;
    int nextId_ = 1;
    std::optional<int> status_;
};

// How long a reply may take: seconds, more under Wine.
double replyTimeout();

} // namespace korvane::test
