// draw_actors.cpp - culled drawing of the cast.

#include "actors/draw_actors.h"

#include "actors/roster.h"

bool nearView(const Character &actor, int32_t camX, int32_t camY, const BITMAP *dest)
{
    const int64_t x = actor.x, y = actor.y;
    return x >= int64_t(camX) - actor.width && x <= int64_t(camX) + dest->w &&
           y >= int64_t(camY) - actor.height && y <= int64_t(camY) + dest->h;
}

void drawEnemies(int32_t camX, int32_t camY, BITMAP *dest)
{
    for (const Character &lizard : lizards)
        if (lizard.alive && nearView(lizard, camX, camY, dest))
            lizard.draw(dest, camX, camY);
    for (const Character &ogre : ogres)
        if (ogre.alive && nearView(ogre, camX, camY, dest))
            ogre.draw(dest, camX, camY);
    boss.draw(dest, camX, camY); // always, alive or not, near or far
}

void drawVillagersAndJewels(int32_t camX, int32_t camY, BITMAP *dest)
{
    for (const Character &villager : villagers)
        villager.draw(dest, camX, camY);
    for (const Character &jewel : jewels)
        if (jewel.alive)
            jewel.draw(dest, camX, camY);
}
