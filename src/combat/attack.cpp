// attack.cpp - hit rectangle, strikes, boss damage and the death sequence.

#include "combat/attack.h"

#include "actors/draw_actors.h"
#include "actors/roster.h"
#include "combat/feedback.h"
#include "combat/hero_stats.h"
#include "core/sound_effects.h"
#include "world/coords.h"

bool pointInRect(int64_t px, int64_t py, int64_t top, int64_t bottom, int64_t left, int64_t right)
{
    return left < px && px < right && top < py && py < bottom;
}

Rect hitRect(int32_t facing, int32_t x, int32_t y, int32_t width, int32_t height)
{
    Rect r{y, int64_t(y) + height, x, int64_t(x) + width};
    switch (facing) {
    case 0: r.right += straightReach; break;
    case 1: r.top -= straightReach; break;
    case 2:
        r.top -= diagonalReach;
        r.right += diagonalReach;
        break;
    case 3:
        r.top -= diagonalReach;
        r.left -= diagonalReach;
        break;
    case 4: r.bottom += straightReach; break;
    case 5:
        r.bottom += diagonalReach;
        r.right += diagonalReach;
        break;
    case 6:
        r.bottom += diagonalReach;
        r.left -= diagonalReach;
        break;
    case 7: r.left -= straightReach; break;
    default: break;
    }
    return r;
}

int32_t bossLifeAfterSwing(int32_t life, int32_t level)
{
    return truncToInt32(double(life) - (level * 0.5 + 2));
}

static void startDying(Character &actor)
{
    actor.alive = false;
    actor.dying = true;
    actor.tick = 0;
    actor.stepCounter = 0;
}

// Returns true when the swing struck this enemy.
static bool strikeIfInside(Character &enemy, const Rect &r)
{
    const int64_t cx = int64_t(enemy.x) + enemy.width / 2;
    const int64_t cy = int64_t(enemy.y) + enemy.height / 2;
    if (!pointInRect(cx, cy, r.top, r.bottom, r.left, r.right) || !enemy.alive)
        return false;
    startDying(enemy);
    startStrikeFlash(enemy);
    return true;
}

void resolveAttack(int32_t facing, int32_t x, int32_t y, int32_t width, int32_t height)
{
    const Rect r = hitRect(facing, x, y, width, height);
    const int64_t heroCentreX = int64_t(x) + width / 2;
    bool struck = false;
    for (Character &lizard : lizards)
        struck = strikeIfInside(lizard, r) || struck;
    for (Character &ogre : ogres)
        struck = strikeIfInside(ogre, r) || struck;
    // The boss loses life on every swing, even when far away or already dead,
    // and every swing at 0 or below starts its death sequence anew. He is
    // heard only when a swing still hurts him and he stands in view. A swing
    // sounds once, the strongest of what it did: the dark lord hurt, else an
    // enemy struck, else the whoosh through the air.
    if (bossLife > 0 && inEffectsView(boss.x, boss.y, boss.width, boss.height)) {
        playEffectAt(sfxBoss, int64_t(boss.x) + boss.width / 2);
        startStrikeFlash(boss);
    } else {
        playEffectAt(struck ? sfxHit : sfxSwing, heroCentreX);
    }
    bossLife = bossLifeAfterSwing(bossLife, heroStats.level);
    if (bossLife <= 0)
        startDying(boss);
}

// One death step; returns true in the tick the sequence ends.
static bool deathStep(Character &actor, int32_t slashLimit, int32_t camX, int32_t camY, BITMAP *dest)
{
    if (!nearView(actor, camX, camY, dest) || !actor.dying)
        return false;
    actor.tick += 1;
    if (actor.tick > deathTimerLimit) {
        actor.stepCounter = addClamped(actor.stepCounter, 1);
        actor.tick = 0;
    }
    actor.draw(dest, camX, camY);
    if (actor.stepCounter > slashStart && actor.stepCounter < slashLimit) {
        const int64_t sx = int64_t(actor.x) - camX, sy = int64_t(actor.y) - camY;
        stretch_sprite(dest, slash, int(sx), int(sy), actor.width, actor.height);
    }
    if (actor.stepCounter > deathSequenceEnd) {
        actor.dying = false;
        return true;
    }
    return false;
}

static void award(int32_t experience)
{
    heroStats.experience = addClamped(heroStats.experience, experience);
    levelUp();
}

void updateDying(int32_t camX, int32_t camY, BITMAP *dest)
{
    for (Character &lizard : lizards)
        if (deathStep(lizard, lizardSlashEnd, camX, camY, dest)) {
            award(lizardExperience);
            startKillBurst(lizard);
        }
    for (Character &ogre : ogres)
        if (deathStep(ogre, bigSlashEnd, camX, camY, dest)) {
            award(ogreExperience);
            startKillBurst(ogre);
        }
    if (deathStep(boss, bigSlashEnd, camX, camY, dest)) // the boss gives no experience
        startKillBurst(boss);
}
