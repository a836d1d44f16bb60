// fault_files.h - small broken data files: BMP and WAV writers for pictures of
// a given size and sounds of a given format.
#pragma once

#include <cstdint>
#include <string>

// An uncompressed 24-bit BMP of w x h pixels, all one grey.
std::string bmpFile(int32_t w, int32_t h);

// A RIFF WAVE file with one second of silence in the given format tag
// (1 = PCM, 3 = float), channel count and bits per sample.
std::string wavFile(uint16_t format, uint16_t channels, uint16_t bits);
