// text.h - drawing lines of text with our own pixel font.
#pragma once

#include "art.h"

struct TextStyle {
    int scale = 2;                                   // font pixels become scale x scale blocks
    Col top = hex(0xFFFFFF), bottom = hex(0xD8D8D8); // fill, top to bottom
    Col edge = hex(0x181010);                        // outline
    int outline = 1;                                 // outline thickness, pixels
    int shadow = 2;                                  // drop shadow offset, pixels (0: none)
};

int textWidth(const std::string &text, int scale);
void drawText(Image &im, int x, int y, const std::string &text, const TextStyle &s);
void drawTextCentred(Image &im, int centreX, int y, const std::string &text, const TextStyle &s);
