// attack.h - the hero's swing and the death of what it strikes.
//
// A swing's effects all land in the tick it starts: every alive lizard and ogre
// whose centre is strictly inside the hit rectangle starts dying, and the boss
// loses life wherever it stands. A dying actor's body stays 24 ticks with the
// slash laid over it, then the hero gets 2 (lizard) or 4 (ogre) experience.
#pragma once

#include <allegro.h>
#include <cstdint>

struct Rect {
    int64_t top, bottom, left, right; // pixels; 64 bits so the reach never wraps
};

constexpr int32_t straightReach = 52; // pixels past the sprite, straight facings
constexpr int32_t diagonalReach = 36; // pixels past two sides, diagonal facings
constexpr int32_t deathTimerLimit = 70;
constexpr int32_t lizardSlashEnd = 18; // slash while 10 < stepCounter < 18
constexpr int32_t bigSlashEnd = 818;   // ogres and the boss: 10 < stepCounter < 818
constexpr int32_t slashStart = 10;
constexpr int32_t deathSequenceEnd = 23; // the sequence ends once stepCounter > 23
constexpr int32_t lizardExperience = 2;
constexpr int32_t ogreExperience = 4;

// True when (px, py) lies strictly inside: left < px < right and top < py < bottom.
bool pointInRect(int64_t px, int64_t py, int64_t top, int64_t bottom, int64_t left, int64_t right);

// The hero's sprite rectangle stretched toward its facing.
Rect hitRect(int32_t facing, int32_t x, int32_t y, int32_t width, int32_t height);

// bossLife - (level * 0.5 + 2), truncated toward zero.
int32_t bossLifeAfterSwing(int32_t life, int32_t level);

void resolveAttack(int32_t facing, int32_t x, int32_t y, int32_t width, int32_t height);
void updateDying(int32_t camX, int32_t camY, BITMAP *dest);
