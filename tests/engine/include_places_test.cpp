// Where the include reader finds an arena's zone, and the files it will not
// follow: cycles, special files and a checked path that is not a file.
#include "include_reader.h"
#include "test_files.h"
#include "zone_warnings.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

using test::TempDir;
using test::utf8Text;

TEST(IncludePlaces, ComeFromTheCheckedPath) {
    EXPECT_EQ(arenaPlaceOf("/srv/zone/arenas/duel/arena.conf"), (ArenaPlace{"/srv/zone", "duel"}));
    EXPECT_EQ(arenaPlaceOf("/srv/zone/conf/ships/warbird.conf"), (ArenaPlace{"/srv/zone", ""}));
    EXPECT_EQ(arenaPlaceOf("/srv/zone/arena.conf"), (ArenaPlace{"/srv/zone", ""}));
    EXPECT_EQ(arenaPlaceOf("zone/arenas/a/arena.conf"), (ArenaPlace{"zone", "a"}));
    EXPECT_EQ(arenaPlaceOf("arena.conf"), (ArenaPlace{".", ""}));
#ifdef _WIN32
    // '\\' separates too, and the zone keeps the separator it was given.
    EXPECT_EQ(arenaPlaceOf("C:\\srv\\zone\\arenas\\duel\\arena.conf"),
              (ArenaPlace{"C:\\srv\\zone", "duel"}));
    EXPECT_EQ(arenaPlaceOf("\\srv\\zone\\conf\\ships\\warbird.conf"),
              (ArenaPlace{"\\srv\\zone", ""}));
    EXPECT_EQ(arenaPlaceOf("zone\\arenas\\a/arena.conf"), (ArenaPlace{"zone", "a"}));
#else
    // '\\' is a name's own byte here.
    EXPECT_EQ(arenaPlaceOf("zone\\arenas\\a/arena.conf"), (ArenaPlace{"zone\\arenas\\a", ""}));
#endif
    // Relative paths stay relative, going up where they must.
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "z/arenas/a");
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path() / "z/arenas/a");
    const ArenaPlace inside = arenaPlaceOf("arena.conf");
    std::filesystem::current_path(here);
    EXPECT_EQ(inside, (ArenaPlace{"../..", "a"}));
}

TEST(IncludeHostile, CyclesEndAndSpecialFilesAreSkippedWithoutBlocking) {
#ifdef _WIN32
    GTEST_SKIP() << "no FIFOs, Unix sockets, modes or free symbolic links on Windows";
#else
    TempDir zone;
    const std::string checked = zone.write(
        "arenas/a/arena.conf", "[S]\n#include self.conf\n#include fifo\n#include sock\n"
                               "#include dir\n#include dangling\n#include loop\n#include locked\n");
    zone.write("self.conf", "#include self.conf\nA=1\n");
    zone.fifo("fifo");
    zone.socket("sock");
    std::filesystem::create_directories(zone.path() / "dir");
    std::filesystem::create_symlink("nowhere", zone.path() / "dangling");
    std::filesystem::create_symlink("loop", zone.path() / "loop"); // unreadable, even for root
    const std::string locked = zone.write("locked", "B=1\n");
    ::chmod(locked.c_str(), 0);
    const ArenaLoad load = loadArena(checked, std::nullopt, arenaPlaceOf(checked));
    EXPECT_EQ(load.settings->read("S", "A").value, 1);
    std::vector<std::string> expected = {
        "self.conf:1: #include \"self.conf\" not followed: already 50 includes deep (an include "
        "cycle?)",
        "arenas/a/arena.conf:3: #include \"fifo\": fifo is not a regular file: skipped",
        "arenas/a/arena.conf:4: #include \"sock\": sock is not a regular file: skipped",
        "arenas/a/arena.conf:5: #include \"dir\" not found (no arenas/a/dir, conf/dir, dir or "
        "arenas/(default)/dir): its settings are missing",
        "arenas/a/arena.conf:6: #include \"dangling\" not found (no arenas/a/dangling, "
        "conf/dangling, dangling or arenas/(default)/dangling): its settings are missing",
        "arenas/a/arena.conf:7: #include \"loop\" cannot be read (loop: Too many levels of "
        "symbolic links): its settings are missing"};
    if (::geteuid() != 0) // root reads any file
        expected.push_back("arenas/a/arena.conf:8: #include \"locked\" cannot be read (locked: "
                           "Permission denied): its settings are missing");
    EXPECT_EQ(shownWarnings(load.settings->warnings(), zone.path().string()), expected);
#endif
}

TEST(IncludeHostile, TheCheckedFileMustBeRegular) {
    TempDir zone;
#ifndef _WIN32
    EXPECT_EQ(loadArena(zone.fifo("a.conf"), std::nullopt, {".", ""}).status,
              FileStatus::NotRegular);
#endif
    std::filesystem::create_directories(zone.path() / "b.conf");
    EXPECT_EQ(loadArena(utf8Text(zone.path() / "b.conf"), std::nullopt, {".", ""}).status,
              FileStatus::NotRegular);
    EXPECT_EQ(loadArena((zone.path() / "none.conf").string(), std::nullopt, {".", ""}).status,
              FileStatus::Missing);
}

} // namespace
} // namespace korvane
