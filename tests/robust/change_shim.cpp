// change_shim.cpp - for tests only, never part of the game: a library put in
// front of the C library with LD_PRELOAD that changes one data file at a
// moment a test cannot reach from outside, deterministically.
//
//   CHANGE_SHIM_FILE=NAME  the data file watched (its name, any folder)
//   CHANGE_SHIM_SWAP=PATH  right after the first open of NAME (the start-up
//                          check's), PATH is renamed over it: the check reads
//                          the old file, every later open finds the new one
//   CHANGE_SHIM_CUT=1      once more than half of NAME has been read through
//                          one descriptor (a load, never the check's headers),
//                          the file is cut to half its size in place, and
//                          "change_shim: cut at S C" goes to standard error:
//                          the monotonic clock's seconds and the process's
//                          processor seconds at the cut
//
// Only open, pread and close are watched, and only for NAME; everything else
// passes straight through.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace
{

using OpenFn = int (*)(const char *, int, ...);
using PreadFn = ssize_t (*)(int, void *, size_t, off_t);
using CloseFn = int (*)(int);

constexpr int maxWatched = 8;
struct Watched {
    int fd = -1;
    long long bytes = 0; // read through this descriptor
};
Watched watched[maxWatched];
char watchedPath[4096]; // as the game opened it
bool swapped = false, cut = false;

bool isWatched(const char *path)
{
    const char *name = std::getenv("CHANGE_SHIM_FILE");
    if (!name || !path)
        return false;
    const char *base = std::strrchr(path, '/');
    return std::strcmp(base ? base + 1 : path, name) == 0;
}

template <typename Fn> Fn next(const char *symbol)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, symbol));
}

int afterOpen(const char *path, int fd)
{
    if (fd < 0 || !isWatched(path))
        return fd;
    std::snprintf(watchedPath, sizeof watchedPath, "%s", path);
    for (Watched &w : watched)
        if (w.fd < 0) {
            w.fd = fd;
            w.bytes = 0;
            break;
        }
    const char *swap = std::getenv("CHANGE_SHIM_SWAP");
    if (swap && !swapped) {
        swapped = true;
        if (rename(swap, path) != 0)
            std::perror("change_shim: rename");
    }
    return fd;
}

ssize_t afterRead(int fd, ssize_t got)
{
    if (got <= 0 || cut || !std::getenv("CHANGE_SHIM_CUT"))
        return got;
    for (Watched &w : watched)
        if (w.fd == fd) {
            w.bytes += got;
            struct stat info;
            if (fstat(fd, &info) == 0 && w.bytes * 2 > (long long)info.st_size) {
                cut = true;
                if (truncate(watchedPath, info.st_size / 2) != 0)
                    std::perror("change_shim: truncate");
                struct timespec now, used;
                clock_gettime(CLOCK_MONOTONIC, &now);
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
                std::fprintf(stderr, "change_shim: cut at %lld.%09ld %lld.%09ld\n", (long long)now.tv_sec,
                             now.tv_nsec, (long long)used.tv_sec, used.tv_nsec);
            }
        }
    return got;
}

int modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, int) : 0;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = modeOf(flags, args);
    va_end(args);
    return afterOpen(path, next<OpenFn>("open")(path, flags, mode));
}

int open64(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = modeOf(flags, args);
    va_end(args);
    return afterOpen(path, next<OpenFn>("open64")(path, flags, mode));
}

ssize_t pread(int fd, void *buffer, size_t count, off_t offset)
{
    return afterRead(fd, next<PreadFn>("pread")(fd, buffer, count, offset));
}

ssize_t pread64(int fd, void *buffer, size_t count, off_t offset)
{
    return afterRead(fd, next<PreadFn>("pread64")(fd, buffer, count, offset));
}

int close(int fd)
{
    for (Watched &w : watched)
        if (w.fd == fd)
            w.fd = -1;
    return next<CloseFn>("close")(fd);
}
}
