// sfx.h - the game's sound effects, synthesised by our own code.
#pragma once

#include <string>

// Writes sfx_swing.wav ... sfx_saved.wav into dir; false when a file cannot be written.
bool writeSoundEffects(const std::string &dir);
