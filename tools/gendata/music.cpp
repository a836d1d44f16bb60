// music.cpp - our five pieces: scores of our own arranged for orchestral
// instruments, rendered with FluidSynth and a General MIDI SoundFont into
// seamless stereo loops of matched loudness.
//
// The title and the victory theme play at full volume; a zone's track plays
// at full volume when play begins or resumes in it and at half volume after
// every zone change. So the zone tracks are rendered 3 dB louder than the
// title, RMS against RMS: at full volume they sit 3 dB above it and at half
// volume 3 dB below. (Levelled by loudness instead, a zone's RMS strays up to
// 0.4 dB from the title's, its instruments weighted otherwise.)
//
// Each score is rendered as three passes back to back; the loop kept is the
// second pass, so the reverb and the release tails of its end sound again at
// its start exactly as they do when the game plays it round and round. The
// first 50 ms fade from the third pass's start into the second's, so the last
// frame leads into the first with no step at all.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "art.h"
#include "loudness.h"
#include "score.h"

namespace
{

constexpr int rate = 32000; // Hz: 2 ms is a whole 64-frame block of the synthesizer
constexpr int framesPerMs = rate / 1000;
constexpr int crossfadeMs = 50;       // the seam's fade
constexpr double ceilingDb = -1.5;    // the loudest sample of any track, dBFS
constexpr double targetLufs = -15.5;  // the title's level
constexpr double zoneLiftDb = 3;      // a zone track's RMS over the title's (see above)
constexpr double compressAboveDb = 0; // the compressor's threshold over a track's own RMS level

// General MIDI programs and percussion keys the scores use.
enum Program : uint8_t {
    Celesta = 8,
    Glockenspiel = 9,
    Vibraphone = 11,
    Marimba = 12,
    NylonGuitar = 24,
    Violin = 40,
    Cello = 42,
    Contrabass = 43,
    TremoloStrings = 44,
    Pizzicato = 45,
    Harp = 46,
    Timpani = 47,
    Strings = 48,
    SlowStrings = 49,
    Choir = 52,
    Trumpet = 56,
    Trombone = 57,
    Tuba = 58,
    Horns = 60,
    Brass = 61,
    Oboe = 68,
    EnglishHorn = 69,
    Bassoon = 70,
    Clarinet = 71,
    Piccolo = 72,
    Flute = 73,
    PanFlute = 75,
    Taiko = 116,
    OrchestraKit = 48
};
enum Drum : uint8_t {
    BassDrum = 35,
    SideStick = 37,
    Snare = 38,
    LowFloorTom = 41,
    Crash = 49,
    Ride = 51,
    Tambourine = 54,
    Cymbal = 57,
    Shaker = 70,
    Triangle = 81
};
constexpr uint8_t drums = 9;

struct Piece {
    int bpm, stepsPerBar, bars; // a step is a sixteenth note
    int root;                   // MIDI key of the tonic, middle octave
    int scale[7];               // semitones of the seven degrees
    const char *chords;         // a degree per bar; "a,b" splits the bar in halves
};

// Writes the notes and controllers of one piece into its score; all times in
// steps, turned into milliseconds here.
struct Arranger {
    const Piece &p;
    Score score;
    double msPerStep;
    std::vector<std::vector<int>> chords; // per bar
    uint32_t rng;

    Arranger(const Piece &piece, uint32_t seed) : p(piece), msPerStep(60000.0 / piece.bpm / 4), rng(seed)
    {
        const double loop = p.bars * p.stepsPerBar * msPerStep;
        score.loopMs = int32_t(std::llround(loop / 2)) * 2;
        std::string text = p.chords;
        size_t at = 0;
        while (at < text.size()) {
            while (at < text.size() && text[at] == ' ')
                ++at;
            if (at >= text.size())
                break;
            std::vector<int> bar;
            size_t end = text.find(' ', at);
            if (end == std::string::npos)
                end = text.size();
            const std::string token = text.substr(at, end - at);
            size_t from = 0;
            while (from <= token.size()) {
                size_t comma = token.find(',', from);
                if (comma == std::string::npos)
                    comma = token.size();
                bar.push_back(std::stoi(token.substr(from, comma - from)));
                from = comma + 1;
            }
            chords.push_back(bar);
            at = end;
        }
        if (int(chords.size()) != p.bars)
            fail("the chord list has " + std::to_string(chords.size()) + " bars");
    }

    [[noreturn]] static void fail(const std::string &what)
    {
        std::fprintf(stderr, "gendata: a score is wrong: %s\n", what.c_str());
        std::abort();
    }

    int random(int spread) // a deterministic value in [-spread, spread]
    {
        rng = rng * 1664525u + 1013904223u;
        return int((rng >> 8) % uint32_t(2 * spread + 1)) - spread;
    }

    int32_t ms(double step) const { return int32_t(std::llround(step * msPerStep)); }
    int barOf(double step) const { return std::min(p.bars - 1, int(step / p.stepsPerBar)); }
    int chordAt(double step) const
    {
        const std::vector<int> &c = chords[size_t(barOf(step))];
        const double inBar = step - barOf(step) * p.stepsPerBar;
        return c[std::min(c.size() - 1, size_t(inBar * double(c.size()) / p.stepsPerBar))];
    }
    // The MIDI key of a scale degree (any integer) above `tonic`.
    int key(int degree, int tonic) const
    {
        const int octave = degree >= 0 ? degree / 7 : -((6 - degree) / 7);
        return tonic + 12 * octave + p.scale[degree - 7 * octave];
    }
    // The chord on `degree` (root, third, fifth, and seventh when tones is 4),
    // each tone in the octave nearest `centre`, lowest first.
    std::vector<int> chord(int degree, int centre, int tones = 3) const
    {
        std::vector<int> keys;
        for (int t = 0; t < tones; ++t) {
            int k = key(degree + 2 * t, p.root);
            while (k < centre - 6)
                k += 12;
            while (k >= centre + 6)
                k -= 12;
            keys.push_back(k);
        }
        std::sort(keys.begin(), keys.end());
        return keys;
    }
    // The chord root in the octave at or just above `floorKey`.
    int bass(int degree, int floorKey) const
    {
        int k = key(degree, p.root);
        while (k < floorKey)
            k += 12;
        while (k >= floorKey + 12)
            k -= 12;
        return k;
    }

    void control(uint8_t channel, double step, uint8_t status, uint8_t a, uint8_t b = 0)
    {
        score.controls.push_back({ms(step), channel, status, a, b});
    }
    // Program, volume, pan (0 left, 64 centre, 127 right), reverb and chorus sends.
    void setup(uint8_t channel, uint8_t program, uint8_t volume, uint8_t pan, uint8_t reverb,
               uint8_t chorus = 0)
    {
        control(channel, 0, 0xC0, program);
        control(channel, 0, 0xB0, 7, volume);
        control(channel, 0, 0xB0, 10, pan);
        control(channel, 0, 0xB0, 91, reverb);
        control(channel, 0, 0xB0, 93, chorus);
        control(channel, 0, 0xB0, 11, 127);
    }
    // Expression (controller 11) moving from `from` to `to` across the steps.
    void swell(uint8_t channel, double fromStep, double toStep, int from, int to)
    {
        for (double s = fromStep; s < toStep; s += 1)
            control(channel, s, 0xB0, 11, uint8_t(from + (to - from) * (s - fromStep) / (toStep - fromStep)));
        control(channel, toStep, 0xB0, 11, uint8_t(to));
    }
    void note(uint8_t channel, double step, double length, int key, int velocity, int jitterMs = 3)
    {
        if (key < 0 || key > 127)
            fail("key " + std::to_string(key) + " out of range");
        const int32_t at = std::max(0, ms(step) + (step > 0 ? random(jitterMs) : 0));
        const int32_t len = std::max(8, ms(step + length) - ms(step));
        const int v = std::clamp(velocity + random(4), 1, 127);
        score.notes.push_back({at, len, channel, uint8_t(key), uint8_t(v)});
    }
    // A line written as "degree:steps" tokens ("r:steps" rests, a trailing '>'
    // accents, '|' marks a bar line and is checked), played from `tonic` on the
    // bars [fromBar, toBar).
    void line(uint8_t channel, const char *text, int tonic, int velocity, int fromBar, int toBar,
              double legato = 0.92, int only = 0)
    {
        std::string all = text;
        size_t at = 0;
        double step = 0;
        int index = 0;
        while (at < all.size()) {
            while (at < all.size() && all[at] == ' ')
                ++at;
            if (at >= all.size())
                break;
            size_t end = all.find(' ', at);
            if (end == std::string::npos)
                end = all.size();
            std::string token = all.substr(at, end - at);
            at = end;
            if (token == "|") {
                if (std::fmod(step, p.stepsPerBar) != 0)
                    fail("bar line at step " + std::to_string(step) + " in " + all.substr(0, 40));
                continue;
            }
            const bool accent = token.back() == '>';
            if (accent)
                token.pop_back();
            const size_t colon = token.find(':');
            const double length = std::stod(token.substr(colon + 1));
            const int bar = barOf(step);
            if (token[0] != 'r' && bar >= fromBar && bar < toBar && (only == 0 || index++ % only == 0)) {
                const bool downbeat = std::fmod(step, p.stepsPerBar) == 0;
                const int k = key(std::stoi(token.substr(0, colon)), tonic);
                // Accents, downbeats, long and high notes sound a little louder.
                const int v = velocity + (accent ? 14 : 0) + (downbeat ? 6 : 0) + int(std::min(8.0, length)) +
                              (k - tonic) / 3;
                note(channel, step, length * legato, k, v);
            }
            step += length;
        }
        if (step != p.bars * p.stepsPerBar)
            fail("a line of " + std::to_string(step) + " steps in " + all.substr(0, 40));
    }
    double barStep(int bar) const { return double(bar) * p.stepsPerBar; }
    // A quick scale run from one degree to another, `steps` long, growing louder.
    void run(uint8_t channel, double step, double steps, int fromDegree, int toDegree, int tonic,
             int velocity)
    {
        const int count = std::abs(toDegree - fromDegree) + 1, dir = toDegree > fromDegree ? 1 : -1;
        for (int k = 0; k < count; ++k)
            note(channel, step + steps * k / count, steps / count * 1.1, key(fromDegree + dir * k, tonic),
                 velocity + 24 * k / count, 0);
    }
};

// ---------------------------------------------------------------- the title

// D major, a bold march: trumpets lead, horns answer in the second section,
// the full band restates the tune with flute and glockenspiel above.
const Piece titlePiece = {
    116, 16, 24, 62, {0, 2, 4, 5, 7, 9, 11}, "0 4 3 4 0 4 1,4 0  3 0 1 4 5 2 3,1 4  0 4 3 4 0 4 3,4 0"};
const char *titleTune =
    "0:3> 0:1 4:4 4:3 4:1 7:4 | 6:3 5:1 4:4 2:4 4:4 | 5:3 4:1 3:4 2:4 1:4 | 2:4 1:4 4:8 | "
    "0:3> 0:1 4:4 4:3 4:1 9:4 | 8:3 7:1 6:4 5:4 4:4 | 5:2 6:2 7:4 3:4 6:4 | 7:8 r:4 4:2 4:2 | "
    "3:6> 4:2 5:4 3:4 | 4:6 5:2 4:4 2:4 | 1:6 2:2 3:4 1:4 | 4:12 r:4 | "
    "5:6> 6:2 7:4 5:4 | 6:6 5:2 4:8 | 3:4 5:4 8:4 7:2 6:2 | 6:4 7:2 6:2 4:4 r:4 | "
    "0:2> 0:1 0:1 4:4 4:3 4:1 7:4 | 6:3 5:1 4:2 5:2 2:4 4:4 | 5:3 4:1 3:2 4:2 2:2 3:2 1:4 | 2:4 1:4 4:8 | "
    "0:2> 0:1 0:1 4:4 4:3 4:1 9:4 | 8:3 7:1 6:2 5:2 4:4 9:4 | 8:2 7:2 6:2 5:2 6:4 4:4 | 7:12 r:4";

// The horns' counter-line under the return.
const char *titleCounter =
    "r:16 | r:16 | r:16 | r:16 | r:16 | r:16 | r:16 | r:16 | "
    "r:16 | r:16 | r:16 | r:16 | r:16 | r:16 | r:16 | r:16 | "
    "2:8> 0:8 | 1:8 -1:8 | 0:8 -2:8 | -1:8 -3:8 | 2:8> 4:8 | 4:8 1:8 | 0:8 -1:8 | 0:12 r:4";

Score arrangeTitle()
{
    Arranger a(titlePiece, 1001);
    enum : uint8_t { trumpet, horns, strings, trombones, tuba, timpani, flute, glock, harp };
    a.setup(trumpet, Trumpet, 112, 70, 40);
    a.setup(horns, Horns, 108, 50, 55);
    a.setup(strings, Strings, 120, 34, 45, 10);
    a.setup(trombones, Trombone, 90, 92, 45);
    a.setup(tuba, Tuba, 100, 80, 35);
    a.setup(timpani, Timpani, 127, 64, 50);
    a.setup(flute, Flute, 90, 40, 50);
    a.setup(glock, Glockenspiel, 110, 86, 60);
    a.setup(harp, Harp, 118, 24, 60);
    a.setup(drums, OrchestraKit, 100, 64, 40);
    const int spb = titlePiece.stepsPerBar;
    // The tune: trumpets in the outer sections, horns (flute an octave up) in the middle.
    a.line(trumpet, titleTune, 62, 88, 0, 8);
    a.line(trumpet, titleTune, 62, 98, 16, 24);
    a.line(horns, titleCounter, 62, 86, 16, 24, 0.96);
    a.line(horns, titleTune, 62, 84, 8, 16, 0.98);
    a.line(flute, titleTune, 74, 64, 8, 16, 0.95);
    a.line(flute, titleTune, 74, 80, 16, 24);
    a.line(glock, titleTune, 86, 70, 16, 24, 0.5, 3);
    a.swell(horns, a.barStep(8), a.barStep(16), 90, 122);
    a.swell(flute, a.barStep(8), a.barStep(16), 80, 118);
    for (int bar = 0; bar < titlePiece.bars; ++bar) {
        const double b0 = a.barStep(bar);
        const bool middle = bar >= 8 && bar < 16, last = bar == 23;
        const int loud = bar >= 16 ? 10 : middle ? -6 + (bar - 8) * 2 : 0; // the band's dynamic
        for (int beat = 0; beat < 4; ++beat) {
            const double s = b0 + beat * 4;
            const int c = a.chordAt(s);
            if (!middle) {
                // Strings: the march's eighth-note chords, accented on the beat.
                for (int half = 0; half < 2; ++half)
                    for (int k : a.chord(c, 64))
                        a.note(strings, s + half * 2, 1.2, k, 62 + loud + (half ? 0 : 12));
                // Horns hold the chord's upper tones across each half bar.
                if (beat % 2 == 0 && bar < 8)
                    for (int k : a.chord(c, 58, 3))
                        if (k > a.chord(c, 58)[0])
                            a.note(horns, s, 7.6, k, 58 + loud);
                // Trombones on beats one and three, tuba oom-pah.
                if (beat % 2 == 0)
                    for (int k : a.chord(c, 52))
                        a.note(trombones, s, 2.5, k, 70 + loud);
                a.note(tuba, s, 2.4, beat % 2 ? a.bass(c + 4, 33) : a.bass(c, 33), 80 + loud);
            } else if (beat == 0 || (a.chords[size_t(bar)].size() > 1 && beat == 2)) {
                // The middle section sings: held string chords, trombones and
                // tuba in long notes.
                const double len = a.chords[size_t(bar)].size() > 1 ? 8 : 16;
                for (int k : a.chord(c, 60, 4))
                    a.note(strings, s, len - 0.3, k, 58 + loud);
                for (int k : a.chord(c, 50))
                    a.note(trombones, s, len - 0.5, k, 54 + loud);
                a.note(tuba, s, len - 0.5, a.bass(c, 33), 66 + loud);
            }
            // The harp ripples up and down the chord in eighths under the horns.
            if (middle) {
                const std::vector<int> low = a.chord(c, 57), high = a.chord(c, 69);
                const int ripple[4] = {low[0], low[2], high[1], low[1] + 12};
                for (int k = 0; k < 2; ++k)
                    a.note(harp, s + 2 * k, 3, ripple[(beat % 2) * 2 + k], 56 + loud + (k ? 0 : 6));
            }
            // Timpani on the tonic and dominant: beats one and three.
            if (beat % 2 == 0 && !(middle && beat == 2))
                a.note(timpani, s, 2, c == 4 || c == 1 ? 45 : 50, 86 + loud);
        }
        // Percussion: a snare march, bass drum on one and three, a crash on
        // each section's first beat; the middle keeps only a soft side stick.
        static const int snareSteps[] = {0, 3, 4, 6, 8, 11, 12, 14};
        for (int s : snareSteps) {
            if (middle) {
                if (s == 4 || s == 12)
                    a.note(drums, b0 + s, 1, SideStick, 50 + loud);
            } else {
                a.note(drums, b0 + s, 1, Snare, (s % 8 == 0 ? 78 : 48) + loud);
            }
        }
        if (!middle) {
            a.note(drums, b0, 2, BassDrum, 84 + loud);
            a.note(drums, b0 + 8, 2, BassDrum, 70 + loud);
        }
        if (bar % 8 == 0)
            a.note(drums, b0, 8, Crash, bar == 8 ? 62 : 84);
        // A timpani and snare roll swells into each section.
        if (bar % 8 == 7 && !last)
            for (int k = 0; k < 8; ++k) {
                a.note(timpani, b0 + 8 + k, 1, 45, 50 + 5 * k + loud, 0);
                a.note(drums, b0 + 8 + k, 1, Snare, 40 + 5 * k + loud, 0);
            }
        if (last)
            for (int k = 0; k < 8; ++k)
                a.note(drums, b0 + 8 + k, 1, Snare, 44 + 6 * k, 0);
    }
    (void)spb;
    return a.score;
}

// ---------------------------------------------------------------- home

// F major in three, calm: flute over a harp and a nylon guitar, the clarinet
// sings the second section, violins and flute share the return.
const Piece homePiece = {
    84, 12, 24, 65, {0, 2, 4, 5, 7, 9, 11}, "0 3 0 4 0 5 4 0  5 1 3 4 5 2 4 4  0 3 0 4 0 5 4 0"};
const char *homeTune = "4:8> 2:2 4:2 | 5:6 4:2 3:4 | 2:4 1:4 0:4 | 1:12 | "
                       "4:8> 2:2 4:2 | 7:6 6:2 5:4 | 4:4 3:4 1:4 | 0:12 | "
                       "5:6> 6:2 7:4 | 8:8 7:2 6:2 | 7:6 5:2 3:4 | 4:12 | "
                       "5:6> 6:2 7:4 | 9:8 8:2 7:2 | 6:4 7:4 8:4 | 4:8 r:4 | "
                       "4:6> 2:2 4:2 7:2 | 5:4 4:2 3:2 2:2 3:2 | 2:4 1:2 2:2 0:4 | 1:8 4:4 | "
                       "4:6> 2:2 4:2 9:2 | 7:6 6:2 5:4 | 4:3 5:1 4:2 3:2 1:4 | 0:12";
// The oboe's slow counter-line in the return.
const char *homeCounter = "r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | "
                          "r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | "
                          "0:12 | -1:12 | -3:6 -2:6 | -1:12 | 0:8 2:4 | 3:12 | 1:6 -1:6 | -3:12";

// The flute's high descant over the clarinet.
const char *homeDescant = "r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | "
                          "2:12 | 3:12 | 5:6 3:6 | 4:12 | 5:12 | 4:6 2:6 | 1:12 | 4:8 r:4 | "
                          "r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12 | r:12";

Score arrangeHome()
{
    Arranger a(homePiece, 2002);
    enum : uint8_t { flute, clarinet, harp, strings, cello, guitar, oboe, violin };
    a.setup(flute, Flute, 104, 44, 60, 8);
    a.setup(clarinet, Clarinet, 104, 76, 60);
    a.setup(harp, Harp, 120, 30, 60);
    a.setup(strings, SlowStrings, 110, 64, 70, 20);
    a.setup(cello, Cello, 96, 92, 55);
    a.setup(guitar, NylonGuitar, 115, 100, 45);
    a.setup(oboe, Oboe, 90, 84, 60);
    a.setup(violin, Violin, 96, 38, 62);
    a.setup(drums, OrchestraKit, 120, 64, 55);
    a.line(flute, homeTune, 77, 78, 0, 8);
    a.line(clarinet, homeTune, 65, 82, 8, 16, 0.96);
    a.line(violin, homeTune, 65, 80, 16, 24, 0.97);
    a.line(flute, homeTune, 77, 70, 16, 24);
    a.line(oboe, homeCounter, 77, 64, 16, 24, 0.97);
    a.line(flute, homeDescant, 77, 52, 8, 16, 0.97);
    // The harp sweeps up into each section.
    for (int bar : {7, 15, 23})
        a.run(harp, a.barStep(bar) + 8, 4, 0, 11, 53, 50);
    // The strings breathe with each two-bar phrase.
    for (int bar = 0; bar < homePiece.bars; bar += 2)
        a.swell(strings, a.barStep(bar), a.barStep(bar + 2), bar >= 8 ? 84 : 72, bar >= 8 ? 116 : 100);
    for (int bar = 0; bar < homePiece.bars; ++bar) {
        const double b0 = a.barStep(bar);
        const int c = a.chordAt(b0);
        const bool middle = bar >= 8 && bar < 16;
        // Harp: a rippling figure of six eighths, root, fifth, tenth, octave.
        const int root = a.bass(c, 48);
        const std::vector<int> up = a.chord(c, 66);
        const int figure[6] = {root,      root + 7, up[1] + 12 > 84 ? up[1] : up[1] + 12,
                               root + 12, up[2],    root + 7};
        for (int k = 0; k < 6; ++k)
            a.note(harp, b0 + 2 * k, 4, figure[k], (k == 0 ? 70 : 54) + (middle ? 4 : 0));
        // Strings hold the chord through the bar.
        for (int k : a.chord(c, 60, middle ? 4 : 3))
            a.note(strings, b0, 11.8, k, 60);
        // Cello: the root on one (and the fifth on three in the middle section).
        if (middle) {
            a.note(cello, b0, 7.6, a.bass(c, 36), 72);
            a.note(cello, b0 + 8, 3.6, a.bass(c + 4, 36), 60);
        } else {
            a.note(cello, b0, 11.6, a.bass(c, 36), 70);
        }
        // Guitar: the waltz's soft chords on two and three.
        if (bar >= 4)
            for (int beat = 1; beat < 3; ++beat)
                for (size_t t = 0; t < 3; ++t)
                    a.note(guitar, b0 + 4 * beat + 0.15 * double(t), 3, a.chord(c, 60)[t],
                           46 + (beat == 1 ? 6 : 0));
        // A shaker in the middle and the return, a triangle on each section's start.
        if (bar >= 8)
            for (int k = 0; k < 6; ++k)
                a.note(drums, b0 + 2 * k, 1, Shaker, k % 2 ? 44 : 58);
        if (bar % 8 == 0)
            a.note(drums, b0, 12, Triangle, 54);
    }
    return a.score;
}

// ---------------------------------------------------------------- south-west

// A Dorian, slow and strange: a pan flute over a limping marimba, a drone and
// a heartbeat drum; the English horn takes the second section over trembling
// strings and a wordless choir; the pan flute comes back to close on the tonic.
const Piece southWestPiece = {
    72, 16, 20, 57, {0, 2, 3, 5, 7, 9, 10}, "0 3 0,3 3 0 2 6,3 4  0 6 3 0 3 6 4,3 4  0 3 6,3 0"};
const char *southWestTune = "4:8> 5:4 4:2 3:2 | 4:12 r:4 | 2:4 3:4 5:4 6:4 | 5:16 | "
                            "7:8> 6:4 5:4 | 4:6 3:2 2:8 | 1:4 2:4 3:4 5:4 | 4:16 | "
                            "7:6> 9:2 8:8 | 6:4 5:4 6:8 | 5:6 3:2 4:8 | 2:4 1:4 0:8 | "
                            "3:4> 5:4 7:4 9:4 | 8:12 7:4 | 6:4 5:4 4:4 3:4 | 4:12 r:4 | "
                            "4:6> 5:2 4:2 3:2 2:4 | 3:4 4:4 5:8 | 6:4 5:4 4:4 3:4 | 0:16";

Score arrangeSouthWest()
{
    Arranger a(southWestPiece, 3003);
    enum : uint8_t { panFlute, celesta, harp, strings, bass, choir, englishHorn, marimba, vibes };
    a.setup(panFlute, PanFlute, 108, 52, 80, 10);
    a.setup(celesta, Celesta, 110, 90, 90);
    a.setup(harp, Harp, 120, 28, 80);
    a.setup(strings, SlowStrings, 115, 64, 85, 25);
    a.setup(bass, Contrabass, 96, 84, 60);
    a.setup(choir, Choir, 92, 50, 95, 20);
    a.setup(englishHorn, EnglishHorn, 124, 74, 75);
    a.setup(marimba, Marimba, 120, 100, 65);
    a.setup(vibes, Vibraphone, 105, 20, 85, 30);
    a.setup(drums, OrchestraKit, 92, 64, 75);
    a.line(panFlute, southWestTune, 69, 84, 0, 8, 0.97);
    a.line(panFlute, southWestTune, 69, 80, 16, 20, 0.97);
    a.line(celesta, southWestTune, 81, 58, 0, 8, 0.6, 2);
    a.line(celesta, southWestTune, 81, 58, 16, 20, 0.6, 2);
    a.line(englishHorn, southWestTune, 57, 88, 8, 16, 0.97);
    a.line(vibes, southWestTune, 81, 52, 8, 16, 0.8, 3);
    a.control(strings, a.barStep(8), 0xC0, TremoloStrings);
    a.control(strings, a.barStep(16), 0xC0, SlowStrings);
    for (int bar = 0; bar < southWestPiece.bars; ++bar) {
        const double b0 = a.barStep(bar);
        const bool second = bar >= 8 && bar < 16;
        const std::vector<int> &cs = a.chords[size_t(bar)];
        const double part = 16.0 / double(cs.size());
        for (size_t h = 0; h < cs.size(); ++h) {
            const int c = cs[h];
            const double s = b0 + part * double(h);
            // Strings: the chord held, swelling in and out within the bar.
            for (int k : a.chord(c, second ? 62 : 57, 3))
                a.note(strings, s, part - 0.2, k, second ? 56 : 52);
            // Harp: a slow arpeggio climbing two octaves.
            const std::vector<int> low = a.chord(c, 55), high = a.chord(c, 67);
            const int climb[8] = {low[0],  low[1],  low[2],       high[0],
                                  high[1], high[2], high[0] + 12, high[1] + 12};
            for (int k = 0; k < int(part / 2); ++k)
                a.note(harp, s + 2 * k, 6, climb[k % 8], 44 + (k == 0 ? 14 : 0), 6);
            // The second section: a wordless choir in open fifths, vibraphone chords.
            if (second) {
                const int r = a.bass(c, 50);
                a.note(choir, s, part - 0.3, r, 48);
                a.note(choir, s, part - 0.3, r + 7, 44);
                a.note(choir, s, part - 0.3, r + 12, 40);
            }
        }
        // The drone: tonic and fifth held in the first section, the chord's
        // root in the second.
        if (second) {
            a.note(bass, b0, 15.6, a.bass(cs[0], 33), 74);
        } else {
            a.note(bass, b0, 15.6, 33, 70);
            a.note(bass, b0, 15.6, 40, 56);
        }
        a.swell(strings, b0, b0 + 8, 70, 118);
        a.swell(strings, b0 + 8, b0 + 16, 118, 70);
        // Marimba: a limping figure of dotted eighths against the four beats.
        const std::vector<int> m = a.chord(cs[0], 72);
        const int walk[5] = {m[0], m[2], m[1], m[2] + 2 > 84 ? m[0] : m[0] + 12, m[1]};
        for (int k = 0; k < 5; ++k)
            a.note(marimba, b0 + 3 * k, 2, walk[k], k == 0 ? 62 : 46);
        // A heartbeat on the low tom, a soft ride every other bar, a cymbal
        // rolled into the second section.
        a.note(drums, b0, 2, LowFloorTom, 76);
        a.note(drums, b0 + 3, 2, LowFloorTom, 56);
        if (bar % 2 == 1)
            a.note(drums, b0 + 8, 4, Ride, 40);
        if (bar == 7 || bar == 15)
            for (int k = 0; k < 16; ++k)
                a.note(drums, b0 + 8 + k / 2.0, 0.5, Cymbal, 20 + 3 * k, 0);
    }
    return a.score;
}

// ---------------------------------------------------------------- east

// E harmonic minor, fast and tense: violins over driving low strings and
// brass stabs, horns take the second section, then everything climbs an octave.
const Piece eastPiece = {150,
                         16,
                         32,
                         64,
                         {0, 2, 3, 5, 7, 8, 11},
                         "0 4 0 4 0 3 5,4 0  0 4 0 4 0 3 4 0  5 0 3 4 5 2 3,4 4  0 4 0 4 5 3 4 0,4"};
const char *eastTune =
    "0:2> 0:2 0:2 1:2 2:4 0:4 | 4:4 3:2 2:2 1:8 | 2:2> 2:2 2:2 3:2 4:4 2:4 | 6:4 5:2 4:2 4:8 | "
    "7:4> 6:2 7:2 9:4 7:4 | 8:4 7:2 5:2 3:8 | 5:2 4:2 3:2 2:2 1:4 4:4 | 0:12 r:4 | "
    "0:2> 0:2 0:2 1:2 2:4 0:4 | 4:4 3:2 2:2 1:8 | 2:2> 2:2 2:2 3:2 4:4 2:4 | 6:4 5:2 4:2 4:8 | "
    "7:2> 7:2 6:2 7:2 9:4 7:4 | 8:4 7:2 5:2 3:4 5:4 | 4:2 5:2 6:2 7:2 8:4 6:4 | 7:12 r:4 | "
    "5:6> 4:6 3:4 | 4:6 3:6 2:4 | 3:6> 2:6 1:4 | 6:16 | "
    "5:6> 4:6 3:4 | 4:6 5:6 6:4 | 7:4> 6:4 5:4 4:4 | 4:16 | "
    "7:2> 7:2 7:2 8:2 9:4 7:4 | 11:4 10:2 9:2 8:8 | 9:2> 9:2 9:2 10:2 11:4 9:4 | 13:4 12:2 11:2 11:8 | "
    "12:4> 11:4 10:4 9:4 | 8:4 9:4 10:8 | 11:4> 10:4 9:4 8:4 | 7:8 6:8";

Score arrangeEast()
{
    Arranger a(eastPiece, 4004);
    enum : uint8_t { violins, horns, low, brass, bass, timpani, taiko, trumpet };
    a.setup(violins, Strings, 110, 36, 45, 10);
    a.setup(horns, Horns, 110, 56, 55);
    a.setup(low, Strings, 127, 92, 40);
    a.setup(brass, Brass, 92, 80, 45);
    a.setup(bass, Contrabass, 127, 96, 35);
    a.setup(timpani, Timpani, 104, 64, 50);
    a.setup(taiko, Taiko, 92, 70, 45);
    a.setup(trumpet, Trumpet, 96, 60, 45);
    a.setup(drums, OrchestraKit, 96, 64, 40);
    a.line(violins, eastTune, 64, 86, 0, 16);
    a.line(violins, eastTune, 64, 96, 24, 32);
    a.line(horns, eastTune, 52, 88, 16, 24, 0.97);
    a.line(trumpet, eastTune, 52, 84, 24, 32, 0.9);
    a.swell(horns, a.barStep(16), a.barStep(24), 86, 124);
    for (int bar = 0; bar < eastPiece.bars; ++bar) {
        const double b0 = a.barStep(bar);
        const int section = bar / 8; // 0 statement, 1 again with timpani, 2 horns, 3 climax
        const int loud = section == 3 ? 12 : section == 2 ? (bar - 16) * 2 - 6 : section * 4;
        // Low strings: sixteenths on the root, the fifth on each beat's third.
        for (int k = 0; k < 16; ++k) {
            const int c = a.chordAt(b0 + k);
            const int r = a.bass(c, 40);
            a.note(low, b0 + k, 0.7, k % 4 == 2 ? r + 7 : r, (k % 4 == 0 ? 84 : 66) + loud, 2);
        }
        // Contrabass: eighths on the root.
        for (int k = 0; k < 8; ++k)
            a.note(bass, b0 + 2 * k, 1.4, a.bass(a.chordAt(b0 + 2 * k), 28), 66 + loud, 2);
        // Brass stabs in a 3 + 3 + 2 rhythm (every bar from the second section).
        if (section >= 1 || bar % 2 == 0)
            for (int s : {0, 6, 12}) {
                if (section == 0 && s)
                    continue;
                for (int k : a.chord(a.chordAt(b0 + s), 55))
                    a.note(brass, b0 + s, 2, k, 74 + loud + (s ? 0 : 8));
            }
        // In the horns' section the violins hold long high chord tones.
        if (section == 2)
            for (int k : a.chord(a.chordAt(b0), 76))
                a.note(violins, b0, 15.6, k, 56 + (bar - 16) * 3);
        // Timpani on one and three from the second statement, rolls into sections.
        if (section >= 1) {
            const int c = a.chordAt(b0);
            a.note(timpani, b0, 2, c == 4 || c == 6 ? 47 : 40, 84 + loud);
            a.note(timpani, b0 + 8, 2, c == 4 || c == 6 ? 40 : 47, 70 + loud);
        }
        if (bar % 8 == 7)
            for (int k = 0; k < 8; ++k)
                a.note(timpani, b0 + 8 + k, 1, 40, 50 + 6 * k, 0);
        // Violins and snare rush up into the climax.
        if (bar == 23) {
            a.run(violins, b0 + 8, 8, 0, 7, 64, 70);
            for (int k = 0; k < 16; ++k)
                a.note(drums, b0 + 8 + k / 2.0, 0.5, Snare, 40 + 3 * k, 0);
        }
        // Taiko in the climax, snare on two and four from the second statement.
        if (section == 3) {
            a.note(taiko, b0, 2, 48, 90);
            a.note(taiko, b0 + 10, 2, 48, 74);
            a.note(drums, b0, 2, BassDrum, 86);
        }
        if (section >= 1) {
            a.note(drums, b0 + 4, 1, Snare, 64 + loud);
            a.note(drums, b0 + 12, 1, Snare, 64 + loud);
        }
        if (bar % 8 == 0)
            a.note(drums, b0, 8, Crash, bar == 0 ? 70 : 88);
    }
    return a.score;
}

// ---------------------------------------------------------------- victory

// E flat major, a stately hymn: trumpets sing it first over held strings and
// trombones, then horns with the flute above and the glockenspiel sparkling.
const Piece victoryPiece = {84, 16, 16, 63, {0, 2, 4, 5, 7, 9, 11}, "0 3 4 0 5 3 1,4 0  0 5 3 4 0 3 4 0"};
const char *victoryTune = "4:8> 2:4 0:4 | 3:6 5:2 7:8 | 6:4 4:4 1:8 | 2:12 r:4 | "
                          "5:8> 4:4 2:4 | 3:4 5:4 7:8 | 8:4 7:4 6:4 4:4 | 7:12 r:4 | "
                          "7:8> 9:4 7:4 | 5:6 7:2 9:8 | 10:4 9:4 8:4 7:4 | 6:8 4:8 | "
                          "7:6> 6:2 7:4 9:4 | 10:8 8:4 7:4 | 6:4 8:4 6:4 4:4 | 7:16";

Score arrangeVictory()
{
    Arranger a(victoryPiece, 5005);
    enum : uint8_t { trumpet, horns, strings, trombones, tuba, timpani, harp, flute, glock };
    a.setup(trumpet, Trumpet, 108, 70, 55);
    a.setup(horns, Horns, 112, 52, 60);
    a.setup(strings, Strings, 112, 38, 65, 15);
    a.setup(trombones, Trombone, 88, 90, 55);
    a.setup(tuba, Tuba, 96, 80, 45);
    a.setup(timpani, Timpani, 120, 64, 60);
    a.setup(harp, Harp, 116, 24, 70);
    a.setup(flute, Flute, 92, 44, 65);
    a.setup(glock, Glockenspiel, 100, 88, 70);
    a.setup(drums, OrchestraKit, 96, 64, 55);
    a.line(trumpet, victoryTune, 63, 90, 0, 8, 0.95);
    a.line(horns, victoryTune, 51, 92, 8, 16, 0.97);
    a.line(flute, victoryTune, 75, 74, 8, 16, 0.95);
    a.line(glock, victoryTune, 87, 64, 8, 16, 0.5, 3);
    for (int bar = 0; bar < victoryPiece.bars; ++bar) {
        const double b0 = a.barStep(bar);
        const bool second = bar >= 8;
        const std::vector<int> &cs = a.chords[size_t(bar)];
        const double part = 16.0 / double(cs.size());
        for (size_t h = 0; h < cs.size(); ++h) {
            const int c = cs[h];
            const double s = b0 + part * double(h);
            // Strings hold the chord, trombones below it, the tuba on the root.
            for (int k : a.chord(c, 62, 4))
                a.note(strings, s, part - 0.2, k, second ? 64 : 58);
            for (int k : a.chord(c, 52))
                a.note(trombones, s, part - 0.5, k, second ? 62 : 56);
            a.note(tuba, s, part - 0.5, a.bass(c, 34), 70);
            // The harp climbs the chord in eighths.
            const std::vector<int> low = a.chord(c, 58), high = a.chord(c, 70);
            const int climb[4] = {low[0], low[1], low[2], high[0]};
            for (int k = 0; k < int(part / 2); ++k)
                a.note(harp, s + 2 * k, 4, climb[k % 4] + (k >= 4 ? 12 : 0), 50 + (k == 0 ? 12 : 0));
        }
        a.swell(strings, b0, b0 + 8, 86, 116);
        a.swell(strings, b0 + 8, b0 + 16, 116, 92);
        // Timpani on one (and a soft three); a cymbal opens each half, a
        // timpani roll leads into the second.
        a.note(timpani, b0, 2, cs[0] == 4 ? 46 : 51, 84);
        a.note(timpani, b0 + 8, 2, cs[0] == 4 ? 51 : 46, 62);
        if (bar % 8 == 0)
            a.note(drums, b0, 12, Crash, bar == 0 ? 70 : 84);
        if (bar == 7)
            for (int k = 0; k < 8; ++k)
                a.note(timpani, b0 + 8 + k, 1, 46, 48 + 6 * k, 0);
        if (second)
            a.note(drums, b0 + 8, 2, Triangle, 52);
    }
    return a.score;
}

// Renders a score and keeps one seamless pass: the second of three, its first
// frames faded in from the third pass's start.
std::vector<float> renderLoop(const Score &score, const std::string &dir, int which)
{
    const std::string base = dir + "/.music" + std::to_string(which);
    const int32_t endMs = 2 * score.loopMs + crossfadeMs + 20;
    if (!writeMidi(base + ".mid", score, 3, endMs))
        return {};
    const std::vector<float> all = renderMidi(base + ".mid", base + ".raw", rate);
    std::remove((base + ".mid").c_str());
    const size_t loop = size_t(score.loopMs) * framesPerMs, fade = size_t(crossfadeMs) * framesPerMs;
    if (all.size() < 2 * (2 * loop + fade)) {
        std::fprintf(stderr, "gendata: the render of track %d is %zu frames, too short\n", which,
                     all.size() / 2);
        return {};
    }
    std::vector<float> out(all.begin() + long(2 * loop), all.begin() + long(4 * loop));
    for (size_t i = 0; i < fade; ++i) {
        const float w = (float(i) + 0.5f) / float(fade);
        for (size_t c = 0; c < 2; ++c)
            out[2 * i + c] = (1 - w) * all[2 * (2 * loop + i) + c] + w * all[2 * (loop + i) + c];
    }
    return out;
}

// A gain that follows a wanted gain per frame (dB, 0 or below for the
// compressor and the limiter), round a loop (stereo-linked and circular, so
// the seam stays seamless): it falls toward a lower wanted gain by `attack`
// of the gap per frame (1: at once) and rises toward a higher one by
// `release`. Run twice round the loop, so its start follows its end; the
// second pass applies it.
void followGain(std::vector<float> &stereo, const std::vector<float> &wantDb, double attack, double release)
{
    const size_t n = stereo.size() / 2;
    double g = 0; // dB
    for (size_t pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < n; ++i) {
            const double want = wantDb[i];
            g += (want - g) * (want < g ? attack : release);
            if (pass == 1) {
                const float k = float(std::pow(10, g / 20));
                stereo[2 * i] *= k, stereo[2 * i + 1] *= k;
            }
        }
}

// The level in dBFS RMS (both channels) of the window of `window` frames
// centred on each frame, round the loop.
std::vector<float> windowLevels(const std::vector<float> &stereo, size_t window)
{
    const size_t n = stereo.size() / 2;
    std::vector<double> power(n + 1, 0); // prefix sums of the frames' power
    for (size_t i = 0; i < n; ++i)
        power[i + 1] =
            power[i] +
            (double(stereo[2 * i]) * stereo[2 * i] + double(stereo[2 * i + 1]) * stereo[2 * i + 1]) / 2;
    std::vector<float> level(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t from = (i + n - window / 2) % n, to = from + window;
        const double sum = to <= n ? power[to] - power[from] : power[n] - power[from] + power[to - n];
        level[i] = float(10 * std::log10(sum / double(window) + 1e-12));
    }
    return level;
}

// The level of a loop in dBFS RMS, both channels.
double rmsDb(const std::vector<float> &stereo)
{
    double sum = 0;
    for (float v : stereo)
        sum += double(v) * v;
    return 10 * std::log10(sum / double(stereo.size()) + 1e-12);
}

// A slow leveller: where the level over 2 s strays from the loop's own RMS
// level, the gain moves nine tenths of the stray back (at most 8 dB), over
// about half a second. A quiet opening comes up and a loud climax down, so
// whatever stretch of a track plays, and its first seconds after a zone
// change above all, sits near its loudness; the phrasing within a second or
// two is left alone.
void level(std::vector<float> &stereo)
{
    const size_t n = stereo.size() / 2, window = size_t(2000 * framesPerMs);
    if (n <= window)
        return;
    const double mean = rmsDb(stereo);
    std::vector<float> want = windowLevels(stereo, window);
    for (float &w : want)
        w = float(std::clamp((mean - w) * 0.9, -8.0, 8.0));
    // Smoothed forwards and then backwards round the loop, so the gain lags
    // the music nowhere: an opening gets its own lift from its first frame.
    const double smooth = 1 - std::exp(-1.0 / (0.5 * rate));
    for (int direction : {1, -1}) {
        double g = 0;
        for (size_t pass = 0; pass < 2; ++pass)
            for (size_t k = 0; k < n; ++k) {
                float &w = want[direction > 0 ? k : n - 1 - k];
                g += (w - g) * smooth;
                if (pass == 1)
                    w = float(g);
            }
    }
    for (size_t i = 0; i < n; ++i) {
        const float k = float(std::pow(10, want[i] / 20));
        stereo[2 * i] *= k, stereo[2 * i + 1] *= k;
    }
}

// A gentle compressor for a loop: where the level over 30 ms rises above
// `thresholdDb` (dBFS RMS), the gain falls by two thirds of the excess (3:1),
// reached within 10 ms and given back over 250 ms. The loud passages come
// nearer the quiet ones, so the music as a whole can sound louder without its
// loudest passages growing.
void compress(std::vector<float> &stereo, double thresholdDb)
{
    const size_t n = stereo.size() / 2, window = size_t(30 * framesPerMs);
    if (n <= window)
        return;
    std::vector<float> want = windowLevels(stereo, window);
    for (float &w : want)
        w = w > thresholdDb ? float(-(w - thresholdDb) * 2 / 3) : 0.f;
    followGain(stereo, want, 1 - std::exp(-1.0 / (0.010 * rate)), 1 - std::exp(-1.0 / (0.25 * rate)));
}

// A gentle look-ahead peak limiter for a loop: wherever a frame would pass
// `ceiling`, the gain ramps down over the 5 ms before it and recovers with a
// 150 ms time constant after. The loudest hits lose a few dB, the rest of the
// music none.
void limitPeaks(std::vector<float> &stereo, double ceiling)
{
    const size_t n = stereo.size() / 2, ramp = size_t(5 * framesPerMs);
    if (n <= ramp)
        return;
    // The ramp ahead of each frame over the ceiling: k frames before it the
    // gain is at most need + (1 - need) * k / ramp.
    std::vector<float> gain(n, 1.f);
    for (size_t i = 0; i < n; ++i) {
        const double peak = std::max(std::fabs(stereo[2 * i]), std::fabs(stereo[2 * i + 1]));
        if (peak <= ceiling)
            continue;
        const float need = float(ceiling / peak);
        for (size_t k = 0; k <= ramp; ++k) {
            float &g = gain[(i + n - k) % n];
            g = std::min(g, need + (1.f - need) * float(k) / float(ramp));
        }
    }
    for (float &g : gain)
        g = 20 * std::log10(g);
    followGain(stereo, gain, 1, 1 - std::exp(-1.0 / (0.15 * rate)));
}

} // namespace

bool writeMusic(const std::string &dir)
{
    constexpr int count = 5;
    const char *names[count] = {"BGM_00009.wav", "BGM_00012.wav", "BGM_00006.wav", "BGM_00001.wav",
                                "BGM_victory.wav"};
    const Score scores[count] = {arrangeTitle(), arrangeHome(), arrangeSouthWest(), arrangeEast(),
                                 arrangeVictory()};
    // The renders run at once: each synthesizer is one thread.
    std::vector<float> loops[count];
    std::thread renders[count];
    for (int i = 0; i < count; ++i)
        renders[i] = std::thread([&, i] { loops[i] = renderLoop(scores[i], dir, i); });
    for (std::thread &t : renders)
        t.join();
    // Each track brought to its level (the title and the victory theme to the
    // target loudness, a zone track to the title's RMS level and its lift),
    // its loudest hits limited below the ceiling, and its gain corrected for
    // what the limiting took, until it sits within 0.01 dB of the level.
    const double ceiling = std::pow(10, ceilingDb / 20);
    double titleRmsDb = 0;
    for (int i = 0; i < count; ++i) {
        const bool zone = i >= 1 && i <= 3;
        if (loops[i].empty())
            return false;
        level(loops[i]);
        compress(loops[i], rmsDb(loops[i]) + compressAboveDb);
        const std::vector<float> raw = loops[i];
        double gainDb = 0;
        for (int round = 0; round < 6; ++round) {
            const double loud = zone ? rmsDb(loops[i]) : integratedLoudness(loops[i], rate);
            if (!std::isfinite(loud)) {
                std::fprintf(stderr, "gendata: the loudness of %s cannot be measured\n", names[i]);
                return false;
            }
            const double off = (zone ? titleRmsDb + zoneLiftDb : targetLufs) - loud;
            if (round > 0 && std::fabs(off) < 0.01)
                break;
            gainDb += off;
            const float g = float(std::pow(10, gainDb / 20));
            for (size_t k = 0; k < raw.size(); ++k)
                loops[i][k] = raw[k] * g;
            limitPeaks(loops[i], ceiling);
        }
        if (i == 0)
            titleRmsDb = rmsDb(loops[i]);
    }
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        // Triangular dither from a fixed-seed generator: the same bytes on every run.
        uint32_t seed = 12345u + uint32_t(i);
        auto uniform = [&] {
            seed = seed * 1664525u + 1013904223u;
            return double(seed >> 8) / 16777216.0;
        };
        std::vector<int16_t> pcm(loops[i].size());
        for (size_t k = 0; k < pcm.size(); ++k) {
            const double v = loops[i][k] * 32767.0 + uniform() - uniform();
            pcm[k] = int16_t(std::clamp(std::lround(v), -32767l, 32767l));
        }
        ok = writeWav(dir + "/" + names[i], pcm, rate, 2) && ok;
    }
    return ok;
}
