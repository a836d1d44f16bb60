// data_check.h - before the screen mode is set, every picture and music file
// the game will load is checked: present, readable, a BMP or PCM WAV that the
// library reads, and of the size its layout needs. One message lists every bad
// file, and the game ends with -1 instead of drawing through a null picture.
#pragma once

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

// Checks one file in `folder`; returns an empty text when it is good, else
// what is wrong with it ("is missing", "is cut short", ...).
std::string checkDataFile(const std::string &folder, const DataFileRule &rule);

// Checks every file; returns one line per bad file, or an empty text.
std::string checkDataFiles(const std::string &folder);
