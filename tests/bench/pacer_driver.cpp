// pacer_driver.cpp - runs the game's own pacer for a number of ticks, after
// two sleeps that are not ticks: an absolute one on another thread and a
// relative one on the main thread. The pace recorder test preloads the
// recorder into it.
//
//   pacer_driver TICKS

#include <cstdlib>
#include <ctime>
#include <thread>

#include "game/pacing.h"

int main(int argc, char **argv)
{
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 10;
    // The system seam's absolute sleep (clock_nanosleep with TIMER_ABSTIME).
    std::thread other([] { sleepUntil(monotonicNanoseconds() + 2'000'000); });
    other.join();
    const timespec shortWhile{0, 1'000'000};
    clock_nanosleep(CLOCK_MONOTONIC, 0, &shortWhile, nullptr);
    Pacer pacer;
    for (int i = 0; i < ticks; ++i)
        waitForNextTick(pacer);
    return 0;
}
