// pacing.cpp - fixed-rate tick pacing on the monotonic clock.

#include "game/pacing.h"

#include "core/message_box.h"
#include "core/platform.h"

#include <cstdio>
#include <cstdlib>

void waitForNextTick(Pacer &pacer)
{
    const int64_t now = monotonicNanoseconds();
    if (pacer.deadline == 0 || now - pacer.deadline > maxTicksBehind * tickNanoseconds ||
        pacer.messagesAnswered != messagesAnswered) {
        pacer.deadline = now; // first tick, far behind, or a message answered: a new schedule
        pacer.messagesAnswered = messagesAnswered;
    }
    pacer.deadline += tickNanoseconds;
    sleepUntil(pacer.deadline);
}

namespace
{

constexpr int tickLogCapacity = 360'000; // one hour of ticks
struct TickEntry {
    int64_t nanoseconds;
    bool inPlay;
};
TickEntry tickLog[tickLogCapacity]; // untouched unless enabled
int tickLogLength = 0;
const char *tickLogPath = nullptr;

void writeTickLog()
{
    FILE *out = std::fopen(tickLogPath, "w");
    if (!out)
        return;
    for (int i = 0; i < tickLogLength; ++i)
        std::fprintf(out, "%lld %s\n", (long long)tickLog[i].nanoseconds,
                     tickLog[i].inPlay ? "play" : "title");
    std::fclose(out);
}

} // namespace

void enableTickLogFromEnvironment()
{
    tickLogPath = std::getenv("JEWELWARD_TICK_LOG");
    if (tickLogPath && *tickLogPath)
        std::atexit(writeTickLog);
    else
        tickLogPath = nullptr;
}

void recordTick(bool inPlay)
{
    if (tickLogPath && tickLogLength < tickLogCapacity)
        tickLog[tickLogLength++] = TickEntry{monotonicNanoseconds(), inPlay};
}
