// test_probe.cpp - the seam's bounded probe (core/platform.h): a child that
// ends is told apart from one that crashes, and one that never comes back is
// stopped at the deadline and reaped, so that the game's wait for its sound
// has an end whatever the sound system does.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "core/platform.h"

namespace
{

struct ProbeCase {
    const char *what;
    void (*probe)();
    ProbeEnd expected;
};

const ProbeCase probeCases[] = {
    {"returns", [] {}, ProbeEnd::finished},
    {"writes to its closed-off output, then returns",
     [] {
         for (int i = 0; i < 1000; ++i)
             (void)!write(2, "noise noise noise\n", 18);
     },
     ProbeEnd::finished},
    {"crashes", [] { std::abort(); }, ProbeEnd::crashed},
    {"exits with a failure", [] { std::_Exit(3); }, ProbeEnd::crashed},
    {"never comes back",
     [] {
         for (;;)
             pause();
     },
     ProbeEnd::timedOut},
    {"never comes back, deaf to SIGTERM",
     [] {
         std::signal(SIGTERM, SIG_IGN);
         for (;;)
             pause();
     },
     ProbeEnd::timedOut},
};

TEST(Probe, EachEndIsToldAndNoChildOutlivesTheWait)
{
    for (const ProbeCase &c : probeCases) {
        SCOPED_TRACE(c.what);
        const int64_t deadline = monotonicNanoseconds() + 300'000'000; // 0.3 s
        const int handle = startProbe(c.probe);
        ASSERT_GT(handle, 0);
        EXPECT_EQ(awaitProbe(handle, deadline), c.expected);
        if (c.expected == ProbeEnd::timedOut) {
            EXPECT_GE(monotonicNanoseconds(), deadline) << "given up before its deadline";
        }
        // Reaped: not even a zombie is left under that number.
        errno = 0;
        EXPECT_EQ(kill(pid_t(handle), 0), -1);
        EXPECT_EQ(errno, ESRCH);
    }
}

} // namespace
