// quit_request.h - the two ways a player asks to quit: ESC, and the window's
// close button, whose callback only sets a flag that the loops act on.
#pragma once

// Set by the window's close button; acts as ESC does at that moment.
extern volatile bool closeRequested;

bool quitHeld(); // ESC down or the close button pressed
