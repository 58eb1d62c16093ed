// The file layer: which paths give settings, and that nothing can block it.
#include "settings_file.h"
#include "test_files.h"

#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
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
}

TEST_F(SettingsFile, SpecialFilesAreNeverOpened) {
#ifdef _WIN32
    // Devices, by their reserved names (in any folder, with any extension).
    for (const std::string& path :
         {std::string("NUL"), std::string("nul.cfg"), dir.path().string() + "\\COM1"}) {
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
