// robust_support.cpp - shared pieces of the robustness tests.

#include "robust_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "actors/roster.h"
#include "assets/data_check.h"
#include "combat/hero_stats.h"
#include "core/music.h"
#include "game/game_loop.h"
#include "game/startup.h"
#include "headless.h"
#include "replay_script.h"

uint16_t RandomPlayer::nextTick()
{
    if (left_ == 0) {
        left_ = std::uniform_int_distribution<int>(1, 200)(rng_);
        std::uniform_int_distribution<int> percent(0, 99);
        keys_ = 0;
        if (percent(rng_) < 30)
            keys_ |= replayEnter;
        if (percent(rng_) < 12)
            keys_ |= replayRShift;
        for (uint16_t arrow : {replayRight, replayLeft, replayDown, replayUp})
            if (percent(rng_) < 35)
                keys_ |= arrow;
        if (std::uniform_int_distribution<int>(1, f1Rarity_)(rng_) == 1)
            keys_ |= replayF1;
    }
    --left_;
    applyReplayKeys(keys_);
    return keys_;
}

namespace
{

void destroyTable(BITMAP **table, int count)
{
    for (int i = 0; i < count; ++i) {
        if (table[i])
            destroy_bitmap(table[i]);
        table[i] = nullptr;
    }
}

} // namespace

HeadlessGame &headlessGame()
{
    static HeadlessGame *game = nullptr;
    if (!game) {
        startHeadless();
        game = new HeadlessGame; // lives for the whole process, as main's state does
        bringUpGame(game->state, false);
        game->screen = create_bitmap(screenWidth, screenHeight);
    }
    return *game;
}

void backToTitle(HeadlessGame &game)
{
    ShellState &s = game.state;
    // What setUpGame cut: the enemy and boss sheets, the slash, the hero's sheets.
    destroyTable(&lizardFrames[0][0], facingCount * walkFrameCount);
    destroyTable(&ogreFrames[0][0], facingCount * walkFrameCount);
    destroyTable(&boss.walkFrames[0][0], facingCount * walkFrameCount);
    destroyTable(&boss.attackFrames[0][0], facingCount * attackFrameCount);
    destroyTable(&s.hero.walkFrames[0][0], facingCount * walkFrameCount);
    destroyTable(&s.hero.attackFrames[0][0], facingCount * attackFrameCount);
    if (slash)
        destroy_bitmap(slash);
    slash = nullptr;
    for (Character &c : lizards)
        c = Character{};
    for (Character &c : ogres)
        c = Character{};
    boss = Character{};
    for (Character &c : jewels)
        c.alive = true;
    resetHeroStats();
    s.hero = Character{};
    s.resumedFromSave = false;
    s.titleStage = 0;
    s.musicZone = zoneHome;
    s.cameraX = 0;
    s.cameraY = 0;
    s.enterReleased = true;
    s.f2Released = true;
    replaceBackdrop(s, "Main Menu.bmp");
    clearMusicLog();
    closeRequested = false;
    releaseAllKeys();
}

void startNewGame(HeadlessGame &game)
{
    for (int press = 0; press < 4; ++press) {
        applyReplayKeys(replayEnter);
        const TitleResult result = titleIteration(game.state, game.saves, game.screen);
        applyReplayKeys(0);
        if (result == TitleResult::ended)
            break;
        titleIteration(game.state, game.saves, game.screen); // ENTER goes up
    }
    if (game.state.titleStage != titleStageEnded) {
        std::fprintf(stderr, "the title did not end after four ENTER presses\n");
        std::abort();
    }
    setUpGame(game.state);
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

std::string readWholeFile(const std::string &path, bool *ok)
{
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = bool(in);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void writeWholeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
