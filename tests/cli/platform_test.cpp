// korvane-check alike on Linux and, under Wine, on Windows: file names in
// any script, either separator, and a reader that goes away.
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
    std::string asSlashes = backslashes.out;
    for (std::size_t at; (at = asSlashes.find("\\\\")) != std::string::npos;)
        asSlashes.replace(at, 2, "/");
    EXPECT_EQ(asSlashes, slashes.out);
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
