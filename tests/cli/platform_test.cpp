// korvane-check alike on Linux and, under Wine, on Windows: file and folder
// names in any script, either separator, and a reader that goes away.
#include "run_process.h"
#include "test_files.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::test {
namespace {

using nlohmann::json;

const std::string kZoneArena = KORVANE_EXAMPLES "/zone/arenas/duel/arena.conf";

// JSON's escaped backslash (two backslashes) as '/'. Built anew rather than replaced in
// place, which GCC 12 at -O3 takes for an overlapping copy (-Wrestrict).
std::string withSlashes(const std::string& json) {
    std::string out;
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json.compare(i, 2, "\\\\") == 0) {
            out += '/';
            ++i;
        } else {
            out += json[i];
        }
    }
    return out;
}

TEST(Platforms, NamesInAnyScriptAreCheckedAndShownAsGiven) {
    TempDir dir;
    // Latin, Cyrillic, Greek and CJK: no one Windows code page holds them all.
    const std::string path = dir.write("\xC3\xA9t\xC3\xA9 \xD0\x96 \xCE\xA9 \xE6\xBC\xA2.cfg",
                                       "[Warbird]\nSuperTime=0\n");
    const auto r = runChecker({"--format=json", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    const json object = json::parse(r.out);
    EXPECT_EQ(object["file"], path);
    EXPECT_EQ(object["errors"], 56);
    const auto text = runChecker({"--format=gcc", path});
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
              path +
                  ":1: error: InitialRotation is equal to MaximumRotation. [?status kickoff bug]");
}

TEST(Platforms, BackslashesSeparateOnWindows) {
    if (!windowsChecker())
        GTEST_SKIP() << "on Linux '\\' is a byte of a name, not a separator";
    std::string backslashed = kZoneArena;
    std::replace(backslashed.begin() + static_cast<long>(backslashed.find("/zone/")),
                 backslashed.end(), '/', '\\');
    const auto slashes = runChecker({"--format=json", kZoneArena});
    auto backslashes = runChecker({"--format=json", backslashed});
    EXPECT_EQ(backslashes.status, slashes.status);
    EXPECT_EQ(backslashes.err, slashes.err);
    // The name as given, and the same report: the included files are found.
    EXPECT_NE(backslashes.out.find("examples\\\\zone\\\\arenas"), std::string::npos);
    EXPECT_EQ(withSlashes(backslashes.out), slashes.out);
}

TEST(Platforms, AZoneIsWalkedWhateverItsNamesAndShownWithItsOwnSeparator) {
    TempDir dir;
    const std::string arena = "D\xC3\xBC" "ell"; // not ASCII, nor in every code page
    dir.write("zone/arenas/" + arena + "/arena.conf", "#include ships.conf\n");
    dir.write("zone/conf/ships.conf", "[Warbird]\nInitialRotation=5\n");
    const std::string zone = utf8Text(dir.path() / "zone");
    struct Row {
        std::string given;
        char separator; // of every path shown
    };
    std::vector<Row> rows = {{zone, '/'}};
    if (windowsChecker()) { // as Explorer gives it: Wine's Z: is '/'
        std::string backslashed = "Z:" + zone;
        std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
        rows.push_back({backslashed, '\\'});
    }
    for (const Row& row : rows) {
        const auto in = [&row](std::initializer_list<std::string> names) {
            std::string path = row.given;
            for (const std::string& name : names)
                path += row.separator + name;
            return path;
        };
        const auto gcc = runChecker({"--format=gcc", row.given});
        EXPECT_EQ(gcc.status, 1) << row.given;
        EXPECT_EQ(gcc.out.substr(0, gcc.out.find('\n')),
                  in({"conf", "ships.conf"}) + ":2: error: InitialRotation is greater than "
                                               "MaximumRotation. [Messes up greening and ?status]");
        const auto text = runChecker({"--format=json", row.given});
        const json object = json::parse(text.out.substr(0, text.out.find('\n')));
        EXPECT_EQ(object["arena"], arena);
        EXPECT_EQ(object["file"], in({"arenas", arena, "arena.conf"}));
        EXPECT_EQ(object["findings"][0]["keys"][0]["file"], in({"conf", "ships.conf"}));
    }
}

TEST(Platforms, AReaderThatIsGoneIsAFailureNamedAsSuch) {
    // Standard output is a pipe whose reading end is already closed: EPIPE
    // (on Windows the write's EINVAL, named alike), never success.
    ::signal(SIGPIPE, SIG_IGN); // as under a shell that ignores it; inherited
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    TempDir dir;
    const std::string errPath = dir.write("err", "");
    std::vector<std::string> argv = checkerCommand();
    argv.insert(argv.end(), {"--format=json", kZoneArena});
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("WINEDEBUG", "-all", 1);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_TRUNC);
        ::dup2(pipeEnds[1], 1);
        ::dup2(err, 2);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    std::ifstream errFile(errPath, std::ios::binary);
    std::string said((std::istreambuf_iterator<char>(errFile)), std::istreambuf_iterator<char>());
    said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
    EXPECT_EQ(said, "korvane-check: cannot write the report: Broken pipe\n");
}

} // namespace
} // namespace korvane::test
