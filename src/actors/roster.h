// roster.h - the fixed cast besides the hero: 35 lizards, 35 ogres, the boss,
// five villagers and three jewels, their shared frame tables, and where each
// one is put when the run or a game starts.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "sprites/character.h"

constexpr int lizardCount = 35;
constexpr int ogreCount = 35;
constexpr int villagerCount = 5;
constexpr int jewelCount = 3;

extern Character lizards[lizardCount];
extern Character ogres[ogreCount];
extern Character boss;
extern Character villagers[villagerCount];
extern Character jewels[jewelCount];

extern BITMAP *lizardFrames[facingCount][walkFrameCount]; // shared by all lizards
extern BITMAP *ogreFrames[facingCount][walkFrameCount];   // shared by all ogres
extern BITMAP *slash;                                     // the death effect, stretched over a dying actor
extern BITMAP *jewelPicture;                              // the jewels in the world and the HUD's icons

constexpr int32_t bossStartX = 2580; // pixels
constexpr int32_t bossStartY = 2496;
constexpr int32_t enemyTicksPerFrame = 10;
constexpr int32_t bossTicksPerFrame = 70;

// The random seed of setUpEnemies: the clock unless a replay or a test fixes it.
extern bool randomSeedFixed;
extern unsigned randomSeed;

// Start-up: villagers and jewels at their fixed places, sized like villager 0.
void setUpVillagersAndJewels();

// Game set-up: seeds the random generator, cuts the enemy and boss sheets,
// places every lizard and ogre at a random free enemy cell and the boss at its
// fixed place. Height first.
void setUpEnemies(int32_t worldHeight, int32_t worldWidth);

// Draws random candidates (x, then y) until the cell under the top-left
// corner is free, at most placementTries times; then, or when the world is no
// bigger than the actor, takes the first free cell in range row by row, else
// (1, 1). Never loops forever, whatever the world's size.
// The real world needs 2.3 candidates on average, 29 at most in 40,000 placements.
constexpr int placementTries = 10000;
void placeAtRandom(Character &actor, int32_t worldHeight, int32_t worldWidth);
