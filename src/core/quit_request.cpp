// quit_request.cpp - the close button's flag and the quit test.

#include "core/quit_request.h"

#include <allegro.h>

volatile bool closeRequested = false;

bool quitHeld()
{
    return key[KEY_ESC] || closeRequested;
}
