// The file layer: which paths give settings, and that nothing can block it.
#include "settings_file.h"
#include "test_files.h"

#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using korvane::FileStatus;
using korvane::readSettingsFile;
using korvane::test::TempDir;

namespace {

class SettingsFile : public testing::Test {
protected:
    TempDir dir;
};

TEST_F(SettingsFile, ReadsARegularFileByItsExactBytes) {
#ifdef _WIN32
    // Spaces and characters of no one code page: the UTF-8 path reaches the
    // file system as its UTF-16 name.
    const std::string path =
        dir.write("ship settings \xC3\xA9\xE2\x82\xAC\xD0\x96.ini", "[S]\nA=12\n");
#else
    // Spaces, non-ASCII and bytes that are not UTF-8: the path goes to the
    // file system as it is.
    const std::string path = dir.write("ship settings \xC3\xA9\xFF.ini", "[S]\nA=12\n");
#endif
    const auto read = readSettingsFile(path);
    EXPECT_EQ(read.status, FileStatus::Ok);
    EXPECT_EQ(read.bytes.view(), "[S]\nA=12\n");
    // Binary: CR LF, NUL and 0x1A (which ends a file read in text mode).
    const std::string bytes = "[S]\r\nA=1\x1A\r\n\0B=2\n";
    EXPECT_EQ(readSettingsFile(dir.write("binary.cfg", bytes)).bytes.view(), bytes);
}

TEST_F(SettingsFile, PathsWithoutSettingsSayWhy) {
#ifndef _WIN32
    // Standard input open (as /dev/null if it was not), to see it stay open.
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1) {
        ASSERT_EQ(::open("/dev/null", O_RDONLY), STDIN_FILENO);
    }
#endif
    const auto missing = readSettingsFile((dir.path() / "nothing.cfg").string());
    EXPECT_EQ(missing.status, FileStatus::Missing);
    EXPECT_EQ(missing.error, ENOENT);
    // A regular file where a folder should be: as missing (ENOTDIR where
    // the system tells it apart).
    const std::string file = dir.write("ship.cfg", "[S]\nA=1\n");
    const auto below = readSettingsFile(file + "/below.cfg");
    EXPECT_EQ(below.status, FileStatus::Missing);
#ifdef _WIN32
    EXPECT_EQ(below.error, ENOENT);
#else
    EXPECT_EQ(below.error, ENOTDIR);
#endif

    EXPECT_EQ(readSettingsFile(dir.path().string()).status, FileStatus::NotRegular);
    const auto empty = readSettingsFile(dir.write("empty.cfg", ""));
    EXPECT_EQ(empty.status, FileStatus::Ok);
    EXPECT_EQ(empty.bytes.view(), "");
#ifndef _WIN32
    // None of them closed a descriptor it had not opened.
    EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFD), -1);
#endif
}

TEST_F(SettingsFile, SpecialFilesAreNeverOpened) {
#ifdef _WIN32
    // Devices, by their reserved names (in any folder, with any extension).
    // NUL is there on every machine; a COM port may not be.
    for (const std::string& path :
         {std::string("NUL"), std::string("nul.cfg"), dir.path().string() + "\\nul"}) {
#else
    // A FIFO with no writer would block an open for reading forever.
    for (const std::string& path :
         {dir.fifo("fifo.cfg"), dir.socket("s.sock"), std::string("/dev/zero"),
          std::string("/dev/urandom"), std::string("/dev/null")}) {
#endif
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(readSettingsFile(path).status, FileStatus::NotRegular) << path;
    }
}

TEST_F(SettingsFile, AFileTruncatedWhileMappedReadsAsNulsNotACrash) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows reads files, never maps them";
#else
    korvane::guardMappedFiles();
    const std::size_t size = 3 * 65536;
    const std::string path = dir.write("big.cfg", std::string(size, 'x'));
    const auto read = readSettingsFile(path);
    ASSERT_TRUE(read.bytes.mapped());
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    // Every page is touched, and gone: each would end the program (SIGBUS).
    const std::string_view bytes = read.bytes.view();
    ASSERT_EQ(bytes.size(), size);
    EXPECT_EQ(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\0')), size);
#endif
}

// Windows reads files, never maps them.
#ifndef _WIN32
TEST_F(SettingsFile, AFileTruncatedWhileMappedIsDamaged) {
    korvane::guardMappedFiles();
    const std::string path = dir.write("big.cfg", std::string(3 * 65536, 'x'));
    const auto whole = readSettingsFile(path);
    const auto shrunk = readSettingsFile(path);
    ASSERT_TRUE(whole.bytes.mapped() && shrunk.bytes.mapped());
    EXPECT_EQ(whole.bytes.view().back(), 'x'); // read before the file shrinks
    ASSERT_EQ(::truncate(path.c_str(), 65536), 0);
    EXPECT_EQ(shrunk.bytes.view()[65535], 'x');
    EXPECT_FALSE(shrunk.bytes.damaged());
    EXPECT_EQ(shrunk.bytes.view()[65536], '\0');
    EXPECT_TRUE(shrunk.bytes.damaged());
    EXPECT_FALSE(whole.bytes.damaged()); // untouched since
}

// The guard's slots: 64 mappings at once, then files are read instead; a
// slot let go serves again, without the mark of the mapping before.
TEST_F(SettingsFile, MappingsBeyondTheGuardsSlotsAreReadAndSlotsServeAgain) {
    korvane::guardMappedFiles();
    const std::string text(8192, 'x');
    const std::string path = dir.write("ship.cfg", text);
    std::vector<korvane::FileRead> reads;
    for (int i = 0; i < 65; ++i)
        reads.push_back(readSettingsFile(path));
    for (int i = 0; i < 65; ++i) {
        EXPECT_EQ(reads[i].bytes.mapped(), i < 64) << i;
        EXPECT_EQ(reads[i].bytes.view(), text) << i;
    }
    const std::string shrinking = dir.write("shrinking.cfg", text);
    reads[10] = readSettingsFile(path); // the 65th is a block, so no slot is free
    EXPECT_FALSE(reads[10].bytes.mapped());
    reads[20] = {};
    reads[20] = readSettingsFile(shrinking);
    ASSERT_TRUE(reads[20].bytes.mapped());
    ASSERT_EQ(::truncate(shrinking.c_str(), 0), 0);
    EXPECT_EQ(reads[20].bytes.view()[0], '\0');
    EXPECT_TRUE(reads[20].bytes.damaged());
    reads[20] = {};
    reads[20] = readSettingsFile(path);
    ASSERT_TRUE(reads[20].bytes.mapped());
    EXPECT_FALSE(reads[20].bytes.damaged());
    EXPECT_EQ(reads[20].bytes.view(), text);
}

// Until a program guards mappings, files are read: a fault on a mapping
// would otherwise end it. Each of these runs in a process of its own,
// where nothing has installed the guard yet.
class MappingGuard : public SettingsFile {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    // A child that hangs (a fault handled by returning to it) ends.
    static void ending() { ::alarm(20); }
};

TEST_F(MappingGuard, FilesAreReadUntilAProgramGuardsMappings) {
    const std::string path = dir.write("ship.cfg", "[S]\nA=1\n");
    EXPECT_EXIT(
        {
            ending();
            const bool before = readSettingsFile(path).bytes.mapped();
            korvane::guardMappedFiles();
            std::_Exit(!before && readSettingsFile(path).bytes.mapped() ? 3 : 1);
        },
        testing::ExitedWithCode(3), "");
}

void plainHandler(int) {
    std::_Exit(41);
}
void infoHandler(int, siginfo_t* info, void*) {
    std::_Exit(info->si_code == BUS_ADRERR ? 42 : 43);
}

// A fault on a mapping that is not one of the file layer's: the guard
// leaves it to the handler there was before.
void touchAMappingNotOurs(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const auto* at =
        static_cast<const volatile char*>(::mmap(nullptr, 65536, PROT_READ, MAP_PRIVATE, fd, 0));
    korvane::FileRead ours = readSettingsFile(path);
    if (!ours.bytes.mapped() || ::truncate(path.c_str(), 0) != 0)
        std::_Exit(1);
    (void)at[4096];
    std::_Exit(0);
}

TEST_F(MappingGuard, OtherFaultsGoToTheHandlerBeforeWithItsInfo) {
    const std::string path = dir.write("big.cfg", std::string(65536, 'x'));
    EXPECT_EXIT(
        {
            ending();
            struct sigaction before {};
            before.sa_sigaction = infoHandler;
            before.sa_flags = SA_SIGINFO;
            ::sigaction(SIGBUS, &before, nullptr);
            korvane::guardMappedFiles();
            touchAMappingNotOurs(path);
        },
        testing::ExitedWithCode(42), "");
}

TEST_F(MappingGuard, OtherFaultsGoToAPlainHandlerBefore) {
    EXPECT_EXIT(
        {
            ending();
            ::signal(SIGBUS, plainHandler);
            korvane::guardMappedFiles();
            ::raise(SIGBUS); // sent, not a fault: never the guard's
        },
        testing::ExitedWithCode(41), "");
}

TEST_F(MappingGuard, OtherFaultsEndTheProgramWithoutAHandlerBefore) {
    const std::string path = dir.write("big.cfg", std::string(65536, 'x'));
    EXPECT_EXIT(
        {
            ending();
            ::signal(SIGBUS, SIG_DFL); // as without a sanitizer's handler
            korvane::guardMappedFiles();
            touchAMappingNotOurs(path);
        },
        testing::KilledBySignal(SIGBUS), "");
}
#endif

TEST_F(SettingsFile, LinksAreFollowedAndTheirFaultsNamed) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need privileges on Windows";
#else
    const std::string target = dir.write("ship.cfg", "[S]\nA=3\n");
    const auto link = [&](const std::string& name, const std::string& to) {
        const std::string path = (dir.path() / name).string();
        EXPECT_EQ(::symlink(to.c_str(), path.c_str()), 0);
        return path;
    };
    EXPECT_EQ(readSettingsFile(link("link.cfg", target)).bytes.view(), "[S]\nA=3\n");

    const auto dangling = readSettingsFile(link("dangling.cfg", "nowhere.cfg"));
    EXPECT_EQ(dangling.status, FileStatus::Missing);
    EXPECT_EQ(dangling.error, ENOENT);

    link("loop-a.cfg", "loop-b.cfg");
    const auto loop = readSettingsFile(link("loop-b.cfg", "loop-a.cfg"));
    EXPECT_EQ(loop.status, FileStatus::Unreadable);
    EXPECT_EQ(loop.error, ELOOP);
#endif
}

TEST_F(SettingsFile, AFileWithoutReadPermissionIsUnreadable) {
#ifdef _WIN32
    GTEST_SKIP() << "no modes or uids on Windows";
#else
    const std::string path = dir.write("locked.cfg", "[S]\nA=3\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    if (::geteuid() != 0) {
        const auto read = readSettingsFile(path);
        EXPECT_EQ(read.status, FileStatus::Unreadable);
        EXPECT_EQ(read.error, EACCES);
        return;
    }
    // Root reads anything: the check runs as "nobody" in a child process.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const auto read = readSettingsFile(path);
        const bool asPromised = read.status == FileStatus::Unreadable && read.error == EACCES;
        ::_exit(asPromised ? 0 : 1);
    }
    int raw = 0;
    ASSERT_EQ(::waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw));
    if (WEXITSTATUS(raw) == 2)
        GTEST_SKIP() << "cannot drop root's privileges here";
    EXPECT_EQ(WEXITSTATUS(raw), 0)
        << "nobody could read a file with mode 000, or no reason was given";
#endif
}

#if defined(__SANITIZE_ADDRESS__)
#define KORVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANE_ASAN 1
#endif
#endif

TEST_F(SettingsFile, AFileLargerThanMemoryIsUnreadable) {
#ifdef _WIN32
    GTEST_SKIP() << "no sparse file of 64 PiB on Windows";
#else
#ifdef KORVANE_ASAN
    GTEST_SKIP() << "AddressSanitizer ends the process on an allocation it cannot make, where "
                    "operator new would throw std::bad_alloc";
#endif
    // 64 PiB that take no space: tmpfs allows such a sparse file, most disk
    // file systems refuse it, and then there is nothing to try.
    constexpr off_t kSize = off_t{1} << 56;
    std::string path;
    for (const char* folder : {"/dev/shm", "/tmp"}) {
        path = std::string(folder) + "/korvane-sparse-" + std::to_string(::getpid()) + ".cfg";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool made = fd >= 0 && ::ftruncate(fd, kSize) == 0;
        if (fd >= 0)
            ::close(fd);
        if (made)
            break;
        ::unlink(path.c_str());
        path.clear();
    }
    if (path.empty())
        GTEST_SKIP() << "no file system here holds a sparse file of 64 PiB";
    const auto read = readSettingsFile(path);
    ::unlink(path.c_str());
    EXPECT_EQ(read.status, FileStatus::Unreadable);
    EXPECT_EQ(read.error, ENOMEM);
#endif
}

} // namespace
