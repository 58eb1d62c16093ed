// The file layer: which paths give settings, that nothing can block it, and
// that its cache never serves a file that has changed.
#include "profile_store.h"
#include "test_files.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using korvane::FileStatus;
using korvane::ProfileStore;
using korvane::test::TempDir;

namespace {

class ProfileFile : public testing::Test {
protected:
    void SetUp() override { store.clearCache(); }
    ProfileStore& store = ProfileStore::instance();
    TempDir dir;
};

TEST_F(ProfileFile, ReadsARegularFileByItsExactBytes) {
    // Spaces, non-ASCII and bytes that are not UTF-8: the path goes to the
    // file system as it is.
    const std::string path = dir.write("ship settings \xC3\xA9\xFF.ini", "[S]\nA=12\n");
    EXPECT_EQ(store.readInt(path, "S", "A"), 12);
    EXPECT_EQ(store.load(path).status, FileStatus::Ok);
}

TEST_F(ProfileFile, PathsWithoutSettingsReadZeroAndSayWhy) {
    const std::string missing = (dir.path() / "nothing.cfg").string();
    EXPECT_EQ(store.load(missing).status, FileStatus::Missing);
    EXPECT_EQ(store.readInt(missing, "S", "A"), 0);
    EXPECT_EQ(store.load((dir.path() / "nothing" / "below").string()).status, FileStatus::Missing);

    EXPECT_EQ(store.load(dir.path().string()).status, FileStatus::NotRegular);
    EXPECT_EQ(store.readInt(dir.path().string(), "S", "A"), 0);

    const std::string empty = dir.write("empty.cfg", "");
    EXPECT_EQ(store.load(empty).status, FileStatus::Ok);
    EXPECT_EQ(store.readInt(empty, "S", "A"), 0);
}

TEST_F(ProfileFile, SpecialFilesAreNeverOpened) {
    // A FIFO with no writer would block an open for reading forever.
    const std::string fifo = (dir.path() / "fifo.cfg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(store.load(fifo).status, FileStatus::NotRegular);
    EXPECT_EQ(store.readInt(fifo, "S", "A"), 0);

    EXPECT_EQ(store.load("/dev/zero").status, FileStatus::NotRegular);
    EXPECT_EQ(store.load("/dev/urandom").status, FileStatus::NotRegular);
    EXPECT_EQ(store.load("/dev/null").status, FileStatus::NotRegular);

    const std::string socketPath = (dir.path() / "s.sock").string();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    socketPath.copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(store.load(socketPath).status, FileStatus::NotRegular);
    ::close(fd);
}

TEST_F(ProfileFile, LinksAreFollowedAndTheirFaultsNamed) {
    const std::string target = dir.write("ship.cfg", "[S]\nA=3\n");
    const auto link = [&](const std::string& name, const std::string& to) {
        const std::string path = (dir.path() / name).string();
        EXPECT_EQ(::symlink(to.c_str(), path.c_str()), 0);
        return path;
    };
    EXPECT_EQ(store.readInt(link("link.cfg", target), "S", "A"), 3);

    const auto dangling = store.load(link("dangling.cfg", "nowhere.cfg"));
    EXPECT_EQ(dangling.status, FileStatus::Missing);
    EXPECT_EQ(dangling.error, ENOENT);

    link("loop-a.cfg", "loop-b.cfg");
    const auto loop = store.load(link("loop-b.cfg", "loop-a.cfg"));
    EXPECT_EQ(loop.status, FileStatus::Unreadable);
    EXPECT_EQ(loop.error, ELOOP);
    EXPECT_EQ(store.readInt((dir.path() / "loop-a.cfg").string(), "S", "A"), 0);
}

TEST_F(ProfileFile, AFileWithoutReadPermissionIsUnreadable) {
    const std::string path = dir.write("locked.cfg", "[S]\nA=3\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    if (::geteuid() != 0) {
        const auto loaded = store.load(path);
        EXPECT_EQ(loaded.status, FileStatus::Unreadable);
        EXPECT_EQ(loaded.error, EACCES);
        return;
    }
    // Root reads anything: the check runs as "nobody" in a child process.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const auto loaded = store.load(path);
        const bool asPromised = loaded.status == FileStatus::Unreadable && loaded.error == EACCES &&
                                loaded.profile->readInt("S", "A") == 0;
        ::_exit(asPromised ? 0 : 1);
    }
    int raw = 0;
    ASSERT_EQ(::waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw));
    if (WEXITSTATUS(raw) == 2)
        GTEST_SKIP() << "cannot drop root's privileges here";
    EXPECT_EQ(WEXITSTATUS(raw), 0)
        << "nobody could read a file with mode 000, or no reason was given";
}

#if defined(__SANITIZE_ADDRESS__)
#define KORVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANE_ASAN 1
#endif
#endif

TEST_F(ProfileFile, AFileLargerThanMemoryIsUnreadable) {
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
    const auto loaded = store.load(path);
    ::unlink(path.c_str());
    EXPECT_EQ(loaded.status, FileStatus::Unreadable);
    EXPECT_EQ(loaded.error, ENOMEM);
    EXPECT_EQ(loaded.profile->readInt("S", "A"), 0);
}

TEST_F(ProfileFile, SeesAFileRewrittenInPlaceWithSizeAndTimesKept) {
    const std::string path = dir.write("ship.cfg", "[S]\nA=1\n");
    EXPECT_EQ(store.readInt(path, "S", "A"), 1);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    // Same inode, same size, modification time put back: as `cp -p` leaves it.
    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "9", 1, 6), 1);
        ::close(fd);
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    store.beginCheck();
    EXPECT_EQ(store.readInt(path, "S", "A"), 9);
}

TEST_F(ProfileFile, KeepsTheParseWhileTheFileIsUnchanged) {
    const std::string path = dir.write("ship.cfg", "[S]\nA=1\n");
    const auto first = store.load(path).profile;
    EXPECT_EQ(store.load(path).profile, first);
    dir.write("other.cfg", "[S]\nA=2\n");
    EXPECT_EQ(store.readInt((dir.path() / "other.cfg").string(), "S", "A"), 2);
    EXPECT_EQ(store.readInt(path, "S", "A"), 1);
}

TEST_F(ProfileFile, MemoryFilesStandInForTheirPathUntilForgotten) {
    const std::string path = dir.write("ship.cfg", "[S]\nA=1\n");
    store.setMemoryFile(path, "[S]\nA=5\n");
    EXPECT_EQ(store.readInt(path, "S", "A"), 5);
    store.forgetMemoryFile(path);
    EXPECT_EQ(store.readInt(path, "S", "A"), 1);
}

} // namespace
