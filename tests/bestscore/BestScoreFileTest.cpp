#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "game/BestScoreFile.h"
#include "platform/core/Exception.h"

namespace {

namespace fs = std::filesystem;

int ErrorCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EInOutError& error) {
        return error.ErrorCode();
    }
    return 0;
}

int OpenDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Runs the helper in `dir`, optionally as another user; its printed line.
std::string RunHelper(const std::string& dir, const std::string& arguments, bool asNobody = false)
{
    std::string prefix = asNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    Shell("cd " + ShellQuote(dir) + " && " + prefix + ShellQuote(BEST_ONCE) + " " + arguments + " >out 2>err");
    std::string out = ReadText(dir + "/out");
    fs::remove(dir + "/out");
    fs::remove(dir + "/err");
    return out.substr(0, out.find('\n'));
}

TEST(BestScoreRead, TableOfFileContents)
{
    struct Case {
        const char* what;
        std::optional<Bytes> content;  // nullopt: no file
        std::int32_t value;
        int code;
    };
    const Case cases[] = {
        {"17 00 00 00", Bytes{0x17, 0, 0, 0}, 23, 0},
        {"FF FF FF FF", Bytes{0xFF, 0xFF, 0xFF, 0xFF}, -1, 0},
        {"6 bytes: the first 4 count", Bytes{0x17, 0, 0, 0, 0xAA, 0xBB}, 23, 0},
        {"the lowest value", Bytes{0, 0, 0, 0x80}, INT32_MIN, 0},
        {"no file", std::nullopt, 0, 2},
        {"empty", Bytes{}, 0, 100},
        {"3 bytes", Bytes{1, 2, 3}, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDirectory dir;
        const std::string file = dir / "Best.dat";
        if (c.content)
            WriteBytes(file, *c.content);
        const int descriptors = OpenDescriptorCount();
        std::int32_t value = 0;
        EXPECT_EQ(ErrorCodeOf([&] { value = ReadBestScore(file); }), c.code);
        if (c.code == 0) {
            EXPECT_EQ(value, c.value);
        }
        EXPECT_EQ(OpenDescriptorCount(), descriptors) << "the file is closed also after a failed read";
        EXPECT_EQ(ReadBytes(file), c.content) << "a read leaves the file as it was";
    }
}

TEST(BestScoreRead, MessagesOfTheErrorBox)
{
    TestDirectory dir;
    try {
        ReadBestScore(dir / "Best.dat");
        FAIL() << "no error for a missing file";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message(), "ﾌｧｲﾙが見つかりません");
    }
    WriteBytes(dir / "Best.dat", {1, 2});
    try {
        ReadBestScore(dir / "Best.dat");
        FAIL() << "no error for a short file";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message(), "ﾌｧｲﾙの末尾以降を読み込みました");
    }
}

TEST(BestScoreRead, BadPlacesForTheFile)
{
    TestDirectory dir;
    fs::create_directory(dir / "folder");
    fs::create_directory(dir / "Best.dat");
    WriteBytes(dir / "plain", {1, 0, 0, 0});
    mkfifo((dir / "pipe").c_str(), 0666);
    struct Case {
        std::string path;
        int code;
    };
    const Case cases[] = {
        {dir / "absent/Best.dat", 3},
        {dir / "plain/Best.dat", 3},
        {"", 3},
        {dir / "Best.dat", 5},   // a directory
        {dir / "pipe", 5},       // would block the start forever
        {dir / std::string(300, 'x'), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ErrorCodeOf([&] { ReadBestScore(c.path); }), c.code);
        EXPECT_EQ(ErrorCodeOf([&] { StoreBestScore(c.path, 5); }), c.code);
    }
}

TEST(BestScoreStore, TableOfOldContents)
{
    struct Case {
        const char* what;
        std::optional<Bytes> before;
        std::int32_t value;
    };
    const Case cases[] = {
        {"no file: created", std::nullopt, 23},
        {"6 bytes: left with exactly 4", Bytes{9, 0, 0, 0, 0xAA, 0xBB}, 23},
        {"the same value again", Bytes{0x17, 0, 0, 0}, 23},
        {"empty", Bytes{}, 1},
        {"negative", Bytes{1, 0, 0, 0}, -1},
        {"highest", Bytes{1, 0, 0, 0}, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDirectory dir;
        const std::string file = dir / "Best.dat";
        if (c.before)
            WriteBytes(file, *c.before);
        ASSERT_EQ(ErrorCodeOf([&] { StoreBestScore(file, c.value); }), 0);
        EXPECT_EQ(ReadBytes(file), LittleEndian(c.value));
        EXPECT_EQ(ReadBestScore(file), c.value);
        EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
    }
}

TEST(BestScoreStore, RelativeToTheCurrentDirectory)
{
    TestDirectory dir;
    EXPECT_EQ(RunHelper(dir.Path(), "read"), "EInOutError 2");
    EXPECT_EQ(RunHelper(dir.Path(), "store 23"), "ok");
    EXPECT_EQ(ReadBytes(dir / "Best.dat"), (Bytes{0x17, 0, 0, 0}));
    EXPECT_EQ(RunHelper(dir.Path(), "read"), "ok 23");
}

TEST(BestScoreStore, KeepsPermissionAndOwner)
{
    TestDirectory dir;
    const std::string file = dir / "Best.dat";
    WriteBytes(file, {1, 0, 0, 0});
    chmod(file.c_str(), 0640);
    const bool root = IsRoot();
    if (root) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    StoreBestScore(file, 2);
    struct stat st{};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }

    // A new file gets what any new file gets: 0666 less the umask.
    const std::string fresh = dir / "sub/Best.dat";
    fs::create_directory(dir / "sub");
    mode_t mask = umask(022);
    StoreBestScore(fresh, 3);
    umask(mask);
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(BestScoreStore, FollowsASymbolicLink)
{
    TestDirectory dir;
    fs::create_directory(dir / "scores");
    WriteBytes(dir / "scores/zimbrot", {1, 0, 0, 0});
    fs::create_symlink("scores/zimbrot", dir / "Best.dat");
    fs::create_symlink("scores/later", dir / "Dangling.dat");

    StoreBestScore(dir / "Best.dat", 7);
    StoreBestScore(dir / "Dangling.dat", 8);

    EXPECT_TRUE(fs::is_symlink(dir / "Best.dat"));
    EXPECT_EQ(ReadBytes(dir / "scores/zimbrot"), LittleEndian(7));
    EXPECT_EQ(ReadBestScore(dir / "Best.dat"), 7);
    EXPECT_TRUE(fs::is_symlink(dir / "Dangling.dat"));
    EXPECT_EQ(ReadBytes(dir / "scores/later"), LittleEndian(8));
}

// A file that may be written in a directory that takes no new file: it is written in place,
// as before, rather than refused.
TEST(BestScoreStore, DirectoryThatTakesNoNewFile)
{
    TestDirectory dir;
    fs::create_directory(dir / "locked");
    const std::string file = dir / "locked/Best.dat";
    WriteBytes(file, {9, 0, 0, 0, 0xAA, 0xBB});
    if (IsRoot()) {
        if (!SetImmutable(dir / "locked", true))
            GTEST_SKIP() << "this file system takes no immutable flag";
    } else {
        chmod((dir / "locked").c_str(), 0555);
    }
    EXPECT_EQ(ErrorCodeOf([&] { StoreBestScore(file, 23); }), 0);
    EXPECT_EQ(ReadBytes(file), LittleEndian(23));
    EXPECT_EQ(ErrorCodeOf([&] { StoreBestScore(dir / "locked/New.dat", 1); }), 5) << "a new file cannot be made";
}

// A score file shared by a group, stored by a player who cannot give a new file its owner: it
// is written in place and stays the group's.
TEST(BestScoreStore, SharedFileStaysItsOwners)
{
    if (!IsRoot() || !HaveTool("setpriv"))
        GTEST_SKIP() << "needs root and setpriv to store as another user";
    TestDirectory dir;
    chmod(dir.Path().c_str(), 0777);
    const std::string file = dir / "Best.dat";
    WriteBytes(file, {1, 0, 0, 0});
    chmod(file.c_str(), 0666);
    EXPECT_EQ(RunHelper(dir.Path(), "store 23", true), "ok");
    struct stat st{};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(ReadBytes(file), LittleEndian(23));
    EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

// The read asks for write access too, so a file that could be read is refused all the same.
TEST(BestScoreRefusal, ReadOnlyFile)
{
    enum class Means { ChmodAsNobody, Immutable, ChmodAsSelf, ReadOnlyMount };
    struct Case {
        const char* what;
        Means means;
    };
    const Case cases[] = {
        {"chmod a-w, run as nobody", Means::ChmodAsNobody},
        {"chattr +i", Means::Immutable},
        {"chmod a-w", Means::ChmodAsSelf},
        {"read-only bind mount", Means::ReadOnlyMount},
    };
    const bool root = IsRoot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (root == (c.means == Means::ChmodAsSelf))
            continue;  // permission bits refuse nothing to root; only root can do the others
        if (c.means == Means::ChmodAsNobody && !HaveTool("setpriv"))
            continue;
        TestDirectory dir;
        fs::create_directory(dir / "d");
        const std::string file = dir / "d/Best.dat";
        WriteBytes(file, {0x17, 0, 0, 0});
        chmod(file.c_str(), 0444);
        int readCode = 0;
        int storeCode = 0;
        switch (c.means) {
        case Means::ChmodAsNobody:
            chmod((dir / "d").c_str(), 0777);  // the directory is not what refuses
            readCode = std::stoi(RunHelper(dir / "d", "read", true).substr(12));
            storeCode = std::stoi(RunHelper(dir / "d", "store 5", true).substr(12));
            break;
        case Means::Immutable:
            if (!SetImmutable(file, true)) {
                std::printf("skipped: this file system takes no immutable flag\n");
                continue;
            }
            [[fallthrough]];
        case Means::ChmodAsSelf:
            readCode = ErrorCodeOf([&] { ReadBestScore(file); });
            storeCode = ErrorCodeOf([&] { StoreBestScore(file, 5); });
            break;
        case Means::ReadOnlyMount:
            if (!dir.BindMount(dir / "d", "d", true)) {
                std::printf("skipped: this machine does not let root mount\n");
                continue;
            }
            readCode = ErrorCodeOf([&] { ReadBestScore(file); });
            storeCode = ErrorCodeOf([&] { StoreBestScore(file, 5); });
            break;
        }
        EXPECT_EQ(readCode, 5);
        EXPECT_EQ(storeCode, 5);
        EXPECT_EQ(ReadBytes(file), (Bytes{0x17, 0, 0, 0}));
        EXPECT_TRUE(LeftoverTemporaries(dir / "d").empty());
    }
}

// Another program holding the file for itself: an exclusive flock or a write lock on it.
TEST(BestScoreRefusal, HeldByAnotherProgram)
{
    TestDirectory dir;
    const std::string file = dir / "Best.dat";
    WriteBytes(file, {0x17, 0, 0, 0});
    struct Case {
        const char* what;
        std::function<bool(int)> hold;
    };
    const Case cases[] = {
        {"flock exclusive", [](int fd) { return flock(fd, LOCK_EX) == 0; }},
        {"record write lock",
         [](int fd) {
             struct flock lock{};
             lock.l_type = F_WRLCK;
             lock.l_whence = SEEK_SET;
             return fcntl(fd, F_OFD_SETLK, &lock) == 0;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int other = open(file.c_str(), O_RDWR);
        ASSERT_TRUE(c.hold(other));
        try {
            ReadBestScore(file);
            ADD_FAILURE() << "read while held";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.ErrorCode(), 32);
            EXPECT_EQ(error.Message(), "I/O ｴﾗｰ (32)");
        }
        EXPECT_EQ(ErrorCodeOf([&] { StoreBestScore(file, 5); }), 32);
        close(other);
        EXPECT_EQ(ReadBestScore(file), 23);
        EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
    }
    // A shared lock is sharing, and is no obstacle.
    int reader = open(file.c_str(), O_RDONLY);
    flock(reader, LOCK_SH);
    EXPECT_EQ(ErrorCodeOf([&] { StoreBestScore(file, 6); }), 0);
    close(reader);
}

// A running program's own file is held without write sharing, as on Windows.
TEST(BestScoreRefusal, FileOfARunningProgram)
{
    TestDirectory dir;
    const std::string file = dir / "Best.dat";
    fs::copy_file("/bin/sleep", file);
    pid_t pid = fork();
    if (pid == 0) {
        execl(file.c_str(), "Best.dat", "60", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    for (int i = 0; i < 10000; ++i) {
        std::error_code ignored;
        if (fs::read_symlink(exe, ignored) == fs::path(file))
            break;
        usleep(1000);
    }
    EXPECT_EQ(ErrorCodeOf([&] { ReadBestScore(file); }), 32);
    EXPECT_EQ(ErrorCodeOf([&] { StoreBestScore(file, 5); }), 32);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

// Temporary files of stores that never ended: never read as the score, never in the way.
TEST(BestScoreLeftovers, NextStartCopes)
{
    TestDirectory dir;
    const std::string file = dir / "Best.dat";
    const std::string deadOwner = dir / ".Best.dat.999999999-1.tmp";  // beyond any process id
    const std::string liveOwner = dir / (".Best.dat." + std::to_string(getppid()) + "-1.tmp");
    const std::string oldLiveOwner = dir / (".Best.dat." + std::to_string(getppid()) + "-2.tmp");
    for (const std::string& temp : {deadOwner, liveOwner, oldLiveOwner})
        WriteBytes(temp, {0xFF, 0xFF, 0xFF, 0x7F});
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(oldLiveOwner, longAgo);

    EXPECT_EQ(ErrorCodeOf([&] { ReadBestScore(file); }), 2) << "a temporary file is never the score";
    EXPECT_FALSE(fs::exists(deadOwner));
    EXPECT_FALSE(fs::exists(oldLiveOwner));
    EXPECT_TRUE(fs::exists(liveOwner)) << "another program may be storing right now";

    StoreBestScore(file, 4);
    EXPECT_EQ(ReadBestScore(file), 4);
    EXPECT_EQ(LeftoverTemporaries(dir.Path()), std::vector<std::string>{fs::path(liveOwner).filename()});
}

TEST(BestScoreMounts, FullDiskKeepsTheOldScore)
{
    if (!IsRoot())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    TestDirectory dir;
    if (!dir.Mount("small", "tmpfs", "size=64k,mode=0755", "tmpfs"))
        GTEST_SKIP() << "this machine does not let root mount";
    const std::string file = dir / "small/Best.dat";
    StoreBestScore(file, 23);
    // Fill every block that is left.
    Shell("dd if=/dev/zero of=" + ShellQuote(dir / "small/filler") + " bs=4k 2>/dev/null");

    try {
        StoreBestScore(file, 24);
        ADD_FAILURE() << "a full disk stored";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.ErrorCode(), 101);
        EXPECT_EQ(error.Message(), "ﾃﾞｨｽｸがいっぱいです");
    }
    EXPECT_EQ(ReadBytes(file), LittleEndian(23));
    EXPECT_TRUE(LeftoverTemporaries(dir / "small").empty());
    EXPECT_EQ(ReadBestScore(file), 23);

    fs::remove(dir / "small/filler");
    StoreBestScore(file, 24);
    EXPECT_EQ(ReadBestScore(file), 24);
}

// A file that is a mount point of its own cannot be renamed over; it is written in place.
TEST(BestScoreMounts, FileMountedOverTheName)
{
    if (!IsRoot())
        GTEST_SKIP() << "bind mounts need root";
    TestDirectory dir;
    WriteBytes(dir / "elsewhere.dat", {1, 0, 0, 0, 0xAA, 0xBB});
    WriteBytes(dir / "Best.dat", {});
    if (!dir.BindMount(dir / "elsewhere.dat", "Best.dat", false))
        GTEST_SKIP() << "this machine does not let root mount";
    StoreBestScore(dir / "Best.dat", 23);
    EXPECT_EQ(ReadBytes(dir / "elsewhere.dat"), LittleEndian(23));
    EXPECT_TRUE(LeftoverTemporaries(dir.Path()).empty());
}

}  // namespace
