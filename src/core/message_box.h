// message_box.h - messages the player answers. Once the screen mode is set
// the game draws the box itself, on its own screen with Allegro's font, and
// reads the answer through its own keyboard and mouse: in full screen Allegro
// grabs both, so a box of another program (xmessage) could never be answered.
// Before the screen mode the library's message box is used, as it works then.
// Every message is also printed on standard error.
#pragma once

#include <allegro.h>
#include <cstdint>

// Shows `text` and waits until the player answers it with ENTER, ESC, space or
// a click on its button, however short (or the window's close button, which
// stays pending for the loop to act on). The answering key has gone up again on return, so
// it acts on nothing else. The music plays on meanwhile.
void showMessage(const char *text);

// How many messages the player has answered on the game's screen; the pacing
// starts a new schedule when this changes instead of racing to catch up.
extern int32_t messagesAnswered;

// The last message shown, for tests and replays (empty before any).
extern char lastMessage[512];

// Splits `text` at spaces and newlines into lines of at most `width`
// characters (a longer word is cut); returns the number of lines written
// into `lines`, at most `maxLines`, each at most 63 characters.
int wrapMessage(const char *text, int width, char lines[][64], int maxLines);

// Draws `text` (at most 63 characters) with Allegro's 8 x 8 font, each font
// pixel a `scale` x `scale` square, centred on `centreX` with its top at `y`.
// `colour` is in the current colour depth, as makecol gives it.
// The font's scratch picture is made once, at the first call.
void drawTextScaled(BITMAP *dest, const char *text, int centreX, int y, int scale, int colour);
