// startup.h - bringing the game up in its fixed order and the three ends of
// the process: exit 0 after ESC in play, 1 after ESC on the title, -1 when no
// screen mode (or no usable data) could be had.
#pragma once

#include "state/shell_state.h"

struct SaveFiles;

// The library, the data check, the screen mode (full screen, else a window),
// timer, keyboard and mouse. Ends the process with -1 on failure.
void startUp();

// Start-up steps 2 to 11: HUD pictures, villagers and jewels, the hero, sound
// (when `withSound`), the four tracks, title music, the title picture, the
// back buffer and the keyboard rate.
void bringUpGame(ShellState &state, bool withSound);

void shutDown();

// ESC on the title: pictures released, keyboard buffer emptied, exit code 1.
[[noreturn]] void endOnTitle(ShellState &state);
// ESC in play: pictures released, keyboard buffer emptied; main returns 0.
void endInPlay(ShellState &state);
