// hurt_flash.cpp - a red-lit copy of the hero's frame for a few ticks.

#include "combat/hurt_flash.h"

int32_t hurtFlashLeft = 0;

void startHurtFlash()
{
    hurtFlashLeft = hurtFlashTicks;
}

void advanceHurtFlash()
{
    if (hurtFlashLeft > 0)
        hurtFlashLeft -= 1;
}

void drawHero(const Character &hero, BITMAP *dest, int32_t camX, int32_t camY)
{
    if (hurtFlashLeft <= 0) {
        hero.draw(dest, camX, camY);
        return;
    }
    int sx = 0, sy = 0;
    BITMAP *picture = hero.frameInView(dest, camX, camY, sx, sy);
    if (!picture)
        return;
    // The lit sprite mixes each opaque pixel toward the blender's colour.
    set_trans_blender(255, 24, 24, 0);
    draw_lit_sprite(dest, picture, sx, sy, hurtFlashStrength);
}
