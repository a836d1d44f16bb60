// test_effects.cpp - which event starts which sound effect, the repeat limit,
// the pan, the switch the replay tool uses; what a fight shows (the hurt
// flash, an enemy's strike flash, a kill's burst), counted per tick and drawn
// from the counts; and the victory theme after the fanfare.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "actors/roster.h"
#include "combat/attack.h"
#include "combat/contact.h"
#include "combat/feedback.h"
#include "combat/hero_stats.h"
#include "combat/hurt_flash.h"
#include "core/music.h"
#include "core/sound_effects.h"
#include "unit_fixtures.h"

namespace
{

class EffectsTest : public PlayTest
{
  protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        setSoundEffectsEnabled(true);
        settle();
        hurtFlashLeft = 0;
    }
    void TearDown() override
    {
        setSoundEffectsEnabled(true);
        hurtFlashLeft = 0;
        PlayTest::TearDown();
    }
    // Past every effect's repeat limit, the view at the world's corner.
    void settle()
    {
        for (int i = 0; i < effectRepeatTicks; ++i)
            advanceSoundEffects(0, 0);
        clearEffectStarts();
    }
    static void place(Character &c, int32_t x, int32_t y)
    {
        c.x = x, c.y = y, c.width = 96, c.height = 96, c.alive = true, c.dying = false;
    }
};

// The starts an action makes, one count per effect in enum order.
struct EventCase {
    const char *what;
    std::function<void(ShellState &)> act;
    int starts[soundEffectCount]; // swing hit boss hurt jewel levelup heal gameover victory page saved
};

} // namespace

TEST_F(EffectsTest, EachEventStartsItsEffect)
{
    const EventCase cases[] = {
        {"a swing at nothing",
         [](ShellState &) { resolveAttack(faceRight, 100, 100, 96, 96); },
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing striking two lizards: one strike sound instead of the whoosh",
         [](ShellState &) {
             place(lizards[0], 150, 100), place(lizards[1], 160, 110);
             resolveAttack(faceRight, 100, 100, 96, 96);
         },
         {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing with the dark lord in view: his sound alone",
         [](ShellState &) {
             place(boss, 400, 300);
             resolveAttack(faceLeft, 100, 100, 96, 96);
         },
         {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing striking a lizard with the dark lord in view: his sound alone",
         [](ShellState &) {
             place(boss, 400, 300), place(lizards[0], 150, 100);
             resolveAttack(faceRight, 100, 100, 96, 96);
         },
         {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing with the dark lord beaten, in view",
         [](ShellState &) {
             place(boss, 400, 300), bossLife = 0;
             resolveAttack(faceLeft, 100, 100, 96, 96);
         },
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing with the dark lord out of view (he loses life silently)",
         [](ShellState &) {
             place(boss, 640, 100);
             resolveAttack(faceLeft, 100, 100, 96, 96);
         },
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a lizard's touch",
         [](ShellState &) {
             place(lizards[0], 100, 100);
             applyContact(148, 148);
         },
         {0, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
        {"a touch when life is already negative costs nothing and is silent",
         [](ShellState &) {
             place(lizards[0], 100, 100), heroStats.life = -1;
             applyContact(148, 148);
         },
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a jewel taken",
         [](ShellState &) {
             place(jewels[0], 500, 500);
             pickUpJewels(510, 510);
         },
         {0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
        {"a heal that restores life",
         [](ShellState &) { heroStats.life = 10, heal(); },
         {0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {"a heal at full life", [](ShellState &) { heal(); }, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a level gained",
         [](ShellState &) { heroStats.experience = 10, levelUp(); },
         {0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
        {"experience short of a level",
         [](ShellState &) { heroStats.experience = 9, levelUp(); },
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"the game lost, its reaction repeated for 30 ticks: one sound",
         [](ShellState &s) {
             for (int i = 0; i < 30; ++i) {
                 advanceSoundEffects(0, 0);
                 gameOverReaction(s);
             }
         },
         {0, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
    };
    for (const EventCase &c : cases) {
        resetWorld();
        parkEnemies();
        settle();
        c.act(state);
        for (int e = 0; e < soundEffectCount; ++e)
            EXPECT_EQ(effectStarts[e], c.starts[e]) << c.what << ": " << soundEffects[e].name;
    }
}

TEST_F(EffectsTest, OneEffectRestartsAtMostEveryTenTicksAndOffMeansSilent)
{
    for (int tick = 0; tick < 30; ++tick) {
        advanceSoundEffects(0, 0);
        playEffect(sfxHurt);
        playEffect(sfxHurt); // twice in one tick: still one start
        if (tick % 2 == 0)
            playEffectAt(sfxHeal, 320);
    }
    EXPECT_EQ(effectStarts[sfxHurt], 3);  // ticks 0, 10 and 20
    EXPECT_EQ(effectStarts[sfxHeal], 3);  // ticks 0, 10 and 20
    EXPECT_EQ(effectStarts[sfxSwing], 0); // the limit is per effect
    settle();
    setSoundEffectsEnabled(false);
    resolveAttack(faceRight, 100, 100, 96, 96);
    playEffect(sfxPage);
    for (int n : effectStarts)
        EXPECT_EQ(n, 0);
}

// The music is ducked from the tick an effect is asked for (it sounds from the
// next) to the first tick after its end (a 0.25 s effect: 26 ticks); a longer
// effect started under it holds it down to its own end; an effect that sounds nothing (no sample, effects
// off) never ducks it.
TEST_F(EffectsTest, TheMusicIsDuckedWhileAnEffectSounds)
{
    SAMPLE *quarter = create_sample(16, 0, 32000, 8000); // 0.25 s
    SAMPLE *half = create_sample(16, 0, 32000, 16000);   // 0.5 s
    setSoundEffectSample(sfxHit, quarter);
    setSoundEffectSample(sfxHeal, half);
    // Ticks until the music is up again, counted from now (at most `limit`).
    auto ticksDucked = [](int limit) {
        int n = 0;
        while (musicDucked() && n < limit)
            advanceSoundEffects(0, 0), ++n;
        return n;
    };
    ASSERT_FALSE(musicDucked());
    playEffect(sfxHit);
    EXPECT_EQ(ticksDucked(1000), 26);

    settle();
    playEffect(sfxHit);
    for (int i = 0; i < 10; ++i)
        advanceSoundEffects(0, 0);
    playEffectAt(sfxHeal, 100);
    EXPECT_EQ(ticksDucked(1000), 51); // the heal's end, 61 ticks after the hit

    settle();
    playEffect(sfxSwing); // no sample loaded
    EXPECT_FALSE(musicDucked());
    setSoundEffectsEnabled(false);
    playEffect(sfxHit);
    EXPECT_FALSE(musicDucked());

    setSoundEffectSample(sfxHit, nullptr);
    setSoundEffectSample(sfxHeal, nullptr);
    destroy_sample(quarter);
    destroy_sample(half);
}

TEST(EffectPan, FollowsTheScreenXWithinTheEdges)
{
    const struct {
        int64_t screenX;
        int pan;
    } cases[] = {{-5000, effectPanLeft},
                 {0, effectPanLeft},
                 {320, 127},
                 {640, effectPanRight},
                 {1 << 30, effectPanRight}};
    for (const auto &c : cases)
        EXPECT_EQ(effectPan(c.screenX), c.pan) << c.screenX;
}

// A wound turns the hero red for hurtFlashTicks ticks, then he is drawn as
// his frame is again. The ticks count the flash down, never the drawing: a
// frame drawn twice in one tick looks the same and leaves the count alone.
TEST_F(EffectsTest, TheHurtFlashTintsTheHeroForTwelveTicks)
{
    Character hero;
    giveDistinctFrames(hero, pool, 16, 16);
    hero.x = 20, hero.y = 20, hero.width = 16, hero.height = 16;
    hero.facing = faceUpRight, hero.frame = 3; // a frame colour with green and blue in it
    const int plain = walkColour(hero.facing, hero.frame);
    place(lizards[0], 0, 0);
    applyContact(48, 48);
    ASSERT_EQ(hurtFlashLeft, hurtFlashTicks);
    for (int tick = 0; tick < hurtFlashTicks + 8; ++tick) {
        BITMAP *frame = pool.solid(64, 64, 0);
        const int32_t before = hurtFlashLeft;
        drawHero(hero, frame, 0, 0);
        const int got = getpixel(frame, 28, 28);
        drawHero(hero, frame, 0, 0);
        EXPECT_EQ(getpixel(frame, 28, 28), got) << tick << ": the second draw differs";
        EXPECT_EQ(hurtFlashLeft, before) << tick << ": drawing used up the flash";
        if (tick < hurtFlashTicks) {
            EXPECT_GT(getr32(got), getr32(plain)) << tick;
            EXPECT_LT(getg32(got) + getb32(got), getg32(plain) + getb32(plain)) << tick;
            EXPECT_EQ(getpixel(frame, 2, 2), 0) << "only the figure is tinted";
        } else {
            EXPECT_EQ(got, plain) << tick;
        }
        advanceFeedback();
    }
    EXPECT_EQ(hurtFlashLeft, 0);
    // The flash is a picture only: the hero's frame and place are as they were.
    EXPECT_EQ(hero.frame, 3);
    EXPECT_EQ(hero.facing, faceUpRight);
    EXPECT_EQ(hero.x, 20);
    EXPECT_EQ(hero.y, 20);
}

// Whom a swing lights: every enemy it strikes, and the dark lord when it
// hurts him in view (as his sound does); for strikeFlashTicks ticks each.
TEST_F(EffectsTest, ASwingLightsWhatItStrikesForAFewTicks)
{
    const struct {
        const char *what;
        int32_t bossX, bossLife;
        bool lizardLit, bossLit;
    } cases[] = {
        {"a lizard in reach, the dark lord in view", 400, 200, true, true},
        {"the dark lord out of view", 700, 200, true, false},
        {"the dark lord already beaten", 400, 0, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        resetWorld();
        parkEnemies();
        place(lizards[0], 150, 100), place(lizards[1], 400, 100); // the second out of reach
        place(boss, c.bossX, 300), bossLife = c.bossLife;
        resolveAttack(faceRight, 100, 100, 96, 96);
        for (int tick = 0; tick < strikeFlashTicks + 2; ++tick) {
            const int32_t left = tick < strikeFlashTicks ? strikeFlashTicks - tick : 0;
            EXPECT_EQ(strikeFlashLeft(lizards[0]), c.lizardLit ? left : 0) << tick;
            EXPECT_EQ(strikeFlashLeft(boss), c.bossLit ? left : 0) << tick;
            EXPECT_EQ(strikeFlashLeft(lizards[1]), 0) << tick;
            advanceFeedback();
        }
    }
}

// The flash is drawn over the enemy's own frame, lighter, and only there;
// once its ticks are over the frame shows as it is.
TEST_F(EffectsTest, AStruckEnemyIsDrawnLighterWhileItsFlashLasts)
{
    Character &lizard = lizards[0];
    giveDistinctFrames(lizard, pool, 16, 16);
    lizard.x = 120, lizard.y = 40, lizard.width = 16, lizard.height = 16, lizard.alive = true;
    lizard.facing = faceDown, lizard.frame = 2;
    const int plain = walkColour(lizard.facing, lizard.frame);
    startStrikeFlash(lizard);
    for (int tick = 0; tick < strikeFlashTicks + 2; ++tick) {
        BITMAP *frame = pool.solid(200, 100, 0);
        lizard.draw(frame, 100, 0);
        drawFeedback(100, 0, frame);
        const int got = getpixel(frame, 28, 48);
        if (tick < strikeFlashTicks) {
            EXPECT_GT(getr32(got) + getg32(got) + getb32(got), getr32(plain) + getg32(plain) + getb32(plain))
                << tick;
            EXPECT_EQ(getpixel(frame, 10, 48), 0) << "only the figure is lit";
        } else {
            EXPECT_EQ(got, plain) << tick;
        }
        advanceFeedback();
    }
}

// A kill (the death sequence ending in view) leaves a burst at the enemy's
// centre that spreads and fades over killBurstTicks ticks, then nothing.
TEST_F(EffectsTest, AKillLeavesABurstThatSpreadsAndFades)
{
    Character &ogre = ogres[0];
    giveDistinctFrames(ogre, pool, 96, 96);
    place(ogre, 200, 100);
    ogre.alive = false, ogre.dying = true, ogre.stepCounter = 24; // the last death step
    BITMAP *frame = pool.solid(640, 480, 0);
    updateDying(0, 0, frame);
    ASSERT_FALSE(ogre.dying);
    ASSERT_EQ(killBursts[0].left, killBurstTicks);
    EXPECT_EQ(killBursts[0].x, 248);
    EXPECT_EQ(killBursts[0].y, 148);
    // Brightest lit pixel and farthest reach from the centre, per tick.
    int firstBright = 0, firstReach = 0;
    for (int tick = 0; tick < killBurstTicks + 2; ++tick) {
        BITMAP *f = pool.solid(640, 480, 0);
        drawFeedback(0, 0, f);
        int bright = 0, reach = 0;
        for (int y = 48; y < 248; ++y)
            for (int x = 148; x < 348; ++x) {
                const int p = getpixel(f, x, y);
                if (p == 0)
                    continue;
                bright = std::max(bright, getr32(p) + getg32(p) + getb32(p));
                reach = std::max({reach, std::abs(x - 248), std::abs(y - 148)});
            }
        EXPECT_EQ(getpixel(f, 0, 0), 0) << tick;
        if (tick == 0)
            firstBright = bright, firstReach = reach;
        if (tick >= killBurstTicks) {
            EXPECT_EQ(bright, 0) << tick << ": the burst outlived its ticks";
        } else if (tick == killBurstTicks - 1) {
            EXPECT_GT(bright, 0);
            EXPECT_LT(bright, firstBright / 4) << "the burst does not fade";
            EXPECT_GT(reach, firstReach + killBurstTicks) << "the burst does not spread";
        }
        advanceFeedback();
    }
    // Drawing a burst drew nothing of play: the ogre is as the death left it.
    EXPECT_FALSE(ogre.alive);
    EXPECT_EQ(heroStats.experience, ogreExperience);
}

// More flashes than slots: a new one takes the place of the one nearest its
// end; the same enemy struck again restarts its own flash in its own slot.
TEST_F(EffectsTest, FlashesTakeTheOldestSlotAndRestartTheirOwn)
{
    for (int i = 0; i < feedbackSlots; ++i)
        startStrikeFlash(lizards[i]);
    advanceFeedback();
    startStrikeFlash(lizards[0]); // its own slot again: every other flash stays
    EXPECT_EQ(strikeFlashLeft(lizards[0]), strikeFlashTicks);
    for (int i = 1; i < feedbackSlots; ++i)
        EXPECT_EQ(strikeFlashLeft(lizards[i]), strikeFlashTicks - 1) << i;
    startStrikeFlash(ogres[0]); // no slot free: one of the older flashes gives way
    EXPECT_EQ(strikeFlashLeft(ogres[0]), strikeFlashTicks);
    EXPECT_EQ(strikeFlashLeft(lizards[0]), strikeFlashTicks) << "the freshest flash was taken";
    int lit = 0;
    for (const Character &l : lizards)
        lit += strikeFlashLeft(l) > 0;
    EXPECT_EQ(lit, feedbackSlots - 1);
    for (int i = 0; i < feedbackSlots + 4; ++i)
        startKillBurst(lizards[i % lizardCount]);
    for (const KillBurst &b : killBursts)
        EXPECT_EQ(b.left, killBurstTicks);
}

// Once the victory picture stands, the fanfare has the sound to itself; the
// victory theme starts, looping, victoryThemeDelayTicks later, and only once.
TEST_F(EffectsTest, TheVictoryThemeLoopsOnceTheFanfareHasEnded)
{
    state.musicZone = zoneHome;
    heroStats.jewelCount = 3;
    bossLife = 0;
    runTick();
    ASSERT_STREQ(state.backdropName, "Victory.bmp");
    EXPECT_EQ(effectStarts[sfxVictory], 1);
    for (int tick = 1; tick < victoryThemeDelayTicks; ++tick) {
        runTick();
        ASSERT_TRUE(std::none_of(musicLog, musicLog + musicLogLength, [&](const MusicCall &c) {
            return c.play && c.track == state.victoryTrack;
        })) << tick;
    }
    clearMusicLog();
    runTick();
    bool started = false;
    for (int i = 0; i < musicLogLength; ++i)
        if (musicLog[i].play && musicLog[i].track == state.victoryTrack) {
            EXPECT_FALSE(started) << "started twice";
            started = true;
            EXPECT_EQ(musicLog[i].volume, musicVolumeFull);
            EXPECT_NE(musicLog[i].loop, 0);
        }
    EXPECT_TRUE(started);
    for (int tick = 0; tick < 500; ++tick) {
        clearMusicLog();
        runTick();
        for (int i = 0; i < musicLogLength; ++i)
            ASSERT_FALSE(musicLog[i].play && musicLog[i].track == state.victoryTrack)
                << "restarted at " << tick;
    }
}
