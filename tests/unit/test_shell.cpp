// test_shell.cpp - the hero under the arrow keys through whole ticks of play:
// steps, camera, music zones, the swing, saving, the two end reactions; and
// the title sequence.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "actors/roster.h"
#include "combat/contact.h"
#include "combat/hero_stats.h"
#include "core/message_box.h"
#include "core/music.h"
#include "game/game_loop.h"
#include "game/hero_control.h"
#include "persist/save_file.h"
#include "unit_fixtures.h"
#include "world/walk_grids.h"

namespace
{

class HeroControlTest : public PlayTest
{
  protected:
    void place(int32_t x, int32_t y, int32_t camX = 1000, int32_t camY = 1000)
    {
        state.hero.x = x;
        state.hero.y = y;
        state.cameraX = camX;
        state.cameraY = camY;
    }
    void hold(int k) { key[k] = 1; }
};

} // namespace

TEST_F(HeroControlTest, ANewGameStartsMidScreenAndFreeToWalk)
{
    EXPECT_EQ(state.hero.x, 272);
    EXPECT_EQ(state.hero.y, 192);
    EXPECT_EQ(state.hero.width, 96);
    EXPECT_EQ(state.hero.height, 96);
    EXPECT_EQ(state.cameraX, 0);
    EXPECT_EQ(state.cameraY, 0);
    ASSERT_NE(state.hero.attackFrames[7][12], nullptr);
    runTick(); // no key: nothing moves
    EXPECT_EQ(state.hero.x, 272);
    EXPECT_EQ(state.hero.y, 192);
    // The hero lies mid-screen in the copied frame.
    EXPECT_EQ(getpixel(dest, 271, 240), getpixel(state.backdrop, 271, 240));
}

TEST_F(HeroControlTest, AResumedHeroKeepsItsPlace)
{
    releaseFrames(state.hero);
    state.resumedFromSave = true;
    state.hero.x = 1234;
    state.hero.y = -7;
    setUpHero(state);
    EXPECT_EQ(state.hero.x, 1234);
    EXPECT_EQ(state.hero.y, -7);
}

TEST_F(HeroControlTest, StepRightFromTheStartScrollsTheCamera)
{
    hold(KEY_RIGHT);
    runTick();
    EXPECT_EQ(state.hero.x, 276);
    EXPECT_EQ(state.cameraX, 4);
    EXPECT_EQ(state.hero.facing, faceRight);
    runTick();
    EXPECT_EQ(state.hero.x - state.cameraX, 272); // the hero stays mid-screen
}

TEST_F(HeroControlTest, CameraThresholds)
{
    // Positions chosen where the probed cell is free; the camera starts mid-range.
    struct Case {
        const char *name;
        int keyCode;
        int32_t x, y;
        int32_t camX, camY; // expected after the tick
    } cases[] = {
        {"right below 272", KEY_RIGHT, 271, 192, 1000, 1000},
        {"right at 272", KEY_RIGHT, 272, 192, 1004, 1000},
        {"down below 192", KEY_DOWN, 272, 191, 1000, 1000},
        {"down at 192", KEY_DOWN, 272, 192, 1000, 1004},
        {"left above PW - 368", KEY_LEFT, 2833, 3040, 1000, 1000},
        {"left at PW - 368", KEY_LEFT, 2832, 3040, 996, 1000},
        {"up below PH - 288", KEY_UP, 2080, 2913, 1000, 1000},
        {"up at PH - 288", KEY_UP, 2080, 2912, 1000, 996},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        releaseAllKeys();
        place(c.x, c.y);
        hold(c.keyCode);
        runTick();
        EXPECT_NE(state.hero.x * 10000 + state.hero.y, c.x * 10000 + c.y) << "the step was blocked";
        EXPECT_EQ(state.cameraX, c.camX);
        EXPECT_EQ(state.cameraY, c.camY);
    }
}

TEST_F(HeroControlTest, TheCameraStopsAtTheRightEdgeAndWaitsWalkingBack)
{
    // The southern strip is open: walk right along row 95 to the hero's bound.
    place(3000, 3040, 2552, 2560);
    hold(KEY_RIGHT);
    runTicks(60);
    EXPECT_EQ(state.hero.x, 3200 - 96 + 20);
    EXPECT_EQ(state.cameraX, 3200 - 640);
    releaseAllKeys();
    hold(KEY_LEFT);
    while (state.hero.x > 2832) {
        runTick();
        ASSERT_EQ(state.cameraX, 2560) << "hero at " << state.hero.x;
    }
    runTick(); // from x = 2832 the camera follows again
    EXPECT_EQ(state.hero.x, 2828);
    EXPECT_EQ(state.cameraX, 2556);
}

TEST_F(HeroControlTest, ABlockedStepTurnsPlainAndWalksOnTheSpot)
{
    struct Case {
        int keyCode;
        int32_t direction, x, y, facing;
    } cases[] = {
        {KEY_RIGHT, wanderRight, 960, 192, faceRight},
        {KEY_LEFT, wanderLeft, 0, 192, faceLeft},
        {KEY_DOWN, wanderDown, 272, 608, faceDown},
        {KEY_UP, wanderUp, 272, 0, faceUp},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.facing);
        ASSERT_FALSE(heroStepFree(c.direction, c.x, c.y));
        releaseAllKeys();
        place(c.x, c.y, 500, 400);
        state.hero.facing = faceDownRight;
        state.hero.tick = 0;
        hold(c.keyCode);
        runTick();
        EXPECT_EQ(state.hero.x, c.x);
        EXPECT_EQ(state.hero.y, c.y);
        EXPECT_EQ(state.hero.facing, c.facing);
        EXPECT_EQ(state.hero.tick, 1);
        EXPECT_EQ(state.cameraX, 500);
        EXPECT_EQ(state.cameraY, 400);
    }
}

TEST_F(HeroControlTest, RightAndDownInOneTickFaceDownRight)
{
    hold(KEY_RIGHT);
    hold(KEY_DOWN);
    runTick();
    EXPECT_EQ(state.hero.x, 276);
    EXPECT_EQ(state.hero.y, 196);
    EXPECT_EQ(state.hero.facing, faceDownRight);
    EXPECT_EQ(state.hero.tick, 2);
}

TEST_F(HeroControlTest, MusicZones)
{
    SAMPLE *home = state.homeTrack, *east = state.eastTrack, *southWest = state.southWestTrack;
    struct Case {
        const char *name;
        int keyCode;
        int32_t zone, x, y, expectZone;
        SAMPLE *stopped, *started; // null: no change
    } cases[] = {
        {"right at 2000 enters the east", KEY_RIGHT, zoneHome, 2000, 1568, zoneEast, home, east},
        {"right at 1999 does not", KEY_RIGHT, zoneHome, 1999, 1568, zoneHome, nullptr, nullptr},
        {"blocked right at 2000 still does", KEY_RIGHT, zoneHome, 2000, 0, zoneEast, home, east},
        {"left at 1999 leaves the east", KEY_LEFT, zoneEast, 1999, 1568, zoneHome, east, home},
        {"left at 2000 does not", KEY_LEFT, zoneEast, 2000, 1568, zoneEast, nullptr, nullptr},
        {"down at 1700, x 800 enters the south-west", KEY_DOWN, zoneHome, 800, 1700, zoneSouthWest, home,
         southWest},
        {"down at x 801 does not", KEY_DOWN, zoneHome, 801, 1700, zoneHome, nullptr, nullptr},
        {"down at 1699 does not", KEY_DOWN, zoneHome, 800, 1699, zoneHome, nullptr, nullptr},
        {"up at 1699 leaves the south-west", KEY_UP, zoneSouthWest, 300, 1699, zoneHome, southWest, home},
        {"up at 1700 does not", KEY_UP, zoneSouthWest, 300, 1700, zoneSouthWest, nullptr, nullptr},
        {"the south-west walking east stays", KEY_RIGHT, zoneSouthWest, 2100, 3040, zoneSouthWest, nullptr,
         nullptr},
        {"the east walking down stays", KEY_DOWN, zoneEast, 700, 1800, zoneEast, nullptr, nullptr},
        {"a saved zone 5 never changes", KEY_RIGHT, 5, 2100, 3040, 5, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        releaseAllKeys();
        clearMusicLog();
        place(c.x, c.y);
        state.musicZone = c.zone;
        hold(c.keyCode);
        runTick();
        EXPECT_EQ(state.musicZone, c.expectZone);
        if (c.started)
            expectMusic({{false, c.stopped, 0, 0}, {true, c.started, musicVolumeHalf, 33}});
        else
            expectMusic({});
    }
}

TEST_F(HeroControlTest, TheEastZoneStartsTheTickAfterCrossing2000)
{
    place(1999, 1568);
    hold(KEY_RIGHT);
    runTick();
    EXPECT_EQ(state.hero.x, 2003);
    EXPECT_EQ(state.musicZone, zoneHome);
    runTick();
    EXPECT_EQ(state.musicZone, zoneEast);
    expectMusic({{false, state.homeTrack, 0, 0}, {true, state.eastTrack, musicVolumeHalf, 33}});
}

TEST_F(HeroControlTest, HoldingEnterSwingsOnceAndIgnoresKeysWhileSwinging)
{
    hold(KEY_ENTER);
    hold(KEY_RIGHT);
    hold(KEY_RSHIFT);
    heroStats.life = 10;
    runTick(); // the step comes first, then the swing
    EXPECT_EQ(state.hero.x, 276);
    EXPECT_TRUE(state.hero.attacking);
    EXPECT_EQ(bossLife, 197);
    EXPECT_EQ(heroStats.life, 16);
    for (int t = 2; t <= 92; ++t) {
        runTick();
        ASSERT_EQ(bossLife, 197) << "tick " << t;
        ASSERT_EQ(state.hero.x, 276) << "tick " << t;
        ASSERT_EQ(heroStats.life, 16) << "tick " << t;
    }
    EXPECT_FALSE(state.hero.attacking); // the 91st attack tick ended it
    runTick();
    EXPECT_EQ(state.hero.x, 280);
    EXPECT_EQ(bossLife, 194);
    EXPECT_TRUE(state.hero.attacking);
}

TEST_F(HeroControlTest, ContactUsesTheHeroCentreEveryTick)
{
    // An ogre right under the hero's centre (320, 240), with a blocked push-back cell.
    Character &ogre = ogres[0];
    ogre.alive = true;
    ogre.width = 96;
    ogre.height = 96;
    ogre.x = 300;
    ogre.y = 200;
    state.hero.startAttack(); // contact applies while swinging too
    runTick();
    EXPECT_EQ(heroStats.life, 23);
    EXPECT_EQ(ogre.y, 140);
}

// --- the two ends ------------------------------------------------------------

TEST_F(HeroControlTest, GameOverFreezesAndShowsItsPicture)
{
    lizards[3].alive = true;
    lizards[3].x = 2000;
    lizards[3].y = 2000;
    boss.alive = true;
    heroStats.life = 0;
    runTick();
    EXPECT_STREQ(state.backdropName, "gameover.bmp");
    ASSERT_NE(state.backdrop, nullptr);
    EXPECT_EQ(state.backdrop->w, 3200);
    EXPECT_FALSE(lizards[3].alive);
    EXPECT_FALSE(boss.alive);
    // The picture standing is not read again in the following ticks.
    putpixel(state.backdrop, 0, 0, colour(1, 2, 3));
    BITMAP *standing = state.backdrop;
    hold(KEY_RIGHT); // the hero still answers the keys
    runTick();
    EXPECT_EQ(state.backdrop, standing);
    EXPECT_EQ(getpixel(state.backdrop, 0, 0), colour(1, 2, 3));
    EXPECT_EQ(state.hero.x, 276);
}

TEST_F(HeroControlTest, GameOverWaitsForTheSwingToEnd)
{
    state.hero.startAttack();
    heroStats.life = 0;
    runTicks(91); // the 91st attack tick ends the swing, still without the test
    EXPECT_FALSE(state.hero.attacking);
    EXPECT_STREQ(state.backdropName, "worldMap.bmp");
    runTick();
    EXPECT_STREQ(state.backdropName, "gameover.bmp");
}

TEST_F(HeroControlTest, AHealInTheSameTickPreventsTheGameOver)
{
    heroStats.life = -3;
    hold(KEY_RSHIFT);
    runTick();
    EXPECT_EQ(heroStats.life, 3);
    EXPECT_STREQ(state.backdropName, "worldMap.bmp");
}

TEST_F(HeroControlTest, VictoryStopsTheZoneTrackAndShowsItsPicture)
{
    state.musicZone = zoneEast;
    heroStats.jewelCount = 3;
    bossLife = 0;
    runTick();
    EXPECT_STREQ(state.backdropName, "Victory.bmp");
    expectMusic({{false, state.eastTrack, 0, 0}});
    putpixel(state.backdrop, 0, 0, colour(1, 2, 3));
    BITMAP *standing = state.backdrop;
    runTick();
    EXPECT_EQ(state.backdrop, standing);
    EXPECT_EQ(getpixel(state.backdrop, 0, 0), colour(1, 2, 3));
}

TEST_F(HeroControlTest, ASwingThatBeatsTheBossWinsInTheSameTick)
{
    heroStats.jewelCount = 3;
    bossLife = 2;
    hold(KEY_ENTER);
    runTick();
    EXPECT_EQ(bossLife, 0);
    EXPECT_STREQ(state.backdropName, "Victory.bmp");
}

TEST_F(HeroControlTest, WhenBothEndsHoldTheVictoryPictureStays)
{
    heroStats.jewelCount = 3;
    bossLife = -1;
    heroStats.life = 0;
    runTick();
    EXPECT_STREQ(state.backdropName, "Victory.bmp");
    // Further ticks keep the victory picture standing instead of reading both
    // 3200 x 3200 pictures from disk again in every tick.
    putpixel(state.backdrop, 0, 0, colour(1, 2, 3));
    BITMAP *standing = state.backdrop;
    runTick();
    EXPECT_STREQ(state.backdropName, "Victory.bmp");
    EXPECT_EQ(state.backdrop, standing);
    EXPECT_EQ(getpixel(state.backdrop, 0, 0), colour(1, 2, 3));
}

TEST_F(HeroControlTest, F1SavesWithThisTicksStep)
{
    TempFolder folder;
    hold(KEY_RIGHT);
    hold(KEY_F1);
    runTick();
    std::string text;
    ASSERT_TRUE(folder.read(saveFileName, text));
    EXPECT_EQ(text, "4\n0\n276\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
    runTicks(2);
    ASSERT_TRUE(folder.read(saveFileName, text));
    EXPECT_EQ(text.substr(0, 11), "12\n0\n284\n19");
}

// --- contact and jewels without the loop -------------------------------------

namespace
{

class ContactTest : public WorldTest
{
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        for (Character &c : lizards)
            c.alive = false;
        for (Character &c : ogres)
            c.alive = false;
        boss.alive = false;
    }
    static void put(Character &c, int32_t x, int32_t y, int32_t w = 96, int32_t h = 96)
    {
        c.alive = true;
        c.x = x;
        c.y = y;
        c.width = w;
        c.height = h;
    }
};

} // namespace

TEST_F(ContactTest, DamageAndPushBack)
{
    struct Case {
        const char *name;
        Character *enemy;
        int32_t x, y, life;
        int32_t expectLife, expectX, expectY;
    } cases[] = {
        // The boss's place: the cell 60 pixels to the right is free.
        {"lizard pushed right", &lizards[0], 2580, 2496, 25, 24, 2640, 2496},
        {"ogre pushed up", &ogres[0], 272, 192, 25, 23, 272, 132},
        {"boss pushed above the world", &boss, 272, 10, 25, 20, 272, -50},
        {"life 0 still hurts once", &lizards[1], 272, 192, 0, -1, 272, 132},
        {"negative life is not hurt again", &lizards[1], 272, 192, -1, -1, 272, 132},
        {"the boss from 3", &boss, 272, 192, 3, -2, 272, 132},
        {"far at the limits", &ogres[1], INT32_MAX - 100, INT32_MIN + 10, 25, 23, INT32_MAX - 100, INT32_MIN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        put(*c.enemy, c.x, c.y);
        heroStats.life = c.life;
        applyContact(int64_t(c.x) + 48, int64_t(c.y) + 48);
        EXPECT_EQ(heroStats.life, c.expectLife);
        EXPECT_EQ(c.enemy->x, c.expectX);
        EXPECT_EQ(c.enemy->y, c.expectY);
    }
}

TEST_F(ContactTest, EdgesDeadAndFrozenEnemiesTouchNothing)
{
    put(lizards[0], 1000, 1000);
    applyContact(1000, 1048); // on the left edge
    applyContact(1096, 1048); // on the right edge
    applyContact(1048, 1000); // on the top edge
    applyContact(1048, 1096); // on the bottom edge
    EXPECT_EQ(heroStats.life, 25);
    EXPECT_EQ(lizards[0].x, 1000);
    put(boss, 2000, 2000);
    boss.alive = false;
    applyContact(2048, 2048);
    EXPECT_EQ(heroStats.life, 25);
    EXPECT_EQ(boss.x, 2000);
    EXPECT_EQ(boss.y, 2000);
    put(ogres[0], 2000, 2000);
    freezeEnemies();
    applyContact(2048, 2048);
    EXPECT_EQ(heroStats.life, 25);
    EXPECT_FALSE(ogres[0].alive);
}

TEST_F(ContactTest, TwoEnemiesInOneTickCostTheSum)
{
    put(lizards[0], 272, 192);
    put(ogres[0], 260, 180);
    put(boss, 250, 170);
    applyContact(320, 240);
    EXPECT_EQ(heroStats.life, 25 - 1 - 2 - 5);
    EXPECT_EQ(lizards[0].y, 132);
    EXPECT_EQ(ogres[0].y, 120);
    EXPECT_EQ(boss.y, 110);
}

TEST_F(ContactTest, JewelsAreTakenOnce)
{
    put(jewels[0], 1650, 2000, 64, 96);
    put(jewels[1], 1425, 2725, 64, 96);
    pickUpJewels(1650, 2048); // on the left edge
    EXPECT_EQ(heroStats.jewelCount, 0);
    pickUpJewels(1682, 2048);
    EXPECT_EQ(heroStats.jewelCount, 1);
    EXPECT_FALSE(jewels[0].alive);
    EXPECT_TRUE(jewels[1].alive);
    pickUpJewels(1682, 2048);
    EXPECT_EQ(heroStats.jewelCount, 1);
    heroStats.jewelCount = 2;
    bossLife = 5;
    pickUpJewels(1457, 2773);
    EXPECT_EQ(heroStats.jewelCount, 3);
    EXPECT_FALSE(isVictory()); // the boss still stands
}

TEST_F(ContactTest, VictoryNeedsThreeJewelsAndABeatenBoss)
{
    const struct {
        int32_t jewels, bossLife;
        bool victory;
    } cases[] = {{3, 0, true},  {3, -100, true}, {3, INT32_MIN, true}, {3, 1, false},
                 {2, 0, false}, {0, -5, false},  {4, 0, false}};
    for (const auto &c : cases) {
        heroStats.jewelCount = c.jewels;
        bossLife = c.bossLife;
        EXPECT_EQ(isVictory(), c.victory) << c.jewels << " jewels, boss " << c.bossLife;
    }
}

// --- the title ---------------------------------------------------------------

namespace
{

class TitleTest : public PlayTest
{
  protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        state.titleStage = 0;
        replaceBackdrop(state, "Main Menu.bmp");
    }
    TitleResult iterate(bool enter, bool f2 = false, bool esc = false)
    {
        key[KEY_ENTER] = enter;
        key[KEY_F2] = f2;
        key[KEY_ESC] = esc;
        return titleIteration(state, saves, dest);
    }
};

} // namespace

TEST_F(TitleTest, EachEnterPressMovesOneStage)
{
    const char *pictures[] = {"bitmap1.bmp", "bitmap2.bmp", "bitmap3.bmp"};
    for (int stage = 1; stage <= 3; ++stage) {
        EXPECT_EQ(iterate(true), TitleResult::stay);
        EXPECT_EQ(state.titleStage, stage);
        EXPECT_STREQ(state.backdropName, pictures[stage - 1]);
        for (int held = 0; held < 5; ++held)
            EXPECT_EQ(iterate(true), TitleResult::stay); // held: no further stage
        EXPECT_EQ(state.titleStage, stage);
        iterate(false);
        EXPECT_EQ(state.titleStage, stage);
    }
    EXPECT_EQ(getpixel(dest, 320, 240), getpixel(state.backdrop, 320, 240));
    clearMusicLog();
    EXPECT_EQ(iterate(true), TitleResult::ended);
    EXPECT_EQ(state.titleStage, titleStageEnded);
    EXPECT_STREQ(state.backdropName, "worldMap.bmp");
    EXPECT_EQ(state.backdrop->w, 3200);
    EXPECT_FALSE(state.resumedFromSave);
    expectMusic({{false, state.titleTrack, 0, 0}, {true, state.homeTrack, musicVolumeFull, 33}});
}

TEST_F(TitleTest, EnterWithF2OnTheMenuOnlyTurnsThePage)
{
    TempFolder folder;
    folder.write(saveFileName, "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
    EXPECT_EQ(iterate(true, true), TitleResult::stay);
    EXPECT_EQ(state.titleStage, 1);
    EXPECT_FALSE(state.resumedFromSave);
    EXPECT_EQ(iterate(false, true), TitleResult::stay); // F2 acts only on the menu
    EXPECT_EQ(state.titleStage, 1);
}

TEST_F(TitleTest, F2OnTheMenuResumes)
{
    TempFolder folder;
    folder.write(saveFileName, "8\n4\n300\n196\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
    EXPECT_EQ(iterate(false, true), TitleResult::ended);
    EXPECT_TRUE(state.resumedFromSave);
    EXPECT_EQ(state.titleStage, titleStageEnded);
    EXPECT_EQ(state.cameraX, 8);
}

TEST_F(TitleTest, F2WithoutASaveStaysOnTheMenu)
{
    TempFolder folder;
    EXPECT_EQ(iterate(false, true), TitleResult::stay);
    EXPECT_EQ(state.titleStage, 0);
    EXPECT_STREQ(state.backdropName, "Main Menu.bmp");
    EXPECT_EQ(iterate(true), TitleResult::stay);
    EXPECT_EQ(state.titleStage, 1);
}

TEST_F(TitleTest, EscapeEndsTheIterationWithQuit)
{
    EXPECT_EQ(iterate(true, false, true), TitleResult::quit);
    EXPECT_EQ(state.titleStage, 1); // the iteration ran to its end first
    key[KEY_ESC] = 0;
    closeRequested = true;
    EXPECT_EQ(iterate(false), TitleResult::quit);
    closeRequested = false;
    EXPECT_EQ(iterate(false), TitleResult::stay);
}

TEST_F(TitleTest, F2MakesOneResumeAttemptPerPress)
{
    TempFolder folder;
    EXPECT_EQ(iterate(false, true), TitleResult::stay); // no save yet: the box, then the menu
    folder.write(saveFileName, "8\n4\n300\n196\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
    for (int held = 0; held < 3; ++held)
        EXPECT_EQ(iterate(false, true), TitleResult::stay); // still the same press
    EXPECT_FALSE(state.resumedFromSave);
    iterate(false);
    EXPECT_EQ(iterate(false, true), TitleResult::ended); // a new press tries again
    EXPECT_TRUE(state.resumedFromSave);
}

TEST_F(HeroControlTest, OneTickComposesOneFrameAndCopiesItWhole)
{
    place(1500, 1200, 1300, 1000); // the hero on screen at (200, 200)
    clear_to_color(dest, colour(1, 2, 3));
    runTick();
    for (int y = 0; y < 480; y += 37)
        for (int x = 0; x < 640; x += 41)
            ASSERT_EQ(getpixel(dest, x, y), getpixel(state.backBuffer, x, y)) << x << "," << y;
    // The world at the camera, the hero over it, the HUD over everything.
    EXPECT_EQ(getpixel(dest, 20, 400), getpixel(state.backdrop, 1320, 1400));
    BITMAP *heroFrame = state.hero.walkFrames[state.hero.facing][state.hero.frame];
    int shown = 0;
    for (int y = 0; y < 96; y += 3)
        for (int x = 0; x < 96; x += 3)
            if (getpixel(heroFrame, x, y) != maskColour) {
                EXPECT_EQ(getpixel(dest, 200 + x, 200 + y), getpixel(heroFrame, x, y));
                ++shown;
            }
    EXPECT_GT(shown, 20);
    EXPECT_EQ(getpixel(dest, 490, 15), getpixel(barFrame, 0, 0));
}

TEST_F(HeroControlTest, AViewPastThePictureEdgeKeepsThePreviousPixels)
{
    place(1500, 1200, 3000, 1000); // 440 columns of the view lie past the right edge
    clear_to_color(state.backBuffer, colour(9, 8, 7));
    runTick();
    EXPECT_EQ(getpixel(dest, 100, 400), getpixel(state.backdrop, 3100, 1400));
    EXPECT_EQ(getpixel(dest, 600, 400), colour(9, 8, 7));
}

TEST_F(HeroControlTest, TheSaveNoticeNeverOutlivesItsTimeWherePixelsAreKept)
{
    place(1500, 1200, 3000, 1000); // the notice's right part lies past the picture's edge
    const int old = colour(9, 8, 7);
    clear_to_color(state.backBuffer, old);
    state.noticeText = "Could not save: the disk is full";
    state.noticeTicks = saveNoticeTicks;
    const int panel = colour(40, 12, 12);
    for (int t = 0; t < saveNoticeTicks; ++t) {
        runTick();
        ASSERT_EQ(getpixel(dest, 600, 430), panel) << t;           // shown on the copy
        ASSERT_EQ(getpixel(dest, 100, 430), panel) << t;           // over the picture too
        ASSERT_EQ(getpixel(state.backBuffer, 600, 430), old) << t; // but not kept in the frame
    }
    EXPECT_EQ(state.noticeTicks, 0);
    runTick();
    EXPECT_EQ(getpixel(dest, 600, 430), old);
    EXPECT_EQ(getpixel(dest, 100, 430), getpixel(state.backdrop, 3100, 1430));
    for (int y = 400; y < 460; y += 3)
        for (int x = 0; x < 640; x += 7)
            ASSERT_NE(getpixel(dest, x, y), panel) << x << "," << y;
}

TEST(MessageText, WrapsAtSpacesAndNewlinesAndCutsOnlyOverlongWords)
{
    struct Case {
        const char *text;
        int width;
        std::vector<std::string> lines;
    } cases[] = {
        {"No saved Found", 34, {"No saved Found"}},
        {"The saved game in \"heroData.txt\" is damaged and cannot be resumed.",
         34,
         {"The saved game in \"heroData.txt\"", "is damaged and cannot be resumed."}},
        {"first line\nsecond", 34, {"first line", "second"}},
        {"  spaced   out  ", 34, {"spaced out"}},
        {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
        {"a b c", 3, {"a b", "c"}},
        {"", 34, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        char lines[8][64];
        const int count = wrapMessage(c.text, c.width, lines, 8);
        ASSERT_EQ(count, int(c.lines.size()));
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(lines[i], c.lines[i]);
    }
    // More lines than room: the first ones are kept, nothing is written past.
    char two[2][64];
    EXPECT_EQ(wrapMessage("a\nb\nc\nd", 34, two, 2), 2);
    EXPECT_STREQ(two[1], "b");
}
