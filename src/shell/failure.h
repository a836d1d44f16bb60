// failure.h - the game's few hard failures. Each shows one message (the
// library's message box and standard error) and ends the process with -1.
#pragma once

[[noreturn]] void failDataFile(const char *fileName, const char *problem);
[[noreturn]] void failOutOfMemory(const char *what);
[[noreturn]] void failWithMessage(const char *text);
