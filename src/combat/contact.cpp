// contact.cpp - contact damage and push-back, jewel pickup, game over, victory.

#include "combat/contact.h"

#include <cstring>

#include "actors/roster.h"
#include "combat/attack.h"
#include "combat/hero_stats.h"
#include "combat/hurt_flash.h"
#include "core/music.h"
#include "core/sound_effects.h"
#include "state/shell_state.h"
#include "world/coords.h"
#include "world/walk_grids.h"

static bool touches(const Character &actor, int64_t px, int64_t py)
{
    return pointInRect(px, py, actor.y, int64_t(actor.y) + actor.height, actor.x,
                       int64_t(actor.x) + actor.width);
}

static void contactWith(Character &enemy, int32_t damage, int64_t px, int64_t py)
{
    if (!enemy.alive || !touches(enemy, px, py))
        return;
    if (heroStats.life >= 0) {
        const int32_t before = heroStats.life;
        heroStats.life = addClamped(heroStats.life, -int64_t(damage));
        if (heroStats.life < before) {
            playEffectAt(sfxHurt, px);
            startHurtFlash();
        }
    }
    // Pushed right if that cell is free, else straight up, unprobed and unclamped.
    if (pushBackFree(enemy.x, enemy.y))
        enemy.x = addClamped(enemy.x, pushBackPixels);
    else
        enemy.y = addClamped(enemy.y, -int64_t(pushBackPixels));
}

void applyContact(int64_t px, int64_t py)
{
    for (Character &lizard : lizards)
        contactWith(lizard, lizardContactDamage, px, py);
    for (Character &ogre : ogres)
        contactWith(ogre, ogreContactDamage, px, py);
    contactWith(boss, bossContactDamage, px, py);
}

void pickUpJewels(int64_t px, int64_t py)
{
    for (Character &jewel : jewels) {
        if (touches(jewel, px, py) && jewel.alive) {
            heroStats.jewelCount = addClamped(heroStats.jewelCount, 1);
            jewel.alive = false;
            playEffectAt(sfxJewel, px);
        }
    }
}

void freezeEnemies()
{
    boss.alive = false;
    for (Character &lizard : lizards)
        lizard.alive = false;
    for (Character &ogre : ogres)
        ogre.alive = false;
}

bool isVictory()
{
    return heroStats.jewelCount == 3 && bossLife <= 0;
}

// The effect sounds once, when the picture first stands; true in that tick.
static bool showEndPicture(ShellState &state, const char *fileName, SoundEffect effect)
{
    if (state.backdropName && std::strcmp(state.backdropName, fileName) == 0)
        return false; // already standing: reading 3200 x 3200 pixels every tick would stall play
    replaceBackdrop(state, fileName);
    playEffect(effect);
    return true;
}

void gameOverReaction(ShellState &state)
{
    freezeEnemies();
    if (!isVictory()) // the victory reaction follows in this tick and its picture stays
        showEndPicture(state, "gameover.bmp", sfxGameOver);
}

void victoryReaction(ShellState &state)
{
    stopMusic(zoneTrack(state, state.musicZone));
    if (showEndPicture(state, "Victory.bmp", sfxVictory))
        state.victoryThemeWait = victoryThemeDelayTicks;
}
