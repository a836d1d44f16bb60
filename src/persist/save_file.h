// save_file.h - the hero's save, "heroData.txt" in the working directory:
// fifteen decimal integers, one per line, in this order: camera x, camera y,
// hero x, hero y, music zone, level, life, maximum life, magic, maximum magic,
// experience, experience for the next level, jewel 0, 1 and 2 taken (1 = taken).
//
// F1 in play saves, F2 on the title resumes. A save goes to a temporary file
// that is flushed to disk and then renamed over the old one, so a crash or a
// full disk never costs the previous save. A file that does not hold fifteen
// 32-bit integers is refused whole.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "persist/save_text.h"

struct ShellState;

constexpr const char *saveFileName = "heroData.txt";
constexpr const char *saveTempFileName = "heroData.txt.new";

// The two streams main owns for the whole run, used again for every attempt.
struct SaveStreams {
    std::ifstream in;
    std::ofstream out;
};

// Fault injection for tests: make the next saves fail at one point.
enum class SaveFault { none, failWrite, failFlush, failRename };
extern SaveFault saveFault;

void exportStats(int32_t &level, int32_t &life, int32_t &maxLife, int32_t &magic, int32_t &maxMagic,
                 int32_t &experience, int32_t &nextLevelExp, int32_t &jewel0Taken, int32_t &jewel1Taken,
                 int32_t &jewel2Taken);
void importStats(int32_t level, int32_t life, int32_t maxLife, int32_t magic, int32_t maxMagic,
                 int32_t experience, int32_t nextLevelExp, int32_t jewel0Taken, int32_t jewel1Taken,
                 int32_t jewel2Taken);

// Writes the save; false when any step failed (the old file is then untouched).
bool saveGame(ShellState &state, SaveStreams &streams);

enum class ResumeResult { resumed, noFile, damaged };
// F2 on the title. On success play starts from the saved values; otherwise a
// message box says why and nothing changes.
ResumeResult resumeGame(ShellState &state, SaveStreams &streams);
