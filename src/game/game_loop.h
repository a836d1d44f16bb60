// game_loop.h - the title sequence and the main loop, one iteration per call.
//
// One iteration is one tick, the unit of every speed and animation. The
// callers pace them at 100 ticks per second; the iterations themselves read
// the keys from Allegro's key[] array and compose the frame on backBuffer, then
// copy it to `dest` (the screen in the game, a memory bitmap in tests).
#pragma once

#include <allegro.h>

#include "core/quit_request.h"
#include "state/shell_state.h"

struct SaveFiles;

enum class TitleResult {
    stay,  // the title goes on
    ended, // stage 4 reached (new game or resume): the game set-up follows
    quit,  // ESC at the end of the iteration: exit code 1
};

// One iteration of the title sequence. Each ENTER press moves one stage on and
// each F2 press makes one resume attempt: a key acts again only after it went up.
TitleResult titleIteration(ShellState &state, SaveFiles &saves, BITMAP *dest);

// The game set-up between the title and the first tick: enemies, then hero.
void setUpGame(ShellState &state);

// One tick of play: keys, end tests, contact, pickup, then the frame.
void runTick(ShellState &state, SaveFiles &saves, BITMAP *dest);
