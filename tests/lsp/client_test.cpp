// korvane-check --lsp end to end, from a scripted client over pipes: the
// lifecycle, diagnostics of a zone's arena from the editor's unsaved text,
// and bytes that are not the protocol. Run against the Windows program
// under Wine too (KORVANE_CHECK_WINE).
#include "lsp_client.h"
#include "rule_info.h"
#include "run_process.h"
#include "test_files.h"
#include "uri.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace korvane::test {
namespace {

using nlohmann::json;

const std::string kSpeedFinding =
    "InitialSpeed is greater than MaximumSpeed. [Messes up greening and ?status]";

// The URI an editor gives for a file: under Wine, a Windows editor names
// /tmp/x as Z:/tmp/x.
std::string documentUri(const std::filesystem::path& file) {
    return lsp::uriOfPath((windowsChecker() ? "Z:" : "") + utf8Text(file));
}

json errorOf(const json& response) {
    return response.contains("error") ? response["error"]["code"] : json(nullptr);
}

TEST(LspClient, LivesFromInitializeToExitAfterShutdown) {
    LspClient client;
    const json result = client.initialize()["result"];
    EXPECT_EQ(result["capabilities"]["textDocumentSync"], (json{{"openClose", true}, {"change", 1}}));
    EXPECT_EQ(result["capabilities"]["hoverProvider"], true);
    EXPECT_EQ(result["serverInfo"]["name"], "korvane-check");
    EXPECT_EQ(client.request("shutdown", nullptr), (json{{"jsonrpc", "2.0"}, {"id", 2}, {"result", nullptr}}));
    // After shutdown only exit counts.
    EXPECT_EQ(errorOf(client.request("textDocument/hover", json::object())), -32600);
    client.notify("exit", nullptr);
    EXPECT_EQ(client.waitExit(replyTimeout()), 0);
}

TEST(LspClient, ExitsWithOneWithoutShutdown) {
    LspClient client;
    client.initialize();
    client.notify("exit", nullptr);
    EXPECT_EQ(client.waitExit(replyTimeout()), 1);
}

TEST(LspClient, ExitsWithOneWhenTheClientGoesAway) {
    LspClient client;
    client.initialize();
    client.closeInput();
    EXPECT_EQ(client.waitExit(replyTimeout()), 1);
}

TEST(LspClient, AnswersEveryRequestItCannotServe) {
    LspClient client;
    EXPECT_EQ(errorOf(client.request("textDocument/hover", json::object())), -32002);
    client.initialize();
    EXPECT_EQ(errorOf(client.request("textDocument/definition", json::object())), -32601);
    client.notify("$/unknownNotification", json::object());
    EXPECT_EQ(errorOf(client.request("textDocument/hover", {{"textDocument", 3}})), -32602);
    EXPECT_EQ(errorOf(client.request("initialize", json::object())), -32600);
    EXPECT_TRUE(client.received.empty()) << client.received.front().dump();
}

TEST(LspClient, SurvivesBytesThatAreNotTheProtocol) {
    LspClient client;
    client.initialize();
    client.sendBytes("Content-Length: 9\r\n\r\nnot json!");
    auto reply = client.receive(replyTimeout());
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, (json{{"jsonrpc", "2.0"},
                            {"id", nullptr},
                            {"error", {{"code", -32700}, {"message", "the message is not JSON"}}}}));
    client.sendBytes("Content-Length: -4\r\n\r\n");
    reply = client.receive(replyTimeout());
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)["method"], "window/logMessage");
    EXPECT_EQ((*reply)["params"]["message"],
              "korvane: skipped bytes: a Content-Length that is not a length: -4");
    // Still serving.
    EXPECT_EQ(client.request("shutdown", nullptr), (json{{"jsonrpc", "2.0"}, {"id", 2}, {"result", nullptr}}));
    // A terabyte announced: skipped as it comes, never held; the client
    // then goes away.
    client.sendBytes("Content-Length: 1099511627776\r\n\r\n{\"jsonrpc\":\"2.0\",\"id\":7");
    client.sendBytes(std::string(1 << 20, ' '));
    client.closeInput();
    EXPECT_EQ(client.waitExit(replyTimeout()), 0);
}

TEST(LspClient, ChecksAnArenaFromTheEditorsText) {
    TempDir dir;
    std::filesystem::copy(KORVANE_EXAMPLES "/zone", dir.path() / "zone",
                          std::filesystem::copy_options::recursive);
    const std::string uri = documentUri(dir.path() / "zone/arenas/duel/arena.conf");
    std::string text = "; The duel arena\n#include ships.conf\n[Warbird]\nInitialSpeed=3500\n"
                       "MaximumSpeed=3400\n";
    LspClient client;
    client.initialize();
    client.notify("textDocument/didOpen",
                  {{"textDocument", {{"uri", uri}, {"languageId", "conf"}, {"version", 1}, {"text", text}}}});
    json published = client.diagnostics(uri);
    EXPECT_EQ(published["version"], 1);
    ASSERT_EQ(published["diagnostics"].size(), 1u) << published.dump();
    const json& diagnostic = published["diagnostics"][0];
    EXPECT_EQ(diagnostic["range"], (json{{"start", {{"line", 3}, {"character", 0}}},
                                        {"end", {{"line", 3}, {"character", 17}}}}));
    EXPECT_EQ(diagnostic["severity"], 1);
    EXPECT_EQ(diagnostic["source"], "korvane");
    EXPECT_EQ(diagnostic["code"], ruleInfo(2).id);
    EXPECT_EQ(diagnostic["message"], kSpeedFinding);

    // Fixed in the buffer, not on disk: no finding.
    text.replace(text.find("3400"), 4, "3600");
    client.notify("textDocument/didChange",
                  {{"textDocument", {{"uri", uri}, {"version", 2}}}, {"contentChanges", {{{"text", text}}}}});
    published = client.diagnostics(uri);
    EXPECT_EQ(published["version"], 2);
    EXPECT_EQ(published["diagnostics"], json::array());
    client.request("shutdown", nullptr);
    client.notify("exit", nullptr);
    EXPECT_EQ(client.waitExit(replyTimeout()), 0);
}

TEST(LspClient, WatchesTheFilesACheckReadWhenTheClientDoesNot) {
    TempDir dir;
    std::filesystem::copy(KORVANE_EXAMPLES "/zone", dir.path() / "zone",
                          std::filesystem::copy_options::recursive);
    const std::string uri = documentUri(dir.path() / "zone/arenas/duel/arena.conf");
    LspClient client;
    client.initialize();
    client.notify("textDocument/didOpen",
                  {{"textDocument", {{"uri", uri}, {"version", 1}, {"text", "#include ships.conf\n"}}}});
    EXPECT_EQ(client.diagnostics(uri)["diagnostics"], json::array());
    // The Warbird's ships file changed by another program: its finding shows.
    dir.write("zone/conf/ships/warbird.conf", "[Warbird]\nSuperTime=0\n");
    const std::string ships = documentUri(dir.path() / "zone/conf/ships/warbird.conf");
    const json published = client.diagnostics(ships);
    ASSERT_FALSE(published["diagnostics"].empty());
    EXPECT_EQ(published["diagnostics"][0]["range"]["start"]["line"], 1);
}

} // namespace
} // namespace korvane::test
