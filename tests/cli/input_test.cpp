// korvane-check on what it is given: standard input and its dialect, the
// options that go with one dialect only, the zone a path resolves to, and
// warnings whose names hold control characters.
#include "run_process.h"
#include "test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace korvane::test {
namespace {

const std::string kClean = KORVANE_EXAMPLES "/clean.cfg";
const std::string kAsProfile = "<stdin>: warning: read as a profile file: for an arena's .conf "
                               "file, give --dialect=include\n";

TEST(CheckInput, AConfOnStandardInputIsReadAsAProfileFileOnlyWithAWarning) {
    TempDir dir;
    const std::string conf = dir.write("arena.conf", "[Warbird]\nInitialRotation=5\n");
    // Past 260 characters, longer than Windows' first guess at a path.
    const std::string deep =
        dir.write(std::string(120, 'a') + "/" + std::string(120, 'b') + "/arena.conf", "");
    struct Row {
        std::string option;
        std::string redirected; // standard input is this file
        std::string piped;      // or, without one, these bytes
        std::string err;
    };
    const std::vector<Row> rows = {
        {"", conf, "", kAsProfile},   // a .conf redirected
        {"", deep, "", kAsProfile},
        {"", kClean, "", ""},         // any other file
        {"", "", "#include s.conf\n", kAsProfile}, // a directive piped
        {"", "", "[Warbird]\n#x\n", ""},
        {"--dialect=profile", conf, "", ""}, // as asked
        {"--dialect=include", conf, "", ""},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"-"};
        if (!row.option.empty())
            args.insert(args.begin(), row.option);
        ProcessOptions options;
        options.input = row.piped;
        options.inputFile = row.redirected;
        const auto r = runChecker(args, options);
        EXPECT_EQ(r.err, row.err) << row.option << " " << row.redirected << row.piped;
        EXPECT_TRUE(r.out.starts_with("Checking settings...\n")) << row.redirected << row.piped;
    }
}

TEST(CheckInput, ZoneAndArenaAreForTheIncludeDialectOnly) {
    TempDir dir;
    const std::string conf = dir.write("arena.conf", "");
    for (const auto& [option, value] : {std::pair{"--zone", "."}, std::pair{"--arena", "a"}}) {
        const auto r = runChecker({"--dialect=profile", option, value, conf});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "korvane-check: " + std::string(option) +
                             " is for the include dialect: it cannot go with --dialect=profile\n"
                             "Run with --help for more information.\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(runChecker({option, value, conf}).status, 1); // no ships: findings
    }
}

TEST(CheckInput, TheZoneIsTheFolderTheFileSystemResolves) {
    SKIP_UNDER_WINE("symbolic links need privileges on Windows");
    TempDir dir;
    // Z2/link/.. is Z1, where the arena and its include are; Z2 has an
    // include of the same name that must not be read.
    std::filesystem::create_directories(dir.path() / "Z1/sub");
    std::filesystem::create_directories(dir.path() / "Z2");
    std::filesystem::create_directory_symlink(dir.path() / "Z1/sub", dir.path() / "Z2/link");
    dir.write("Z1/arenas/a/arena.conf", "#include ships.conf\n");
    dir.write("Z1/conf/ships.conf", "[Warbird]\nInitialRotation=5\n");
    dir.write("Z2/arenas/a/arena.conf", "");
    dir.write("Z2/conf/ships.conf", "[Warbird]\nInitialRotation=1\n");
    const std::string given = (dir.path() / "Z2/link/../arenas/a/arena.conf").string();
    const auto r = runChecker({"--format=gcc", given});
    const std::string z1 = std::filesystem::canonical(dir.path() / "Z1").string();
    EXPECT_TRUE(r.out.starts_with(z1 +
                                  "/conf/ships.conf:2: error: InitialRotation is greater "
                                  "than MaximumRotation. [Messes up greening and ?status]\n" +
                                  given + ": error: Warbird: "))
        << r.out;
}

// 'a'$'\033''b': as a shell quotes it, for ESC and LF.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\x1b')
            quoted += "'$'\\033''";
        else if (c == '\n')
            quoted += "'$'\\012''";
        else
            quoted += c;
    }
    return quoted + "'";
}

TEST(CheckInput, ControlCharactersInWarningsAreQuotedButInJson) {
    SKIP_UNDER_WINE("control characters cannot stand in Windows file names");
    TempDir dir;
    const std::string z = dir.path().string() + "/zone\nfolder";
    const std::string name = "e\x1b]0;owned\x1b\\x";
    const std::string arena =
        dir.write("zone\nfolder/arenas/a/arena.conf", "#include \"" + name + "\"\n");
    std::string text = "#include \"" + name + "\" not found (no ";
    for (const std::string folder : {"/arenas/a/", "/conf/", "/", "/arenas/(default)/"})
        text += z + folder + name +
                (folder == "/"                    ? " or "
                 : folder == "/arenas/(default)/" ? ""
                                                  : ", ");
    text += "): its settings are missing";
    const std::string line = shellQuoted(arena) + ":1: warning: " + shellQuoted(text) + "\n";
    EXPECT_EQ(runChecker({arena}).err, line);
    EXPECT_EQ(runChecker({"--format=gcc", arena}).err, line);
    const auto github = runChecker({"--format=github", arena}).out;
    EXPECT_NE(github.find("::" + shellQuoted(text) + "\n"), std::string::npos) << github;
    const auto json = nlohmann::json::parse(runChecker({"--format=json", arena}).out);
    EXPECT_EQ(json["warnings"][0]["text"], text);
}

} // namespace
} // namespace korvane::test
