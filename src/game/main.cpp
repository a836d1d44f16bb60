// main.cpp - Jewelward's entry: start-up, the title, the game set-up, the main
// loop at 100 ticks per second, and the end by ESC.

#include <allegro.h>

#include "core/platform.h"
#include "game/game_loop.h"
#include "game/pacing.h"
#include "game/startup.h"
#include "persist/save_file.h"

int main()
{
    prepareProcess(); // before anything opens a file
    removeStaleSaveTemps();
    startUp();
    SaveFiles saves; // created before the hero, as the game always has
    ShellState state;
    bringUpGame(state, true);

    Pacer pacer;
    for (;;) {
        // ESC (or the close button) found at the head of a title iteration
        // quits as it does at the end of one: going on to the game set-up with
        // a story page as the backdrop would leave no free cell for placement.
        if (quitHeld())
            endOnTitle(state);
        const TitleResult result = titleIteration(state, saves, screen);
        if (result == TitleResult::ended)
            break;
        if (result == TitleResult::quit)
            endOnTitle(state);
        waitForNextTick(pacer);
    }

    setUpGame(state);
    while (!quitHeld()) {
        runTick(state, saves, screen);
        waitForNextTick(pacer);
    }
    endInPlay(state);
    return 0;
}
END_OF_MAIN()
