// replay_script.h - the replay format: per-tick key states with run lengths
// and a random seed, for headless regression runs of the game.
//
//   # a comment
//   seed 42                 the random seed of the enemies' placement and wandering
//   save start.txt          optional: this file becomes heroData.txt before the run
//   20 -                    20 ticks with no key down
//   1 ENTER                 1 tick with ENTER down
//   30 RIGHT+DOWN           keys joined with '+'
//
// Key names: ESC ENTER F1 F2 RIGHT LEFT DOWN UP RSHIFT. A tick count is 1 to
// 100,000,000; a script holds at most 100,000 runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum ReplayKey : uint16_t {
    replayEsc = 1 << 0,
    replayEnter = 1 << 1,
    replayF1 = 1 << 2,
    replayF2 = 1 << 3,
    replayRight = 1 << 4,
    replayLeft = 1 << 5,
    replayDown = 1 << 6,
    replayUp = 1 << 7,
    replayRShift = 1 << 8,
};

struct ReplayRun {
    int64_t ticks;
    uint16_t keys; // ReplayKey bits held in each of these ticks
};

struct ReplayScript {
    unsigned seed = 1;
    std::string saveFile; // empty: start without a save file
    std::vector<ReplayRun> runs;
};

// Parses a script; on failure returns false and a message with the line number.
bool parseReplay(const std::string &text, ReplayScript &script, std::string &error);

// Writes the Allegro key[] entries for a set of ReplayKey bits.
void applyReplayKeys(uint16_t keys);
