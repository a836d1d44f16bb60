// wander.h - enemies and the boss walk about on their own: one 4-pixel step in
// seven ticks, a new random direction every 22 steps, no step into a cell the
// enemy grid blocks. Also the clock of the death sequence: every actor that is
// not alive counts its stepCounter up by one per tick.
#pragma once

#include <cstdint>

#include "sprites/character.h"

constexpr int32_t wanderThrottle = 5; // steps when stepCounter > 5: once in 7 ticks
constexpr int32_t wanderHold = 20;    // a new direction once wanderCounter passes 20
constexpr int32_t wanderStepPixels = 4;
constexpr int32_t deadCounterCeiling = 1000; // no reader tells apart values from 818 up

// One tick for one actor.
void wanderOne(Character &actor, int32_t worldHeight, int32_t worldWidth);

// One tick for lizards 0..34, ogres 0..34, then the boss. Height first.
void wanderEnemies(int32_t worldHeight, int32_t worldWidth);
