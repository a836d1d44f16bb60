// headless.cpp - headless Allegro for tests.

#include "headless.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "actors/roster.h"
#include "combat/hero_stats.h"
#include "shell/game_loop.h"

void startHeadless()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "headless Allegro failed: %s\n", allegro_error);
        std::abort();
    }
    set_color_depth(32);
    const char *dir = std::getenv("JEWELWARD_DATA");
    if (!dir)
        dir = JEWELWARD_DATA_DIR;
    if (chdir(dir) != 0) {
        std::fprintf(stderr, "cannot enter the data folder %s\n", dir);
        std::abort();
    }
}

void resetWorld()
{
    for (Character &c : lizards)
        c = Character{};
    for (Character &c : ogres)
        c = Character{};
    boss = Character{};
    for (Character &c : villagers)
        c = Character{};
    for (Character &c : jewels)
        c = Character{};
    resetHeroStats();
    closeRequested = false;
    releaseAllKeys();
}

void releaseAllKeys()
{
    for (int i = 0; i < KEY_MAX; ++i)
        key[i] = 0;
}
