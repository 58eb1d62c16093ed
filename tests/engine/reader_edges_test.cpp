// The readers' edges that their main tables leave open: each row holds one
// behaviour that a small slip in the code (a comparison, a constant, a
// dropped statement) would change; scripts/mutants.py finds such slips.
#include "include_reader.h"
#include "profile.h"
#include "settings_file.h"
#include "test_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

constexpr const char* kArena = "arenas/a/arena.conf";

// A setting expected at a line of the checked file, or (line 0) not set.
struct Wanted {
    const char* section;
    const char* key;
    std::int32_t value;
    std::size_t line;
};

struct IncludeEdge {
    const char* name;
    std::string bytes; // of the checked file, arenas/a/arena.conf
    std::vector<Wanted> wanted;
    std::vector<std::string> warnings = {};                       // each whole, "LINE: TEXT"
    std::vector<std::pair<std::string, std::string>> others = {}; // more files of the zone
    IncludeLimits limits = {};
};

class IncludeEdges : public testing::TestWithParam<IncludeEdge> {};

// Loaded whole and keeping only the settings asked about: both the same.
TEST_P(IncludeEdges, ReadAsTheServerLoadsThem) {
    const IncludeEdge& c = GetParam();
    test::TempDir zone;
    const std::string checked = zone.write(kArena, c.bytes);
    for (const auto& [name, bytes] : c.others)
        zone.write(name, bytes);
    std::vector<std::string_view> sections, keys;
    for (const Wanted& w : c.wanted) {
        sections.push_back(w.section);
        keys.push_back(w.key);
    }
    const SettingNames names{sections, keys};
    for (const SettingNames* kept : {static_cast<const SettingNames*>(nullptr), &names}) {
        SCOPED_TRACE(kept ? "keeping only these settings" : "keeping every setting");
        const ArenaLoad load =
            loadArena(checked, std::nullopt, arenaPlaceOf(checked), kept, c.limits);
        for (const Wanted& w : c.wanted) {
            const std::string query = std::string(w.section) + ":" + w.key;
            const Setting s = load.settings->read(w.section, w.key);
            if (w.line == 0) {
                EXPECT_EQ(s.where, Setting::kNowhere) << query << " is set";
                continue;
            }
            ASSERT_NE(s.where, Setting::kNowhere) << query << " is not set";
            EXPECT_EQ(s.value, w.value) << query;
            EXPECT_EQ(load.settings->locate(s.where), (Location{checked, w.line})) << query;
        }
        std::vector<std::string> warnings;
        for (const Warning& w : load.settings->warnings())
            warnings.push_back((w.where && w.where->file == checked
                                    ? std::to_string(w.where->line) + ": "
                                    : std::string()) +
                               w.text);
        EXPECT_EQ(warnings, c.warnings);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeEdges,
    testing::Values(
        // The '\' that joins is dropped, not kept as an escape.
        IncludeEdge{"JoinedKey", "[S]\nA\\\n=5\n", {{"S", "A", 5, 2}}},
        // A '\' before the key's first byte: no plain key, whoever reads it.
        IncludeEdge{"EscapedFirstByte", "[S]\n\\A=5\n", {{"S", "A", 5, 2}}},
        // A NUL ends the line's text even before its '='.
        IncludeEdge{"NulBeforeEquals",
                    std::string("[S]\nK\0=5\nB=2\n", 12),
                    {{"S", "K", 0, 2}, {"S", "B", 2, 3}},
                    {"2: NUL byte: the server drops the rest of the line"}},
        // In a branch not taken, #define and #undef count for nothing.
        IncludeEdge{"DefinesInAFalseBranch",
                    "#define U\n#ifdef X\n#define Y\n#undef U\n#endif\n[S]\n#ifdef Y\nA=1\n"
                    "#endif\n#ifdef U\nB=2\n#endif\n",
                    {{"S", "A", 0, 0}, {"S", "B", 2, 11}}},
        // Past the limit of included files, none is read, however named.
        IncludeEdge{"IncludedFilesLimit",
                    "[S]\n#include i\n#include j\nB=2\n",
                    {{"S", "C", 0, 0}, {"S", "B", 2, 4}},
                    {"3: #include \"j\" not followed: 1 included files read in one load (an "
                     "include cycle?)"},
                    {{"arenas/a/i", "A=1\n"}, {"arenas/a/j", "C=3\n"}},
                    {.maxIncludes = 1}},
        // Past the limit of bytes in an included file, the including file
        // is not read on either.
        IncludeEdge{"BytesLimitInAnInclude",
                    "[S]\n#include i\nB=2\n",
                    {{"S", "A", 0, 0}, {"S", "B", 0, 0}},
                    {"stopped reading: more than 16 bytes read in one load (an include cycle?)"},
                    {{"arenas/a/i", "A=1\n"}},
                    {.maxBytes = 16}},
        // A load of exactly the bytes limit is read whole.
        IncludeEdge{
            "ExactlyTheBytesLimit", "[S]\nA=1\n", {{"S", "A", 1, 2}}, {}, {}, {.maxBytes = 8}},
        // Past the limit of defined names, that is warned about once.
        IncludeEdge{"DefinedNamesLimit",
                    "#define X\n#define Y\n#define Z\n[S]\nA=1\n",
                    {{"S", "A", 1, 5}},
                    {"2: more than 1 names defined: the rest are ignored"},
                    {},
                    {.maxDefines = 1}},
        // Blanks around '=' go, also where a kept key is read on its own.
        IncludeEdge{
            "BlanksAroundEquals", "[S]\nA \t=5\nB=\t 6\n", {{"S", "A", 5, 2}, {"S", "B", 6, 3}}},
        // However many blanks come before a value, all go.
        IncludeEdge{
            "OddBlanksBeforeValues", "[S]\nA= 5\nB=\t \t6\n", {{"S", "A", 5, 2}, {"S", "B", 6, 3}}},
        // A line joined to one that names its section, in a section not kept.
        IncludeEdge{
            "JoinedInASectionNotKept", "[Other]\nS:\\\nA=5\nB=1\nB=2\n", {{"S", "A", 5, 2}}},
        // A value cut by the line limit ends there, whatever the next line.
        IncludeEdge{"ValueCutAtTheLineLimit",
                    "[S]\nA=" + std::string(4092, ' ') + "5" + "7\n",
                    {{"S", "A", 5, 2}},
                    {"2: line longer than 4095 bytes: the server reads the rest as a line of "
                     "its own"}},
        // Lone CRs are warned about once per file.
        IncludeEdge{"TwoLoneCrs",
                    "[S]\nA=1\rx\nB=2\ry\n",
                    {{"S", "A", 1, 2}, {"S", "B", 2, 4}},
                    {"2: a CR without an LF after it: the server reads on to the next LF and "
                     "drops everything from the CR on"}},
        // Only the file's first bytes can be a byte order mark; later, they
        // are part of a key.
        IncludeEdge{"ByteOrderMarkOnALaterLine",
                    "[S]\nA=1\n\xEF\xBB\xBF"
                    "A=2\n",
                    {{"S", "A", 1, 2},
                     {"S",
                      "\xEF\xBB\xBF"
                      "A",
                      2, 3}}},
        // A CR ends the line's text even before its '='.
        IncludeEdge{"CrBeforeEquals",
                    "[S]\nK\r=5\nB=2\n",
                    {{"S", "K", 0, 2}, {"S", "B", 2, 4}},
                    {"2: a CR without an LF after it: the server reads on to the next LF and "
                     "drops everything from the CR on"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Names looked for in the current folder are named as given, not "./NAME".
TEST(IncludeInput, TheCurrentFolderIsNotNamed) {
    const ArenaLoad load = loadArena("arena.conf", "#include korvane-nothere\n", {".", ""});
    const auto warnings = load.settings->warnings();
    EXPECT_EQ(std::vector<Warning>(warnings.begin(), warnings.end()),
              (std::vector<Warning>{
                  {Location{"arena.conf", 1},
                   "#include \"korvane-nothere\" not found (no conf/korvane-nothere, "
                   "korvane-nothere or arenas/(default)/korvane-nothere): its settings are "
                   "missing"}}));
}

// A CR that ends the bytes read is lone, whatever lies after them (a block
// read into holds more than the file).
TEST(IncludeInput, ACrLastIsLoneWhateverFollows) {
    const std::string_view bytes = std::string_view("[S]\nA=1\r\n").substr(0, 8);
    const ArenaLoad load = loadArena("arena.conf", bytes, {".", ""});
    EXPECT_EQ(load.settings->read("S", "A").value, 1);
    const auto warnings = load.settings->warnings();
    EXPECT_EQ(std::vector<Warning>(warnings.begin(), warnings.end()),
              (std::vector<Warning>{
                  {Location{"arena.conf", 2},
                   "a CR without an LF after it: the server reads on to the next LF and drops "
                   "everything from the CR on"}}));
}

// Hexadecimal letters at both ends of each case's range, by both readers.
TEST(ReaderValues, HexLettersCountInBothCases) {
    for (const char* value : {"0xab", "0xAB", "0xaB"}) {
        EXPECT_EQ(profileValueToInt(value), 171) << value;
        EXPECT_EQ(includeValueToInt(value), 171) << value;
    }
    EXPECT_EQ(profileValueToInt("0xf"), 15);
    EXPECT_EQ(includeValueToInt("0XF"), 15);
}

struct ProfileEdge {
    const char* name;
    std::string text;
    const char* key; // of section S
    std::string value;
    std::size_t line;
};

class ProfileEdges : public testing::TestWithParam<ProfileEdge> {};

TEST_P(ProfileEdges, FindTheKeysLineAndValue) {
    const ProfileEdge& c = GetParam();
    const Profile p = Profile::parse(std::string_view(c.text));
    const auto found = p.find("S", c.key);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, c.value);
    EXPECT_EQ(p.lineAt(found->offset), c.line);
}

// A line mark falls every 64 KiB: here on a lone CR, after a CR LF.
const std::string kCrOnAMark = "[S]\r\n" + std::string(65530, 'x') + "\n\rA=1\n";

INSTANTIATE_TEST_SUITE_P(Cases, ProfileEdges,
                         testing::Values(ProfileEdge{"KeyWithoutEqualsBeforeADigitLine",
                                                     "[S]\nA\n7\n", "A", "", 2},
                                         ProfileEdge{"LoneCrOnALineMark", kCrOnAMark, "A", "1", 4},
                                         // A NUL first in a value leaves nothing of it.
                                         ProfileEdge{"NulFirstInAValue",
                                                     std::string("[S]\nA=\0"
                                                                 "7\n",
                                                                 9),
                                                     "A", "", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// A block read into may hold more than the file: its text ends at the size.
TEST(ProfileBlocks, TheTextEndsAtTheSizeReadWhateverTheBlockHoldsAfter) {
    const std::string_view block = "[S]\nA=7";
    Bytes bytes;
    bytes.reserve(block.size());
    std::memcpy(bytes.data(), block.data(), block.size());
    bytes.resize(5); // "[S]\nA", an '=' after it
    const Profile p = Profile::parse(std::move(bytes));
    const auto found = p.find("S", "A");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "");
}

// An odd last byte of UTF-16 is no character, whatever follows it.
TEST(ProfileBlocks, AnOddLastByteOfUtf16IsDropped) {
    const std::string block("\xFF\xFE[\0S\0]\0\n\0A\0=\0"
                            "7\0",
                            16);
    Bytes bytes;
    bytes.reserve(block.size());
    std::memcpy(bytes.data(), block.data(), block.size());
    bytes.resize(15);
    const Profile p = Profile::parse(std::move(bytes));
    EXPECT_EQ(p.text(), "[S]\nA=");
}

// The line after a text of exactly one line mark's length.
TEST(ProfileBlocks, TheEndOfATextOnALineMarkHasItsLine) {
    const Profile p = Profile::parse(std::string(65535, 'x') + "\n");
    EXPECT_EQ(p.lineAt(65536), 2u);
}

// A file that cannot be mapped (sysfs says 4096 bytes, and refuses) is
// read instead, never handed out as a mapping.
TEST(BytesEdges, AFileThatCannotBeMappedIsRead) {
    const std::string path = "/sys/devices/system/cpu/online";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path << " here";
    guardMappedFiles();
    EXPECT_FALSE(readSettingsFile(path).bytes.mapped());
}

#ifndef _WIN32 // Windows reads files, never maps them, and has no fork
// Started with standard input closed, a program opens a file as fd 0: it
// is closed after the read like any other.
TEST(BytesEdges, AFileReadAsDescriptorZeroIsClosed) {
    test::TempDir dir;
    const std::string path = dir.write("s.cfg", "[S]\nA=1\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(STDIN_FILENO);
        const FileRead read = readSettingsFile(path, Reading::Plain);
        ::_exit(read.status == FileStatus::Ok && ::fcntl(STDIN_FILENO, F_GETFD) == -1 ? 0 : 1);
    }
    int raw = 0;
    ASSERT_EQ(::waitpid(child, &raw, 0), child);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "fd 0 left open";
}

// Standard input that gives fewer bytes than its file's size said (a sysfs
// file says a page) is told as the same file named is: not read whole.
TEST(BytesEdges, StandardInputShorterThanItsFileSaidIsNotWhole) {
    const char* path = "/sys/devices/system/cpu/online";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path << " here";
    ASSERT_EQ(readSettingsFile(path).error, kChangedWhileRead);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(path, O_RDONLY);
        if (fd < 0 || ::dup2(fd, STDIN_FILENO) != STDIN_FILENO)
            ::_exit(2);
        const FileRead read = readStandardInput();
        ::_exit(read.status == FileStatus::Unreadable && read.error == kChangedWhileRead ? 0 : 1);
    }
    int raw = 0;
    ASSERT_EQ(::waitpid(child, &raw, 0), child);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "read as whole";
}
#endif

// The LF that ends a line is that line's, wherever it falls in a word.
TEST(ProfileBlocks, ALinesLfIsThatLines) {
    const Profile p = Profile::parse(std::string_view("abcdefg\nxyz"));
    EXPECT_EQ(p.lineAt(7), 1u);
    EXPECT_EQ(p.lineAt(8), 2u);
}

#ifndef _WIN32 // Windows reads files, never maps them, and has no fork
// A mapped file cut within its second page: the fault comes at an odd
// address of the third, and only the pages from that one on are replaced.
TEST(BytesEdges, AFaultAtAnOddAddressReplacesWholePagesFromItsOwn) {
    guardMappedFiles();
    test::TempDir dir;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::string path = dir.write("big.cfg", std::string(4 * page, 'x'));
    const FileRead read = readSettingsFile(path);
    ASSERT_TRUE(read.bytes.mapped());
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(page + 10)), 0);
    const std::string_view bytes = read.bytes.view();
    EXPECT_EQ(bytes[2 * page + 101], '\0');
    EXPECT_EQ(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), 'x')), page + 10);
    EXPECT_TRUE(read.bytes.damaged());
}

// A file read, mapped or not, and a folder, which is never opened, carry
// no error number.
TEST(BytesEdges, WhatIsNotAFailureHasNoErrorNumber) {
    guardMappedFiles();
    test::TempDir dir;
    const std::string path = dir.write("s.cfg", "[S]\nA=1\n");
    const FileRead mapped = readSettingsFile(path);
    ASSERT_TRUE(mapped.bytes.mapped());
    EXPECT_EQ(mapped.error, 0);
    EXPECT_EQ(readSettingsFile(path, Reading::Plain).error, 0);
    const FileRead folder = readSettingsFile(dir.path().string());
    EXPECT_EQ(folder.status, FileStatus::NotRegular);
    EXPECT_EQ(folder.error, 0);
}
#endif

// A block moved keeps its size and room; the one it left is empty.
TEST(BytesEdges, MovedBlocksTakeTheirRoomAlong) {
    Bytes from(std::string_view("abc"));
    Bytes to(std::string_view("defgh"));
    to = std::move(from);
    EXPECT_EQ(to.view(), "abc");
    EXPECT_EQ(to.capacity(), 3u);
    EXPECT_EQ(from.view(), "");
    EXPECT_EQ(from.capacity(), 0u);
    Bytes again(std::move(to));
    EXPECT_EQ(again.view(), "abc");
    EXPECT_EQ(again.capacity(), 3u);
    EXPECT_EQ(to.capacity(), 0u);
}

} // namespace
} // namespace korvane
