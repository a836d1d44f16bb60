// standard_streams.h - the process's standard streams, made safe to use. A
// launcher may start the game with descriptor 0, 1 or 2 closed, or with
// standard error on a pipe nobody reads any more.
#pragma once

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so the
// first file the game or a library opens can never take a standard stream's
// number, and ignores SIGPIPE, so a message that cannot be printed is simply
// lost instead of ending the game. Call first thing in main, before anything
// opens a file.
void keepStandardStreamsSafe();
