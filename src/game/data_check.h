// data_check.h - before the screen mode is set, every picture and music file
// the game will load is checked: a regular file, readable, in a format the
// library's loaders read correctly, and of the size its layout needs. Only
// headers and file sizes are read, never whole files, so a damaged or huge
// file costs no time. One message lists every bad file, each with what is
// wrong and how to mend it, and the game ends with -1 instead of failing
// later in play.
//
// Accepted pictures: Windows 3 BMP (the 40-byte header), uncompressed,
// bottom-up, 24 or 32 bits per pixel, or 8 bits with a full 256-colour
// palette. Accepted music: PCM WAV, 8 or 16 bits, mono or stereo, 8,000 to
// 96,000 samples per second, shorter than 8,388,608 sample frames, one format
// chunk and one data chunk.
#pragma once

#include <cstdint>
#include <string>

struct DataFileRule {
    const char *name;
    bool music;   // a WAV file; otherwise a BMP picture
    int minWidth; // pictures: the least size the layout needs, pixels
    int minHeight;
    bool exactSize; // the size must be exactly minWidth x minHeight
};

extern const DataFileRule dataFileRules[];
extern const int dataFileRuleCount;

// The bounds of what is accepted.
constexpr int pictureMaxSide = 8192;                 // pixels
constexpr int64_t pictureMaxPixels = 4096 * 4096;    // a 32-bit copy takes 64 MiB
constexpr int64_t pictureMaxTail = 4096;             // bytes allowed after the pixels
constexpr uint32_t musicMinRate = 8000;              // samples per second
constexpr uint32_t musicMaxRate = 96000;             // the mixer fails from 524,288
constexpr int64_t musicMaxFrames = int64_t(1) << 23; // the mixer's position overflows there
constexpr int64_t musicMaxBytes = int64_t(64) << 20; // a whole WAV file
constexpr int musicMaxChunks = 64;

// Checks one file in `folder`; returns an empty text when it is good, else
// what is wrong with it and how to mend it ("is missing: ...").
std::string checkDataFile(const std::string &folder, const DataFileRule &rule);

// Checks every file; returns one line per bad file, or an empty text.
std::string checkDataFiles(const std::string &folder);
