// platform.h - the one seam between the game and its operating system: the
// few file, clock and process calls that differ between Linux (POSIX) and
// Windows. platform_posix.cpp and platform_windows.cpp implement it; the
// build picks one. Every call keeps the same guarantees on both: files are
// read in binary mode and never block, only regular files are read, a save is
// a fresh file created exclusively, flushed, then put in place of the old one
// in one step, and the tick sleep ends at its deadline, not a coarse timer's.
//
// Errors follow errno: a call that fails returns -1 (or a null result) and
// leaves the reason in errno. On Windows the system's error is turned into
// the errno value of the same meaning; a file held open by another program
// (a virus scanner, an editor) becomes fileInUseError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// A file another program holds open so that it cannot be replaced or read.
constexpr int fileInUseError = 100032;

// What a name in a folder is.
enum class FileKind { regular, folder, fifo, device, socket, other };

// What is known of a file without reading it.
struct FileStamp {
    FileKind kind = FileKind::other;
    int64_t size = 0;    // bytes
    int64_t changed = 0; // last modification, nanoseconds since 1970
};

// The stamp of what `path` names (links followed), without opening it; 0, or
// -1 with errno (ENOENT when there is nothing).
int stampAt(const char *path, FileStamp &stamp);

// Opens `path` for reading in binary mode without ever waiting (a FIFO or a
// device is opened, not waited on, so that the caller can refuse it). Returns
// a descriptor, or -1 with errno.
int openForReading(const char *path);

// The stamp of an open file; 0, or -1 with errno.
int stampOfOpen(int fd, FileStamp &stamp);

// Reads up to `count` bytes at byte `offset`; returns how many were read (fewer
// only at the end of the file), or -1 with errno.
long readAt(int fd, int64_t offset, void *bytes, size_t count);

// 0, or -1 with errno (a write the system held back may fail only here).
int closeFile(int fd);

// Where a file written at `path` belongs: `path` itself, or, when `path` is a
// symbolic link, the name at the end of its chain of links (a relative link
// read from the link's own folder), whether or not a file is there yet: a
// dangling link names the file a write makes. The result goes to `target`.
// 0, or -1 with errno (ELOOP for a loop or a chain of more than 40 links,
// ENAMETOOLONG). On Windows `path` itself: a link there is not followed.
int writeTargetOf(const char *path, char *target, size_t targetSize);

// Creates a file of a fresh name "<prefix>XXXXXX" exclusively, never through a
// link, with the permissions an ordinary new file gets, and opens it for
// writing in binary mode. The prefix may start with a folder, where the file
// is made. Its name goes to `name` (room for the prefix and 7 more
// characters). Returns the descriptor, or -1 with errno.
int createTempFile(const char *prefix, char *name, size_t nameSize);

// The write, flush and replace of a save (see persist/save_file.h).
ssize_t writeFile(int fd, const void *data, size_t size);
// All written data reaches the disk (fsync; _commit / FlushFileBuffers).
int flushFile(int fd);
// Puts `from` in the place of `to` (in the same folder) in one step,
// replacing an existing `to`; the folder's new entry reaches the disk too.
int replaceFile(const char *from, const char *to);
int removeFile(const char *path);

// Removes every regular file (never a folder or a link) in the working
// folder whose name `ours` accepts and whose last change lies more than
// `olderThan` seconds before `now` (seconds since the epoch); on POSIX only
// files the player owns (the process's effective user). Returns how many
// were removed.
int removeOldFiles(bool (*ours)(const char *name), long long now, int olderThan);

// Whether `path` is a regular file its owner may not write (a player made it
// read-only); links are followed (on POSIX), as a save writes through them.
bool isReadOnlyFile(const char *path);

// The reasons a file operation fails that the game words for a player.
enum class FileProblem { other, readOnly, diskFull, permission, folderInTheWay, inUse };
FileProblem fileProblemOf(int error);

// The system's text for an error, for the ones FileProblem does not word.
const char *errorText(int error);

// Nanoseconds on a clock that never jumps.
int64_t monotonicNanoseconds();

// Sleeps until the monotonic clock reaches `deadline` (nanoseconds), to
// within about a millisecond.
void sleepUntil(int64_t deadline);

// First thing in main, before anything opens a file: each of the standard
// streams 0, 1 and 2 that is closed is opened on the null device, so that no
// file the game opens can take a standard stream's number, and a message
// that cannot be printed (standard error on a pipe nobody reads) is lost
// instead of ending the game (SIGPIPE ignored). On Windows the working
// folder also becomes the program's own, as a double click gives, and the
// fine timer is asked for (and given back at every exit).
void prepareProcess();

// A check that may never come back (opening the sound device blocks for half
// a minute on a sound server that accepts and never answers), run in a copy
// of this process so that the caller can bound the wait. Call it before the
// process starts any thread (before the library's start). `probe` runs in the
// child with its standard output and error on the null device; its return
// ends the child. Returns the child's handle, or -1 when none is started
// (Windows runs no probe; the caller then does the work unbounded, as there).
int startProbe(void (*probe)());

// finished: `probe` returned; crashed: the child died of a signal or exited
// with a failure; timedOut: it was still running at the deadline.
enum class ProbeEnd { finished, crashed, timedOut };
// Waits for the probe until the monotonic clock reaches `deadline`
// (nanoseconds). A probe still running then is stopped and reaped.
ProbeEnd awaitProbe(int handle, int64_t deadline);
