// pacing.h - holds the title and the main loop at 100 ticks per second by
// sleeping until each tick's deadline on the monotonic clock. A loop that falls
// more than a few ticks behind (a suspended window) starts a new schedule
// instead of racing to catch up, and so does a loop that waited for the
// player to answer a message.
#pragma once

#include <cstdint>

#include "core/platform.h" // monotonicNanoseconds

constexpr int64_t tickNanoseconds = 10'000'000; // 100 ticks per second
constexpr int64_t maxTicksBehind = 5;

struct Pacer {
    int64_t deadline = 0;         // monotonic nanoseconds of the next tick's end; 0 = not started
    int32_t messagesAnswered = 0; // messages answered when the schedule was last made
};

// Sleeps until the end of the current tick.
void waitForNextTick(Pacer &pacer);
