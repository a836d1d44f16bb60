// robust_support.h - what the robustness tests share: a seeded random player
// that holds key combinations for random spans, a whole game brought up on
// memory bitmaps in a folder of links to the data, a way back to the title
// between games, and the resident memory of the process.
#pragma once

#include <allegro.h>

#include <cstdint>
#include <random>
#include <string>

#include "headless.h"
#include "persist/save_file.h"
#include "state/shell_state.h"

// Holds a random combination of ENTER, F1, the arrows and right Shift (never
// ESC) for 1..200 ticks, then draws the next one. The same seed gives the same
// keys. F1 is held in about one span of `f1Rarity` so that saves stay rare.
class RandomPlayer
{
  public:
    explicit RandomPlayer(uint32_t seed, int f1Rarity = 200) : rng_(seed), f1Rarity_(f1Rarity) {}
    // Writes key[] for the next tick; returns the replay key bits held.
    uint16_t nextTick();

  private:
    std::mt19937 rng_;
    int f1Rarity_;
    uint16_t keys_ = 0;
    int left_ = 0;
};

// The game as main has it after start-up (steps 2..11, no sound), on a memory
// "screen". Brought up once per process: start-up loads pictures that live
// for the whole run.
struct HeadlessGame {
    ShellState state;
    SaveFiles saves;
    BITMAP *screen = nullptr;
};
HeadlessGame &headlessGame();

// Back on the title as a new run would be: stage 0, the menu picture, the cast
// and the statistics at their start values, no key held. Releases what an
// earlier setUpGame cut, so that many games in one process cost no memory.
void backToTitle(HeadlessGame &game);

// ENTER presses through the story pages into play, then the game set-up.
void startNewGame(HeadlessGame &game);

// Resident memory of this process in KiB (VmRSS), or -1.
long residentKiB();

std::string readWholeFile(const std::string &path, bool *ok = nullptr);
void writeWholeFile(const std::string &path, const std::string &text);
