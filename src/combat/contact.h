// contact.h - what the hero's centre touches each tick, and the two ends of
// the game.
//
// Touching an alive lizard, ogre or the boss costs 1, 2 or 5 life (only while
// life is not negative) and knocks the enemy 60 pixels right, or up when the
// cell to the right is blocked. Walking onto a jewel takes it. Life below 1
// freezes the enemies and shows "gameover.bmp"; three jewels and a beaten boss
// stop the zone music and show "Victory.bmp". Play goes on until ESC.
#pragma once

#include <cstdint>

struct ShellState;

constexpr int32_t lizardContactDamage = 1;
constexpr int32_t ogreContactDamage = 2;
constexpr int32_t bossContactDamage = 5;
constexpr int32_t pushBackPixels = 60;

void applyContact(int64_t px, int64_t py);
void pickUpJewels(int64_t px, int64_t py);
void freezeEnemies();
bool isVictory();

// The reactions repeat in every tick their test holds; an end picture already
// standing as the backdrop is not read from disk again.
void gameOverReaction(ShellState &state);
void victoryReaction(ShellState &state);
