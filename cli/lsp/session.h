#pragma once

// The language server's step: one message in, the messages to send out,
// given the documents it holds. No I/O and no clock: the loop around it
// (server.cpp) reads and writes, and calls check() when no input waits.

#include "message_reader.h"
#include "workspace.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::lsp {

// JSON-RPC's and the protocol's error codes.
enum ErrorCode {
    kParseError = -32700,
    kInvalidRequest = -32600,
    kMethodNotFound = -32601,
    kInvalidParams = -32602,
    kInternalError = -32603,
    kServerNotInitialized = -32002,
    kRequestFailed = -32803,
};

using Messages = std::vector<nlohmann::json>;

// Checks done, waiting to be published once the input that came meanwhile
// has been handled: what an edit overtook is dropped then.
struct CheckBatch {
    std::uint64_t edits = 0; // the edit count the checks saw
    std::vector<Publication> publications;
};

class Session {
public:
    explicit Session(const FileSource& disk);

    // One body as the framing gave it.
    Messages handle(std::string_view body);
    // One fault of the framing (a bad header, a body too long to take).
    Messages fault(const Framed& framed);

    // Whether documents wait to be checked.
    bool checkPending() const { return initialized_ && !shutdown_ && workspace_.stale(); }
    // Checks what waits (the slow part, between messages).
    CheckBatch check();
    // The publishDiagnostics of `batch` that no edit since has overtaken,
    // and only those that differ from what the client has.
    Messages publish(CheckBatch batch);

    // After `exit`: the status the program ends with.
    std::optional<int> exitStatus() const { return exit_; }
    bool shutDown() const { return shutdown_; }
    // Whether the client watches files for the server.
    bool clientWatches() const { return clientWatches_; }
    // A file changed on disk, seen by the server's own watching.
    void changedOnDisk(const std::string& path);
    const Workspace& workspace() const { return workspace_; }

private:
    Messages request(const nlohmann::json& id, const std::string& method, const nlohmann::json& params);
    Messages notification(const std::string& method, const nlohmann::json& params);
    nlohmann::json initialize(const nlohmann::json& params);
    void didOpen(const nlohmann::json& params);
    void didChange(const nlohmann::json& params);
    void didClose(const nlohmann::json& params);
    void didChangeWatchedFiles(const nlohmann::json& params);
    void touched(const std::string& uri);

    const FileSource& disk_;
    Workspace workspace_;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool clientWatches_ = false;
    std::optional<int> exit_;
    std::uint64_t edits_ = 0;
    std::map<std::string, std::uint64_t> editedAt_; // path -> edit count of its last change
    std::map<std::string, nlohmann::json> published_; // uri -> diagnostics the client has
    int nextRequest_ = 1;
};

// A response and an error response, as sent.
nlohmann::json response(const nlohmann::json& id, nlohmann::json result);
nlohmann::json errorResponse(const nlohmann::json& id, int code, const std::string& message);

} // namespace korvane::lsp
