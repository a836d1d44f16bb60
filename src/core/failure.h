// failure.h - the game's few hard failures. Each shows one message (standard
// error, and a box the player answers: the library's before the screen mode
// is set, the game's own after) and ends the process with -1.
#pragma once

[[noreturn]] void failDataFile(const char *fileName, const char *problem);
[[noreturn]] void failOutOfMemory(const char *what);
// A data file that passed its check but could not be loaded: memory ran out,
// the file is not to blame.
[[noreturn]] void failLoadOutOfMemory(const char *fileName);
[[noreturn]] void failWithMessage(const char *text);
