// korvane-check end to end: reports, formats, colour switches, exit statuses.
#include "run_process.h"
#include "test_files.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane::test {
namespace {

using nlohmann::json;

const std::string kClean = KORVANE_EXAMPLES "/clean.cfg";
const std::string kServer = KORVANE_EXAMPLES "/server.cfg"; // three findings

ProcessResult check(std::vector<std::string> args, ProcessOptions options = {}) {
    options.env.emplace("NO_COLOR", std::nullopt);
    return runChecker(std::move(args), options);
}

// korvane-check as words of a shell command line.
std::string checkerInShell() {
    std::string words;
    for (const std::string& word : checkerCommand())
        words += " '" + word + "'";
    return words;
}

using Env = std::map<std::string, std::optional<std::string>>;

ProcessOptions onTerminal(Env env = {}) {
    ProcessOptions o;
    o.env = std::move(env);
    o.terminal = true;
    return o;
}

ProcessOptions withEnv(Env env) {
    ProcessOptions o;
    o.env = std::move(env);
    return o;
}

std::vector<json> jsonLines(const std::string& out) {
    std::vector<json> objects;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        objects.push_back(json::parse(out.substr(start, end - start)));
    EXPECT_EQ(start, out.size()) << "output does not end with a line end";
    return objects;
}

TEST(CheckText, PrintsTheReportOneLinePerLine) {
    const auto r = check({kServer});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Checking Javelin...\n"
                         "InitialEnergy is equal to MaximumEnergy. [?status kickoff bug]\n"
                         "Number of errors: 1.\n\n"),
              std::string::npos);
    EXPECT_TRUE(r.out.ends_with("\nTotal errors: 3.\n"));
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);

    const auto clean = check({kClean});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(std::count(clean.out.begin(), clean.out.end(), '\n'), 26);
    EXPECT_TRUE(
        clean.out.starts_with("Checking settings...\nChecking Warbird...\nWarbird is OK\n\n"));
}

TEST(CheckText, ColourOnATerminalUnlessSwitchedOff) {
    const std::string red =
        "\x1b[31mInitialEnergy is equal to MaximumEnergy. [?status kickoff bug]\x1b[0m";
    const std::string blue = "\x1b[34mChecking Javelin...\x1b[0m";

    // A pseudo-terminal is no Windows console: under Wine, --color=auto
    // gives no colour there.
    if (!windowsChecker()) {
        auto tty = check({kServer}, onTerminal());
        EXPECT_NE(tty.out.find(red), std::string::npos);
        EXPECT_NE(tty.out.find(blue), std::string::npos);
        EXPECT_TRUE(tty.out.starts_with("Checking settings...\r\n")); // no colour asked for it
        EXPECT_EQ(tty.out.find("\x1b[0m\x1b"), std::string::npos);

        EXPECT_EQ(check({kServer}, onTerminal({{"NO_COLOR", "1"}})).out.find('\x1b'),
                  std::string::npos);
        // Set but empty, NO_COLOR asks for nothing.
        EXPECT_NE(check({kServer}, onTerminal({{"NO_COLOR", ""}})).out.find(red),
                  std::string::npos);
        EXPECT_EQ(check({"--color=never", kServer}, onTerminal()).out.find('\x1b'),
                  std::string::npos);
    }
    // Not a terminal (a file, a pipe): no colour unless asked for.
    EXPECT_EQ(check({kServer}).out.find('\x1b'), std::string::npos);
    EXPECT_NE(check({"--color=always", kServer}).out.find(red), std::string::npos);
    EXPECT_NE(check({"--color=always", kServer}, withEnv({{"NO_COLOR", "1"}})).out.find(red),
              std::string::npos);
    EXPECT_EQ(check({"--color=sometimes", kServer}).status, 2);
}

TEST(CheckJson, OneObjectPerFileWithEveryLineAndColour) {
    const auto r = check({"--format=json", kServer, kClean});
    EXPECT_EQ(r.status, 1);
    const auto objects = jsonLines(r.out);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]["file"], kServer);
    EXPECT_EQ(objects[0]["errors"], 3);
    const json& lines = objects[0]["lines"];
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(lines[0], json({{"text", "Checking settings..."}, {"colour", 0}}));
    EXPECT_EQ(lines[1], json({{"text", "Checking Warbird..."}, {"colour", 16711680}}));
    EXPECT_EQ(lines[5],
              json({{"text", "InitialEnergy is equal to MaximumEnergy. [?status kickoff bug]"},
                    {"colour", 255}}));
    EXPECT_EQ(lines[7], json({{"text", ""}, {"colour", 0}}));
    EXPECT_EQ(lines[28], json({{"text", "Total errors: 3."}, {"colour", 0}}));
    EXPECT_EQ(objects[1]["errors"], 0);
    EXPECT_EQ(objects[1]["lines"].back()["text"], "This CFG file is OK.");
}

TEST(CheckFiles, FilesThatCannotBeCheckedAreNamedAndTheRestStillChecked) {
    TempDir dir;
    const std::string missing = (dir.path() / "missing.cfg").string();
    const std::string folder = dir.path().string();
    const auto r = check({"--format=json", missing, kClean, folder});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "korvane-check: " + missing +
                         ": No such file or directory\n"
                         "korvane-check: " +
                         folder + ": not a regular file\n");
    const auto objects = jsonLines(r.out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]["file"], kClean);

    // An unchecked file outranks findings in the exit status, whichever
    // comes first.
    EXPECT_EQ(check({kServer, missing}).status, 2);
    EXPECT_EQ(check({missing, kServer}).status, 2);
    // An empty file is a file: every key reads 0.
    const auto empty = check({dir.write("empty.cfg", "")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.out.ends_with("Total errors: 56.\n"));
}

TEST(CheckFiles, SpecialFilesAndBrokenLinksAreNamedAndNeverWaitedOn) {
    SKIP_UNDER_WINE("FIFOs, Unix sockets, /dev and symbolic links");
    TempDir dir;
    // Opened for reading, a FIFO without a writer would block for ever.
    const std::string fifo = dir.fifo("fifo.cfg");
    const std::string socketPath = dir.socket("socket.cfg");
    const std::string loop = (dir.path() / "loop.cfg").string();
    ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
    const std::string dangling = (dir.path() / "dangling.cfg").string();
    ASSERT_EQ(::symlink("nowhere.cfg", dangling.c_str()), 0);

    const auto r = check(
        {"--format=json", fifo, socketPath, "/dev/zero", "/dev/urandom", loop, dangling, kClean});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "korvane-check: " + fifo + ": not a regular file\n" +
                         "korvane-check: " + socketPath + ": not a regular file\n" +
                         "korvane-check: /dev/zero: not a regular file\n" +
                         "korvane-check: /dev/urandom: not a regular file\n" +
                         "korvane-check: " + loop + ": " + std::strerror(ELOOP) + "\n" +
                         "korvane-check: " + dangling + ": " + std::strerror(ENOENT) + "\n");
    const auto objects = jsonLines(r.out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]["file"], kClean);
}

TEST(CheckFiles, AFileWithoutReadPermissionIsNamed) {
    SKIP_UNDER_WINE("file modes and uids");
    TempDir dir;
    const std::string path = dir.write("locked.cfg", "[Warbird]\nSuperTime=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    std::vector<std::string> args = {KORVANE_CHECK, path};
    if (::geteuid() == 0) {
        // Root reads anything: check as "nobody".
        if (::access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root, and no setpriv to drop privileges with";
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        args.insert(args.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    const auto r = runProcess(args);
    if (r.status == 126 || r.status == 127)
        GTEST_SKIP() << "nobody may not run " << KORVANE_CHECK << ": " << r.err;
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "korvane-check: " + path + ": " + std::strerror(EACCES) + "\n");
    EXPECT_EQ(r.out, "");
}

TEST(CheckFiles, JunkBytesGiveTheReportOfNoSettings) {
    TempDir dir;
    std::mt19937 random(4);
    std::string noise(1 << 20, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    std::string everyByte;
    for (int i = 0; i < 4096; ++i)
        everyByte += static_cast<char>(i);
    for (const auto& [name, bytes] :
         {std::pair{"nul-bytes.cfg", std::string(1 << 16, '\0')},
          std::pair{"random-bytes.cfg", noise}, std::pair{"every-byte.cfg", everyByte}}) {
        const auto r = check({"--format=json", dir.write(name, bytes)});
        EXPECT_EQ(r.status, 1) << name;
        const auto objects = jsonLines(r.out);
        ASSERT_EQ(objects.size(), 1u) << name;
        EXPECT_EQ(objects[0]["errors"], 56) << name;
        EXPECT_EQ(objects[0]["lines"].back()["text"], "Total errors: 56.") << name;
    }
}

TEST(CheckFiles, SeveralTextReportsAreHeadedByTheirFile) {
    const auto r = check({kClean, kServer});
    EXPECT_TRUE(r.out.starts_with("==> " + kClean + " <==\nChecking settings...\n"));
    EXPECT_NE(r.out.find("This CFG file is OK.\n\n==> " + kServer + " <==\n"), std::string::npos);
}

TEST(CheckFiles, DashReadsStandardInput) {
    ProcessOptions options;
    options.input = "[Warbird]\nSuperTime=0\n";
    const auto r = check({"--format=json", "-"}, options);
    EXPECT_EQ(r.status, 1);
    const auto objects = jsonLines(r.out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]["file"], "<stdin>");
    EXPECT_EQ(objects[0]["errors"], 56);
}

TEST(CheckUsage, HelpVersionAndMistakes) {
    const auto help = check({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("korvane-check [OPTIONS] FILE..."), std::string::npos);
    const auto version = check({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("korvane-check "));
    // Each mistake is named for what it is, and nothing is checked.
    const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
        {{}, "no FILE to check"},
        {{"--format=xml", kClean}, "--format: xml not in"},
        {{"--format=", kClean}, "option --format needs a value"},
        {{"--color=", kClean}, "option --color needs a value"},
        {{"--no-such-option", kClean}, "unknown option --no-such-option\n"},
        {{"-dash.cfg"},
         "unknown option -dash.cfg; to check a file whose name starts with '-', "
         "put -- before it: korvane-check -- -dash.cfg"},
        {{"-", "-"}, "- (standard input) is given more than once"},
    };
    for (const auto& [args, says] : mistakes) {
        const auto r = check(args);
        EXPECT_EQ(r.status, 2) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << says;
    }
    EXPECT_EQ(check({"--", "-dash.cfg"}).err,
              "korvane-check: -dash.cfg: No such file or directory\n");
}

// Shell commands, for what a program's own arguments cannot arrange.
ProcessResult shell(const std::string& command) {
    return runProcess({"/bin/sh", "-c", command});
}

TEST(CheckFiles, AStandardInputThatCannotBeReadIsNamed) {
    SKIP_UNDER_WINE("a folder or a closed descriptor as standard input");
    const std::string run = "exec" + checkerInShell() + " ";
    for (const auto& [redirect, reason] : {std::pair{"- < /", EISDIR}, std::pair{"- <&-", EBADF}}) {
        const auto r = shell(run + redirect);
        EXPECT_EQ(r.status, 2) << redirect;
        EXPECT_EQ(r.err, "korvane-check: <stdin>: " + std::string(std::strerror(reason)) + "\n");
        EXPECT_EQ(r.out, "") << redirect;
    }
}

TEST(CheckFiles, NamesWithControlCharactersAreQuotedInText) {
    SKIP_UNDER_WINE("Windows file names cannot hold control characters");
    TempDir dir;
    const std::string name = "a\x1b[31m\nb.cfg";
    const std::string path = dir.write(name, "[Warbird]\n");
    const std::string shown = "'" + dir.path().string() + "/a'$'\\033''[31m'$'\\012''b.cfg'";
    const auto text = check({path, kClean});
    EXPECT_TRUE(text.out.starts_with("==> " + shown + " <==\n")) << text.out;
    EXPECT_TRUE(check({"--format=gcc", path}).out.starts_with(shown + ":1: error: "));
    EXPECT_EQ(check({path + "x"}).err, "korvane-check: " + shown.substr(0, shown.size() - 1) +
                                           "x': No such file or "
                                           "directory\n");
}

TEST(CheckFiles, LibrariesAreNeverLoadedFromTheCurrentFolder) {
    SKIP_UNDER_WINE("the ELF loader's search path (the Windows programs load no DLL of their own)");
    // A library of the name the program needs, in the folder it runs in.
    TempDir dir;
    dir.write("libstdc++.so.6", "not a library");
    const auto r =
        shell("cd '" + dir.path().string() + "' && exec '" + KORVANE_CHECK + "' '" + kClean + "'");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(CheckOutput, AFailedWriteIsNotSuccessAndSaysWhy) {
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full here";
    // The missing file's reason comes first; the write's own must not be lost.
    const auto r = shell("exec" + checkerInShell() + " /nonexistent '" + kClean + "' >/dev/full");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot write the report: " + std::string(std::strerror(ENOSPC))),
              std::string::npos)
        << r.err;
}

} // namespace
} // namespace korvane::test
