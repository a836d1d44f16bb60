// hurt_flash.h - the hero drawn tinted red for a moment after an enemy's touch
// costs him life, so the player sees the wound where he is looking. Drawing
// only: nothing of play reads it.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "sprites/character.h"

constexpr int32_t hurtFlashTicks = 12; // ticks the hero stays red after a wound
constexpr int hurtFlashStrength = 150; // 0..255: how far his colours move toward the red

extern int32_t hurtFlashLeft; // ticks of red still to draw, this one included

void startHurtFlash();
// Once per tick of play, after the frame is drawn: one tick of the flash used up.
void advanceHurtFlash();
// Draws the hero as Character::draw does, red while the flash lasts. Drawing
// changes nothing: a frame drawn twice looks the same.
void drawHero(const Character &hero, BITMAP *dest, int32_t camX, int32_t camY);
