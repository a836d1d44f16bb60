// test_actors.cpp - the cast and its placement, wandering, and culled drawing.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "actors/draw_actors.h"
#include "actors/roster.h"
#include "actors/wander.h"
#include "unit_fixtures.h"
#include "world/walk_grids.h"

namespace
{

class RosterTest : public WorldTest
{
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        randomSeedFixed = true;
        randomSeed = 12345;
    }
    void TearDown() override
    {
        releaseCast();
        randomSeedFixed = false;
        WorldTest::TearDown();
    }
};

struct Place {
    int32_t x, y;
    bool operator==(const Place &o) const { return x == o.x && y == o.y; }
};

std::vector<Place> enemyPlaces()
{
    std::vector<Place> places;
    for (const Character &c : lizards)
        places.push_back({c.x, c.y});
    for (const Character &c : ogres)
        places.push_back({c.x, c.y});
    return places;
}

} // namespace

TEST_F(RosterTest, EnemiesLandOnFreeEnemyCellsInsideTheWorld)
{
    setUpEnemies(3200, 3200);
    for (const Character *kind : {lizards, ogres}) {
        for (int i = 0; i < 35; ++i) {
            const Character &e = kind[i];
            SCOPED_TRACE((kind == lizards ? "lizard " : "ogre ") + std::to_string(i));
            EXPECT_TRUE(placementFree(e.x, e.y));
            EXPECT_GE(e.x, 1);
            EXPECT_LE(e.x, 3200 - e.width);
            EXPECT_GE(e.y, 1);
            EXPECT_LE(e.y, 3200 - e.height);
            EXPECT_FALSE(e.y / 32 <= 55 && e.x / 32 <= 31) << "in the western block";
            EXPECT_TRUE(e.alive);
            EXPECT_FALSE(e.dying);
            EXPECT_EQ(e.facing, faceRight);
            EXPECT_EQ(e.ticksPerFrame, enemyTicksPerFrame);
        }
    }
}

TEST_F(RosterTest, EnemiesShareTheirKindsFramesAndTakeTheirSize)
{
    setUpEnemies(3200, 3200);
    ASSERT_NE(lizardFrames[3][4], nullptr);
    EXPECT_EQ(lizards[0].walkFrames[3][4], lizardFrames[3][4]);
    EXPECT_EQ(lizards[34].walkFrames[3][4], lizardFrames[3][4]);
    EXPECT_EQ(ogres[17].walkFrames[7][7], ogreFrames[7][7]);
    EXPECT_NE(lizardFrames[0][0], lizardFrames[0][1]);
    EXPECT_NE(lizardFrames[0][0], ogreFrames[0][0]);
    EXPECT_EQ(lizards[5].width, 90);
    EXPECT_EQ(lizards[5].height, 100);
    EXPECT_EQ(ogres[5].width, 96);
    EXPECT_EQ(ogres[5].height, 96);
    EXPECT_EQ(lizards[0].attackFrames[0][0], nullptr);
    ASSERT_NE(slash, nullptr);
}

TEST_F(RosterTest, TheBossStandsAtItsPlaceFacingUp)
{
    setUpEnemies(3200, 3200);
    EXPECT_EQ(boss.x, 2580);
    EXPECT_EQ(boss.y, 2496);
    EXPECT_EQ(boss.facing, faceUp);
    EXPECT_EQ(boss.ticksPerFrame, 70);
    EXPECT_EQ(boss.width, 96);
    EXPECT_EQ(boss.height, 96);
    EXPECT_TRUE(boss.alive);
    ASSERT_NE(boss.walkFrames[7][7], nullptr);
    ASSERT_NE(boss.attackFrames[7][12], nullptr);
    EXPECT_EQ(boss.attackFrames[7][12]->w, 96);
    EXPECT_NE(boss.walkFrames[0][0], ogreFrames[0][0]);
}

TEST_F(RosterTest, VillagersAndJewelsStandAtTheirPlacesWithVillagerZerosSize)
{
    setUpVillagersAndJewels();
    const Place villagerPlaces[] = {{350, 350}, {740, 650}, {176, 680}, {772, 1308}, {92, 1250}};
    const Place jewelPlaces[] = {{1650, 2000}, {1425, 2725}, {2000, 350}};
    ASSERT_NE(villagers[0].walkFrames[0][0], nullptr);
    const int32_t w = villagers[0].walkFrames[0][0]->w, h = villagers[0].walkFrames[0][0]->h;
    for (int i = 0; i < villagerCount; ++i) {
        EXPECT_EQ(villagers[i].x, villagerPlaces[i].x) << i;
        EXPECT_EQ(villagers[i].y, villagerPlaces[i].y) << i;
        EXPECT_EQ(villagers[i].width, w);
        EXPECT_EQ(villagers[i].height, h);
        ASSERT_NE(villagers[i].walkFrames[0][0], nullptr);
    }
    EXPECT_NE(villagers[0].walkFrames[0][0], villagers[1].walkFrames[0][0]);
    for (int i = 0; i < jewelCount; ++i) {
        EXPECT_EQ(jewels[i].x, jewelPlaces[i].x) << i;
        EXPECT_EQ(jewels[i].y, jewelPlaces[i].y) << i;
        EXPECT_EQ(jewels[i].width, w);
        EXPECT_EQ(jewels[i].height, h);
        EXPECT_EQ(jewels[i].walkFrames[0][0], jewelPicture);
        EXPECT_TRUE(jewels[i].alive);
    }
}

TEST_F(RosterTest, TheSeedDecidesThePlaces)
{
    setUpEnemies(3200, 3200);
    const std::vector<Place> first = enemyPlaces();
    releaseCast();
    setUpEnemies(3200, 3200);
    EXPECT_EQ(enemyPlaces(), first);
    releaseCast();
    randomSeed = 54321;
    setUpEnemies(3200, 3200);
    const std::vector<Place> other = enemyPlaces();
    int same = 0;
    for (size_t i = 0; i < first.size(); ++i)
        same += other[i] == first[i];
    EXPECT_LT(same, 3);
    EXPECT_EQ(boss.x, 2580); // the boss does not depend on the seed
}

TEST_F(RosterTest, PlacementRangeFollowsTheWorldSize)
{
    // Each axis in turn at 1000 pixels; the other at 3200 so free cells exist.
    struct Case {
        const char *name;
        int32_t width, height, worldHeight, worldWidth;
        bool xAxis;
        int32_t limit;
    } cases[] = {
        {"lizard x", 90, 100, 3200, 1000, true, 910},
        {"lizard y", 90, 100, 1000, 3200, false, 900},
        {"ogre x", 96, 96, 3200, 1000, true, 904},
        {"ogre y", 96, 96, 1000, 3200, false, 904},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int32_t low = INT32_MAX, high = INT32_MIN;
        for (unsigned seed = 1; seed <= 400; ++seed) {
            std::srand(seed);
            Character a;
            a.width = c.width;
            a.height = c.height;
            placeAtRandom(a, c.worldHeight, c.worldWidth);
            ASSERT_TRUE(placementFree(a.x, a.y));
            const int32_t v = c.xAxis ? a.x : a.y;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        EXPECT_GE(low, 1);
        EXPECT_LE(high, c.limit);
        EXPECT_GT(high, c.limit - 60); // the range really reaches up to the limit
    }
}

TEST_F(RosterTest, PlacementDrawsXThenYUntilTheTopLeftCellIsFree)
{
    for (unsigned seed : {3u, 77u, 1001u}) {
        std::srand(seed);
        int32_t x, y;
        do {
            x = std::rand() % (3200 - 90) + 1;
            y = std::rand() % (1000 - 100) + 1;
        } while (!placementFree(x, y));
        std::srand(seed);
        Character lizard;
        lizard.width = 90;
        lizard.height = 100;
        placeAtRandom(lizard, 1000, 3200);
        EXPECT_EQ(lizard.x, x) << seed;
        EXPECT_EQ(lizard.y, y) << seed;
    }
}

// Worlds the placement range does not fit: no room at all, room only where
// every enemy cell is blocked, room partly off the grid. Each placement ends;
// the actor stands on a free cell in range whenever one exists, else at (1, 1).
TEST_F(RosterTest, PlacementEndsOnAnyWorldSize)
{
    struct Case {
        int32_t worldWidth, worldHeight, width, height;
    } cases[] = {
        {90, 100, 90, 100},   // the world no bigger than a lizard: an empty range
        {90, 100, 96, 96},    // smaller than an ogre: a negative range
        {640, 480, 90, 100},  // the title's size
        {100, 3200, 90, 100}, // ten pixels of room: the first column of cells only
        {1, 1, 1, 1},         // a one-pixel world
        {8192, 8192, 96, 96}, // most candidates off the grid
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.worldWidth) + " x " + std::to_string(c.worldHeight));
        const int32_t rangeX = c.worldWidth - c.width, rangeY = c.worldHeight - c.height;
        // A free enemy cell that some x in [1, rangeX] and y in [1, rangeY] reach.
        bool roomExists = false;
        for (int32_t row = 0; row < gridRows; ++row)
            for (int32_t column = 0; column < gridColumns; ++column)
                roomExists = roomExists || (column * cellSize <= rangeX && (column + 1) * cellSize > 1 &&
                                            row * cellSize <= rangeY && (row + 1) * cellSize > 1 &&
                                            cellFree(enemyGrid, row, column));
        for (unsigned seed : {1u, 99u}) {
            std::srand(seed);
            Character a;
            a.width = c.width;
            a.height = c.height;
            placeAtRandom(a, c.worldHeight, c.worldWidth);
            if (roomExists) {
                EXPECT_TRUE(placementFree(a.x, a.y));
                EXPECT_GE(a.x, 1);
                EXPECT_LE(a.x, rangeX);
                EXPECT_GE(a.y, 1);
                EXPECT_LE(a.y, rangeY);
            } else {
                EXPECT_EQ(a.x, 1);
                EXPECT_EQ(a.y, 1);
            }
        }
    }
    // The whole set-up on the two worlds that once hung and divided by zero.
    setUpEnemies(480, 640);
    releaseCast();
    setUpEnemies(100, 90);
    EXPECT_EQ(lizards[0].x, 1);
    EXPECT_EQ(ogres[34].y, 1);
}

// --- wandering -------------------------------------------------------------

namespace
{

// An actor where all four wandering probes find free cells (the boss's place).
Character openActor()
{
    Character a;
    a.x = 2580;
    a.y = 2496;
    a.width = 96;
    a.height = 96;
    return a;
}

} // namespace

class WanderTest : public WorldTest
{
};

TEST_F(WanderTest, OneTickForOneActor)
{
    struct Case {
        const char *name;
        bool alive;
        int32_t x, y, stepCounter, wanderCounter, direction;
        int32_t expectX, expectY, expectStep, expectWander, expectDirection;
    } cases[] = {
        {"counter 6 steps", true, 2580, 2496, 6, 0, wanderDown, 2580, 2500, 0, 1, wanderDown},
        {"counter 5 waits", true, 2580, 2496, 5, 0, wanderDown, 2580, 2496, 6, 0, wanderDown},
        {"counter 0 waits", true, 2580, 2496, 0, 3, wanderRight, 2580, 2496, 1, 3, wanderRight},
        {"held direction", true, 2580, 2496, 6, 20, wanderRight, 2584, 2496, 0, 21, wanderRight},
        {"left", true, 2580, 2496, 6, 4, wanderLeft, 2576, 2496, 0, 5, wanderLeft},
        {"up", true, 2580, 2496, 6, 4, wanderUp, 2580, 2492, 0, 5, wanderUp},
        {"blocked still counts", true, 272, 192, 6, 3, wanderRight, 272, 192, 0, 4, wanderRight},
        {"unknown direction", true, 2580, 2496, 6, 3, 7, 2580, 2496, 0, 4, 7},
        {"dead only counts", false, 2580, 2496, 3, 3, wanderDown, 2580, 2496, 4, 3, wanderDown},
        {"dead past the throttle", false, 2580, 2496, 6, 3, wanderDown, 2580, 2496, 7, 3, wanderDown},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Character a = openActor();
        a.alive = c.alive;
        a.x = c.x;
        a.y = c.y;
        a.stepCounter = c.stepCounter;
        a.wanderCounter = c.wanderCounter;
        a.wanderDirection = c.direction;
        a.facing = faceUp;
        wanderOne(a, 3200, 3200);
        EXPECT_EQ(a.x, c.expectX);
        EXPECT_EQ(a.y, c.expectY);
        EXPECT_EQ(a.stepCounter, c.expectStep);
        EXPECT_EQ(a.wanderCounter, c.expectWander);
        EXPECT_EQ(a.wanderDirection, c.expectDirection);
        const bool moved = a.x != c.x || a.y != c.y;
        EXPECT_EQ(a.facing != faceUp || a.tick != 0, moved) << "only a step turns and animates";
    }
}

TEST_F(WanderTest, TheTwentySecondStepDrawsANewDirection)
{
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        std::srand(seed);
        const int32_t drawn = std::rand() % 4;
        std::srand(seed);
        Character a = openActor();
        a.stepCounter = 6;
        a.wanderCounter = 21;
        a.wanderDirection = wanderUp;
        wanderOne(a, 3200, 3200);
        EXPECT_EQ(a.wanderDirection, drawn);
        EXPECT_EQ(a.wanderCounter, 0);
        // The drawn direction is already walked in this step.
        const int32_t dx[] = {0, -4, 4, 0}, dy[] = {4, 0, 0, -4};
        EXPECT_EQ(a.x, 2580 + dx[drawn]);
        EXPECT_EQ(a.y, 2496 + dy[drawn]);
    }
}

TEST_F(WanderTest, AFreshActorStepsEverySeventhTickAndFirstDrawsAtTick154)
{
    std::srand(99);
    Character a = openActor();
    int32_t lastY = a.y;
    int firstDraw = 0;
    for (int t = 1; t <= 154 && !firstDraw; ++t) {
        wanderOne(a, 3200, 3200);
        if (t % 7 == 0 && t < 154) {
            EXPECT_EQ(a.wanderDirection, wanderDown) << t;
            EXPECT_EQ(a.wanderCounter, t / 7) << t;
        }
        if (t % 7 != 0) {
            EXPECT_EQ(a.y, lastY) << "no step in tick " << t;
        }
        lastY = a.y;
        if (t > 7 && a.wanderCounter == 0)
            firstDraw = t;
    }
    EXPECT_EQ(firstDraw, 154);
}

TEST_F(WanderTest, ADeadActorNeverMovesAndItsCounterNeverWraps)
{
    Character a = openActor();
    a.alive = false;
    for (int t = 0; t < 3'000'000; ++t)
        wanderOne(a, 3200, 3200);
    EXPECT_EQ(a.x, 2580);
    EXPECT_EQ(a.y, 2496);
    EXPECT_GE(a.stepCounter, 818); // every value from 818 up reads the same
    EXPECT_GT(a.stepCounter, 0);
    a.stepCounter = INT32_MAX;
    wanderOne(a, 3200, 3200);
    EXPECT_EQ(a.stepCounter, INT32_MAX);
}

TEST_F(WanderTest, EnemiesGetTheHeightFirst)
{
    // A step down near the bottom is clamped by the world height: with a
    // 2590-high world a 96-high actor may stand at most at 2494.
    Character &lizard = lizards[0];
    lizard = openActor();
    lizard.stepCounter = 6;
    for (Character &c : lizards)
        c.alive = &c == &lizard;
    for (Character &c : ogres)
        c.alive = false;
    boss.alive = false;
    wanderEnemies(2590, 3200);
    EXPECT_EQ(lizard.y, 2494);
}

TEST_F(WanderTest, EveryEnemyAndTheBossWander)
{
    for (Character &c : lizards)
        c = openActor();
    for (Character &c : ogres)
        c = openActor();
    boss = openActor();
    for (int t = 0; t < 7; ++t)
        wanderEnemies(3200, 3200);
    EXPECT_EQ(lizards[0].y, 2500);
    EXPECT_EQ(lizards[34].y, 2500);
    EXPECT_EQ(ogres[34].y, 2500);
    EXPECT_EQ(boss.y, 2500);
}

// --- drawing and culling ---------------------------------------------------

class DrawActorsTest : public WorldTest
{
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        view = pool.solid(640, 480, background);
        for (Character &c : lizards)
            c.alive = false;
        for (Character &c : ogres)
            c.alive = false;
    }
    // One solid picture as every frame of the actor.
    void dress(Character &c, int w, int h, int fill)
    {
        BITMAP *picture = pool.solid(w, h, fill);
        for (auto &row : c.walkFrames)
            for (BITMAP *&b : row)
                b = picture;
        c.width = w;
        c.height = h;
    }
    BitmapPool pool;
    BITMAP *view = nullptr;
    const int background = colour(0, 0, 50);
};

TEST_F(DrawActorsTest, NearViewEdgesAreInclusive)
{
    Character a;
    a.width = 96;
    a.height = 100;
    struct Case {
        int32_t x, y;
        bool near;
    } cases[] = {
        {904, 700, true},        {903, 700, false},       {1640, 700, true},        {1641, 700, false},
        {1200, 400, true},       {1200, 399, false},      {1200, 980, true},        {1200, 981, false},
        {INT32_MAX, 700, false}, {INT32_MIN, 700, false}, {1200, INT32_MIN, false},
    };
    for (const Case &c : cases) {
        a.x = c.x;
        a.y = c.y;
        EXPECT_EQ(nearView(a, 1000, 500, view), c.near) << c.x << "," << c.y;
    }
    // The view is the size of the bitmap drawn on.
    BITMAP *small = pool.solid(100, 50, 0);
    a.x = 1100;
    a.y = 550;
    EXPECT_TRUE(nearView(a, 1000, 500, small));
    a.x = 1101;
    EXPECT_FALSE(nearView(a, 1000, 500, small));
    // Cameras at the limits do not wrap.
    a.x = 0;
    a.y = 0;
    EXPECT_FALSE(nearView(a, INT32_MAX, 0, view));
    EXPECT_FALSE(nearView(a, INT32_MIN, 0, view));
}

TEST_F(DrawActorsTest, OnlyAliveEnemiesAreDrawnButTheBossAlways)
{
    dress(lizards[0], 10, 10, colour(200, 0, 0));
    lizards[0].alive = true;
    lizards[0].x = 1100;
    lizards[0].y = 600;
    dress(lizards[1], 10, 10, colour(210, 0, 0));
    lizards[1].alive = false;
    lizards[1].dying = true; // dying is drawn by the death sequence, not here
    lizards[1].x = 1200;
    lizards[1].y = 600;
    dress(ogres[0], 10, 10, colour(0, 200, 0));
    ogres[0].alive = true;
    ogres[0].x = 1300;
    ogres[0].y = 600;
    dress(boss, 10, 10, colour(0, 0, 200));
    boss.alive = false;
    boss.x = 1400;
    boss.y = 600;
    drawEnemies(1000, 500, view);
    EXPECT_EQ(getpixel(view, 100, 100), colour(200, 0, 0));
    EXPECT_EQ(getpixel(view, 200, 100), background);
    EXPECT_EQ(getpixel(view, 300, 100), colour(0, 200, 0));
    EXPECT_EQ(getpixel(view, 400, 100), colour(0, 0, 200));
    // A boss far outside the view is still handed to the library, harmlessly.
    boss.x = INT32_MAX;
    clear_to_color(view, background);
    drawEnemies(1000, 500, view);
    EXPECT_EQ(getpixel(view, 400, 100), background);
}

TEST_F(DrawActorsTest, VillagersAlwaysJewelsUntilTaken)
{
    dress(villagers[2], 10, 10, colour(120, 120, 0));
    villagers[2].alive = false;
    villagers[2].x = 50;
    villagers[2].y = 50;
    dress(jewels[0], 10, 10, colour(0, 220, 220));
    jewels[0].x = 100;
    jewels[0].y = 50;
    dress(jewels[1], 10, 10, colour(0, 230, 230));
    jewels[1].x = 150;
    jewels[1].y = 50;
    jewels[1].alive = false;
    drawVillagersAndJewels(0, 0, view);
    EXPECT_EQ(getpixel(view, 55, 55), colour(120, 120, 0));
    EXPECT_EQ(getpixel(view, 105, 55), colour(0, 220, 220));
    EXPECT_EQ(getpixel(view, 155, 55), background);
}

TEST_F(DrawActorsTest, JewelsClipToTheirPictureWhenTheSizeIsLarger)
{
    BITMAP *gem = pool.solid(8, 8, colour(0, 220, 220));
    jewels[0].walkFrames[0][0] = gem;
    jewels[0].width = 64; // villager 0's size
    jewels[0].height = 96;
    jewels[0].x = 10;
    jewels[0].y = 10;
    drawVillagersAndJewels(0, 0, view);
    EXPECT_EQ(getpixel(view, 17, 17), colour(0, 220, 220));
    EXPECT_EQ(getpixel(view, 18, 17), background);
    EXPECT_EQ(getpixel(view, 17, 18), background);
}

TEST_F(DrawActorsTest, LaterDrawsCoverEarlierOnes)
{
    // Everyone on one spot: lizard 0, lizard 1, ogre 0, boss, villager, jewel.
    // Each is one pixel smaller than the one before, so the picture shows a
    // ring of every layer that lies under the next.
    const int fills[] = {colour(10, 0, 0), colour(20, 0, 0),  colour(0, 30, 0),
                         colour(0, 0, 40), colour(50, 50, 0), colour(0, 60, 60)};
    Character *layers[] = {&lizards[0], &lizards[1], &ogres[0], &boss, &villagers[4], &jewels[2]};
    for (int i = 0; i < 6; ++i) {
        Character &c = *layers[i];
        dress(c, 20 - 2 * i, 20 - 2 * i, fills[i]);
        c.alive = true;
        c.x = 300 + i;
        c.y = 200 + i;
    }
    drawEnemies(0, 0, view);
    drawVillagersAndJewels(0, 0, view);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(getpixel(view, 300 + i, 200 + i), fills[i]) << "layer " << i;
}
