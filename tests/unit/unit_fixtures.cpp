// unit_fixtures.cpp - the shared helpers of the unit tests.

#include "unit_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

#include "actors/roster.h"
#include "assets/data_check.h"
#include "combat/hero_stats.h"
#include "core/music.h"
#include "game/game_loop.h"
#include "game/hero_control.h"
#include "world/walk_grids.h"

BITMAP *solidBitmap(int w, int h, int fill)
{
    BITMAP *b = create_bitmap(w, h);
    if (!b) {
        std::fprintf(stderr, "out of memory for a %d x %d test bitmap\n", w, h);
        std::abort();
    }
    clear_to_color(b, fill);
    return b;
}

BitmapPool::~BitmapPool()
{
    for (BITMAP *b : owned_)
        destroy_bitmap(b);
}

BITMAP *BitmapPool::solid(int w, int h, int fill)
{
    return adopt(solidBitmap(w, h, fill));
}

BITMAP *BitmapPool::adopt(BITMAP *bitmap)
{
    owned_.push_back(bitmap);
    return bitmap;
}

void releaseFrames(Character &actor)
{
    std::set<BITMAP *> distinct;
    for (auto &row : actor.walkFrames)
        for (BITMAP *&b : row) {
            if (b)
                distinct.insert(b);
            b = nullptr;
        }
    for (auto &row : actor.attackFrames)
        for (BITMAP *&b : row) {
            if (b)
                distinct.insert(b);
            b = nullptr;
        }
    for (BITMAP *b : distinct)
        destroy_bitmap(b);
}

void releaseCast()
{
    // Lizards and ogres hold copies of the shared tables: free the tables once.
    std::set<BITMAP *> distinct;
    for (int f = 0; f < facingCount; ++f)
        for (int k = 0; k < walkFrameCount; ++k) {
            if (lizardFrames[f][k])
                distinct.insert(lizardFrames[f][k]);
            if (ogreFrames[f][k])
                distinct.insert(ogreFrames[f][k]);
            lizardFrames[f][k] = nullptr;
            ogreFrames[f][k] = nullptr;
        }
    for (Character &c : lizards)
        for (auto &row : c.walkFrames)
            for (BITMAP *&b : row)
                b = nullptr;
    for (Character &c : ogres)
        for (auto &row : c.walkFrames)
            for (BITMAP *&b : row)
                b = nullptr;
    for (BITMAP *b : distinct)
        destroy_bitmap(b);
    releaseFrames(boss);
    for (Character &v : villagers)
        releaseFrames(v);
    for (Character &j : jewels)
        for (auto &row : j.walkFrames)
            for (BITMAP *&b : row)
                b = nullptr;
    if (jewelPicture)
        destroy_bitmap(jewelPicture);
    jewelPicture = nullptr;
    if (slash)
        destroy_bitmap(slash);
    slash = nullptr;
}

int walkColour(int facing, int frame)
{
    return colour(20 + 20 * facing, 10 + 20 * frame, 40);
}

int attackColour(int facing, int frame)
{
    return colour(20 + 20 * facing, 10 + 15 * frame, 200);
}

void giveDistinctFrames(Character &actor, BitmapPool &pool, int w, int h)
{
    for (int f = 0; f < facingCount; ++f) {
        for (int k = 0; k < walkFrameCount; ++k)
            actor.walkFrames[f][k] = pool.solid(w, h, walkColour(f, k));
        for (int k = 0; k < attackFrameCount; ++k)
            actor.attackFrames[f][k] = pool.solid(w, h, attackColour(f, k));
    }
    actor.width = w;
    actor.height = h;
}

void WorldTest::SetUp()
{
    startHeadless();
    resetWorld();
    clearMusicLog();
    randomSeedFixed = false;
}

void WorldTest::TearDown()
{
    resetWorld();
    clearMusicLog();
}

void PlayTest::SetUp()
{
    WorldTest::SetUp();
    static bool hudReady = false;
    if (!hudReady) { // program-wide pictures, made once as the game does
        setUpHud();
        hudReady = true;
    }
    state.backdrop = solidBitmap(worldPixels, worldPixels, colour(30, 90, 30));
    state.backdropName = "worldMap.bmp";
    state.backBuffer = solidBitmap(screenWidth, screenHeight, 0);
    state.titleTrack = create_sample(8, 0, 11025, 16);
    state.homeTrack = create_sample(8, 0, 11025, 16);
    state.southWestTrack = create_sample(8, 0, 11025, 16);
    state.eastTrack = create_sample(8, 0, 11025, 16);
    state.victoryTrack = create_sample(8, 0, 11025, 16);
    state.titleStage = titleStageEnded;
    setUpHero(state);
    dest = solidBitmap(screenWidth, screenHeight, 0);
    parkEnemies();
    clearMusicLog();
}

void PlayTest::TearDown()
{
    releaseFrames(state.hero);
    if (state.backdrop)
        destroy_bitmap(state.backdrop);
    destroy_bitmap(state.backBuffer);
    destroy_bitmap(dest);
    for (SAMPLE *s :
         {state.titleTrack, state.homeTrack, state.southWestTrack, state.eastTrack, state.victoryTrack})
        destroy_sample(s);
    WorldTest::TearDown();
}

void PlayTest::parkEnemies()
{
    for (Character &c : lizards)
        c.alive = false;
    for (Character &c : ogres)
        c.alive = false;
    boss.alive = false;
}

void PlayTest::runTick()
{
    ::runTick(state, saves, dest);
}

void PlayTest::expectMusic(std::initializer_list<Call> calls) const
{
    ASSERT_EQ(musicLogLength, int(calls.size()));
    int i = 0;
    for (const Call &c : calls) {
        SCOPED_TRACE("music call " + std::to_string(i));
        EXPECT_EQ(musicLog[i].play, c.play);
        EXPECT_EQ(musicLog[i].track, c.track);
        if (c.play) {
            EXPECT_EQ(musicLog[i].volume, c.volume);
            EXPECT_EQ(musicLog[i].loop, c.loop);
        }
        ++i;
    }
}
