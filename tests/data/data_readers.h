// data_readers.h - reading the generated files back for the data tests.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

// The folder the tests read: $JEWELWARD_DATA when set, else the build's data.
std::string dataFolder();

struct Picture {
    int w = 0, h = 0;
    std::vector<uint32_t> px; // 0xRRGGBB, top row first
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
};
constexpr uint32_t maskColour = 0xFF00FF;

// Reads a 24-bit uncompressed BMP; fails the calling test when it cannot.
Picture readPicture(const std::string &name);

struct Sound {
    int rate = 0, channels = 0;
    std::vector<int16_t> samples; // interleaved
};
Sound readSound(const std::string &name);

// The gain the library's mixer gives a voice on one output channel (0 left,
// 1 right): volume / 255 times (255 - pan) / 255 on the left, pan / 255 on
// the right, doubled at each halving of the voices' level less than the
// library's default one (voiceVolumeHalvings).
double mixerGain(int volume, int pan, int channel);

std::vector<unsigned char> readBytes(const std::string &path);

// An in-place radix-2 FFT of a power-of-two length (inverse: unscaled).
void fft(std::vector<std::complex<double>> &a, bool inverse);
