// gate_reader.h - the stream the library reads a checked data file through.
//
// The check reads a file's headers once and keeps those bytes; the library
// then reads the same open file through this reader, which hands it the kept
// bytes wherever the check read them, so a writer that changes a header after
// the check cannot show the library anything the check did not accept. The
// stream is exactly as long as the file was when it was checked: a file that
// ends early or cannot be read any more is never asked again, and the rest of
// the stream is answered from memory (zeros), so the load ends at once and
// the gate then tells what happened to the file.
#pragma once

#include <allegro.h>
#include <cstddef>
#include <cstdint>

// The bytes the check read, each at its place in the file.
struct CheckedBytes {
    static constexpr int maxSpans = 80;
    static constexpr int maxBytes = 768;
    struct Span {
        int64_t at; // where in the file
        int length; // bytes
        int start;  // where in `bytes`
    };
    Span spans[maxSpans];
    unsigned char bytes[maxBytes];
    int spanCount = 0, used = 0;

    // Keeps `length` bytes read at `at`; false when there is no room left.
    bool keep(int64_t at, const void *from, int length);
    // Puts the kept bytes over `count` bytes of the stream that start at `at`.
    void overlay(int64_t at, unsigned char *to, size_t count) const;
};

// Reads up to `count` bytes at `offset` of an open file; returns how many were
// read (fewer only at the end of the file), or -1 with errno. readAt of the
// system seam, or a test's stand-in.
using ReadAtFunction = long (*)(int fd, int64_t offset, void *bytes, size_t count);

struct GateReader {
    int fd;
    int64_t size; // bytes, as the file was checked: the stream's length
    const CheckedBytes *checked;
    ReadAtFunction readAt;
    int64_t offset = 0;    // the stream's place of the next fill, bytes
    int at = 0, end = 0;   // the unread bytes are buffer[at, end)
    int pushedBack = -1;   // a byte given back, or -1
    bool fileDone = false; // the file ended or failed: it is never read again
    int64_t shortAt = -1;  // where the file ended before `size`, or -1
    bool failed = false;   // a read failed
    int error = 0;         // errno of the failed read
    unsigned char buffer[32768];

    GateReader(int descriptor, int64_t bytes, const CheckedBytes &kept, ReadAtFunction read)
        : fd(descriptor), size(bytes), checked(&kept), readAt(read)
    {
    }
};

// A library stream over `reader` (close it with pack_fclose; the descriptor
// stays open), or null when the library has no memory for one.
PACKFILE *openGateStream(GateReader &reader);
