// platform_posix.cpp - the seam on Linux and other POSIX systems.

#include "core/platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::regular;
    if (S_ISDIR(mode))
        return FileKind::folder;
    if (S_ISFIFO(mode))
        return FileKind::fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::device;
    if (S_ISSOCK(mode))
        return FileKind::socket;
    return FileKind::other;
}

FileStamp stampOf(const struct stat &info)
{
    FileStamp stamp;
    stamp.kind = kindOf(info.st_mode);
    stamp.size = int64_t(info.st_size);
    stamp.changed = int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

int stampAt(const char *path, FileStamp &stamp)
{
    struct stat info;
    if (stat(path, &info) != 0) {
        if (errno == ENOTDIR)
            errno = ENOENT;
        return -1;
    }
    stamp = stampOf(info);
    return 0;
}

int openForReading(const char *path)
{
    return open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int stampOfOpen(int fd, FileStamp &stamp)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        return -1;
    stamp = stampOf(info);
    return 0;
}

long readAt(int fd, int64_t offset, void *bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t got =
            pread(fd, static_cast<char *>(bytes) + done, count - done, off_t(offset + int64_t(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += size_t(got);
    }
    return long(done);
}

int closeFile(int fd)
{
    return close(fd);
}

int writeTargetOf(const char *path, char *target, size_t targetSize)
{
    if (std::snprintf(target, targetSize, "%s", path) >= int(targetSize)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    for (int links = 0;; ++links) {
        struct stat info;
        if (lstat(target, &info) != 0 || !S_ISLNK(info.st_mode))
            return 0; // a file, a folder, or nothing yet: it is written here
        if (links == 40) {
            errno = ELOOP;
            return -1;
        }
        char text[4096];
        const ssize_t length = readlink(target, text, sizeof text - 1);
        if (length < 0)
            return -1;
        if (size_t(length) == sizeof text - 1) {
            errno = ENAMETOOLONG;
            return -1;
        }
        text[length] = 0;
        // A relative link is read from the folder it stands in.
        const char *slash = std::strrchr(target, '/');
        const size_t keep = text[0] == '/' || !slash ? 0 : size_t(slash - target) + 1;
        if (keep + size_t(length) >= targetSize) {
            errno = ENAMETOOLONG;
            return -1;
        }
        std::memcpy(target + keep, text, size_t(length) + 1);
    }
}

int createTempFile(const char *prefix, char *name, size_t nameSize)
{
    if (std::snprintf(name, nameSize, "%sXXXXXX", prefix) >= int(nameSize)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // mkostemp creates a fresh name exclusively: a link planted at any name
    // is never followed, and two games in one folder never share a file.
    const int fd = mkostemp(name, O_CLOEXEC);
    if (fd < 0)
        return -1;
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask); // as an ordinary new file would be, not mkstemp's 0600
    return fd;
}

ssize_t writeFile(int fd, const void *data, size_t size)
{
    return write(fd, data, size);
}

int flushFile(int fd)
{
    return fsync(fd);
}

int replaceFile(const char *from, const char *to)
{
    if (rename(from, to) != 0)
        return -1;
    // The folder's entry for the rename reaches the disk too; a failure here
    // no longer risks the save, which is whole under one name or the other.
    char folder[4096] = ".";
    if (const char *slash = std::strrchr(to, '/')) {
        const size_t length = slash == to ? 1 : size_t(slash - to);
        if (length < sizeof folder) {
            std::memcpy(folder, to, length);
            folder[length] = 0;
        }
    }
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return 0;
}

int removeFile(const char *path)
{
    return unlink(path);
}

int removeOldFiles(bool (*ours)(const char *name), long long now, int olderThan)
{
    DIR *folder = opendir(".");
    if (!folder)
        return 0;
    int removed = 0;
    const int folderFd = dirfd(folder);
    while (const dirent *entry = readdir(folder)) {
        if (!ours(entry->d_name))
            continue;
        struct stat info;
        // Only the player's own regular files: never another user's, even
        // when the game runs as one who could remove it.
        if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != geteuid())
            continue;
        if (now - (long long)info.st_mtime > olderThan && unlinkat(folderFd, entry->d_name, 0) == 0)
            ++removed;
    }
    closedir(folder);
    return removed;
}

bool isReadOnlyFile(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR);
}

const char *errorText(int error)
{
    return std::strerror(error);
}

int64_t monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void sleepUntil(int64_t deadline)
{
    timespec until;
    until.tv_sec = time_t(deadline / 1'000'000'000);
    until.tv_nsec = long(deadline % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void prepareProcess()
{
    // In order: while 0 is closed /dev/null lands there, and so on upward, so
    // open() itself hands back the missing number. (The launcher, or ./play,
    // starts the game in its data folder.)
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

int startProbe(void (*probe)())
{
    const pid_t child = fork();
    if (child != 0)
        return child > 0 ? int(child) : -1;
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
    }
    probe();
    _exit(0); // none of the parent's exit handlers or buffers
}

ProbeEnd awaitProbe(int handle, int64_t deadline)
{
    const pid_t child = pid_t(handle);
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ProbeEnd::finished : ProbeEnd::crashed;
        if (ended < 0 && errno != EINTR)
            return ProbeEnd::finished; // gone unawaited (SIGCHLD ignored by whoever started the game)
        const int64_t now = monotonicNanoseconds();
        if (now >= deadline)
            break;
        sleepUntil(std::min(deadline, now + 5'000'000)); // 5 ms
    }
    kill(child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return ProbeEnd::timedOut;
}
