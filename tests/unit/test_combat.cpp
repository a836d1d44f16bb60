// test_combat.cpp - hero statistics, the HUD, the swing and the death
// sequence, contact damage, jewels and the two ends of the game.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "actors/roster.h"
#include "actors/wander.h"
#include "combat/attack.h"
#include "combat/contact.h"
#include "combat/hero_stats.h"
#include "core/music.h"
#include "game/game_loop.h"
#include "unit_fixtures.h"

namespace
{

class StatsTest : public WorldTest
{
};

} // namespace

TEST_F(StatsTest, Heal)
{
    struct Case {
        int32_t life, maxLife, magic;
        int32_t expectLife, expectMagic;
    } cases[] = {
        {10, 25, 2, 16, 0},   // 6.25 truncated
        {20, 25, 5, 25, 3},   // 26 held at the maximum, still costs 2
        {25, 25, 20, 25, 20}, // full life: nothing
        {10, 25, 1, 10, 1},   // not enough magic: nothing
        {10, 25, 0, 10, 0},
        {30, 25, 4, 25, 2}, // above the maximum (a resumed game): down to it, for 2
        {-3, 25, 2, 3, 0},  // 3.25 truncated
        {-5, 6, 2, -3, 0},  // -3.5 truncated toward zero, not down
        {1, 25, 20, 7, 18},
        {INT32_MAX - 1, INT32_MAX, 2, INT32_MAX, 0},
        {INT32_MIN, INT32_MAX, 2, -1610612736, 0}, // no overflow on the way
    };
    for (const Case &c : cases) {
        heroStats.life = c.life;
        heroStats.maxLife = c.maxLife;
        heroStats.magic = c.magic;
        heal();
        EXPECT_EQ(heroStats.life, c.expectLife) << c.life << "/" << c.maxLife << " magic " << c.magic;
        EXPECT_EQ(heroStats.magic, c.expectMagic) << c.life << "/" << c.maxLife << " magic " << c.magic;
    }
}

TEST_F(StatsTest, FourHealsRefillFromOne)
{
    heroStats.life = 1;
    const int32_t expected[] = {7, 13, 19, 25, 25};
    for (int32_t e : expected) {
        heal();
        EXPECT_EQ(heroStats.life, e);
    }
    EXPECT_EQ(heroStats.magic, 12);
}

TEST_F(StatsTest, LevelThresholdsFromTheStart)
{
    const int32_t thresholds[] = {10, 20, 35, 55, 80};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(heroStats.nextLevelExp, thresholds[i]);
        heroStats.experience = thresholds[i] - 1;
        levelUp();
        EXPECT_EQ(heroStats.level, i + 1) << "one short of the threshold";
        heroStats.life = -4;
        heroStats.magic = 0;
        heroStats.experience = thresholds[i];
        levelUp();
        EXPECT_EQ(heroStats.level, i + 2);
        EXPECT_EQ(heroStats.life, heroStats.maxLife);
        EXPECT_EQ(heroStats.magic, heroStats.maxMagic);
        EXPECT_EQ(heroStats.experience, thresholds[i]); // never lowered
    }
    EXPECT_EQ(heroStats.nextLevelExp, 5 + 5 * 6 * 7 / 2);
}

TEST_F(StatsTest, OneLevelPerCall)
{
    heroStats.experience = 100;
    levelUp();
    EXPECT_EQ(heroStats.level, 2);
    EXPECT_EQ(heroStats.nextLevelExp, 20);
    levelUp();
    levelUp();
    EXPECT_EQ(heroStats.level, 4);
    EXPECT_EQ(heroStats.nextLevelExp, 55);
}

TEST_F(StatsTest, LevelsAtTheLimitsSaturate)
{
    heroStats.level = INT32_MAX;
    heroStats.nextLevelExp = INT32_MAX - 5;
    heroStats.experience = INT32_MAX;
    levelUp();
    EXPECT_EQ(heroStats.level, INT32_MAX);
    EXPECT_EQ(heroStats.nextLevelExp, INT32_MAX);
}

TEST_F(StatsTest, BossDamageGrowsWithTheLevel)
{
    struct Case {
        int32_t life, level, expected;
    } cases[] = {
        {200, 1, 197},
        {200, 2, 197},
        {200, 3, 196},
        {200, 4, 196},
        {200, 5, 195},
        {2, 1, 0},
        {1, 1, -1},
        {-1, 1, -3},
        {0, 2, -3},
        {INT32_MIN, 1, INT32_MIN},
        {INT32_MIN, INT32_MAX, INT32_MIN},
        {INT32_MAX, INT32_MIN, INT32_MAX},
        {INT32_MAX, 1, INT32_MAX - 3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(bossLifeAfterSwing(c.life, c.level), c.expected) << c.life << " at level " << c.level;
}

// --- the HUD ---------------------------------------------------------------

namespace
{

class HudTest : public WorldTest
{
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        view = pool.solid(640, 480, background);
    }
    BitmapPool pool;
    BITMAP *view = nullptr;
    const int background = colour(0, 0, 60);
    const int frameFill = colour(64, 64, 64);
    const int lifeFill = colour(224, 32, 32);
    const int magicFill = colour(32, 64, 224);
    const int jewelFill = colour(64, 224, 255);
    Swap<BITMAP *> frame{barFrame, pool.solid(130, 14, colour(64, 64, 64))};
    Swap<BITMAP *> life{lifePip, pool.solid(6, 10, colour(224, 32, 32))};
    Swap<BITMAP *> magic{magicPip, pool.solid(6, 10, colour(32, 64, 224))};
    Swap<BITMAP *> jewel{jewelPicture, pool.solid(5, 5, colour(64, 224, 255))};
};

} // namespace

TEST_F(HudTest, PipsSitFivePixelsApartInsideTheFrames)
{
    heroStats.life = 3;
    heroStats.magic = 25;
    drawLifeBar(view);
    drawMagicBar(view);
    EXPECT_EQ(getpixel(view, 490, 15), frameFill);
    EXPECT_EQ(getpixel(view, 489, 15), background);
    EXPECT_EQ(getpixel(view, 619, 28), frameFill);
    EXPECT_EQ(getpixel(view, 491, 17), frameFill);
    EXPECT_EQ(getpixel(view, 492, 17), lifeFill); // pip 0
    EXPECT_EQ(getpixel(view, 507, 26), lifeFill); // pip 2 ends at 502 + 5
    EXPECT_EQ(getpixel(view, 508, 17), frameFill);
    EXPECT_EQ(getpixel(view, 492, 16), frameFill);
    EXPECT_EQ(getpixel(view, 492, 27), frameFill);
    EXPECT_EQ(getpixel(view, 490, 31), frameFill);
    EXPECT_EQ(getpixel(view, 492, 33), magicFill);
    EXPECT_EQ(getpixel(view, 617, 42), magicFill); // the 25th pip fills the frame
    EXPECT_EQ(getpixel(view, 618, 33), frameFill);
}

TEST_F(HudTest, NoLifeDrawsOnlyTheFrame)
{
    for (int32_t value : {0, -5, INT32_MIN}) {
        clear_to_color(view, background);
        heroStats.life = value;
        heroStats.magic = value;
        drawLifeBar(view);
        drawMagicBar(view);
        EXPECT_EQ(getpixel(view, 492, 17), frameFill) << value;
        EXPECT_EQ(getpixel(view, 492, 33), frameFill) << value;
    }
}

TEST_F(HudTest, AHugeLifeIsClippedAtTheEdge)
{
    heroStats.life = 2'000'000'000;
    heroStats.magic = INT32_MAX;
    drawLifeBar(view);
    drawMagicBar(view);
    EXPECT_EQ(getpixel(view, 620, 17), lifeFill); // past the frame's end
    EXPECT_EQ(getpixel(view, 639, 26), lifeFill);
    EXPECT_EQ(getpixel(view, 639, 42), magicFill);
    EXPECT_EQ(getpixel(view, 639, 30), background);
}

TEST_F(HudTest, JewelIconsAreScaledTo20AndSpaced25)
{
    for (int32_t count = 0; count <= 3; ++count) {
        SCOPED_TRACE(count);
        clear_to_color(view, background);
        heroStats.jewelCount = count;
        drawJewelIcons(view);
        for (int i = 0; i < 3; ++i) {
            const int x = 490 + 25 * i;
            const int expected = i < count ? jewelFill : background;
            EXPECT_EQ(getpixel(view, x, 45), expected);
            EXPECT_EQ(getpixel(view, x + 19, 64), expected);
            EXPECT_EQ(getpixel(view, x + 20, 55), background);
            EXPECT_EQ(getpixel(view, x + 10, 65), background);
        }
    }
    heroStats.jewelCount = INT32_MAX; // a damaged count is clipped, not looped over
    drawJewelIcons(view);
    EXPECT_EQ(getpixel(view, 615, 45), jewelFill);
}

// The HUD kept as a picture between frames shows exactly what drawing its
// parts shows, through a run of figures where some change and some do not.
TEST_F(HudTest, TheKeptHudShowsWhatItsPartsDraw)
{
    BITMAP *expected = pool.solid(640, 480, background);
    const struct {
        int32_t life, magic, jewels, level, experience, next;
    } runs[] = {
        {25, 20, 0, 1, 0, 10}, {25, 20, 0, 1, 0, 10},         {18, 20, 0, 1, 0, 10},
        {18, 18, 1, 1, 4, 10}, {40, 33, 3, 4, 77, 160},       {40, 33, 3, 4, 77, 160},
        {0, 0, 0, 1, 0, 0},    {INT32_MAX, -3, 9, -1, -7, 5}, {25, 20, 2, 2, 12, 30},
    };
    for (const auto &r : runs) {
        SCOPED_TRACE(::testing::Message()
                     << "life " << r.life << ", magic " << r.magic << ", jewels " << r.jewels);
        heroStats.life = r.life;
        heroStats.magic = r.magic;
        heroStats.jewelCount = r.jewels;
        heroStats.level = r.level;
        heroStats.experience = r.experience;
        heroStats.nextLevelExp = r.next;
        clear_to_color(expected, background);
        drawHudPanel(expected);
        drawLifeBar(expected);
        drawMagicBar(expected);
        drawJewelIcons(expected);
        drawLevelAndExperience(expected);
        clear_to_color(view, background);
        drawHud(view);
        int differing = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 640; ++x)
                if (getpixel(view, x, y) != getpixel(expected, x, y) && differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
        EXPECT_EQ(differing, 0) << "first at (" << firstX << ", " << firstY << ")";
    }
}

TEST_F(HudTest, SetUpCutsTheBarPictures)
{
    Swap<BITMAP *> noFrame(barFrame, nullptr), noLife(lifePip, nullptr), noMagic(magicPip, nullptr);
    setUpHud();
    ASSERT_NE(barFrame, nullptr);
    ASSERT_NE(lifePip, nullptr);
    ASSERT_NE(magicPip, nullptr);
    EXPECT_EQ(barFrame->w, 130);
    EXPECT_EQ(barFrame->h, 14);
    EXPECT_EQ(lifePip->w, 6);
    EXPECT_EQ(lifePip->h, 10);
    EXPECT_EQ(magicPip->w, 6);
    EXPECT_EQ(magicPip->h, 10);
    EXPECT_NE(getpixel(lifePip, 3, 5), getpixel(magicPip, 3, 5));
    EXPECT_NE(getpixel(lifePip, 3, 5), maskColour);
    destroy_bitmap(barFrame);
    destroy_bitmap(lifePip);
    destroy_bitmap(magicPip);
}

// --- the swing -------------------------------------------------------------

TEST(HitRect, EachFacingReachesItsWay)
{
    struct Case {
        int32_t facing;
        Rect expected; // top, bottom, left, right
    } cases[] = {
        {faceRight, {200, 296, 100, 248}},   {faceUp, {148, 296, 100, 196}},
        {faceUpRight, {164, 296, 100, 232}}, {faceUpLeft, {164, 296, 64, 196}},
        {faceDown, {200, 348, 100, 196}},    {faceDownRight, {200, 332, 100, 232}},
        {faceDownLeft, {200, 332, 64, 196}}, {faceLeft, {200, 296, 48, 196}},
        {8, {200, 296, 100, 196}},           {-1, {200, 296, 100, 196}},
    };
    for (const Case &c : cases) {
        const Rect r = hitRect(c.facing, 100, 200, 96, 96);
        EXPECT_EQ(r.top, c.expected.top) << c.facing;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.facing;
        EXPECT_EQ(r.left, c.expected.left) << c.facing;
        EXPECT_EQ(r.right, c.expected.right) << c.facing;
    }
    const Rect far = hitRect(faceDownRight, INT32_MAX, INT32_MAX, 96, 96);
    EXPECT_EQ(far.right, int64_t(INT32_MAX) + 96 + 36);
    EXPECT_EQ(far.bottom, int64_t(INT32_MAX) + 96 + 36);
}

TEST(HitRect, PointInRectIsStrict)
{
    EXPECT_TRUE(pointInRect(5, 5, 0, 10, 0, 10));
    EXPECT_TRUE(pointInRect(1, 9, 0, 10, 0, 10));
    EXPECT_FALSE(pointInRect(0, 5, 0, 10, 0, 10));
    EXPECT_FALSE(pointInRect(10, 5, 0, 10, 0, 10));
    EXPECT_FALSE(pointInRect(5, 0, 0, 10, 0, 10));
    EXPECT_FALSE(pointInRect(5, 10, 0, 10, 0, 10));
    EXPECT_FALSE(pointInRect(5, 5, 0, 10, 5, 5)); // an empty rectangle
}

namespace
{

class AttackTest : public WorldTest
{
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        for (Character &c : lizards)
            c.alive = false;
        for (Character &c : ogres)
            c.alive = false;
    }
    // An enemy of the given size whose centre is (cx, cy).
    static void centreAt(Character &c, int32_t cx, int32_t cy, int32_t w, int32_t h)
    {
        c.alive = true;
        c.dying = false;
        c.width = w;
        c.height = h;
        c.x = cx - w / 2;
        c.y = cy - h / 2;
        c.stepCounter = 5;
        c.tick = 9;
    }
};

} // namespace

TEST_F(AttackTest, ASwingStrikesEveryAliveEnemyInsideAndNoOther)
{
    // Hero at (100, 200), 96 x 96, facing right: inside is 100 < x < 248, 200 < y < 296.
    centreAt(lizards[0], 240, 250, 90, 100);
    centreAt(lizards[7], 101, 201, 90, 100);
    centreAt(ogres[3], 247, 295, 96, 96);
    centreAt(lizards[1], 248, 250, 90, 100); // on the right edge
    centreAt(lizards[2], 150, 200, 90, 100); // on the top edge
    centreAt(ogres[4], 100, 250, 96, 96);    // on the left edge
    centreAt(ogres[5], 150, 296, 96, 96);    // on the bottom edge
    centreAt(lizards[3], 60, 250, 90, 100);  // behind the hero
    centreAt(lizards[4], 150, 250, 90, 100);
    lizards[4].alive = false; // already dying: not struck again
    lizards[4].dying = true;
    resolveAttack(faceRight, 100, 200, 96, 96);
    for (Character *struck : {&lizards[0], &lizards[7], &ogres[3]}) {
        EXPECT_FALSE(struck->alive);
        EXPECT_TRUE(struck->dying);
        EXPECT_EQ(struck->stepCounter, 0);
        EXPECT_EQ(struck->tick, 0);
    }
    for (Character *spared : {&lizards[1], &lizards[2], &ogres[4], &ogres[5], &lizards[3]}) {
        EXPECT_TRUE(spared->alive);
        EXPECT_FALSE(spared->dying);
        EXPECT_EQ(spared->stepCounter, 5);
    }
    EXPECT_EQ(lizards[4].stepCounter, 5);
    EXPECT_EQ(lizards[4].tick, 9);
}

TEST_F(AttackTest, TheBodyKeepsItsFrameAndFacing)
{
    centreAt(ogres[0], 150, 250, 96, 96);
    ogres[0].frame = 5;
    ogres[0].facing = faceDownLeft;
    resolveAttack(faceRight, 100, 200, 96, 96);
    EXPECT_EQ(ogres[0].frame, 5);
    EXPECT_EQ(ogres[0].facing, faceDownLeft);
}

TEST_F(AttackTest, TheBossLosesLifeOnEverySwingWhereverItIs)
{
    boss.x = INT32_MAX;
    boss.y = INT32_MIN;
    resolveAttack(faceLeft, 100, 200, 96, 96);
    EXPECT_EQ(bossLife, 197);
    EXPECT_TRUE(boss.alive);
    heroStats.level = 3;
    resolveAttack(faceLeft, 100, 200, 96, 96);
    EXPECT_EQ(bossLife, 193);
}

TEST_F(AttackTest, EverySwingAtNoLifeRestartsTheBossDeath)
{
    bossLife = 1;
    resolveAttack(faceUp, 0, 0, 96, 96);
    EXPECT_EQ(bossLife, -1);
    EXPECT_FALSE(boss.alive);
    EXPECT_TRUE(boss.dying);
    boss.dying = false; // its sequence has ended
    boss.stepCounter = 30;
    boss.tick = 12;
    resolveAttack(faceUp, 0, 0, 96, 96);
    EXPECT_EQ(bossLife, -3);
    EXPECT_TRUE(boss.dying);
    EXPECT_EQ(boss.stepCounter, 0);
    EXPECT_EQ(boss.tick, 0);
    bossLife = INT32_MIN + 1;
    resolveAttack(faceUp, 0, 0, 96, 96);
    EXPECT_EQ(bossLife, INT32_MIN);
}

// --- the death sequence ----------------------------------------------------

namespace
{

class DyingTest : public AttackTest
{
  protected:
    void SetUp() override
    {
        AttackTest::SetUp();
        view = pool.solid(640, 480, background);
        boss.alive = false;
    }
    void dress(Character &c, int fill)
    {
        BITMAP *picture = pool.solid(c.width, c.height, fill);
        for (auto &row : c.walkFrames)
            for (BITMAP *&b : row)
                b = picture;
    }
    // One tick in the game's order: the swing (tick 1), wandering, the death step.
    int tickAndLook(bool swing, int32_t camX, int px, int py)
    {
        if (swing)
            resolveAttack(faceRight, 0, 100, 96, 96);
        wanderEnemies(3200, 3200);
        clear_to_color(view, background);
        updateDying(camX, 0, view);
        return getpixel(view, px, py);
    }
    BitmapPool pool;
    BITMAP *view = nullptr;
    const int background = colour(0, 0, 70);
    const int bodyFill = colour(150, 90, 20);
    const int slashFill = colour(255, 255, 255);
    Swap<BITMAP *> slashSwap{slash, pool.solid(4, 4, colour(255, 255, 255))};
};

} // namespace

TEST_F(DyingTest, SlashWindowsAndAwards)
{
    struct Case {
        const char *name;
        bool ogre;
        int slashFrom, slashTo; // ticks, inclusive
        int32_t award;
    } cases[] = {{"lizard", false, 11, 17, 2}, {"ogre", true, 11, 24, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        SetUp();
        Character &enemy = c.ogre ? ogres[0] : lizards[0];
        centreAt(enemy, 140, 150, c.ogre ? 96 : 90, c.ogre ? 96 : 100);
        dress(enemy, bodyFill);
        for (int t = 1; t <= 30; ++t) {
            const int seen = tickAndLook(t == 1, 0, 140, 150);
            const int expected = t > 24                               ? background
                                 : t >= c.slashFrom && t <= c.slashTo ? slashFill
                                                                      : bodyFill;
            EXPECT_EQ(seen, expected) << "tick " << t;
            EXPECT_EQ(heroStats.experience, t >= 24 ? c.award : 0) << "tick " << t;
            EXPECT_EQ(enemy.dying, t < 24) << "tick " << t;
        }
        EXPECT_EQ(heroStats.level, 1);
    }
}

TEST_F(DyingTest, TwoAwardsInOneTickCanGiveTwoLevels)
{
    heroStats.experience = 18; // a resumed game: already past the first threshold
    centreAt(lizards[0], 120, 150, 90, 100);
    centreAt(lizards[1], 130, 160, 90, 100);
    dress(lizards[0], bodyFill);
    dress(lizards[1], bodyFill);
    for (int t = 1; t <= 23; ++t)
        tickAndLook(t == 1, 0, 0, 0);
    EXPECT_EQ(heroStats.level, 1);
    tickAndLook(false, 0, 0, 0);
    EXPECT_EQ(heroStats.experience, 22);
    EXPECT_EQ(heroStats.level, 3);
    EXPECT_EQ(heroStats.nextLevelExp, 35);
}

TEST_F(DyingTest, AnActorOutOfViewWaitsAndEndsWhenSeen)
{
    centreAt(lizards[0], 140, 150, 90, 100); // x 95 to 184
    centreAt(ogres[0], 100, 150, 96, 96);    // x 52 to 147
    dress(lizards[0], bodyFill);
    dress(ogres[0], bodyFill);
    tickAndLook(true, 0, 0, 0);
    for (int t = 2; t <= 60; ++t)
        tickAndLook(false, 2000, 0, 0); // the view is elsewhere
    EXPECT_TRUE(lizards[0].dying);
    EXPECT_TRUE(ogres[0].dying);
    EXPECT_EQ(heroStats.experience, 0);
    clear_to_color(view, background);
    wanderEnemies(3200, 3200);
    updateDying(0, 0, view);
    EXPECT_FALSE(lizards[0].dying);
    EXPECT_FALSE(ogres[0].dying);
    EXPECT_EQ(heroStats.experience, 2 + 4);
    EXPECT_EQ(getpixel(view, 170, 150), bodyFill); // the lizard once, without the slash
    EXPECT_EQ(getpixel(view, 60, 150), slashFill); // the ogre once, with it
    clear_to_color(view, background);
    updateDying(0, 0, view);
    EXPECT_EQ(getpixel(view, 170, 150), background);
    EXPECT_EQ(heroStats.experience, 6); // awarded once
}

TEST_F(DyingTest, TheBossDiesWithoutExperience)
{
    boss.width = 96;
    boss.height = 96;
    boss.x = 300;
    boss.y = 100;
    dress(boss, bodyFill);
    bossLife = 2;
    for (int t = 1; t <= 30; ++t) {
        const int seen = tickAndLook(t == 1, 0, 348, 148);
        if (t >= 11 && t <= 24) {
            EXPECT_EQ(seen, slashFill) << t;
        }
    }
    EXPECT_FALSE(boss.dying);
    EXPECT_EQ(heroStats.experience, 0);
}
