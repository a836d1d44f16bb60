// test_effects.cpp - which event starts which sound effect, the repeat limit,
// the pan, the switch the replay tool uses, and the hurt flash's drawing.

#include <gtest/gtest.h>

#include <functional>

#include "actors/roster.h"
#include "combat/attack.h"
#include "combat/contact.h"
#include "combat/hero_stats.h"
#include "combat/hurt_flash.h"
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
    int starts[soundEffectCount]; // swing hit boss hurt jewel levelup heal gameover victory page
};

} // namespace

TEST_F(EffectsTest, EachEventStartsItsEffect)
{
    const EventCase cases[] = {
        {"a swing at nothing",
         [](ShellState &) { resolveAttack(faceRight, 100, 100, 96, 96); },
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing striking two lizards: one strike sound",
         [](ShellState &) {
             place(lizards[0], 150, 100), place(lizards[1], 160, 110);
             resolveAttack(faceRight, 100, 100, 96, 96);
         },
         {1, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a swing with the dark lord in view",
         [](ShellState &) {
             place(boss, 400, 300);
             resolveAttack(faceLeft, 100, 100, 96, 96);
         },
         {1, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
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

// A wound turns the hero red for hurtFlashTicks draws, then he is drawn as
// his frame is again; only the picture changes.
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
    const int32_t lifeAfterTouch = heroStats.life;
    for (int tick = 0; tick < hurtFlashTicks + 8; ++tick) {
        BITMAP *frame = pool.solid(64, 64, 0);
        drawHero(hero, frame, 0, 0);
        const int got = getpixel(frame, 28, 28);
        if (tick < hurtFlashTicks) {
            EXPECT_GT(getr32(got), getr32(plain)) << tick;
            EXPECT_LT(getg32(got) + getb32(got), getg32(plain) + getb32(plain)) << tick;
            EXPECT_EQ(getpixel(frame, 2, 2), 0) << "only the figure is tinted";
        } else {
            EXPECT_EQ(got, plain) << tick;
        }
    }
    EXPECT_EQ(heroStats.life, lifeAfterTouch);
}
