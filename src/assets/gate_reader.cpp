// gate_reader.cpp - the library's stream over a checked data file: the kept
// header bytes over the file's, exactly the checked length, and no system
// call once the file has ended or failed.

#include "assets/gate_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool CheckedBytes::keep(int64_t at, const void *from, int length)
{
    if (length <= 0)
        return true;
    if (spanCount == maxSpans || length > maxBytes - used)
        return false;
    spans[spanCount++] = Span{at, length, used};
    std::memcpy(bytes + used, from, size_t(length));
    used += length;
    return true;
}

void CheckedBytes::overlay(int64_t at, unsigned char *to, size_t count) const
{
    const int64_t stop = at + int64_t(count);
    for (int i = 0; i < spanCount; ++i) {
        const Span &s = spans[i];
        const int64_t from = std::max(at, s.at), until = std::min(stop, s.at + s.length);
        if (from < until)
            std::memcpy(to + (from - at), bytes + s.start + (from - s.at), size_t(until - from));
    }
}

namespace
{

// Fills `count` bytes of the stream at the reader's place into `to`: from the
// file while it gives them, then zeros; the kept bytes over both. Returns
// how many bytes the stream had left there (fewer only at its end).
long fill(GateReader &r, unsigned char *to, long count)
{
    const long want = long(std::min(int64_t(count), std::max(int64_t(0), r.size - r.offset)));
    if (want == 0)
        return 0;
    long got = 0;
    if (!r.fileDone) {
        got = r.readAt(r.fd, r.offset, to, size_t(want));
        if (got < 0) {
            r.failed = true;
            r.error = errno;
            got = 0;
        }
        if (got < want) {
            r.fileDone = true;
            if (!r.failed)
                r.shortAt = r.offset + got;
        }
    }
    std::memset(to + got, 0, size_t(want - got));
    r.checked->overlay(r.offset, to, size_t(want));
    r.offset += want;
    return want;
}

bool refill(GateReader &r)
{
    r.at = 0;
    r.end = int(fill(r, r.buffer, long(sizeof r.buffer)));
    return r.end > 0;
}

GateReader &readerOf(void *userdata)
{
    return *static_cast<GateReader *>(userdata);
}

int readerClose(void *)
{
    return 0; // the descriptor is the gate's to close
}

int readerGetc(void *userdata)
{
    GateReader &r = readerOf(userdata);
    if (r.pushedBack >= 0) {
        const int c = r.pushedBack;
        r.pushedBack = -1;
        return c;
    }
    if (r.at == r.end && !refill(r))
        return EOF;
    return r.buffer[r.at++];
}

int readerUngetc(int c, void *userdata)
{
    readerOf(userdata).pushedBack = c & 0xFF;
    return c;
}

long readerRead(void *p, long n, void *userdata)
{
    GateReader &r = readerOf(userdata);
    unsigned char *to = static_cast<unsigned char *>(p);
    long done = 0;
    if (n > 0 && r.pushedBack >= 0) {
        to[done++] = (unsigned char)r.pushedBack;
        r.pushedBack = -1;
    }
    while (done < n) {
        if (r.at < r.end) {
            const long take = std::min(long(r.end - r.at), n - done);
            std::memcpy(to + done, r.buffer + r.at, size_t(take));
            r.at += int(take);
            done += take;
        } else if (n - done >= long(sizeof r.buffer)) { // a long read skips the buffer
            const long want = n - done;
            const long got = fill(r, to + done, want);
            done += got;
            if (got < want)
                break;
        } else if (!refill(r)) {
            break;
        }
    }
    return done;
}

int readerPutc(int, void *)
{
    return EOF; // read only
}

long readerWrite(const void *, long, void *)
{
    return 0;
}

// The library's seek: forward only, from the current place.
int readerSeek(void *userdata, int offset)
{
    GateReader &r = readerOf(userdata);
    if (offset < 0)
        return -1;
    int64_t left = offset;
    if (left > 0 && r.pushedBack >= 0) {
        r.pushedBack = -1;
        --left;
    }
    const int64_t inBuffer = std::min(int64_t(r.end - r.at), left);
    r.at += int(inBuffer);
    r.offset += left - inBuffer;
    return 0;
}

// At the end when no byte is left, as the library's own files tell it.
int readerEof(void *userdata)
{
    const GateReader &r = readerOf(userdata);
    return r.pushedBack < 0 && r.at == r.end && r.offset >= r.size;
}

int readerError(void *userdata)
{
    return readerOf(userdata).failed;
}

const PACKFILE_VTABLE readerTable = {readerClose, readerGetc, readerUngetc, readerRead, readerPutc,
                                     readerWrite, readerSeek, readerEof,    readerError};

} // namespace

PACKFILE *openGateStream(GateReader &reader)
{
    return pack_fopen_vtable(&readerTable, &reader);
}
