// roster.cpp - the program-wide actors and their set-up.

#include "actors/roster.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "assets/data_check.h"
#include "sprites/sheet.h"
#include "world/walk_grids.h"

Character lizards[lizardCount];
Character ogres[ogreCount];
Character boss;
Character villagers[villagerCount];
Character jewels[jewelCount];

BITMAP *lizardFrames[facingCount][walkFrameCount];
BITMAP *ogreFrames[facingCount][walkFrameCount];
static RLE_SPRITE *lizardRle[facingCount][walkFrameCount]; // the same frames as RLE sprites
static RLE_SPRITE *ogreRle[facingCount][walkFrameCount];
BITMAP *slash;
BITMAP *jewelPicture;

bool randomSeedFixed = false;
unsigned randomSeed = 0;

namespace
{

struct Place {
    int32_t x, y; // pixels
};

const Place villagerPlaces[villagerCount] = {{350, 350}, {740, 650}, {176, 680}, {772, 1308}, {92, 1250}};
const char *const villagerFiles[villagerCount] = {"looking s0000.bmp", "villager1.bmp", "villager2.bmp",
                                                  "villager3.bmp", "villager4.bmp"};
const Place jewelPlaces[jewelCount] = {{1650, 2000}, {1425, 2725}, {2000, 350}};

// Lizards and ogres: shared frames, size of frame [0][0], random place.
void setUpKind(Character *kind, int count, BITMAP *frames[facingCount][walkFrameCount],
               RLE_SPRITE *rle[facingCount][walkFrameCount], int32_t worldHeight, int32_t worldWidth)
{
    makeRleTable(&frames[0][0], facingCount * walkFrameCount, &rle[0][0]);
    for (int i = 0; i < count; ++i) {
        Character &enemy = kind[i];
        for (int f = 0; f < facingCount; ++f)
            for (int k = 0; k < walkFrameCount; ++k)
                enemy.walkFrames[f][k] = frames[f][k], enemy.walkRle[f][k] = rle[f][k];
        enemy.width = enemy.walkFrames[0][0]->w;
        enemy.height = enemy.walkFrames[0][0]->h;
        enemy.ticksPerFrame = enemyTicksPerFrame;
        placeAtRandom(enemy, worldHeight, worldWidth);
    }
}

} // namespace

void setUpVillagersAndJewels()
{
    for (int i = 0; i < villagerCount; ++i) {
        villagers[i].x = villagerPlaces[i].x;
        villagers[i].y = villagerPlaces[i].y;
    }
    for (int i = 0; i < villagerCount; ++i)
        villagers[i].walkFrames[0][0] = loadCheckedPicture(villagerFiles[i]);
    // Villagers and jewels all take the size of villager 0's picture.
    const int32_t w = villagers[0].walkFrames[0][0]->w;
    const int32_t h = villagers[0].walkFrames[0][0]->h;
    for (Character &villager : villagers) {
        villager.frame = 0;
        villager.facing = faceRight;
        villager.width = w;
        villager.height = h;
    }
    jewelPicture = loadCheckedPicture("jewel.bmp");
    for (Character &jewel : jewels) {
        jewel.walkFrames[0][0] = jewelPicture;
        jewel.width = w;
        jewel.height = h;
        jewel.frame = 0;
        jewel.facing = faceRight;
    }
    for (int i = 0; i < jewelCount; ++i) {
        jewels[i].x = jewelPlaces[i].x;
        jewels[i].y = jewelPlaces[i].y;
    }
}

void placeAtRandom(Character &actor, int32_t worldHeight, int32_t worldWidth)
{
    // The whole sprite lies inside the picture, never on its first pixel column
    // or row. The x value is always drawn first. On the real world a few
    // candidates find a free cell; a world with no room or no free cell in
    // range gets the fixed search below instead of an endless draw.
    const int32_t rangeX = worldWidth - actor.width, rangeY = worldHeight - actor.height; // pixels
    if (rangeX >= 1 && rangeY >= 1) {
        for (int tries = 0; tries < placementTries; ++tries) {
            const int32_t candidateX = std::rand() % rangeX + 1;
            const int32_t candidateY = std::rand() % rangeY + 1;
            if (placementFree(candidateX, candidateY)) {
                actor.x = candidateX;
                actor.y = candidateY;
                return;
            }
        }
    }
    // The first free cell in range, row by row; else the top-left corner.
    for (int32_t row = 0; row < gridRows; ++row)
        for (int32_t column = 0; column < gridColumns; ++column) {
            const int32_t x = std::max(column * cellSize, 1), y = std::max(row * cellSize, 1);
            if (x <= rangeX && y <= rangeY && placementFree(x, y)) {
                actor.x = x;
                actor.y = y;
                return;
            }
        }
    actor.x = 1;
    actor.y = 1;
}

void setUpEnemies(int32_t worldHeight, int32_t worldWidth)
{
    std::srand(randomSeedFixed ? randomSeed : unsigned(std::time(nullptr)));
    slash = loadCheckedPicture("slash.bmp");

    cutSheet("Lizard.bmp", 90, 100, walkFrameCount, facingCount * walkFrameCount, &lizardFrames[0][0]);
    setUpKind(lizards, lizardCount, lizardFrames, lizardRle, worldHeight, worldWidth);
    cutSheet("ogre.bmp", 96, 96, walkFrameCount, facingCount * walkFrameCount, &ogreFrames[0][0]);
    setUpKind(ogres, ogreCount, ogreFrames, ogreRle, worldHeight, worldWidth);

    cutSheet("Bad guy.bmp", 96, 96, walkFrameCount, facingCount * walkFrameCount, &boss.walkFrames[0][0]);
    cutSheet("Bad guy attack.bmp", 96, 96, attackFrameCount, facingCount * attackFrameCount,
             &boss.attackFrames[0][0]);
    makeRleTable(&boss.walkFrames[0][0], facingCount * walkFrameCount, &boss.walkRle[0][0]);
    makeRleTable(&boss.attackFrames[0][0], facingCount * attackFrameCount, &boss.attackRle[0][0]);
    boss.ticksPerFrame = bossTicksPerFrame;
    boss.width = boss.walkFrames[0][0]->w;
    boss.height = boss.walkFrames[0][0]->h;
    boss.facing = faceUp;
    boss.x = bossStartX;
    boss.y = bossStartY;
}
