#include "platform/services/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <random>
#include <utility>

namespace {

// Windows' own codes, named as its headers name them.
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kInvalidHandle = 6;
constexpr int kNotEnoughMemory = 8;
constexpr int kNotSameDevice = 17;
constexpr int kNotReady = 21;
constexpr int kSharingViolation = 32;
constexpr int kUnexpectedNetError = 59;
constexpr int kFileExists = 80;
constexpr int kDirNotEmpty = 145;
constexpr int kBusy = 170;
constexpr int kFileTooLarge = 223;
constexpr int kIoDevice = 1117;
// The runtime's own codes for a record that did not fit.
constexpr int kReadPastEnd = 100;
constexpr int kDiskFull = 101;
// Windows keeps bit 29 for codes an application defines itself.
constexpr int kApplicationDefined = 1 << 29;

// A store takes milliseconds; a temporary file this old was left by a store that never ended.
constexpr std::time_t kStaleAfterSeconds = 10 * 60;


struct PathParts {
    std::string dir;
    std::string base;
};

PathParts SplitPath(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// `name` in the directory of `path`, spelt the way `path` is.
std::string SiblingPath(const std::string& path, const std::string& name)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

bool IsDirectory(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing directory on the way is "path not found", as Windows reports it, not a missing file.
[[noreturn]] void RaiseOpenError(int err, const std::string& path)
{
    if (err == ENOENT && !IsDirectory(SplitPath(path).dir))
        throw EInOutError(kPathNotFound);
    RaiseInOutError(err);
}

// Follows symbolic links by hand, so that a dangling link still names the file to create and
// the replacement lands beside the real file rather than over the link.
std::string ResolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st{};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char buffer[PATH_MAX];
        ssize_t length = readlink(current.c_str(), buffer, sizeof buffer);
        if (length < 0)
            RaiseInOutError(errno);
        if (length == static_cast<ssize_t>(sizeof buffer))
            throw EInOutError(kPathNotFound);
        std::string target(buffer, static_cast<std::size_t>(length));
        if (target.front() != '/' && current.find('/') != std::string::npos)
            target = SplitPath(current).dir + "/" + target;
        current = std::move(target);
    }
    throw EInOutError(kPathNotFound);
}

// Another program that asked for the file alone: an exclusive flock, or a write lock on it.
bool HeldExclusively(int fd)
{
    if (flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return true;
    struct flock lock{};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

// Refuses what an open of the record file should not take: something that is not a plain file
// (a directory or a pipe would hang or mislead the reader), or a file another program holds.
void CheckOpened(int fd)
{
    struct stat st{};
    if (fstat(fd, &st) != 0)
        RaiseInOutError(errno);
    if (!S_ISREG(st.st_mode))
        throw EInOutError(kAccessDenied);
    if (HeldExclusively(fd))
        throw EInOutError(kSharingViolation);
    // Non-blocking was only there to turn a lease held by another program into an error.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

int OpenForReadWrite(const std::string& path)
{
    return open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

void CloseOrRaise(int fd)
{
    // Linux releases the descriptor even when close is interrupted.
    if (close(fd) != 0 && errno != EINTR)
        RaiseInOutError(errno);
}

void SyncOrRaise(int fd)
{
    // EINVAL: the file system has nothing to flush this way.
    if (fsync(fd) != 0 && errno != EINVAL)
        RaiseInOutError(errno);
}

void WriteAllAt(int fd, const void* data, std::size_t size, off_t offset)
{
    auto bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseInOutError(errno);
        if (n == 0)
            throw EInOutError(kDiskFull);
        done += static_cast<std::size_t>(n);
    }
}

// Closes the descriptor on every way out; errors are the caller's business only where it asks.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int Get() const { return fd_; }
    void Close()
    {
        int fd = std::exchange(fd_, -1);
        CloseOrRaise(fd);
    }

private:
    int fd_;
};

// The temporary file until it has been renamed over the old one: deleted on any other way out,
// so that a failed store leaves nothing behind.
class Replacement {
public:
    Replacement(int fd, std::string path) : file_(fd), path_(std::move(path)) {}
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    ~Replacement()
    {
        if (!path_.empty())
            unlink(path_.c_str());
    }
    int Get() const { return file_.Get(); }
    const std::string& Path() const { return path_; }
    void Close() { file_.Close(); }
    void Committed() { path_.clear(); }
    void Discard()
    {
        unlink(path_.c_str());
        path_.clear();
    }

private:
    Descriptor file_;
    std::string path_;
};

// The way for a file whose directory takes no new file, or that is a mount point of its own:
// the new bytes over the old ones first, then the length, so that no moment leaves it empty.
void OverwriteInPlace(Descriptor& file, const void* data, std::size_t size)
{
    WriteAllAt(file.Get(), data, size, 0);
    while (ftruncate(file.Get(), static_cast<off_t>(size)) != 0) {
        if (errno != EINTR)
            RaiseInOutError(errno);
    }
    SyncOrRaise(file.Get());
    file.Close();
}

std::string ReplacementName(const std::string& base)
{
    // A random start keeps clear of leftovers of an earlier process that had the same id.
    static std::atomic<unsigned> count{std::random_device{}()};
    return "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(++count) + ".tmp";
}

// The process that made a replacement file, from its name; 0 if the name is not one.
pid_t ReplacementOwner(const std::string& name, const std::string& baseName)
{
    const std::string prefix = "." + baseName + ".";
    const std::string suffix = ".tmp";
    if (baseName.empty() || name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    auto dash = middle.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == middle.size() || dash > 9)
        return 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        if (i != dash && (middle[i] < '0' || middle[i] > '9'))
            return 0;
    }
    return static_cast<pid_t>(std::stol(middle.substr(0, dash)));
}

}  // namespace

int InOutErrorCode(int err)
{
    switch (err) {
    case ENOENT: return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
    case EILSEQ: return kPathNotFound;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kAccessDenied;
    // A running program's file, or one under another program's lease: held without sharing.
    case ETXTBSY:
    case EWOULDBLOCK: return kSharingViolation;
    case ENOSPC:
    case EDQUOT: return kDiskFull;
    case EFBIG: return kFileTooLarge;
    case EIO: return kIoDevice;
    case EBADF: return kInvalidHandle;
    case ENOMEM: return kNotEnoughMemory;
    case EXDEV: return kNotSameDevice;
    case ENXIO:
    case ENODEV: return kNotReady;
    case EEXIST: return kFileExists;
    case ENOTEMPTY: return kDirNotEmpty;
    case EBUSY: return kBusy;
    case ESTALE:
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENOLINK:
    case EREMOTEIO: return kUnexpectedNetError;
    default: return kApplicationDefined | err;
    }
}

void RaiseInOutError(int err) { throw EInOutError(InOutErrorCode(err)); }

TFileHandle TFileHandle::OpenExisting(const std::string& path)
{
    if (path.empty())
        throw EInOutError(kPathNotFound);
    int fd = OpenForReadWrite(path);
    if (fd < 0)
        RaiseOpenError(errno, path);
    TFileHandle file(fd);
    CheckOpened(fd);
    return file;
}

TFileHandle::TFileHandle(TFileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

TFileHandle::~TFileHandle()
{
    if (fd_ >= 0)
        close(fd_);
}

void TFileHandle::ReadRecord(void* record, std::size_t size)
{
    auto bytes = static_cast<char*>(record);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseInOutError(errno);
        if (n == 0)
            throw EInOutError(kReadPastEnd);
        done += static_cast<std::size_t>(n);
    }
}

void TFileHandle::Close()
{
    int fd = std::exchange(fd_, -1);
    if (fd >= 0)
        CloseOrRaise(fd);
}

void ReplaceFileContent(const std::string& path, const void* data, std::size_t size)
{
    if (path.empty())
        throw EInOutError(kPathNotFound);
    const std::string target = ResolveLinks(path);
    const PathParts parts = SplitPath(target);

    // Renaming over the old file would pass by its own permission, so it must first be
    // writable, as an in-place write would need.
    Descriptor old(OpenForReadWrite(target));
    struct stat oldStat{};
    const bool exists = old.Get() >= 0;
    if (!exists && errno != ENOENT)
        RaiseInOutError(errno);
    if (!exists && !IsDirectory(parts.dir))
        throw EInOutError(kPathNotFound);
    if (exists) {
        CheckOpened(old.Get());
        if (fstat(old.Get(), &oldStat) != 0)
            RaiseInOutError(errno);
    }

    // The name carries the process id and a count, and O_EXCL settles any remaining clash, so
    // two programs (or two stores) in one directory never share a temporary file.
    int fd = -1;
    std::string tempPath;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = SiblingPath(target, ReplacementName(parts.base));
        fd = open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        int err = errno;
        if (exists && (err == EACCES || err == EPERM))
            return OverwriteInPlace(old, data, size);
        if (err == ENOENT)
            throw EInOutError(kPathNotFound);
        RaiseInOutError(err);
    }
    Replacement temp(fd, tempPath);

    if (exists) {
        // A score file shared by a group must stay the group's; where the owner cannot be kept,
        // writing in place is the lesser evil.
        struct stat tempStat{};
        if (fstat(temp.Get(), &tempStat) != 0)
            RaiseInOutError(errno);
        if ((tempStat.st_uid != oldStat.st_uid || tempStat.st_gid != oldStat.st_gid) &&
            fchown(temp.Get(), oldStat.st_uid, oldStat.st_gid) != 0) {
            temp.Discard();
            return OverwriteInPlace(old, data, size);
        }
        if (fchmod(temp.Get(), oldStat.st_mode & 07777) != 0)
            RaiseInOutError(errno);
    }
    WriteAllAt(temp.Get(), data, size, 0);
    SyncOrRaise(temp.Get());
    temp.Close();

    if (rename(temp.Path().c_str(), target.c_str()) != 0) {
        int err = errno;
        // A file that is a mount point of its own, or in a sticky directory under another owner.
        if (exists && (err == EBUSY || err == EXDEV || err == EACCES || err == EPERM)) {
            temp.Discard();
            return OverwriteInPlace(old, data, size);
        }
        RaiseInOutError(err);
    }
    temp.Committed();

    // The rename itself must reach the disk, or a power cut could bring back the old name.
    Descriptor dir(open(parts.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        SyncOrRaise(dir.Get());
}

bool IsReplacementName(const std::string& name, const std::string& baseName)
{
    return ReplacementOwner(name, baseName) > 0;
}

void RemoveStaleReplacements(const std::string& path)
{
    if (path.empty())
        return;
    std::string target;
    try {
        target = ResolveLinks(path);
    } catch (const EInOutError&) {
        return;
    }
    const PathParts parts = SplitPath(target);
    DIR* dir = opendir(parts.dir.c_str());
    if (dir == nullptr)
        return;
    const std::time_t now = std::time(nullptr);
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        pid_t owner = ReplacementOwner(name, parts.base);
        if (owner <= 0)
            continue;
        struct stat st{};
        if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        // Our own id on an old file is an earlier process that had the same id.
        bool ownerGone = owner != getpid() && kill(owner, 0) != 0 && errno == ESRCH;
        if (ownerGone || now - st.st_mtime > kStaleAfterSeconds)
            unlinkat(dirfd(dir), name.c_str(), 0);
    }
    closedir(dir);
}
