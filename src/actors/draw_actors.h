// draw_actors.h - drawing the cast onto the back buffer each tick. Lizards and
// ogres are drawn only while alive and near the view; the boss and the
// villagers always; a jewel until it is taken. Later draws cover earlier ones.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "sprites/character.h"

// The inclusive view test shared by drawing and the death sequence: the sprite
// may touch the view's edge from outside and still counts. The view is the
// size of `dest`.
bool nearView(const Character &actor, int32_t camX, int32_t camY, const BITMAP *dest);

void drawEnemies(int32_t camX, int32_t camY, BITMAP *dest);
void drawVillagersAndJewels(int32_t camX, int32_t camY, BITMAP *dest);
