// pace_recorder.cpp - a preload library that measures the pace a program
// really holds, from outside, with the program exactly as shipped. It wraps
// clock_nanosleep, the call a paced loop sleeps in once per tick (until an
// absolute deadline on the monotonic clock), and notes the moment each such
// sleep begins: the end of that tick's work.
//
//   JEWELWARD_PACE_RECORD=ticks.txt LD_PRELOAD=libpace_recorder.so ./jewelward
//
// At exit it writes one line per tick to the file that variable names:
//   <CLOCK_MONOTONIC nanoseconds at the start of the sleep> <deadline nanoseconds>
// Only the main thread's sleeps count (the library's threads sleep in other
// ways, but a stray one must not look like a tick), and a sleep resumed after
// a signal with the same deadline is the same tick. Without the variable the
// wrapper only passes the call on. A recorder for another system (a Windows
// build's sleep under Wine) writes the same lines, so measure_game.py reads
// either.
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

namespace
{

typedef int (*SleepCall)(clockid_t, int, const struct timespec *, struct timespec *);

constexpr int capacity = 360'000; // one hour of ticks at 100 per second
struct Tick {
    int64_t began;    // monotonic ns at the start of the sleep
    int64_t deadline; // monotonic ns the sleep was asked to last until
};
Tick ticks[capacity];
int tickCount = 0;
const char *recordPath = nullptr; // from the environment at load; null = record nothing
SleepCall realSleep = nullptr;
pthread_t mainThread; // the thread the program starts on, which runs its pacer

int64_t nanoseconds(const struct timespec &t)
{
    return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

__attribute__((constructor)) void start()
{
    realSleep = SleepCall(dlsym(RTLD_NEXT, "clock_nanosleep"));
    mainThread = pthread_self();
    const char *path = getenv("JEWELWARD_PACE_RECORD");
    recordPath = path && *path ? path : nullptr;
}

__attribute__((destructor)) void finish()
{
    if (!recordPath)
        return;
    FILE *out = fopen(recordPath, "w");
    if (!out)
        return;
    for (int i = 0; i < tickCount; ++i)
        fprintf(out, "%lld %lld\n", (long long)ticks[i].began, (long long)ticks[i].deadline);
    fclose(out);
}

} // namespace

extern "C" int clock_nanosleep(clockid_t clock, int flags, const struct timespec *until,
                               struct timespec *remaining)
{
    // No system call here beyond the sleep itself: the tick is not to be
    // disturbed by its measurement.
    if (recordPath && clock == CLOCK_MONOTONIC && flags == TIMER_ABSTIME && until &&
        pthread_equal(pthread_self(), mainThread)) {
        const int64_t deadline = nanoseconds(*until);
        if (tickCount < capacity && (tickCount == 0 || ticks[tickCount - 1].deadline != deadline)) {
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            ticks[tickCount++] = Tick{nanoseconds(now), deadline};
        }
    }
    if (!realSleep) // called from another library's constructor, before ours
        realSleep = SleepCall(dlsym(RTLD_NEXT, "clock_nanosleep"));
    return realSleep(clock, flags, until, remaining);
}
