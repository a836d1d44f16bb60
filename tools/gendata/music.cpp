// music.cpp - four looping pieces of our own, synthesised note by note.
//
// Every note is written into a circular buffer one loop long, so a release
// tail that runs past the loop's end sounds again at its start: played round
// and round, the piece has no seam.

#include <algorithm>
#include <sstream>

#include "art.h"

namespace
{

constexpr int rate = 22050;
constexpr float twoPi = 2 * float(M_PI);

enum Voice { vSquare, vTriangle, vBell, vPiano, vSaw, vPad, vKick, vSnare, vHat };

struct Envelope {
    float attack, decay, sustain, release; // seconds, level, seconds
};

struct Loop {
    std::vector<float> buf;
    explicit Loop(size_t n) : buf(n, 0) {}

    void note(double start, double length, float freq, Voice v, float gain, Envelope e)
    {
        const size_t n = buf.size();
        const int total = int((length + e.release) * rate);
        const int gateEnd = int(length * rate);
        const size_t first = size_t(start * rate);
        uint32_t noise = uint32_t(first * 2654435761u + 12345u);
        float last = 0, prev = 0;
        for (int i = 0; i < total; ++i) {
            const float t = float(i) / rate;
            float env;
            if (t < e.attack)
                env = t / e.attack;
            else if (t < e.attack + e.decay)
                env = 1 - (1 - e.sustain) * (t - e.attack) / e.decay;
            else
                env = e.sustain;
            if (i >= gateEnd) {
                const float held = env;
                env = held * std::max(0.f, 1 - float(i - gateEnd) / (e.release * rate));
            }
            const float ph = twoPi * freq * t;
            float s = 0;
            switch (v) {
            case vSquare: // odd harmonics, softened at the top
                for (int k = 1; k <= 9; k += 2)
                    s += std::sin(ph * k) / k * (k > 5 ? 0.6f : 1.f);
                s *= 0.9f;
                break;
            case vTriangle:
                s = std::sin(ph) - std::sin(3 * ph) / 9 + std::sin(5 * ph) / 25;
                s += 0.004f * std::sin(twoPi * 5.2f * t) * std::sin(ph); // a little vibrato colour
                break;
            case vBell: // FM with an inharmonic ratio, brightness fading
                s = std::sin(ph + 2.2f * std::exp(-t * 3.f) * std::sin(ph * 3.5f));
                break;
            case vPiano: s = std::sin(ph + 1.3f * std::exp(-t * 6.f) * std::sin(ph)); break;
            case vSaw:
                for (int k = 1; k <= 8; ++k)
                    s += std::sin(ph * k) / k * (k % 2 ? 1.f : -1.f);
                s *= 0.6f;
                break;
            case vPad: // two triangles a few cents apart
                s = 0.5f * (std::sin(ph) - std::sin(3 * ph) / 9) +
                    0.5f * (std::sin(ph * 1.006f) - std::sin(3 * ph * 1.006f) / 9) + 0.15f * std::sin(2 * ph);
                break;
            case vKick: {
                const float f = 45 + 90 * std::exp(-t * 30);
                s = std::sin(twoPi * f * t * (1 + 0.0f)) * 1.2f;
                break;
            }
            case vSnare: {
                noise = noise * 1664525u + 1013904223u;
                const float w = float(noise >> 8) / 8388608.f - 1;
                s = 0.75f * w + 0.35f * std::sin(twoPi * 185 * t) * std::exp(-t * 20);
                break;
            }
            case vHat: {
                noise = noise * 1664525u + 1013904223u;
                const float w = float(noise >> 8) / 8388608.f - 1;
                s = w - prev; // brighten: keep the high part
                prev = w;
                break;
            }
            }
            (void)last;
            buf[(first + size_t(i)) % n] += s * env * gain;
        }
    }
};

float midiHz(float m)
{
    return 440.f * std::pow(2.f, (m - 69) / 12);
}

struct Piece {
    int bpm, beatsPerBar, bars;
    int root;                // MIDI note of the tonic
    std::vector<int> scale;  // semitones of the seven degrees
    std::vector<int> chords; // one scale degree per bar (chord root)
    const char *melody;      // "degree:eighths" or "r:eighths", bars split by '|'
    Voice lead, comp, bass;
    int style; // 0 march, 1 lilt, 2 drift, 3 drive
};

int degreeToMidi(const Piece &p, int degree, int octave)
{
    const int n = int(p.scale.size());
    int o = degree >= 0 ? degree / n : -((-degree + n - 1) / n);
    const int d = degree - o * n;
    return p.root + 12 * (o + octave) + p.scale[size_t(d)];
}

std::vector<float> perform(const Piece &p)
{
    const double beat = 60.0 / p.bpm, eighth = beat / 2, bar = beat * p.beatsPerBar;
    Loop lead(size_t(std::llround(bar * p.bars * rate)));
    Loop band(lead.buf.size());
    // Melody.
    {
        std::stringstream in(p.melody);
        std::string token;
        double at = 0;
        while (in >> token) {
            if (token == "|")
                continue;
            const size_t colon = token.find(':');
            const int len = std::stoi(token.substr(colon + 1));
            if (token[0] != 'r') {
                const int deg = std::stoi(token.substr(0, colon));
                const float hz = midiHz(float(degreeToMidi(p, deg, 1)));
                const double dur = len * eighth * 0.92;
                switch (p.lead) {
                case vSquare: lead.note(at, dur, hz, vSquare, 0.16f, {0.01f, 0.12f, 0.7f, 0.08f}); break;
                case vTriangle: lead.note(at, dur, hz, vTriangle, 0.3f, {0.04f, 0.2f, 0.75f, 0.25f}); break;
                case vBell: lead.note(at, dur, hz, vBell, 0.22f, {0.005f, 0.6f, 0.35f, 0.9f}); break;
                default: lead.note(at, dur, hz, p.lead, 0.2f, {0.01f, 0.2f, 0.6f, 0.2f}); break;
                }
                if (p.style == 0) // the title's lead is doubled an octave down
                    lead.note(at, dur, hz / 2, vSaw, 0.07f, {0.02f, 0.2f, 0.6f, 0.1f});
            }
            at += len * eighth;
        }
    }
    // Harmony, bass and drums, bar by bar.
    for (int b = 0; b < p.bars; ++b) {
        const double t0 = b * bar;
        const int c = p.chords[size_t(b % int(p.chords.size()))];
        const int triad[3] = {degreeToMidi(p, c, 0), degreeToMidi(p, c + 2, 0), degreeToMidi(p, c + 4, 0)};
        const float bassHz = midiHz(float(degreeToMidi(p, c, -1)));
        switch (p.style) {
        case 0: // march: chord stabs on every beat, bass in octaves, full kit
            for (int k = 0; k < p.beatsPerBar; ++k) {
                for (int n : triad)
                    band.note(t0 + k * beat, beat * 0.55, midiHz(float(n)), vSaw, 0.045f,
                              {0.01f, 0.1f, 0.5f, 0.08f});
                band.note(t0 + k * beat, beat * 0.45, bassHz * (k % 2 ? 2 : 1), vTriangle, 0.32f,
                          {0.005f, 0.1f, 0.7f, 0.05f});
                band.note(t0 + k * beat, 0.2, 0, k % 2 ? vSnare : vKick, k % 2 ? 0.2f : 0.5f,
                          {0.001f, 0.12f, 0.0f, 0.02f});
                band.note(t0 + k * beat + eighth, 0.04, 0, vHat, 0.08f, {0.001f, 0.04f, 0.0f, 0.01f});
            }
            break;
        case 1: // lilt: a rippling arpeggio, a long bass note, soft shaker
            band.note(t0, bar * 0.95, bassHz, vTriangle, 0.3f, {0.02f, 0.4f, 0.6f, 0.3f});
            for (int k = 0; k < p.beatsPerBar * 2; ++k) {
                const int n = triad[(k < 3 ? k : 4 - k + 2) % 3] + (k == 3 ? 12 : 0);
                band.note(t0 + k * eighth, eighth * 1.6, midiHz(float(n)), vPiano, 0.1f,
                          {0.005f, 0.3f, 0.3f, 0.3f});
                band.note(t0 + k * eighth, 0.03, 0, vHat, k % 2 ? 0.03f : 0.05f,
                          {0.001f, 0.03f, 0.0f, 0.01f});
            }
            break;
        case 2: // drift: a slow pad, a drone, a heartbeat drum
            for (int n : triad)
                band.note(t0, bar, midiHz(float(n)), vPad, 0.07f, {0.6f, 0.5f, 0.8f, 0.8f});
            band.note(t0, bar * 0.9, bassHz / 2 * 2, vTriangle, 0.3f, {0.2f, 0.5f, 0.7f, 0.6f});
            band.note(t0, 0.3, 0, vKick, 0.35f, {0.001f, 0.25f, 0.0f, 0.05f});
            band.note(t0 + beat * 0.5, 0.3, 0, vKick, 0.2f, {0.001f, 0.2f, 0.0f, 0.05f});
            band.note(t0 + beat * 2.5, 0.1, 0, vHat, 0.06f, {0.02f, 0.1f, 0.0f, 0.05f});
            band.note(t0 + beat * 3, 0.15, 0, vSnare, 0.06f, {0.001f, 0.1f, 0.0f, 0.05f});
            break;
        default: // drive: sixteenth bass, kick on every beat, hats on sixteenths
            for (int k = 0; k < p.beatsPerBar * 4; ++k) {
                const double at = t0 + k * beat / 4;
                band.note(at, beat / 4 * 0.7, bassHz * (k % 4 == 2 ? 2 : 1), vSaw, 0.16f,
                          {0.003f, 0.05f, 0.6f, 0.02f});
                band.note(at, 0.03, 0, vHat, k % 2 ? 0.04f : 0.07f, {0.001f, 0.03f, 0.0f, 0.01f});
            }
            for (int k = 0; k < p.beatsPerBar; ++k) {
                band.note(t0 + k * beat, 0.2, 0, vKick, 0.5f, {0.001f, 0.15f, 0.0f, 0.02f});
                if (k % 2)
                    band.note(t0 + k * beat, 0.2, 0, vSnare, 0.24f, {0.001f, 0.12f, 0.0f, 0.03f});
            }
            for (int n : triad) // a short stab on the bar's first beat
                band.note(t0, beat * 0.3, midiHz(float(n + 12)), vSquare, 0.035f,
                          {0.005f, 0.1f, 0.4f, 0.05f});
            break;
        }
    }
    // Mix; a circular echo on the lead; a gentle low-pass that wraps round.
    const size_t n = lead.buf.size();
    const size_t delay = size_t(std::llround(beat * 0.75 * rate)) % n;
    std::vector<float> wet = lead.buf;
    for (int pass = 0; pass < 3; ++pass)
        for (size_t i = 0; i < n; ++i)
            wet[i] = lead.buf[i] + 0.3f * wet[(i + n - delay) % n];
    std::vector<float> mixed(n);
    for (size_t i = 0; i < n; ++i)
        mixed[i] = wet[i] + band.buf[i];
    float state = 0;
    for (size_t k = 0; k < 2 * n; ++k) {
        state += 0.55f * (mixed[k % n] - state);
        if (k >= n)
            mixed[k - n] = state;
    }
    return mixed;
}

const Piece pieces[4] = {
    // Title: D major, a bold march.
    {120,
     4,
     16,
     62,
     {0, 2, 4, 5, 7, 9, 11},
     {0, 4, 5, 3, 0, 4, 5, 3, 3, 4, 2, 5, 1, 4, 0, 0},
     "4:2 4:1 5:1 7:2 4:2 | 6:3 5:1 4:2 1:2 | 2:2 4:2 5:2 7:2 | 5:6 r:2 | "
     "4:2 4:1 5:1 7:2 9:2 | 8:3 7:1 6:2 4:2 | 5:2 7:2 5:2 2:2 | 3:2 4:2 6:4 | "
     "3:2 5:2 7:3 5:1 | 4:2 6:2 8:4 | 9:2 8:2 7:2 6:2 | 5:6 r:2 | "
     "1:2 3:2 5:2 8:2 | 7:2 6:2 4:2 6:2 | 7:8 | r:4 4:2 6:2",
     vSquare,
     vSaw,
     vTriangle,
     0},
    // Home: F major in three, calm.
    {84,
     3,
     16,
     65,
     {0, 2, 4, 5, 7, 9, 11},
     {0, 5, 3, 4, 0, 2, 3, 4, 5, 3, 0, 4, 3, 4, 0, 0},
     "2:3 4:1 2:2 | 0:4 1:2 | 3:2 5:2 3:2 | 1:6 | 2:3 4:1 7:2 | 6:4 4:2 | 5:2 3:2 1:2 | 4:6 | "
     "5:3 4:1 2:2 | 3:4 5:2 | 4:2 2:2 0:2 | 1:6 | 3:3 2:1 1:2 | 4:3 3:1 1:2 | 0:6 | r:6",
     vTriangle,
     vPiano,
     vTriangle,
     1},
    // South-west: A dorian, slow and strange.
    {72,
     4,
     12,
     57,
     {0, 2, 3, 5, 7, 9, 10},
     {0, 3, 0, 6, 0, 3, 4, 0, 2, 6, 0, 0},
     "4:4 3:2 2:2 | 3:6 r:2 | 2:2 4:2 5:2 6:2 | 4:8 | 7:4 6:2 4:2 | 5:4 3:4 | 4:2 2:2 1:2 2:2 | 0:8 | "
     "2:4 4:4 | 3:2 1:2 -1:4 | 0:2 2:2 4:2 6:2 | 4:8",
     vBell,
     vPad,
     vTriangle,
     2},
    // East: E harmonic minor, fast and tense.
    {150,
     4,
     20,
     64,
     {0, 2, 3, 5, 7, 8, 11},
     {0, 5, 3, 4},
     "4:1 4:1 3:1 4:1 7:2 4:2 | 5:2 4:1 2:1 4:4 | 3:1 3:1 2:1 3:1 5:2 3:2 | 1:2 0:1 -1:1 1:4 | "
     "7:2 7:1 8:1 9:2 7:2 | 9:2 8:1 7:1 5:4 | 8:2 7:1 5:1 3:2 5:2 | 6:4 4:4 | "
     "4:1 4:1 3:1 4:1 7:2 4:2 | 5:2 4:1 2:1 4:4 | 3:1 3:1 2:1 3:1 5:2 3:2 | 1:2 0:1 -1:1 1:4 | "
     "7:2 7:1 8:1 9:2 7:2 | 9:2 8:1 7:1 5:4 | 8:2 7:1 5:1 3:2 5:2 | 6:4 4:4 | 4:8 | 5:8 | 3:8 | 6:8",
     vSquare,
     vSaw,
     vSaw,
     3},
};

} // namespace

std::vector<int16_t> composeTrack(int which, int &outRate)
{
    outRate = rate;
    const std::vector<float> mixed = perform(pieces[which & 3]);
    float peak = 1e-6f;
    for (float s : mixed)
        peak = std::max(peak, std::fabs(s));
    const float gain = 0.85f * 32767 / peak; // the loudest sample at 85 % of full scale
    std::vector<int16_t> out(mixed.size());
    for (size_t i = 0; i < mixed.size(); ++i)
        out[i] = int16_t(std::lround(mixed[i] * gain));
    return out;
}
