// The window core: what the Qt window and the Windows window both decide,
// one table per behaviour. The Windows rows (backslashes, the system's
// window colours) run here too: the core is the same code there.
#include "explanation.h"
#include "korvane_version.h"
#include "report_colours.h"
#include "test_files.h"
#include "watch_plan.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace korvane::window {
namespace {

constexpr auto kSlash = Separators::Slash;
constexpr auto kWindows = Separators::SlashOrBackslash;

TEST(WindowCore, CaptionNamesTheFile) {
    struct Row {
        const char* path;
        Separators separators;
        const char* caption;
    } rows[] = {
        {"/zone/server.cfg", kSlash, "server.cfg - Korvane"},
        {"server.cfg", kSlash, "server.cfg - Korvane"},
        {"/zone/conf/", kSlash, "conf - Korvane"},
        {"/", kSlash, "/ - Korvane"},
        {"/zone/a\nb.cfg", kSlash, "'a'$'\\012''b.cfg' - Korvane"},
        // A backslash is a name's own character on Linux.
        {"/zone/a\\b.cfg", kSlash, "a\\b.cfg - Korvane"},
        {"C:\\zone\\arenas\\duel\\arena.conf", kWindows, "arena.conf - Korvane"},
        {"C:\\zone/conf\\ships.conf", kWindows, "ships.conf - Korvane"},
        {"C:\\zone\\conf\\", kWindows, "conf - Korvane"},
        {"D:\\x\x1b[2Jy.cfg", kWindows, "'x'$'\\033''[2Jy.cfg' - Korvane"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(caption(row.path, row.separators), row.caption) << row.path;
}

TEST(WindowCore, OneFileAtATime) {
    EXPECT_EQ(refusedFiles(0), std::nullopt);
    EXPECT_EQ(refusedFiles(1), std::nullopt);
    EXPECT_EQ(refusedFiles(2), "one FILE at a time");
    EXPECT_EQ(usageError("one FILE at a time"),
              "korvane: one FILE at a time\nRun with --help for more information.\n");
    EXPECT_EQ(kUsageStatus, 2);
}

// Linux's rule, on Windows too: on a dark pane, red and blue are made
// lighter, keeping their hue, until 4.5:1; on a light pane they stay.
// (0x00BBGGRR, as COLORREF and the report have them.)
TEST(WindowCore, ColoursAgainstThePane) {
    struct Row {
        ReportColour background, text, wanted, shown;
    } rows[] = {
        {0xFFFFFF, 0x000000, kRed, kRed},
        {0xFFFFFF, 0x000000, kBlue, kBlue},
        {0x000000, 0xFFFFFF, kRed, kRed}, // 5.3:1 already
        {0x000000, 0xFFFFFF, kBlue, 0xFF5E5E},
        {0x201E1B, 0xFCFCFC, kRed, 0x2C2CFF}, // Breeze Dark
        {0x201E1B, 0xFCFCFC, kBlue, 0xFF7474},
        {0x2D2D2D, 0xFFFFFF, kRed, 0x5A5AFF}, // Adwaita dark
        {0x2D2D2D, 0xFFFFFF, kBlue, 0xFF8686},
        {0x413F3C, 0xBBBBBB, kRed, 0x8585FF}, // Darcula
        {0x413F3C, 0xBBBBBB, kBlue, 0xFFA0A0},
        {0x202020, 0xFFFFFF, kBlue, 0xFF7676}, // Windows' dark mode
    };
    for (const Row& row : rows) {
        const ReportColour shown = shownOn(row.background, row.text, row.wanted);
        EXPECT_EQ(shown, row.shown) << std::hex << row.background << " " << row.wanted;
        if (isDark(row.background, row.text)) {
            EXPECT_GE(contrast(shown, row.background), kReadable) << std::hex << shown;
        }
    }
}

TEST(WindowCore, AboutTextAndGeometry) {
    EXPECT_EQ(aboutText(), std::string("This program is designed to check for flaws in server "
                                       "settings which may cause ?status bugs and false cheater "
                                       "alerts. Version ") +
                               kVersion + ".");
    EXPECT_EQ(toPixels(kMainClient.width, 96), 522);
    EXPECT_EQ(toPixels(kMainClient.height, 96), 261);
    EXPECT_EQ(toPixels(kAboutClient.width, 96), 250);
    EXPECT_EQ(toPixels(kAboutClient.height, 96), 166);
    EXPECT_EQ(toPixels(kMainClient.width, 192), 1043);
    EXPECT_EQ(toPixels(kMainClient.width, 144), 782); // 782.4
}

TEST(WindowCore, StoppedLineSaysSo) {
    EXPECT_EQ(stoppedLine("zone/server.cfg", "bad_alloc"),
              "zone/server.cfg: the check stopped on an unexpected error: bad_alloc; the report "
              "above is incomplete");
    EXPECT_EQ(stoppedLine("a\tb.cfg", std::nullopt),
              "'a'$'\\011''b.cfg': the check stopped on an unexpected error; the report above is "
              "incomplete");
}

// Finding lines explain their own finding; every other line has none.
TEST(WindowCore, ExplanationOfEachLine) {
    const auto key = [](const char* name, int value, std::size_t line) {
        return ResultKey{name, value, true, Origin{{"ships.cfg", line}, {}, {}, {}}};
    };
    CheckResult result;
    result.name = "ships.cfg";
    const ResultFinding speed{2, "Warbird", "InitialSpeed is greater than MaximumSpeed.",
                              {key("InitialSpeed", 3000, 4), key("MaximumSpeed", 2000, 5)}};
    const ResultFinding super{15, "Warbird", "SuperTime is equal to 0.", {key("SuperTime", 0, 9)}};
    result.findings = {speed, super};
    result.lines = {{"Checking settings...", kBlack}, {"Checking Warbird...", kBlue},
                    {speed.text, kRed},               {super.text, kRed},
                    {"Number of errors: 2.", kBlue},  {"", kBlack},
                    {"Total errors: 2.", kBlack}};
    const auto explained = [](const ResultFinding& f) {
        std::string text = explainFinding(f, "ships.cfg");
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    };
    const std::string none;
    const std::string expected[] = {none, none, explained(speed), explained(super), none, none, none};
    ASSERT_FALSE(explained(speed).empty());
    ASSERT_NE(explained(speed), explained(super));
    for (std::size_t line = 0; line < std::size(expected); ++line)
        EXPECT_EQ(explanationOfLine(result, line), expected[line]) << line;
    EXPECT_EQ(explanationOfLine(result, 99), none);

    CheckResult missing;
    missing.name = "gone.cfg";
    missing.status = FileStatus::Missing;
    missing.lines = {{"gone.cfg: No such file or directory", kRed}};
    EXPECT_EQ(explanationOfLine(missing, 0), none);
}

// What is watched, and which changes check again: each row starts from a
// checked arena whose include was found in conf/ after the search looked
// at the arena's folder, and whose other include was found nowhere.
TEST(WindowCore, WatchSeesWhatCouldChangeTheResult) {
    namespace fs = std::filesystem;
    const auto write = [](const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    };
    struct Row {
        const char* what;
        std::function<void(const fs::path&)> change;
        bool checksAgain;
    } rows[] = {
        {"nothing", [](const fs::path&) {}, false},
        {"a download beside the arena", [&](const fs::path& z) { write(z / "arenas/duel/x.zip", "z"); }, false},
        {"a file elsewhere in conf/", [&](const fs::path& z) { write(z / "conf/other.conf", "z"); }, false},
        {"the checked file", [&](const fs::path& z) { write(z / "arenas/duel/arena.conf", "#include ships.conf\n;\n"); }, true},
        {"the included file", [&](const fs::path& z) { write(z / "conf/ships.conf", "[Warbird]\nX=2\n"); }, true},
        {"the included file removed", [](const fs::path& z) { fs::remove(z / "conf/ships.conf"); }, true},
        {"a file that now shadows it", [&](const fs::path& z) { write(z / "arenas/duel/ships.conf", ""); }, true},
        {"the missing include created", [&](const fs::path& z) { write(z / "conf/maps/x.conf", ""); }, true},
        {"the missing include's folder made", [](const fs::path& z) { fs::create_directories(z / "conf/maps"); }, true},
    };
    for (const Row& row : rows) {
        const test::TempDir dir;
        const fs::path zone = fs::path(dir.path()) / "zone";
        write(zone / "arenas/duel/arena.conf", "#include ships.conf\n");
        write(zone / "conf/ships.conf", "[Warbird]\nX=1\n");
        CheckResult result;
        result.filesRead = {(zone / "arenas/duel/arena.conf").string(), (zone / "conf/ships.conf").string()};
        result.watch = {result.filesRead[0], (zone / "arenas/duel/ships.conf").string(),
                        result.filesRead[1], (zone / "arenas/duel/maps/x.conf").string(),
                        (zone / "conf/maps/x.conf").string(), (zone / "maps/x.conf").string(),
                        (zone / "arenas/(default)/maps/x.conf").string()};
        const WatchPlan plan(result.filesRead[0], result);
        EXPECT_EQ(plan.files().size(), 7u) << row.what;
        // Each file's own folder, or the nearest that is there.
        const std::vector<std::string> folders = {
            (zone / "arenas/duel").string(), (zone / "conf").string(), zone.string(),
            (zone / "arenas").string()};
        EXPECT_EQ(plan.folders(), folders) << row.what;
        row.change(zone);
        EXPECT_EQ(plan.changed(), row.checksAgain) << row.what;
    }
}

} // namespace
} // namespace korvane::window
