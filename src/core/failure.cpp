// failure.cpp - hard failures: one message, then exit code -1 (255 to a parent).

#include "core/failure.h"

#include "core/message_box.h"

#include <allegro.h>
#include <cstdio>
#include <cstdlib>

void failWithMessage(const char *text)
{
    showMessage(text); // standard error too; on the game's own screen once it is set
    std::exit(-1);
}

void failDataFile(const char *fileName, const char *problem)
{
    // Once the screen is up the game has started: a file that vanished or
    // broke since the check stops it in play.
    char text[512];
    std::snprintf(text, sizeof text, "Jewelward cannot %s: a data file is unusable.\n\"%s\" %s.",
                  screen ? "go on" : "start", fileName, problem);
    failWithMessage(text);
}

void failOutOfMemory(const char *what)
{
    char text[256];
    std::snprintf(text, sizeof text, "Jewelward ran out of memory while making %s.", what);
    failWithMessage(text);
}

void failLoadOutOfMemory(const char *fileName)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "Jewelward ran out of memory while loading \"%s\" (the file itself is good): close other "
                  "programs and start it again.",
                  fileName);
    failWithMessage(text);
}
