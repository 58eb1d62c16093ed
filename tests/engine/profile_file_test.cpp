// The file layer: which paths give settings, that nothing can block it, and
// that its cache never serves a file that has changed.
#include "profile_store.h"
#include "test_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

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
