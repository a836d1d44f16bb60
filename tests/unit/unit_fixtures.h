// unit_fixtures.h - small helpers shared by the unit tests: owned bitmaps,
// solid-colour frames, pixel reads, a swap of a program-wide pointer, a
// temporary working folder with links to the data files, and the fixtures that
// put the world back to its start before and after every test.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "actors/roster.h"
#include "headless.h"
#include "persist/save_file.h"
#include "sprites/character.h"
#include "state/shell_state.h"

// 32-bit colours as memory bitmaps hold them.
inline int colour(int r, int g, int b)
{
    return makecol32(r, g, b);
}
constexpr int maskColour = 0xFF00FF;

// A memory bitmap filled with one colour; the caller owns it.
BITMAP *solidBitmap(int w, int h, int fill);

// Bitmaps destroyed when the owner goes out of scope.
class BitmapPool
{
  public:
    BitmapPool() = default;
    BitmapPool(const BitmapPool &) = delete;
    BitmapPool &operator=(const BitmapPool &) = delete;
    ~BitmapPool();
    BITMAP *solid(int w, int h, int fill); // made here, destroyed with the pool
    BITMAP *adopt(BITMAP *bitmap);         // destroyed with the pool

  private:
    std::vector<BITMAP *> owned_;
};

// Replaces a program-wide value for one test and puts the old one back.
template <class T> class Swap
{
  public:
    Swap(T &ref, T value) : ref_(ref), old_(ref) { ref_ = value; }
    ~Swap() { ref_ = old_; }
    Swap(const Swap &) = delete;
    Swap &operator=(const Swap &) = delete;

  private:
    T &ref_;
    T old_;
};

// Destroys every distinct non-null frame of a Character and clears the tables.
void releaseFrames(Character &actor);

// Destroys what setUpEnemies and setUpVillagersAndJewels cut or loaded.
void releaseCast();

// Fills one Character's walking and attack tables with solid frames whose
// colours tell facing and frame apart (see walkColour and attackColour).
void giveDistinctFrames(Character &actor, BitmapPool &pool, int w, int h);
int walkColour(int facing, int frame);
int attackColour(int facing, int frame);

// A fresh folder holding links to every data file, entered while it lives.
using TempFolder = LinkedDataFolder;

// Every test starts and ends with the program-wide world at its start values.
class WorldTest : public ::testing::Test
{
  protected:
    WorldTest() { startHeadless(); } // before members that make bitmaps
    void SetUp() override;
    void TearDown() override;
};

// A ShellState as the game has it after the set-up, on memory bitmaps: a
// 3200 x 3200 backdrop standing in for the world picture, the hero cut from
// the real sheets, four distinct (silent) tracks, and the enemies parked out of
// the way (not alive, not dying) so that only what a test puts in play acts.
class PlayTest : public WorldTest
{
  protected:
    void SetUp() override;
    void TearDown() override;
    void parkEnemies();
    void runTick();
    void runTicks(int n)
    {
        for (int i = 0; i < n; ++i)
            runTick();
    }

    // The music calls made since the log was last cleared, in order.
    struct Call {
        bool play;
        SAMPLE *track;
        int volume, loop;
    };
    void expectMusic(std::initializer_list<Call> calls) const;

    ShellState state;
    SaveFiles saves;
    BITMAP *dest = nullptr; // the "screen" every tick is copied to
    BitmapPool pool;
    // The pictures the roster's set-up would load, as small stand-ins.
    Swap<BITMAP *> jewelStandIn{jewelPicture, pool.solid(8, 8, colour(0, 200, 200))};
    Swap<BITMAP *> slashStandIn{slash, pool.solid(8, 8, colour(255, 255, 255))};
};
