#include "session.h"

#include "hover.h"
#include "korvane_version.h"
#include "text.h"
#include "uri.h"

#include <optional>
#include <string_view>

namespace korvane::lsp {
namespace {

using nlohmann::json;

constexpr int kLogError = 1;

// The value at `path` in `j` when it is there with the type asked for.
const json* at(const json& j, std::initializer_list<const char*> path) {
    const json* node = &j;
    for (const char* name : path) {
        if (!node->is_object())
            return nullptr;
        const auto found = node->find(name);
        if (found == node->end())
            return nullptr;
        node = &*found;
    }
    return node;
}

std::optional<std::string> stringAt(const json& j, std::initializer_list<const char*> path) {
    const json* node = at(j, path);
    return node && node->is_string() ? std::optional(node->get<std::string>()) : std::nullopt;
}

std::optional<std::int64_t> integerAt(const json& j, std::initializer_list<const char*> path) {
    const json* node = at(j, path);
    return node && node->is_number_integer() ? std::optional(node->get<std::int64_t>())
                                             : std::nullopt;
}

json notify(const std::string& method, json params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

json logError(const std::string& text) {
    return notify("window/logMessage", {{"type", kLogError}, {"message", "korvane: " + text}});
}

std::string sizeText(std::uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

} // namespace

json response(const json& id, json result) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

json errorResponse(const json& id, int code, const std::string& message) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Session::Session(const FileSource& disk) : disk_(disk), workspace_(disk) {}

Messages Session::handle(std::string_view body) {
    const json message = json::parse(body, nullptr, false);
    if (message.is_discarded())
        return {errorResponse(nullptr, kParseError, "the message is not JSON")};
    if (!message.is_object())
        return {errorResponse(nullptr, kInvalidRequest, "a message is a JSON object")};
    const auto id = message.find("id");
    const bool hasId = id != message.end();
    if (hasId && !id->is_string() && !id->is_number_integer())
        return {errorResponse(nullptr, kInvalidRequest, "an id is a number or a string")};
    const auto method = message.find("method");
    if (method == message.end()) {
        if (hasId && (message.contains("result") || message.contains("error")))
            return {}; // the client's answer to one of the server's requests
        return {errorResponse(hasId ? *id : json(nullptr), kInvalidRequest, "a message without a method")};
    }
    if (!method->is_string())
        return {errorResponse(hasId ? *id : json(nullptr), kInvalidRequest, "a method is a string")};
    const auto params = message.find("params");
    const json noParams = json::object();
    // No params, and params of null (as some clients send with shutdown), are none.
    const json& given = params == message.end() || params->is_null() ? noParams : *params;
    if (!given.is_object() && !given.is_array()) {
        if (hasId)
            return {errorResponse(*id, kInvalidParams, "params are an object or an array")};
        return {logError(joined({"skipped ", method->get<std::string>(), ": params are not an object"}))};
    }
    // The server outlives any fault of its own in one message.
    try {
        return hasId ? request(*id, method->get<std::string>(), given)
                     : notification(method->get<std::string>(), given);
    } catch (const std::exception& e) {
        const std::string why = joined({"could not handle ", method->get<std::string>(), ": ", e.what()});
        return {hasId ? errorResponse(*id, kInternalError, why) : logError(why)};
    }
}

Messages Session::request(const json& id, const std::string& method, const json& params) {
    if (method == "initialize") {
        if (initialized_)
            return {errorResponse(id, kInvalidRequest, "initialize was sent already")};
        return {response(id, initialize(params))};
    }
    if (!initialized_)
        return {errorResponse(id, kServerNotInitialized, "the server is not initialized yet")};
    if (shutdown_)
        return {errorResponse(id, kInvalidRequest, "the server is shut down")};
    if (method == "shutdown") {
        shutdown_ = true;
        return {response(id, nullptr)};
    }
    if (method == "textDocument/hover") {
        const auto uri = stringAt(params, {"textDocument", "uri"});
        const auto line = integerAt(params, {"position", "line"});
        const auto character = integerAt(params, {"position", "character"});
        if (!uri || !line || !character || *line < 0 || *character < 0)
            return {errorResponse(id, kInvalidParams,
                                  "hover takes textDocument.uri and a position of line and character")};
        const Document* document = workspace_.document(*uri);
        if (!document)
            return {response(id, nullptr)};
        const auto text = hoverText(workspace_, *document, static_cast<std::size_t>(*line) + 1);
        if (!text)
            return {response(id, nullptr)};
        return {response(id, {{"contents", {{"kind", "markdown"}, {"value", *text}}}})};
    }
    return {errorResponse(id, kMethodNotFound, "no such method: " + method)};
}

json Session::initialize(const json& params) {
    initialized_ = true;
    const json* watch = at(params, {"capabilities", "workspace", "didChangeWatchedFiles",
                                    "dynamicRegistration"});
    clientWatches_ = watch && watch->is_boolean() && watch->get<bool>();
    return {{"capabilities",
             {{"textDocumentSync", {{"openClose", true}, {"change", 1}}}, {"hoverProvider", true}}},
            {"serverInfo", {{"name", "korvane-check"}, {"version", kVersion}}}};
}

Messages Session::notification(const std::string& method, const json& params) {
    if (method == "exit") {
        exit_ = shutdown_ ? 0 : 1;
        return {};
    }
    if (!initialized_ || shutdown_)
        return {};
    Messages out;
    if (method == "initialized" && clientWatches_) {
        // Every file a check reads or looks for may have any name: the
        // client reports all, and the server keeps those its checks depend on.
        const json watchers = json::array({{{"globPattern", "**/*"}}});
        out.push_back({{"jsonrpc", "2.0"},
                       {"id", joined({"korvane-", std::to_string(nextRequest_++)})},
                       {"method", "client/registerCapability"},
                       {"params",
                        {{"registrations",
                          json::array({{{"id", "korvane-watch"},
                                        {"method", "workspace/didChangeWatchedFiles"},
                                        {"registerOptions", {{"watchers", watchers}}}}})}}}});
    } else if (method == "textDocument/didOpen") {
        didOpen(params);
    } else if (method == "textDocument/didChange") {
        didChange(params);
    } else if (method == "textDocument/didClose") {
        const auto uri = stringAt(params, {"textDocument", "uri"});
        if (!uri)
            return {logError("skipped didClose: no textDocument.uri")};
        touched(*uri);
        workspace_.close(*uri);
    } else if (method == "workspace/didChangeWatchedFiles") {
        didChangeWatchedFiles(params);
    }
    return out;
}

void Session::didOpen(const json& params) {
    Document document;
    const auto uri = stringAt(params, {"textDocument", "uri"});
    const auto text = stringAt(params, {"textDocument", "text"});
    if (!uri || !text)
        return; // nothing to hold, nothing to answer
    document.uri = *uri;
    document.text = *text;
    document.version = integerAt(params, {"textDocument", "version"}).value_or(0);
    document.path = pathOfUri(*uri);
    if (!document.path) {
        document.problem = "Korvane checks files on this machine; this document is not one: " + *uri;
    } else {
        const FileRead probe = disk_.probe(*document.path);
        if (probe.status == FileStatus::NotRegular)
            document.problem = std::string("Korvane checks regular files; this is ") +
                               (probe.folder ? "a folder" : "not a regular file (a FIFO, socket or device)");
    }
    if (!document.problem.empty())
        document.text.clear();
    touched(*uri);
    workspace_.open(std::move(document));
}

void Session::didChange(const json& params) {
    const auto uri = stringAt(params, {"textDocument", "uri"});
    const json* changes = at(params, {"contentChanges"});
    if (!uri || !changes || !changes->is_array() || changes->empty())
        return;
    // Full sync: the last change holds the whole text.
    const auto text = stringAt(changes->back(), {"text"});
    if (!text || changes->back().contains("range"))
        return;
    touched(*uri);
    workspace_.change(*uri, *text, integerAt(params, {"textDocument", "version"}).value_or(0));
}

void Session::didChangeWatchedFiles(const json& params) {
    const json* changes = at(params, {"changes"});
    if (!changes || !changes->is_array())
        return;
    for (const json& change : *changes) {
        const auto uri = stringAt(change, {"uri"});
        const auto path = uri ? pathOfUri(*uri) : std::nullopt;
        if (path)
            changedOnDisk(*path);
    }
}

void Session::changedOnDisk(const std::string& path) {
    ++edits_;
    editedAt_[path] = edits_;
    workspace_.changedOnDisk(path);
}

void Session::touched(const std::string& uri) {
    ++edits_;
    editedAt_[uri] = edits_;
    if (const auto path = pathOfUri(uri))
        editedAt_[*path] = edits_;
}

namespace {

// The first `"key": VALUE` in the start of a message too long to parse,
// VALUE as its JSON text: a string without escapes or, where `number`, an
// integer of at most 18 digits too.
std::optional<std::string> jsonToken(const std::string& text, std::string_view key, bool number) {
    const std::string quoted = '"' + std::string(key) + '"';
    const auto blank = [&](std::size_t i) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
            ++i;
        return i;
    };
    for (std::size_t at = text.find(quoted); at != std::string::npos;
         at = text.find(quoted, at + 1)) {
        std::size_t i = blank(at + quoted.size());
        if (i >= text.size() || text[i] != ':')
            continue;
        i = blank(i + 1);
        if (i < text.size() && text[i] == '"') {
            const std::size_t end = text.find_first_of("\"\\", i + 1);
            if (end != std::string::npos && text[end] == '"')
                return text.substr(i, end + 1 - i);
            continue;
        }
        if (!number)
            continue;
        const std::size_t digits = i + (i < text.size() && text[i] == '-' ? 1 : 0);
        std::size_t end = digits;
        while (end < text.size() && end - digits < 18 && text[end] >= '0' && text[end] <= '9')
            ++end;
        if (end > digits)
            return text.substr(i, end - i);
    }
    return std::nullopt;
}

std::string unquoted(const std::string& token) {
    return token.size() >= 2 && token.front() == '"' ? token.substr(1, token.size() - 2) : token;
}

} // namespace

Messages Session::fault(const Framed& framed) {
    if (framed.kind == Framed::Kind::BadHeader)
        return {logError("skipped bytes: " + framed.bytes)};
    if (framed.kind == Framed::Kind::Message)
        return handle(framed.bytes);
    // Too long to take: what its start tells is answered.
    const std::string why = joined({"the message is ", sizeText(framed.length),
                                    ", over the server's limit of ", sizeText(kMaxBody)});
    Messages out{logError(why)};
    const std::string& start = framed.bytes;
    const auto method = jsonToken(start, "method", false);
    const std::string name = method ? unquoted(*method) : "";
    if (const auto id = jsonToken(start, "id", true); id && !name.empty()) {
        out.push_back(errorResponse(json::parse(*id), kRequestFailed, why));
        return out;
    }
    const auto uriToken = jsonToken(start, "uri", false);
    if ((name == "textDocument/didOpen" || name == "textDocument/didChange") && initialized_ &&
        !shutdown_ && uriToken) {
        const std::string uri = unquoted(*uriToken);
        const std::string problem = joined({"The document is too large to check (", sizeText(framed.length),
                                            "; the limit is ", sizeText(kMaxBody), ")"});
        touched(uri);
        if (name == "textDocument/didOpen" || !workspace_.document(uri))
            workspace_.open({uri, pathOfUri(uri), "", 0, problem});
        else
            workspace_.drop(uri, problem);
    }
    return out;
}

CheckBatch Session::check() {
    return {edits_, workspace_.check()};
}

Messages Session::publish(CheckBatch batch) {
    Messages out;
    std::set<std::string> targets;
    for (Publication& publication : batch.publications) {
        targets.insert(publication.uri);
        bool overtaken = false;
        for (const std::string& path : publication.depends) {
            const auto edited = editedAt_.find(path);
            overtaken = overtaken || (edited != editedAt_.end() && edited->second > batch.edits);
        }
        const auto uriEdited = editedAt_.find(publication.uri);
        if (overtaken || (uriEdited != editedAt_.end() && uriEdited->second > batch.edits))
            continue;
        json& held = published_[publication.uri];
        if (held == publication.diagnostics)
            continue;
        held = publication.diagnostics;
        json params = {{"uri", publication.uri}, {"diagnostics", publication.diagnostics}};
        if (publication.version)
            params["version"] = *publication.version;
        out.push_back(notify("textDocument/publishDiagnostics", std::move(params)));
    }
    // What the client still shows of files no check concerns any more.
    for (auto it = published_.begin(); it != published_.end();) {
        if (targets.count(it->first) != 0) {
            ++it;
            continue;
        }
        out.push_back(notify("textDocument/publishDiagnostics",
                             {{"uri", it->first}, {"diagnostics", json::array()}}));
        it = published_.erase(it);
    }
    return out;
}

} // namespace korvane::lsp
