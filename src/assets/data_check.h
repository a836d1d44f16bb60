// data_check.h - the one gate for data: every picture and music file the game
// loads is checked, and loaded only through the check.
//
// Before the screen mode is set, checkDataFiles reads the headers of every
// file: a regular file, readable, in a format the library's loaders read
// correctly, and of the size its layout needs. One message lists every bad
// file, each with what is wrong and how to mend it, and the game ends with -1
// instead of failing later in play.
//
// A file may still change after that check (its load can come minutes later),
// so every load opens the file once, runs the same check on that open file,
// lets the library read the very same open file (the header bytes from the
// check's own copy, never again from the file, and never past the size the
// check saw; see gate_reader.h), and then holds what the
// library made against the header (a picture's size; a sound's rate, bits,
// channels and length) and the file's size and time against those before the
// load. Any difference ends the game with a message naming the file; a load
// the library fails on a good file is told as memory running out.
//
// Accepted pictures: Windows 3 BMP (the 40-byte header), uncompressed,
// bottom-up, 24 or 32 bits per pixel, or 8 bits with a full 256-colour
// palette; the pixels may start after a gap behind the header and palette.
// Accepted music: PCM WAV, 8 or 16 bits, mono or stereo, 8,000 to 96,000
// samples per second, shorter than 8,388,608 sample frames, one format chunk
// and one data chunk. A refusal says what is wrong and what fits a player:
// reinstall the game or rebuild its data, and for a file of one's own the
// format to save it in.
#pragma once

#include <allegro.h>
#include <cstdint>
#include <string>

#include "assets/gate_reader.h"

struct DataFileRule {
    const char *name;
    bool music;   // a WAV file; otherwise a BMP picture
    int minWidth; // pictures: the least size the layout needs, pixels
    int minHeight;
    bool exactSize; // the size must be exactly minWidth x minHeight
};

extern const DataFileRule dataFileRules[];
extern const int dataFileRuleCount;

// The rule of the data file called `name`, or null for a name not in the table.
const DataFileRule *findDataFileRule(const char *name);

// The read every check and load of a data file goes through: the system
// seam's readAt. A test may put a stand-in here that counts or changes what
// the file gives.
extern ReadAtFunction dataFileRead;

// The bounds of what is accepted.
constexpr int pictureMaxSide = 8192;                 // pixels
constexpr int64_t pictureMaxPixels = 4096 * 4096;    // a 32-bit copy takes 64 MiB
constexpr int64_t pictureMaxTail = 4096;             // bytes allowed after the pixels
constexpr int64_t pictureMaxGap = 65536;             // bytes allowed between the palette and the pixels
constexpr uint32_t musicMinRate = 8000;              // samples per second
constexpr uint32_t musicMaxRate = 96000;             // the mixer fails from 524,288
constexpr int64_t musicMaxFrames = int64_t(1) << 23; // the mixer's position overflows there
constexpr int64_t musicMaxBytes = int64_t(64) << 20; // a whole WAV file
constexpr int musicMaxChunks = 64;

// Checks one file in `folder` ("" for the working folder); returns an empty
// text when it is good, else what is wrong with it and how to mend it
// ("is missing: ...").
std::string checkDataFile(const std::string &folder, const DataFileRule &rule);

// Checks every file; returns one line per bad file, or an empty text.
std::string checkDataFiles(const std::string &folder);

// What a checked load found wrong: nothing when `text` is empty.
struct LoadProblem {
    std::string text;         // what is wrong with the file, worded as the check words it
    bool outOfMemory = false; // the file is good but the library could not make it in memory
};

// One checked load from `folder`: the picture or sound, or null with `problem`
// set. Nothing is left open or allocated on a refusal.
BITMAP *loadDataPicture(const std::string &folder, const DataFileRule &rule, LoadProblem &problem);
SAMPLE *loadDataMusic(const std::string &folder, const DataFileRule &rule, LoadProblem &problem);

// The game's loads, from the working folder. A refusal ends the game with exit
// code -1 and a message naming the file: what is wrong with it, or that memory
// ran out when the file itself is good.
BITMAP *loadCheckedPicture(const char *name);
SAMPLE *loadCheckedMusic(const char *name);
