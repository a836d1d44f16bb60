// fault_files.h - writers of BMP and WAV files in many layouts, right or
// broken, for the data-check tests: small stand-ins of a given size or sound
// format, and re-encodings of the game's own pictures and music.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An uncompressed 24-bit BMP of w x h pixels, all one grey.
std::string bmpFile(int32_t w, int32_t h);

// A RIFF WAVE file with one second of silence in the given format tag
// (1 = PCM, 3 = float), channel count, bits per sample and rate.
std::string wavFile(uint16_t format, uint16_t channels, uint16_t bits, uint32_t rate = 22050);

// A picture as 0xRRGGBB values, top row first.
struct Picture {
    int w = 0, h = 0;
    std::vector<uint32_t> rgb;
};

// Reads an uncompressed 24- or 32-bit bottom-up BMP with the 40-byte header
// (the layouts of the game's generated pictures); false for anything else.
bool decodeBmp(const std::string &bytes, Picture &picture);

// How a picture is written. Pictures of 8 bits or fewer index a palette:
// 3-3-2 levels at 8 bits (magenta is entry 227), greys below; when
// paletteColours is smaller than the full palette, indices wrap round it.
struct BmpLayout {
    int bits = 24;            // 1, 4, 8, 16 (5-5-5), 24 or 32
    uint32_t infoSize = 40;   // 12 (OS/2), 40 (Windows 3), 108 (V4) or 124 (V5)
    bool topDown = false;     // rows from the top, a negative height
    int paletteColours = 0;   // entries written; 0 for a full palette
    uint32_t compression = 0; // 0; 1 (RLE8) or 2 (RLE4) with a real run-length body
    uint8_t alpha = 0;        // the fourth byte of each 32-bit pixel
    uint32_t gap = 0;         // bytes of 0xA5 between the palette and the pixels
};
std::string encodeBmp(const Picture &picture, const BmpLayout &layout);

// The colour a palette picture shows for `rgb` once the library has read it
// at 8 bits (its palette holds 6 bits a channel).
uint32_t paletteColour8(uint32_t rgb);

// Sound as signed 16-bit frames, `channels` values a frame.
struct Sound {
    int channels = 1;
    uint32_t rate = 22050; // frames per second
    std::vector<int16_t> samples;
};

// Reads a 16-bit PCM WAV (the game's generated music), noting where its
// "fmt " and "data" chunks start; false for anything else.
struct WavChunks {
    size_t format = 0, data = 0; // offsets of the chunk names, bytes
};
bool decodeWav16(const std::string &bytes, Sound &sound, WavChunks &where);

// One RIFF chunk: its four-letter name and body. A body of odd length is
// followed by the pad byte RIFF requires.
struct Chunk {
    std::string name, body;
};
std::string riffWave(const std::vector<Chunk> &chunks);
Chunk formatChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t extraBytes = 0);
// The sound's frames as `bits`-bit PCM (8 unsigned, 16 or 24 signed) in
// `channels` channels (mono is copied to both; stereo keeps its left channel).
Chunk dataChunk(const Sound &sound, uint16_t channels, uint16_t bits);
