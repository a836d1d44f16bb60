// score.h - our scores as timed note and controller events, the Standard MIDI
// File they are written to, FluidSynth's render of that file, and the loudness
// meter that matches the rendered tracks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NoteEvent {
    int32_t atMs, lengthMs;
    uint8_t channel, key, velocity; // channel 9 is the percussion kit
};

// A program change (status 0xC0, data2 unused) or a controller (0xB0).
struct ControlEvent {
    int32_t atMs;
    uint8_t channel, status, data1, data2;
};

struct Score {
    int32_t loopMs = 0; // one pass; a multiple of 2 ms (64 frames at 32 kHz)
    std::vector<NoteEvent> notes;
    std::vector<ControlEvent> controls;
};

// Writes the score played `passes` times back to back into a type-0 MIDI file
// whose tick is one millisecond, cut at endMs.
bool writeMidi(const std::string &path, const Score &score, int passes, int32_t endMs);

// Renders a MIDI file with FluidSynth into interleaved stereo float frames at
// `rate`; empty when the synthesizer could not run.
std::vector<float> renderMidi(const std::string &midiPath, const std::string &rawPath, int rate);

// The SoundFont the build found (empty when none).
const char *soundFontPath();
