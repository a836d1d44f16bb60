// pacing.cpp - fixed-rate tick pacing on CLOCK_MONOTONIC.

#include "game/pacing.h"

#include "core/message_box.h"

#include <cerrno>
#include <ctime>

int64_t monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void waitForNextTick(Pacer &pacer)
{
    const int64_t now = monotonicNanoseconds();
    if (pacer.deadline == 0 || now - pacer.deadline > maxTicksBehind * tickNanoseconds ||
        pacer.messagesAnswered != messagesAnswered) {
        pacer.deadline = now; // first tick, far behind, or a message answered: a new schedule
        pacer.messagesAnswered = messagesAnswered;
    }
    pacer.deadline += tickNanoseconds;
    timespec until;
    until.tv_sec = time_t(pacer.deadline / 1'000'000'000);
    until.tv_nsec = long(pacer.deadline % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
