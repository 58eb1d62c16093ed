// The server's step on a zone: which files get which diagnostics, from the
// editor's unsaved texts; re-checks of what depends on an edit; results an
// edit overtook; documents that cannot be checked; hovers.
#include "rule_info.h"
#include "session.h"
#include "test_files.h"
#include "uri.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace korvane::lsp {
namespace {

using nlohmann::json;

const std::string kEnergy = "InitialEnergy is greater than MaximumEnergy. [Messes up greening and ?status]";
const std::string kSpeed = "InitialSpeed is greater than MaximumSpeed. [Messes up greening and ?status]";

json notification(const std::string& method, json params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

json range(int line, int end) {
    return {{"start", {{"line", line}, {"character", 0}}}, {"end", {{"line", line}, {"character", end}}}};
}
json nextLine(int line) {
    return {{"start", {{"line", line}, {"character", 0}}}, {"end", {{"line", line + 1}, {"character", 0}}}};
}

// A copy of the example zone with a second arena, pub, that includes the
// zone's ships as they are; duel overrides the Warbird's speed.
class ZoneSession : public testing::Test {
protected:
    ZoneSession() {
        std::filesystem::copy(KORVANE_EXAMPLES "/zone", dir_.path() / "zone",
                              std::filesystem::copy_options::recursive);
        dir_.write("zone/arenas/pub/arena.conf", "#include ships.conf\n");
        session_.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
    }
    std::string path(const std::string& name) const { return normalisedPath(test::utf8Text(dir_.path() / "zone" / name)); }
    std::string uri(const std::string& name) const { return uriOfPath(path(name)); }
    std::string disk(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    Messages send(const json& message) { return session_.handle(message.dump()); }
    void open(const std::string& name, const std::string& text, int version = 1) {
        send(notification("textDocument/didOpen",
                          {{"textDocument", {{"uri", uri(name)}, {"languageId", "conf"}, {"version", version}, {"text", text}}}}));
    }
    void change(const std::string& name, const std::string& text, int version) {
        send(notification("textDocument/didChange", {{"textDocument", {{"uri", uri(name)}, {"version", version}}},
                                                     {"contentChanges", {{{"text", text}}}}}));
    }
    // Checks until nothing waits; uri -> diagnostics published.
    std::map<std::string, json> settle() {
        std::map<std::string, json> out;
        while (session_.checkPending()) {
            for (json& m : session_.publish(session_.check()))
                out[m["params"]["uri"]] = m["params"]["diagnostics"];
        }
        return out;
    }
    // Diagnostics with what a row compares: range, severity, code, message.
    static json brief(json diagnostics) {
        for (json& d : diagnostics) {
            d.erase("relatedInformation");
            d.erase("source");
        }
        return diagnostics;
    }
    static std::string with(std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    }

    test::TempDir dir_;
    Session session_{diskFiles()};
};

TEST_F(ZoneSession, AnArenaGetsItsFindingAtTheLineThatDecidedIt) {
    open("arenas/duel/arena.conf", disk("arenas/duel/arena.conf"));
    const auto published = settle();
    ASSERT_EQ(published.size(), 1u);
    const json& diagnostics = published.at(uri("arenas/duel/arena.conf"));
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0], (json{{"range", range(8, 17)},
                                    {"severity", 1},
                                    {"source", "korvane"},
                                    {"code", ruleInfo(2).id},
                                    {"message", kSpeed},
                                    {"relatedInformation",
                                     {{{"location", {{"uri", uri("arenas/duel/arena.conf")}, {"range", nextLine(8)}}},
                                       {"message", "InitialSpeed=3500"}},
                                      {{"location", {{"uri", uri("arenas/duel/arena.conf")}, {"range", nextLine(9)}}},
                                       {"message", "MaximumSpeed=3400"}}}}}));
}

TEST_F(ZoneSession, AFindingInAnIncludedFileIsPublishedThereAndAtTheIncludeLine) {
    const std::string energetic = with(disk("conf/ships/warbird.conf"), "InitialEnergy=1000", "InitialEnergy=2000");
    std::ofstream(path("conf/ships/warbird.conf"), std::ios::binary) << energetic;
    open("arenas/duel/arena.conf", with(disk("arenas/duel/arena.conf"), "MaximumSpeed=3400", "MaximumSpeed=3600"));
    const auto published = settle();
    EXPECT_EQ(brief(published.at(uri("arenas/duel/arena.conf"))),
              json::array({{{"range", range(1, 19)},
                            {"severity", 3},
                            {"message", "1 finding in ../../conf/ships/warbird.conf: " + kEnergy}}}));
    EXPECT_EQ(brief(published.at(uri("conf/ships/warbird.conf"))),
              json::array({{{"range", nextLine(12)},
                            {"severity", 1},
                            {"code", ruleInfo(5).id},
                            {"message", kEnergy + " (arena duel)"}}}));
}

TEST_F(ZoneSession, ASharedFileIsCheckedThroughEveryArenaThatIncludesIt) {
    const std::string ships = disk("conf/ships/warbird.conf");
    open("conf/ships/warbird.conf", with(ships, "InitialEnergy=1000", "InitialEnergy=2000"));
    EXPECT_EQ(brief(settle().at(uri("conf/ships/warbird.conf"))),
              json::array({{{"range", range(12, 18)},
                            {"severity", 1},
                            {"code", ruleInfo(5).id},
                            {"message", kEnergy + " (arenas duel, pub)"}}}));
    // Fixed in the editor for both.
    change("conf/ships/warbird.conf", ships, 2);
    EXPECT_EQ(settle().at(uri("conf/ships/warbird.conf")), json::array());
}

TEST_F(ZoneSession, AnEditRechecksEveryOpenFileThatDependsOnIt) {
    const std::string ships = disk("conf/ships/warbird.conf");
    open("arenas/duel/arena.conf", with(disk("arenas/duel/arena.conf"), "MaximumSpeed=3400", "MaximumSpeed=3600"));
    open("arenas/pub/arena.conf", disk("arenas/pub/arena.conf"));
    open("conf/ships/warbird.conf", ships);
    settle();
    change("conf/ships/warbird.conf", with(ships, "InitialEnergy=1000", "InitialEnergy=2000"), 2);
    const auto published = settle();
    EXPECT_EQ(published.size(), 3u);
    EXPECT_EQ(published.at(uri("arenas/duel/arena.conf")).size(), 1u);
    EXPECT_EQ(published.at(uri("arenas/pub/arena.conf")).size(), 1u);
    EXPECT_EQ(published.at(uri("conf/ships/warbird.conf")).size(), 1u);
    // An edit that changes nothing for the others publishes nothing for them.
    change("arenas/pub/arena.conf", "#include ships.conf\n; a comment\n", 2);
    EXPECT_EQ(settle().size(), 0u);
}

TEST_F(ZoneSession, AChangeOnDiskToAFileACheckReadRechecks) {
    open("arenas/duel/arena.conf", with(disk("arenas/duel/arena.conf"), "MaximumSpeed=3400", "MaximumSpeed=3600"));
    settle();
    const std::string energetic = with(disk("conf/ships/warbird.conf"), "InitialEnergy=1000", "InitialEnergy=2000");
    std::ofstream(path("conf/ships/warbird.conf"), std::ios::binary) << energetic;
    EXPECT_FALSE(session_.checkPending());
    send(notification("workspace/didChangeWatchedFiles",
                      {{"changes", {{{"uri", uri("conf/ships/warbird.conf")}, {"type", 2}}}}}));
    EXPECT_EQ(brief(settle().at(uri("conf/ships/warbird.conf"))),
              json::array({{{"range", nextLine(12)},
                            {"severity", 1},
                            {"code", ruleInfo(5).id},
                            {"message", kEnergy + " (arena duel)"}}}));
}

TEST_F(ZoneSession, AResultThatAnEditOvertookIsNeverPublished) {
    const std::string arena = disk("arenas/duel/arena.conf");
    open("arenas/duel/arena.conf", arena);
    CheckBatch stale = session_.check();
    change("arenas/duel/arena.conf", with(arena, "MaximumSpeed=3400", "MaximumSpeed=3600"), 2);
    EXPECT_EQ(session_.publish(std::move(stale)), Messages{});
    ASSERT_TRUE(session_.checkPending());
    const Messages fresh = session_.publish(session_.check());
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(fresh[0]["params"]["version"], 2);
    EXPECT_EQ(fresh[0]["params"]["diagnostics"], json::array());
}

TEST_F(ZoneSession, ClosingADocumentClearsWhatItShowed) {
    open("arenas/duel/arena.conf", disk("arenas/duel/arena.conf"));
    settle();
    send(notification("textDocument/didClose", {{"textDocument", {{"uri", uri("arenas/duel/arena.conf")}}}}));
    EXPECT_EQ(settle(), (std::map<std::string, json>{{uri("arenas/duel/arena.conf"), json::array()}}));
}

TEST_F(ZoneSession, DocumentsThatCannotBeCheckedSaySo) {
    std::filesystem::create_directory(dir_.path() / "zone/folder.conf");
    ASSERT_EQ(::mkfifo(path("fifo.conf").c_str(), 0600), 0);
    send(notification("textDocument/didOpen",
                      {{"textDocument", {{"uri", "untitled:Untitled-1"}, {"version", 1}, {"text", "[Warbird]"}}}}));
    open("folder.conf", "[Warbird]");
    open("fifo.conf", "[Warbird]");
    // The start of a didOpen too long to take.
    const std::string start = R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":")" +
                              uri("large.cfg") + R"(","text":"[Warbird])";
    session_.fault({Framed::Kind::TooLong, start, 1ull << 30});
    const auto published = settle();
    const auto message = [&](const std::string& u) { return published.at(u).at(0).at("message"); };
    EXPECT_EQ(message("untitled:Untitled-1"),
              "Korvane checks files on this machine; this document is not one: untitled:Untitled-1");
    EXPECT_EQ(message(uri("folder.conf")), "Korvane checks regular files; this is a folder");
    EXPECT_EQ(message(uri("fifo.conf")),
              "Korvane checks regular files; this is not a regular file (a FIFO, socket or device)");
    EXPECT_EQ(message(uri("large.cfg")),
              "The document is too large to check (1073741824 bytes; the limit is 67108864 bytes)");
}

TEST_F(ZoneSession, ARequestTooLongToTakeIsAnswered) {
    const Messages out = session_.fault(
        {Framed::Kind::TooLong, R"({"jsonrpc":"2.0","id":42,"method":"textDocument/hover","params":{"x":")", 1ull << 40});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], errorResponse(42, kRequestFailed,
                                    "the message is 1099511627776 bytes, over the server's limit of 67108864 bytes"));
}

TEST_F(ZoneSession, HoversExplainAKeyAndAnInclude) {
    open("arenas/duel/arena.conf", disk("arenas/duel/arena.conf"));
    settle();
    const auto hover = [&](int line) {
        const Messages out = send({{"jsonrpc", "2.0"}, {"id", 9}, {"method", "textDocument/hover"},
                                   {"params", {{"textDocument", {{"uri", uri("arenas/duel/arena.conf")}}},
                                               {"position", {{"line", line}, {"character", 0}}}}}});
        return out.at(0).at("result");
    };
    EXPECT_EQ(hover(1)["contents"]["value"],
              "`#include ships.conf` reads `" + path("conf/ships.conf") + "`");
    EXPECT_EQ(hover(8)["contents"]["value"],
              "**Warbird:InitialSpeed = 3500** as the server loads it\n\nset at `arena.conf:9`\n\n"
              "overrode `2000` at `../../conf/ships/warbird.conf:9`\n\n**Finding:** " + kSpeed +
                  "\n\n```\nInitialSpeed = 3500 at arena.conf:9; replaces 2000 at ../../conf/ships/warbird.conf:9\n"
                  "MaximumSpeed = 3400 at arena.conf:10; replaces 3250 at ../../conf/ships/warbird.conf:10\n```");
    EXPECT_EQ(hover(0), nullptr); // a comment
    change("arenas/duel/arena.conf", "#include nowhere.conf\n", 2);
    EXPECT_EQ(hover(0)["contents"]["value"],
              "`nowhere.conf` is found nowhere; the server looked in:\n\n- `" + path("arenas/duel/nowhere.conf") +
                  "`\n- `" + path("conf/nowhere.conf") + "`\n- `" + path("nowhere.conf") + "`\n- `" +
                  path("arenas/(default)/nowhere.conf") + "`");
}

} // namespace
} // namespace korvane::lsp
