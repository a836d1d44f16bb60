// hero_control.h - the hero's set-up and the four arrow-key handlers: music
// zone, cell probe, camera scroll, then the 4-pixel step.
#pragma once

#include <cstdint>

#include "state/shell_state.h"

constexpr int32_t heroStepPixels = 4;
constexpr int32_t eastZoneX = 2000;      // right key at x >= 2000 enters the east
constexpr int32_t southWestZoneY = 1700; // down key at y >= 1700 and x <= 800 enters the south-west
constexpr int32_t southWestZoneMaxX = 800;

// Cuts the hero's sheets; a new game puts the hero in the middle of the screen.
void setUpHero(ShellState &state);

// One arrow key held in a tick; direction is a WanderDirection code.
void handleArrowKey(ShellState &state, int32_t direction);
