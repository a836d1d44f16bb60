// headless.h - Allegro without a display for tests: the null system driver,
// 32-bit memory bitmaps, the generated data folder as working directory, and
// a way to put every program-wide value back to its starting state.
#pragma once

#include <allegro.h>

#include "shell/shell_state.h"

// Starts Allegro once per process (SYSTEM_NONE, 32-bit colour) and changes to
// the generated data folder. Safe to call many times.
void startHeadless();

// Every program-wide actor, HeroStats and bossLife back to their start values.
void resetWorld();

// Holds no key down.
void releaseAllKeys();
