// pacing.cpp - fixed-rate tick pacing on the monotonic clock.

#include "game/pacing.h"

#include "core/message_box.h"
#include "core/platform.h"

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
