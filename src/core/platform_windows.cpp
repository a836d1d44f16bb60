// platform_windows.cpp - the seam on 64-bit Windows. Files are Win32 handles
// wrapped in C run-time descriptors (binary mode), so that the callers keep
// one descriptor type; positional reads use ReadFile with an offset.

#include "core/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace
{

std::wstring wide(const char *text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 1), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
    out.resize(std::wcslen(out.c_str()));
    return out;
}

// Sets errno to the meaning of the system's last error.
void setErrnoFromSystem()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: errno = EACCES; break;
    case ERROR_WRITE_PROTECT: errno = EROFS; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: errno = fileInUseError; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DIR_NOT_EMPTY: errno = ENOTEMPTY; break;
    case ERROR_FILENAME_EXCED_RANGE: errno = ENAMETOOLONG; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: errno = ENOMEM; break;
    default: errno = EIO; break;
    }
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A descriptor owning `h`, or -1 (the handle closed) when none can be had.
int descriptorFor(HANDLE h, int flags)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
    }
    return fd;
}

// Windows answers "access denied" when the file to replace is a folder, is
// read-only, or is held open by another program (a virus scanner, an editor)
// that shares no deletion: tell these apart for the player.
int whyNotReplaced(const std::wstring &target)
{
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EACCES;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EISDIR;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return EACCES;
    const HANDLE h =
        CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return EACCES;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? fileInUseError : EACCES;
}

// The waitable timer that ends a sleep to the tenth of a microsecond, where
// the system has one (Windows 10 1803 on); null elsewhere, where Sleep with a
// 1 ms system timer period does.
HANDLE fineTimer = nullptr;
bool periodAsked = false;

void givePeriodBack()
{
    if (periodAsked)
        timeEndPeriod(1);
    periodAsked = false;
}

} // namespace

// 100 ns steps since 1601 to nanoseconds since 1970.
int64_t nanosecondsSince1970(const FILETIME &t)
{
    const uint64_t steps = uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    return (int64_t(steps) - 116'444'736'000'000'000LL) * 100;
}

int stampAt(const char *path, FileStamp &stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data)) {
        setErrnoFromSystem();
        return -1;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        stamp.kind = FileKind::folder;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
        stamp.kind = FileKind::device;
    else
        stamp.kind = FileKind::regular; // a pipe or device still shows when opened
    stamp.size = int64_t(uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    stamp.changed = nanosecondsSince1970(data.ftLastWriteTime);
    return 0;
}

int openForReading(const char *path)
{
    // Backup semantics: a folder opens too, to be refused as one.
    const HANDLE h =
        CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        setErrnoFromSystem();
        return -1;
    }
    return descriptorFor(h, _O_RDONLY);
}

int stampOfOpen(int fd, FileStamp &stamp)
{
    const HANDLE h = handleOf(fd);
    stamp = FileStamp{};
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK: break;
    case FILE_TYPE_PIPE: stamp.kind = FileKind::fifo; return 0;
    case FILE_TYPE_CHAR: stamp.kind = FileKind::device; return 0;
    default: return 0;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) {
        setErrnoFromSystem();
        return -1;
    }
    stamp.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::folder : FileKind::regular;
    stamp.size = int64_t(uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    stamp.changed = nanosecondsSince1970(info.ftLastWriteTime);
    return 0;
}

long readAt(int fd, int64_t offset, void *bytes, size_t count)
{
    const HANDLE h = handleOf(fd);
    size_t done = 0;
    while (done < count) {
        OVERLAPPED at = {};
        const uint64_t position = uint64_t(offset) + done;
        at.Offset = DWORD(position);
        at.OffsetHigh = DWORD(position >> 32);
        const DWORD want = DWORD(count - done > 0x40000000 ? 0x40000000 : count - done);
        DWORD got = 0;
        if (!ReadFile(h, static_cast<char *>(bytes) + done, want, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            setErrnoFromSystem();
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return long(done);
}

int closeFile(int fd)
{
    if (_close(fd) != 0) {
        errno = EIO;
        return -1;
    }
    return 0;
}

int writeTargetOf(const char *path, char *target, size_t targetSize)
{
    // The seam has no portable way to follow a Windows link (a reparse point)
    // to a name a temporary file can stand beside: the name itself is written.
    if (std::snprintf(target, targetSize, "%s", path) >= int(targetSize)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return 0;
}

int createTempFile(const char *prefix, char *name, size_t nameSize)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t state = uint64_t(now.QuadPart) ^ (uint64_t(GetCurrentProcessId()) << 32) ^ 0x9E3779B97F4A7C15ull;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[7];
        for (int i = 0; i < 6; ++i) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17; // xorshift
            suffix[i] = letters[state % (sizeof letters - 1)];
        }
        suffix[6] = 0;
        if (std::snprintf(name, nameSize, "%s%s", prefix, suffix) >= int(nameSize)) {
            errno = ENAMETOOLONG;
            return -1;
        }
        // CREATE_NEW fails on any existing name, a link included; no sharing
        // while it is written.
        const HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return descriptorFor(h, _O_WRONLY);
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            setErrnoFromSystem();
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

ssize_t writeFile(int fd, const void *data, size_t size)
{
    DWORD done = 0;
    if (!WriteFile(handleOf(fd), data, DWORD(size > 0x40000000 ? 0x40000000 : size), &done, nullptr)) {
        setErrnoFromSystem();
        return -1;
    }
    return ssize_t(done);
}

int flushFile(int fd)
{
    if (!FlushFileBuffers(handleOf(fd))) {
        setErrnoFromSystem();
        return -1;
    }
    return 0;
}

int replaceFile(const char *from, const char *to)
{
    const std::wstring target = wide(to);
    // One step that replaces an existing file; write-through: the move is on
    // the disk when it returns.
    if (MoveFileExW(wide(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    setErrnoFromSystem();
    if (errno == EACCES)
        errno = whyNotReplaced(target);
    return -1;
}

int removeFile(const char *path)
{
    if (DeleteFileW(wide(path).c_str()))
        return 0;
    setErrnoFromSystem();
    return -1;
}

int removeOldFiles(bool (*ours)(const char *name), long long now, int olderThan)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(L"*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int removed = 0;
    do {
        char name[MAX_PATH * 3];
        if (!WideCharToMultiByte(CP_UTF8, 0, found.cFileName, -1, name, sizeof name, nullptr, nullptr) ||
            !ours(name))
            continue;
        const DWORD notPlain =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
        if (found.dwFileAttributes & notPlain)
            continue;
        // 100 ns steps since 1601 to seconds since 1970.
        const uint64_t steps =
            uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32 | found.ftLastWriteTime.dwLowDateTime;
        const long long changed = (long long)(steps / 10'000'000) - 11'644'473'600LL;
        if (now - changed > olderThan && DeleteFileW(found.cFileName))
            ++removed;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

bool isReadOnlyFile(const char *path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

const char *errorText(int error)
{
    if (error == fileInUseError)
        return "another program is using the file";
    return std::strerror(error);
}

int64_t monotonicNanoseconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t perSecond = frequency.QuadPart;
    return now.QuadPart / perSecond * 1'000'000'000 + now.QuadPart % perSecond * 1'000'000'000 / perSecond;
}

void sleepUntil(int64_t deadline)
{
    for (;;) {
        const int64_t remaining = deadline - monotonicNanoseconds();
        if (remaining <= 0)
            return;
        if (fineTimer) {
            LARGE_INTEGER due;
            due.QuadPart = -(remaining + 99) / 100; // relative, in 100 ns units
            if (SetWaitableTimer(fineTimer, &due, 0, nullptr, nullptr, FALSE)) {
                WaitForSingleObject(fineTimer, INFINITE);
                continue;
            }
        }
        // Sleep counts whole milliseconds of the system timer, 1 ms since
        // prepareProcess asked for it (15.6 ms otherwise).
        Sleep(DWORD((remaining + 999'999) / 1'000'000));
    }
}

void prepareProcess()
{
    // A window program has no standard streams unless its starter gave it
    // some: each missing one is opened on NUL, lowest number first, as on
    // POSIX. (Windows has no SIGPIPE: a write to a dead pipe just fails.)
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) >= 0)
            continue;
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
    // Started by a double click, from a shortcut or a console: the game's
    // folder holds its data and receives its save.
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, DWORD(sizeof path / sizeof path[0]));
    if (length > 0 && length < sizeof path / sizeof path[0]) {
        if (wchar_t *slash = std::wcsrchr(path, L'\\')) {
            *slash = 0;
            SetCurrentDirectoryW(path);
        }
    }
    fineTimer =
        CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!fineTimer && timeBeginPeriod(1) == TIMERR_NOERROR) {
        periodAsked = true;
        std::atexit(givePeriodBack); // runs on return from main and on every exit()
    }
}

int startProbe(void (*)())
{
    return -1; // no fork: the caller does the work itself, unbounded
}

ProbeEnd awaitProbe(int, int64_t)
{
    return ProbeEnd::finished;
}
