// The server's step without pipes: messages in, messages out, given the
// documents it holds. A scripted client per behaviour of the lifecycle, the
// diagnostics and bad input.
#include "rule_info.h"
#include "session.h"
#include "test_files.h"
#include "uri.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace korvane::lsp {
namespace {

using nlohmann::json;
using test::TempDir;

json request(int id, const std::string& method, json params = json::object()) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}
json notification(const std::string& method, json params = json::object()) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}
json error(const json& id, int code) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}}}};
}
json didOpen(const std::string& uri, const std::string& text, int version = 1) {
    return notification("textDocument/didOpen",
                        {{"textDocument", {{"uri", uri}, {"languageId", "korvane"}, {"version", version}, {"text", text}}}});
}

// Error responses compared by code alone: their messages are for people.
Messages codesOnly(Messages messages) {
    for (json& m : messages) {
        if (m.contains("error"))
            m["error"] = {{"code", m["error"]["code"]}};
    }
    return messages;
}

class Client {
public:
    explicit Client(bool initialize = true) {
        if (initialize) {
            send(request(0, "initialize", {{"capabilities", json::object()}}));
            send(notification("initialized"));
        }
    }
    Messages send(const json& message) { return codesOnly(session.handle(message.dump())); }
    // Checks until nothing waits, as the loop does when no input comes.
    Messages settle() {
        Messages out;
        while (session.checkPending()) {
            for (json& m : session.publish(session.check()))
                out.push_back(std::move(m));
        }
        return out;
    }
    // uri -> diagnostics, of what settle() published.
    std::map<std::string, json> published() {
        std::map<std::string, json> out;
        for (json& m : settle())
            out[m["params"]["uri"]] = m["params"]["diagnostics"];
        return out;
    }
    Session session{diskFiles()};
};

// --- Lifecycle and requests it cannot serve -------------------------------

struct LifecycleCase {
    const char* name;
    bool initialized;
    std::vector<json> sent;
    Messages last; // what the last message sent gives
    std::optional<int> exit;
};

const LifecycleCase kLifecycle[] = {
    {"request before initialize", false, {request(1, "shutdown")}, {error(1, kServerNotInitialized)}, {}},
    {"notification before initialize is dropped", false, {didOpen("file:///a.cfg", "")}, {}, {}},
    {"exit before initialize", false, {notification("exit")}, {}, 1},
    {"initialize twice", true, {request(1, "initialize")}, {error(1, kInvalidRequest)}, {}},
    {"unknown request", true, {request(1, "textDocument/rename")}, {error(1, kMethodNotFound)}, {}},
    {"unknown notification", true, {notification("custom/thing")}, {}, {}},
    {"shutdown", true, {request(1, "shutdown")}, {response(1, nullptr)}, {}},
    {"request after shutdown", true, {request(1, "shutdown"), request(2, "textDocument/hover")},
     {error(2, kInvalidRequest)}, {}},
    {"exit after shutdown", true, {request(1, "shutdown"), notification("exit")}, {}, 0},
    {"exit without shutdown", true, {notification("exit")}, {}, 1},
    {"hover without a position", true,
     {request(1, "textDocument/hover", {{"textDocument", {{"uri", "file:///a.cfg"}}}})},
     {error(1, kInvalidParams)}, {}},
    {"hover at a negative line", true,
     {request(1, "textDocument/hover",
              {{"textDocument", {{"uri", "file:///a.cfg"}}}, {"position", {{"line", -1}, {"character", 0}}}})},
     {error(1, kInvalidParams)}, {}},
    {"params that are a number", true, {json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "shutdown"}, {"params", 5}}},
     {error(1, kInvalidParams)}, {}},
    {"an id that is an object", true, {json{{"jsonrpc", "2.0"}, {"id", {{"a", 1}}}, {"method", "shutdown"}}},
     {error(nullptr, kInvalidRequest)}, {}},
    {"a batch", true, {json::array({request(1, "shutdown")})}, {error(nullptr, kInvalidRequest)}, {}},
    {"a response from the client", true, {json{{"jsonrpc", "2.0"}, {"id", "korvane-1"}, {"result", nullptr}}},
     {}, {}},
};

class Lifecycle : public testing::TestWithParam<LifecycleCase> {};

TEST_P(Lifecycle, AnswersAsTheProtocolSays) {
    const LifecycleCase& c = GetParam();
    Client client(c.initialized);
    Messages last;
    for (const json& message : c.sent)
        last = client.send(message);
    EXPECT_EQ(last, c.last);
    EXPECT_EQ(client.session.exitStatus(), c.exit);
}

INSTANTIATE_TEST_SUITE_P(Lsp, Lifecycle, testing::ValuesIn(kLifecycle), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
});

TEST(Lifecycle, ABodyThatIsNotJsonIsAParseError) {
    Client client;
    EXPECT_EQ(codesOnly(client.session.handle("{\"jsonrpc\": \"2.0\", \"id\": 1,")),
              Messages{error(nullptr, kParseError)});
}

TEST(Lifecycle, OffersFullSyncAndHover) {
    Client client(false);
    const Messages out = client.send(request(1, "initialize", {{"capabilities", json::object()}}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]["result"]["capabilities"],
              (json{{"textDocumentSync", {{"openClose", true}, {"change", 1}}}, {"hoverProvider", true}}));
}

TEST(Lifecycle, AsksAClientThatWatchesFilesToWatchThem) {
    Client client(false);
    client.send(request(1, "initialize",
                        {{"capabilities", {{"workspace", {{"didChangeWatchedFiles", {{"dynamicRegistration", true}}}}}}}}));
    const Messages out = client.send(notification("initialized"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]["method"], "client/registerCapability");
    EXPECT_EQ(out[0]["params"]["registrations"][0]["method"], "workspace/didChangeWatchedFiles");
}

} // namespace
} // namespace korvane::lsp
