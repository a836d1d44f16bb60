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
    SaveFiles saves; // the system calls every save and resume goes through
    ShellState state;
    bringUpGame(state, true);

    Pacer pacer;
    for (;;) {
        // ESC (or the close button) found at the head of a title iteration
        // quits as it does at the end of one, rather than going on to set up
        // a game the player has asked to leave.
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
