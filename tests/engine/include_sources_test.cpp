// Where the readers get their files and where they look for them: files
// held in memory in front of the disk, the one search order, and the paths
// a load looked at without reading.
#include "file_source.h"
#include "include_reader.h"
#include "search_order.h"
#include "test_files.h"
#include "zone_arenas.h"

#include <cerrno>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace korvane {
namespace {

struct SearchCase {
    const char* name;
    ArenaPlace place;
    const char* file;
    std::vector<std::string> paths;
};

// '\\' separates on Windows alone: there the paths take the zone's.
#ifdef _WIN32
const SearchCase kBackslashCase{
    "BackslashZone",
    {"C:\\z", ""},
    "s/n",
    {"C:\\z\\conf\\s\\n", "C:\\z\\s\\n", "C:\\z\\arenas\\(default)\\s\\n"}};
#else
const SearchCase kBackslashCase{"BackslashIsText",
                                {"C:\\z", ""},
                                "s\\n",
                                {"C:\\z/conf/s\\n", "C:\\z/s\\n", "C:\\z/arenas/(default)/s\\n"}};
#endif

class SearchOrder : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchOrder, TriesEachPlaceInTurn) {
    EXPECT_EQ(searchPaths(GetParam().place, GetParam().file), GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchOrder,
    testing::Values(
        SearchCase{
            "Arena", {"z", "a"}, "n", {"z/arenas/a/n", "z/conf/n", "z/n", "z/arenas/(default)/n"}},
        SearchCase{"NoArena", {"z/", ""}, "d/n", {"z/conf/d/n", "z/d/n", "z/arenas/(default)/d/n"}},
        SearchCase{"HereAddsNothing", {".", ""}, "n", {"conf/n", "n", "arenas/(default)/n"}},
        SearchCase{"RootedStandsForItself",
                   {"z", "a"},
                   "/x/f",
                   {"z/arenas/a//x/f", "z/conf//x/f", "/x/f", "z/arenas/(default)//x/f"}},
        kBackslashCase),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryFiles, NormalisesPathsAndStandsBeforeWhatIsBehind) {
    test::TempDir disk;
    const std::string z = test::utf8Text(disk.path());
    disk.write("conf/on-disk.conf", "disk");
    disk.write("conf/both.conf", "disk");
    MemoryFiles files(&diskFiles());
    files.put(z + "/conf/./both.conf", "memory");
    files.put(z + "/arenas/duel/../Düell/arena.conf", "new");

    EXPECT_EQ(files.read(z + "/conf/both.conf").bytes.view(), "memory");
    EXPECT_EQ(files.read(z + "/conf/on-disk.conf").bytes.view(), "disk");
    EXPECT_EQ(files.read(z + "/arenas/Düell/arena.conf", 1).bytes.view(), "ne"); // limit + 1
    EXPECT_EQ(files.probe(z + "/conf/none").status, FileStatus::Missing);
    const FileRead folder = files.probe(z + "/arenas/Düell");
    EXPECT_EQ(folder.status, FileStatus::NotRegular);
    EXPECT_TRUE(folder.folder);
    EXPECT_EQ(folder.error, 0);
    // Read as a file, a folder held in memory alone is no file either.
    EXPECT_EQ(files.read(z + "/arenas/Düell").status, FileStatus::NotRegular);
    EXPECT_TRUE(files.isFolder(z + "/arenas"));
    EXPECT_FALSE(files.isFolder(z + "/arenas/Düell/arena.conf"));

    const FolderListing listing = files.list(z + "/conf/");
    ASSERT_EQ(listing.entries.size(), 2u);
    EXPECT_EQ(listing.error, 0);
    EXPECT_EQ(files.list(z + "/arenas").error, 0); // a folder held in memory alone
    // Held alone, a file found nowhere else is Missing.
    EXPECT_EQ(MemoryFiles().read(z + "/conf/on-disk.conf").status, FileStatus::Missing);
}

// An editor's unsaved text of an included file is what the load reads; a
// zone's arenas are found in memory as on disk.
TEST(MemoryFiles, AreWhatTheReaderAndTheZoneWalkRead) {
    MemoryFiles files;
    files.put("z/arenas/Düell/arena.conf", "#include ships.conf\n#include more.conf\n");
    files.put("z/conf/ships.conf", "[S]\nA=5\n");
    files.put("z/arenas/(default)/x", "");
    const ArenaLoad load = loadArena("z/arenas/Düell/arena.conf", std::nullopt, {"z", "Düell"},
                                     nullptr, {}, nullptr, &files);
    ASSERT_EQ(load.status, FileStatus::Ok);
    const Setting a = load.settings->read("S", "A");
    EXPECT_EQ(a.value, 5);
    EXPECT_TRUE(a.set);
    EXPECT_EQ(load.settings->locate(a.where), (Location{"z/conf/ships.conf", 2}));
    EXPECT_FALSE(load.settings->read("S", "B").set);
    // Each place looked at before the one found, and all of a name found nowhere.
    EXPECT_EQ(load.settings->searched(),
              (std::vector<std::string>{"z/arenas/Düell/ships.conf", "z/arenas/Düell/more.conf",
                                        "z/conf/more.conf", "z/more.conf",
                                        "z/arenas/(default)/more.conf"}));

    const ZoneArenas zone = zoneArenas("z", &files);
    EXPECT_TRUE(isZoneFolder("z", &files));
    ASSERT_EQ(zone.arenas.size(), 1u);
    EXPECT_EQ(zone.arenas[0].name, "Düell");
    EXPECT_EQ(zone.arenas[0].path, "z/arenas/Düell/arena.conf");
    // The current folder holds what was put under relative paths.
    const FolderListing here = files.list(".");
    ASSERT_EQ(here.entries.size(), 1u);
    EXPECT_EQ(here.entries[0].name, "z");
    EXPECT_TRUE(here.entries[0].folder);
}

// An arena that reads the zone's shared file has looked for its own first.
TEST(MemoryFiles, ArenaFileSearchedBeforeTheOneRead) {
    MemoryFiles files;
    files.put("z/conf/arena.conf", "[S]\n");
    const ArenaLoad load =
        loadArena("z/conf/arena.conf", std::nullopt, {"z", "a"}, nullptr, {}, nullptr, &files);
    EXPECT_EQ(load.settings->searched(), std::vector<std::string>{"z/arenas/a/arena.conf"});
}

#ifndef _WIN32
// An entry of arenas/ that cannot be told a folder (a link to itself) is
// said, not dropped; the arenas around it are found as usual.
TEST(ZoneArenas, SayWhatCouldNotBeListed) {
    test::TempDir zone;
    const std::string z = test::utf8Text(zone.path());
    zone.write("arenas/duel/arena.conf", "");
    ASSERT_EQ(::symlink("loop", (zone.path() / "arenas/loop").c_str()), 0);
    const ZoneArenas found = zoneArenas(z);
    EXPECT_EQ(found.unlisted, (std::vector<UnlistedEntry>{{z + "/arenas/loop", ELOOP}}));
    ASSERT_EQ(found.arenas.size(), 1u);
    EXPECT_EQ(found.arenas[0].path, z + "/arenas/duel/arena.conf");
}
#endif

} // namespace
} // namespace korvane
