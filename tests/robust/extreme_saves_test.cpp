// extreme_saves_test.cpp - each of the fifteen saved values at INT32_MIN,
// INT32_MAX, 0 and -1 in turn, the others at a new game's values, resumed with
// F2 on the title and played for 1,000 ticks of random keys. The sanitizer
// build proves that no read leaves an array and no arithmetic overflows; here
// every case must resume and no tick may hang.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "combat/hero_stats.h"
#include "game/game_loop.h"
#include "persist/save_file.h"
#include "replay_script.h"
#include "robust_support.h"

namespace
{

const int32_t newGameValues[saveValueCount] = {0, 0, 272, 192, 0, 1, 25, 25, 20, 20, 0, 10, 0, 0, 0};
const int32_t extremes[] = {INT32_MIN, INT32_MAX, 0, -1};
constexpr int extremeCount = 4;

struct Case {
    int line; // 0..14
    int32_t value;
};

class ExtremeSaves : public ::testing::TestWithParam<int>
{
  protected:
    LinkedDataFolder folder;
    HeadlessGame &game = headlessGame();
};

std::string caseName(const ::testing::TestParamInfo<int> &info)
{
    static const char *const names[] = {"min", "max", "zero", "minusOne"};
    return "line" + std::to_string(info.param / extremeCount + 1) + "_" + names[info.param % extremeCount];
}

} // namespace

TEST_P(ExtremeSaves, ResumeAndPlay)
{
    const Case c{GetParam() / extremeCount, extremes[GetParam() % extremeCount]};
    int32_t values[saveValueCount];
    std::copy(newGameValues, newGameValues + saveValueCount, values);
    values[c.line] = c.value;
    std::string text;
    for (int32_t v : values)
        text += std::to_string(v) + "\n";
    writeWholeFile(folder.file(saveFileName), text);

    backToTitle(game);
    ShellState &s = game.state;
    applyReplayKeys(replayF2);
    ASSERT_EQ(titleIteration(s, game.saves, game.screen), TitleResult::ended);
    applyReplayKeys(0);
    setUpGame(s);
    EXPECT_EQ(s.cameraX, values[0]);
    EXPECT_EQ(s.cameraY, values[1]);
    EXPECT_EQ(s.hero.x, values[2]);
    EXPECT_EQ(s.hero.y, values[3]);
    EXPECT_EQ(s.musicZone, values[4]);
    EXPECT_EQ(heroStats.level, values[5]);
    EXPECT_EQ(heroStats.life, values[6]);
    EXPECT_EQ(heroStats.nextLevelExp, values[11]);

    RandomPlayer player(uint32_t(GetParam()) + 1, 20); // F1 more often: the limits are saved too
    double slowestMs = 0;
    for (int t = 0; t < 1000; ++t) {
        player.nextTick();
        const auto start = std::chrono::steady_clock::now();
        runTick(s, game.saves, game.screen);
        slowestMs = std::max(
            slowestMs,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    applyReplayKeys(0);
    // A hang detector, not a timing test: a tick is about 0.1 ms (1 ms with
    // sanitizers), and the slowest, an end picture's load, some 200 ms on an
    // idle machine; the bound leaves room for a machine loaded many times over.
    EXPECT_LT(slowestMs, 10000.0) << "a tick hung";
    RecordProperty("slowest_tick_ms", std::to_string(slowestMs));
    // What F1 wrote is a save the game reads back.
    bool saved = false;
    const std::string after = readWholeFile(folder.file(saveFileName), &saved);
    int32_t back[saveValueCount];
    EXPECT_TRUE(saved && parseSaveText(after.data(), after.size(), back)) << after;
}

INSTANTIATE_TEST_SUITE_P(EachLineAtEachLimit, ExtremeSaves, ::testing::Range(0, saveValueCount *extremeCount),
                         caseName);
