// sfx.cpp - the eleven sound effects, synthesised here from noise, oscillators,
// filters, envelopes and pitch sweeps: 16-bit PCM mono at 32,000 Hz, each
// normalised to a peak of -1.5 dBFS. The noise comes from a fixed-seed
// xorshift generator, so the same bytes come out on every run.

#include <cmath>

#include "art.h"
#include "sfx.h"

namespace
{

constexpr int rate = 32000;     // Hz, the music's rate
constexpr double peakDb = -1.5; // every effect's loudest sample, dBFS
constexpr double twoPi = 6.283185307179586;

using Wave = std::vector<double>;

int frames(double seconds)
{
    return int(std::lround(seconds * rate));
}

// Deterministic white noise in [-1, 1).
struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed) {}
    double next()
    {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return double(s) / 2147483648.0 - 1.0;
    }
};

// A state-variable filter (Chamberlin form, two passes per sample for
// stability at high cut-offs): low, band and high outputs.
struct Svf {
    double low = 0, band = 0;
    double step(double x, double cutoffHz, double q, int out) // out: 0 low, 1 band, 2 high
    {
        const double f = 2 * std::sin(M_PI * std::min(cutoffHz, rate / 6.0) / (2.0 * rate));
        double high = 0;
        for (int pass = 0; pass < 2; ++pass) {
            low += f * band;
            high = x - low - band / q;
            band += f * high;
        }
        return out == 0 ? low : out == 1 ? band : high;
    }
};

// Attack-decay envelope: a rise of `attack` seconds, then exponential decay
// with time constant `decay`, faded to zero over the last 10 ms of `length`.
double envelope(double t, double attack, double decay, double length)
{
    const double rise = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    const double fall = t > attack ? std::exp(-(t - attack) / decay) : 1.0;
    const double tail = std::min(1.0, (length - t) / 0.01);
    return std::max(0.0, rise * fall * tail);
}

// A tone with a few harmonics (weights `h`), phase kept across pitch changes.
struct Tone {
    double phase = 0;
    double step(double hz, const double *h, int count)
    {
        phase += twoPi * hz / rate;
        if (phase > twoPi * 1024)
            phase -= twoPi * 1024;
        double v = 0;
        for (int k = 0; k < count; ++k)
            v += h[k] * std::sin(phase * (k + 1));
        return v;
    }
};

double midiHz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// The sword's whoosh: band-passed noise whose centre rises and falls with the blade.
Wave swing()
{
    const double len = 0.26;
    Wave w(size_t(frames(len)));
    Noise n(0x5151u);
    Svf f;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate, u = t / len;
        const double centre = 500 + 2600 * std::sin(M_PI * std::min(1.0, u * 1.3));
        w[i] = f.step(n.next(), centre, 3.0, 1) * envelope(t, 0.07, 0.06, len);
    }
    return w;
}

// A blade striking flesh: a dropping thump under a short bright crack.
Wave hit()
{
    const double len = 0.22;
    Wave w(size_t(frames(len)));
    Noise n(0x4177u);
    Svf crack;
    Tone thump;
    const double partials[3] = {1, 0.5, 0.25};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        const double body =
            thump.step(180 * std::exp(-t / 0.05) + 60, partials, 3) * envelope(t, 0.002, 0.06, len);
        const double snap = crack.step(n.next(), 2400, 1.2, 1) * envelope(t, 0.001, 0.018, len);
        w[i] = std::tanh(1.6 * (body + 1.4 * snap));
    }
    return w;
}

// The dark lord wounded: a deep distorted growl sliding down, with a metallic ring.
Wave boss()
{
    const double len = 0.7;
    Wave w(size_t(frames(len)));
    Noise n(0xB055u);
    Svf growl, grit;
    double saw = 0;
    Tone ring;
    const double bell[4] = {1, 0, 0.6, 0.3};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        const double hz = 95 * std::exp(-t / 0.5) + 38 + 6 * std::sin(twoPi * 9 * t);
        saw += hz / rate;
        saw -= std::floor(saw);
        const double raw = 2 * saw - 1 + 0.35 * n.next();
        const double body = growl.step(raw, 500 + 900 * std::exp(-t / 0.15), 1.5, 0);
        const double rough = grit.step(n.next(), 900, 2.0, 1) * envelope(t, 0.005, 0.08, len);
        const double metal = ring.step(311, bell, 4) * envelope(t, 0.001, 0.12, len);
        w[i] = std::tanh(2.2 * body * envelope(t, 0.01, 0.28, len) + 0.5 * rough + 0.25 * metal);
    }
    return w;
}

// The hero hurt: a short falling cry, square-ish and gritty.
Wave hurt()
{
    const double len = 0.24;
    Wave w(size_t(frames(len)));
    Noise n(0x4E27u);
    Tone voice;
    Svf tone;
    const double odd[5] = {1, 0, 0.33, 0, 0.2};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        const double hz = 520 * std::exp(-t / 0.12) + 170;
        const double v = voice.step(hz, odd, 5) + 0.25 * n.next();
        w[i] = tone.step(v, 1800, 0.9, 0) * envelope(t, 0.004, 0.09, len);
    }
    return w;
}

// Bell-like partials for the chimes, each with its own decay.
double chime(double t, double hz, double decay, double start, double len)
{
    if (t < start)
        return 0;
    const double s = t - start;
    const double ratios[4] = {1, 2.76, 5.40, 8.93}, weights[4] = {1, 0.45, 0.22, 0.1};
    double v = 0;
    for (int k = 0; k < 4; ++k)
        v += weights[k] * std::sin(twoPi * hz * ratios[k] * s) * std::exp(-s * (1 + k) / decay);
    return v * std::min(1.0, s / 0.002) * std::min(1.0, (len - t) / 0.02);
}

// A jewel taken: a quick sparkling rise of four chimes.
Wave jewel()
{
    const double len = 0.9;
    Wave w(size_t(frames(len)));
    const double notes[4] = {88, 92, 95, 100}; // E6 G#6 B6 E7
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (int k = 0; k < 4; ++k)
            v += chime(t, midiHz(notes[k]), 0.35, 0.06 * k, len);
        w[i] = v;
    }
    return w;
}

// A level gained: a bright major arpeggio climbing an octave, held at the top.
Wave levelUp()
{
    const double len = 1.2;
    Wave w(size_t(frames(len)));
    const double notes[5] = {72, 76, 79, 84, 88}; // C5 E5 G5 C6 E6
    const double brass[6] = {1, 0.6, 0.45, 0.3, 0.2, 0.12};
    Tone tones[5];
    Svf filters[5];
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (int k = 0; k < 5; ++k) {
            const double start = 0.09 * k;
            if (t < start)
                continue;
            const double s = t - start, vibrato = 1 + 0.004 * std::sin(twoPi * 5.5 * s);
            const double e = envelope(s, 0.015, k == 4 ? 0.45 : 0.16, len - start);
            v += filters[k].step(tones[k].step(midiHz(notes[k]) * vibrato, brass, 6), 3000, 0.8, 0) * e;
        }
        w[i] = v;
    }
    return w;
}

// A heal: a soft shimmer rising through a fifth, two detuned voices beating.
Wave heal()
{
    const double len = 0.6;
    Wave w(size_t(frames(len)));
    Tone a, b;
    Noise n(0x4EA1u);
    Svf air;
    const double soft[2] = {1, 0.2};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate, u = t / len;
        const double hz = midiHz(79 + 7 * u);
        const double v =
            a.step(hz, soft, 2) + b.step(hz * 1.007, soft, 2) + 0.3 * air.step(n.next(), 6000, 2, 1);
        w[i] = v * std::sin(M_PI * u) * (0.75 + 0.25 * std::sin(twoPi * 11 * t));
    }
    return w;
}

// The game lost: a slow falling minor phrase in a low, dark voice.
Wave gameOver()
{
    const double len = 2.6;
    Wave w(size_t(frames(len)));
    const double notes[4] = {57, 55, 52, 45}; // A3 G3 E3 A2
    const double starts[4] = {0, 0.45, 0.9, 1.35};
    const double reed[6] = {1, 0.7, 0.5, 0.35, 0.2, 0.1};
    Tone tones[4];
    Svf filters[4];
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (int k = 0; k < 4; ++k) {
            if (t < starts[k])
                continue;
            const double s = t - starts[k];
            const double e = envelope(s, 0.05, k == 3 ? 0.6 : 0.3, len - starts[k]);
            v += filters[k].step(tones[k].step(midiHz(notes[k]) * (1 - 0.01 * s), reed, 6), 1200, 0.7, 0) * e;
        }
        w[i] = v;
    }
    return w;
}

// The game won: a fanfare, three short calls and a held major chord.
Wave victory()
{
    const double len = 3.2;
    Wave w(size_t(frames(len)));
    struct Note {
        double start, length, pitch;
    };
    const Note notes[] = {{0.00, 0.16, 67}, {0.18, 0.16, 67}, {0.36, 0.16, 67},
                          {0.54, 0.50, 72}, {1.08, 0.30, 76}, {1.40, 1.80, 79},
                          {1.40, 1.80, 72}, {1.40, 1.80, 64}, {1.40, 1.80, 48}};
    const int count = int(sizeof notes / sizeof notes[0]);
    const double brass[8] = {1, 0.7, 0.55, 0.45, 0.3, 0.22, 0.15, 0.1};
    Tone tones[count];
    Svf filters[count];
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (int k = 0; k < count; ++k) {
            const Note &nt = notes[k];
            const double s = t - nt.start;
            if (s < 0 || s > nt.length)
                continue;
            const double swell = std::min(1.0, s / 0.03) * std::min(1.0, (nt.length - s) / 0.06);
            const double bright = 1200 + 1800 * std::min(1.0, s / 0.08);
            v += filters[k].step(tones[k].step(midiHz(nt.pitch), brass, 8), bright, 0.8, 0) * swell;
        }
        w[i] = v;
    }
    return w;
}

// A page turned: a dry paper flick and a soft wooden tick.
Wave page()
{
    const double len = 0.12;
    Wave w(size_t(frames(len)));
    Noise n(0x9A6Eu);
    Svf paper;
    Tone tick;
    const double wood[3] = {1, 0.3, 0.1};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        const double flick = paper.step(n.next(), 3500 + 8000 * t, 1.0, 2) * envelope(t, 0.01, 0.03, len);
        w[i] = flick + 0.6 * tick.step(880, wood, 3) * envelope(t, 0.001, 0.015, len);
    }
    return w;
}

// A game saved: two soft, round notes a fourth apart (a felt mallet on a
// wooden bar: a sine with a faint octave, quick to speak, gently dying).
Wave saved()
{
    const double len = 0.5;
    Wave w(size_t(frames(len)));
    const double notes[2] = {67, 72}; // G4 C5
    const double starts[2] = {0, 0.11};
    const double mallet[2] = {1, 0.12};
    Tone tones[2];
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (int k = 0; k < 2; ++k) {
            if (t < starts[k])
                continue;
            const double s = t - starts[k];
            v += tones[k].step(midiHz(notes[k]), mallet, 2) *
                 envelope(s, 0.006, k ? 0.14 : 0.08, len - starts[k]);
        }
        w[i] = v;
    }
    return w;
}

// Soft saturation: the sound normalised, then bent by tanh with the given
// drive, which lifts its quiet parts toward its peaks (less crest, more body).
void saturate(Wave &w, double drive)
{
    double peak = 0;
    for (double v : w)
        peak = std::max(peak, std::fabs(v));
    for (double &v : w)
        v = std::tanh(drive * v / peak);
}

std::vector<int16_t> toPcm(Wave w, double drive)
{
    if (drive > 0)
        saturate(w, drive);
    double mean = 0, peak = 0;
    for (double v : w)
        mean += v;
    mean /= double(w.size());
    for (double &v : w)
        v -= mean;
    // Removing the mean leaves a step at both ends: ramp it away over 5 ms.
    const size_t ramp = size_t(rate / 200);
    for (size_t i = 0; i < ramp && i < w.size(); ++i) {
        const double k = double(i) / double(ramp);
        w[i] *= k;
        w[w.size() - 1 - i] *= k;
    }
    for (double v : w)
        peak = std::max(peak, std::fabs(v));
    const double scale = 32767.0 * std::pow(10.0, peakDb / 20) / peak;
    std::vector<int16_t> pcm(w.size());
    for (size_t i = 0; i < w.size(); ++i)
        pcm[i] = int16_t(std::lround(w[i] * scale));
    return pcm;
}

} // namespace

bool writeSoundEffects(const std::string &dir)
{
    struct Effect {
        const char *name;
        Wave (*make)();
        double drive; // saturation, 0 for none
    };
    const Effect effects[] = {{"sfx_swing.wav", swing, 3},       {"sfx_hit.wav", hit, 0},
                              {"sfx_boss.wav", boss, 0},         {"sfx_hurt.wav", hurt, 0},
                              {"sfx_jewel.wav", jewel, 0},       {"sfx_levelup.wav", levelUp, 0},
                              {"sfx_heal.wav", heal, 0},         {"sfx_gameover.wav", gameOver, 2.5},
                              {"sfx_victory.wav", victory, 1.5}, {"sfx_page.wav", page, 0},
                              {"sfx_saved.wav", saved, 0}};
    bool ok = true;
    for (const Effect &e : effects)
        ok = writeWav(dir + "/" + e.name, toPcm(e.make(), e.drive), rate, 1) && ok;
    return ok;
}
