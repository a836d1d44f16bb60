// data_property_test.cpp - the data check is the one gate for data: every
// data file is re-encoded in other layouts and mutated many ways (header
// fields, sizes, compression, bit depths, rates, chunks, truncations, tails),
// and whenever the check admits a version the gate's load (the library reading
// the checked file) loads it, with the pixels or samples the file holds, and
// drawing it as the game does or a few seconds of the library's own mixer over
// it run clean (in the sanitizer build, under ASan and UBSan). Known-good layouts must be admitted and known
// faults refused, so a check that refused everything would fail here too.
// Every refusal tells the player to reinstall the game or rebuild its data.

#include <gtest/gtest.h>

#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "assets/data_check.h"
#include "core/music.h"
#include "fault_files.h"
#include "robust_support.h"

namespace
{

// ------------------------------------------------------------ a mixer to listen with

// The library's own software mixer (the one its ALSA and OSS drivers feed the
// sound card from) behind a driver of our own, pumped by hand: the samples are
// mixed exactly as in the game, with no sound card and no waiting. The null
// system driver has no mutexes, which the mixer asks for; one thread needs none.
namespace mixer
{
constexpr int rate = 44100;       // output frames per second
constexpr int blockFrames = 1024; // frames mixed per call
int dummyMutex;
void *createMutex()
{
    return &dummyMutex;
}
void noMutex(void *) {}
int detect(int input)
{
    return input ? 0 : 1;
}
DIGI_DRIVER driver;
int init(int input, int voices)
{
    if (input)
        return -1;
    if (_mixer_init(blockFrames * 2, rate, 1, 1, &voices) != 0)
        return -1;
    driver.voices = voices;
    return 0;
}
void exitDriver(int)
{
    _mixer_exit();
}
const int driverId = AL_ID('T', 'M', 'I', 'X');
_DRIVER_INFO driverList[] = {{driverId, &driver, 1}, {0, nullptr, 0}};
_DRIVER_INFO *digiDrivers()
{
    return driverList;
}
SYSTEM_DRIVER system;

// Installs the mixer as the sound driver; false when the library refuses it.
bool install()
{
    static bool installed = false;
    if (installed)
        return true;
    system = *system_driver;
    system.create_mutex = createMutex;
    system.destroy_mutex = noMutex;
    system.lock_mutex = noMutex;
    system.unlock_mutex = noMutex;
    system.digi_drivers = digiDrivers;
    system_driver = &system;
    driver.id = driverId;
    driver.name = driver.desc = driver.ascii_name = "test mixer";
    driver.max_voices = MIXER_MAX_SFX;
    driver.def_voices = MIXER_DEF_SFX;
    driver.detect = detect;
    driver.init = init;
    driver.exit = exitDriver;
    driver.init_voice = _mixer_init_voice;
    driver.release_voice = _mixer_release_voice;
    driver.start_voice = _mixer_start_voice;
    driver.stop_voice = _mixer_stop_voice;
    driver.loop_voice = _mixer_loop_voice;
    driver.get_position = _mixer_get_position;
    driver.set_position = _mixer_set_position;
    driver.get_volume = _mixer_get_volume;
    driver.set_volume = _mixer_set_volume;
    driver.ramp_volume = _mixer_ramp_volume;
    driver.stop_volume_ramp = _mixer_stop_volume_ramp;
    driver.get_frequency = _mixer_get_frequency;
    driver.set_frequency = _mixer_set_frequency;
    driver.sweep_frequency = _mixer_sweep_frequency;
    driver.stop_frequency_sweep = _mixer_stop_frequency_sweep;
    driver.get_pan = _mixer_get_pan;
    driver.set_pan = _mixer_set_pan;
    driver.sweep_pan = _mixer_sweep_pan;
    driver.stop_pan_sweep = _mixer_stop_pan_sweep;
    driver.set_echo = _mixer_set_echo;
    driver.set_tremolo = _mixer_set_tremolo;
    driver.set_vibrato = _mixer_set_vibrato;
    installed = install_sound(driverId, MIDI_NONE, nullptr) == 0;
    return installed;
}

// Plays `track` as the game starts its music (full volume, centred, looped),
// mixes `seconds` of output and returns the mean distance from silence.
double listen(SAMPLE *track, int seconds)
{
    playMusic(track, musicVolumeFull, musicPanCentre, musicFrequencyNormal, 1);
    std::vector<uint16_t> block(blockFrames * 2);
    double sum = 0;
    const int blocks = seconds * rate / blockFrames;
    for (int b = 0; b < blocks; ++b) {
        _mix_some_samples(reinterpret_cast<uintptr_t>(block.data()), 0, 0); // unsigned 16-bit stereo
        for (uint16_t v : block)
            sum += std::abs(int(v) - 32768);
    }
    stopMusic(track);
    return sum / (double(blocks) * blockFrames * 2);
}
} // namespace mixer

// ------------------------------------------------------------ versions of a file

enum class Expect { admitted, refused, either };
enum class Content { exact, palette, unknown }; // what an admitted picture must hold

struct Version {
    std::string label, bytes;
    Expect expect = Expect::either;
    Content content = Content::unknown;
    std::string sound; // music: the bytes of the data chunk when known
};

uint32_t get32(const std::string &s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}
void set32(std::string &s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + size_t(i)] = char(v >> (8 * i) & 255);
}
void set16(std::string &s, size_t at, uint32_t v)
{
    s[at] = char(v & 255);
    s[at + 1] = char(v >> 8 & 255);
}

// A value for a header field: the edges, near the original, or random.
uint32_t interesting(std::mt19937 &rng, uint32_t original, int bytes)
{
    static const uint32_t edges[] = {
        0,     1,     2,      3,      4,     7,          8,          12,         15,        16,   24,
        32,    40,    54,     64,     108,   124,        255,        256,        1024,      8000, 44100,
        96000, 96001, 524288, 768000, 65535, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};
    const uint32_t mask = bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
    switch (rng() % 4) {
    case 0: return edges[rng() % (sizeof edges / sizeof edges[0])] & mask;
    case 1: return (original + uint32_t(int(rng() % 9) - 4)) & mask;
    case 2: return (original * 2 + (rng() % 2)) & mask;
    default: return uint32_t(rng()) & mask;
    }
}

struct Field {
    size_t at;
    int bytes;
    bool keepsContent; // the loader ignores it: an admitted file shows the same pixels or sound
};

// Random mutations of a file: fields, byte flips in the header, truncations
// and tails.
void addMutations(const std::string &good, const std::vector<Field> &fields, size_t headerBytes, int count,
                  uint32_t seed, const std::string &goodSound, std::vector<Version> &out)
{
    std::mt19937 rng(seed);
    for (int n = 0; n < count; ++n) {
        Version v;
        v.bytes = good;
        bool keeps = false;
        char label[96];
        switch (rng() % 5) {
        case 0:
        case 1: {
            const Field &f = fields[rng() % fields.size()];
            const uint32_t value =
                interesting(rng, f.bytes == 2 ? get32(good, f.at) & 0xFFFF : get32(good, f.at), f.bytes);
            if (f.bytes == 2)
                set16(v.bytes, f.at, value);
            else
                set32(v.bytes, f.at, value);
            keeps = f.keepsContent;
            std::snprintf(label, sizeof label, "field at %zu = %u", f.at, value);
            break;
        }
        case 2: {
            const size_t at = rng() % headerBytes;
            v.bytes[at] = char(uint8_t(v.bytes[at]) ^ (1u << (rng() % 8)));
            std::snprintf(label, sizeof label, "bit flipped at byte %zu", at);
            break;
        }
        case 3: {
            const size_t length = rng() % 2 ? rng() % (headerBytes * 2) : rng() % good.size();
            v.bytes.resize(length);
            std::snprintf(label, sizeof label, "cut to %zu bytes", length);
            break;
        }
        default: {
            const size_t tail = rng() % 2 ? rng() % 8 + 1 : rng() % 20000 + 1;
            v.bytes.append(tail, char(rng()));
            keeps = true;
            std::snprintf(label, sizeof label, "%zu bytes added", tail);
            break;
        }
        }
        v.label = label;
        if (keeps) {
            v.content = Content::exact;
            v.sound = goodSound;
        }
        out.push_back(v);
    }
}

// Every layout on the smaller pictures; on the three of 3200 x 3200 pixels
// only the layouts the check admits, and fewer mutations.
std::vector<Version> pictureVersions(const std::string &good, const Picture &source, uint32_t seed)
{
    const bool big = int64_t(source.w) * source.h > 2000000;
    std::vector<Version> out;
    const auto add = [&](const char *label, const BmpLayout &layout, Expect expect, Content content) {
        Version v;
        v.label = label;
        v.bytes = encodeBmp(source, layout);
        v.expect = expect;
        v.content = content;
        out.push_back(v);
    };
    BmpLayout l;
    add("24 bits, re-encoded", l, Expect::admitted, Content::exact);
    l.bits = 32;
    add("32 bits, no alpha", l, Expect::admitted, Content::exact);
    l.alpha = 255;
    add("32 bits, opaque alpha", l, Expect::admitted, Content::exact);
    l = BmpLayout{};
    l.bits = 8;
    add("8 bits, 256 colours", l, Expect::admitted, Content::palette);
    // Pixels after a gap behind the header and palette, which the library
    // skips: the same pixels, up to the largest gap admitted.
    l = BmpLayout{};
    l.gap = 2;
    add("24 bits, pixels after a 2-byte gap", l, Expect::admitted, Content::exact);
    l.gap = uint32_t(256 * 4 + pictureMaxGap);
    add("24 bits, pixels after the largest gap", l, Expect::admitted, Content::exact);
    l.gap = 1;
    l.bits = 32;
    add("32 bits, pixels after a 1-byte gap", l, Expect::admitted, Content::exact);
    l.gap = 6;
    l.bits = 8;
    add("8 bits, 256 colours, pixels after a 6-byte gap", l, Expect::admitted, Content::palette);
    Version same{"as generated", good, Expect::admitted, Content::exact, ""};
    out.push_back(same);
    const std::vector<Field> fields = {
        {2, 4, true},   {6, 4, true},  {10, 4, false}, {14, 4, false}, {18, 4, false},
        {22, 4, false}, {26, 2, true}, {28, 2, false}, {30, 4, false}, {34, 4, true},
        {38, 4, true},  {42, 4, true}, {46, 4, false}, {50, 4, true},
    };
    addMutations(good, fields, 54, big ? 20 : 60, seed, "", out);
    if (big)
        return out;
    l.paletteColours = 200;
    add("8 bits, 200 colours", l, Expect::refused, Content::unknown);
    l = BmpLayout{};
    l.gap = uint32_t(256 * 4 + pictureMaxGap + 1);
    add("24 bits, pixels after too large a gap", l, Expect::refused, Content::unknown);
    l = BmpLayout{};
    l.topDown = true;
    add("24 bits, top-down", l, Expect::refused, Content::unknown);
    l = BmpLayout{};
    l.infoSize = 124;
    add("24 bits, V5 header", l, Expect::refused, Content::unknown);
    l.infoSize = 108;
    add("24 bits, V4 header", l, Expect::refused, Content::unknown);
    l.infoSize = 12;
    add("24 bits, OS/2 header", l, Expect::refused, Content::unknown);
    l = BmpLayout{};
    l.bits = 16;
    add("16 bits", l, Expect::refused, Content::unknown);
    l.bits = 4;
    add("4 bits", l, Expect::refused, Content::unknown);
    l.bits = 1;
    add("1 bit", l, Expect::refused, Content::unknown);
    l.bits = 8;
    l.compression = 1;
    add("8-bit RLE", l, Expect::refused, Content::unknown);
    out.push_back(out.back());
    out.back().label = "8-bit RLE, short body";
    out.back().bytes.resize(out.back().bytes.size() / 3);
    l.bits = 4;
    l.compression = 2;
    add("4-bit RLE", l, Expect::refused, Content::unknown);
    out.push_back(out.back());
    out.back().label = "4-bit RLE, short body";
    out.back().bytes.resize(out.back().bytes.size() / 3);
    return out;
}

std::vector<Version> musicVersions(const std::string &good, const Sound &source, const WavChunks &where,
                                   uint32_t seed)
{
    std::vector<Version> out;
    // Three seconds of the track, re-encoded; a rate only changes its pitch.
    Sound clip = source;
    clip.samples.resize(std::min(clip.samples.size(), size_t(source.rate) * 3 * size_t(source.channels)));
    const auto add = [&](std::string label, std::vector<Chunk> chunks, Expect expect) {
        Version v;
        v.label = label;
        v.bytes = riffWave(chunks);
        v.expect = expect;
        for (const Chunk &c : chunks)
            if (c.name == "data" && v.sound.empty())
                v.sound = c.body;
        out.push_back(v);
    };
    for (uint16_t channels : {1, 2})
        for (uint16_t bits : {8, 16})
            for (uint32_t rate : {8000u, 11025u, 22050u, 32000u, 44100u, 48000u, 96000u})
                add(std::to_string(bits) + " bits, " + std::to_string(channels) + " channels, " +
                        std::to_string(rate) + " Hz",
                    {formatChunk(1, channels, rate, bits), dataChunk(clip, channels, bits)},
                    Expect::admitted);
    for (uint32_t rate : {7999u, 96001u, 524288u, 768000u, 0u})
        add(std::to_string(rate) + " Hz", {formatChunk(1, 2, rate, 16), dataChunk(clip, 2, 16)},
            Expect::refused);
    add("24 bits", {formatChunk(1, 2, 44100, 24), dataChunk(clip, 2, 24)}, Expect::refused);
    add("float", {formatChunk(3, 1, 44100, 32), dataChunk(clip, 2, 16)}, Expect::refused);
    add("extensible", {formatChunk(0xFFFE, 2, 44100, 16, 24), dataChunk(clip, 2, 16)}, Expect::refused);
    add("6 channels", {formatChunk(1, 6, 44100, 16), dataChunk(clip, 2, 16)}, Expect::refused);
    const Chunk fmt = formatChunk(1, 2, 32000, 16), data = dataChunk(clip, 2, 16);
    Chunk oddData = dataChunk(clip, 1, 8);
    if (oddData.body.size() % 2 == 0)
        oddData.body.pop_back();
    const Chunk evenList{"LIST", std::string(26, 'i')}, oddList{"LIST", std::string(27, 'i')};
    add("format with cbSize", {formatChunk(1, 2, 32000, 16, 2), data}, Expect::admitted);
    add("even LIST first", {evenList, fmt, data}, Expect::admitted);
    add("even LIST between", {fmt, evenList, data}, Expect::admitted);
    add("LIST after the sound", {fmt, data, oddList}, Expect::admitted);
    add("odd 8-bit mono sound, padded", {formatChunk(1, 1, 22050, 8), oddData}, Expect::admitted);
    add("odd LIST before the sound", {fmt, oddList, data}, Expect::refused);
    add("odd 8-bit sound, then LIST", {formatChunk(1, 1, 22050, 8), oddData, evenList}, Expect::refused);
    add("two sound chunks", {fmt, data, data}, Expect::refused);
    add("two format chunks", {fmt, fmt, data}, Expect::refused);
    add("sound before format", {data, fmt}, Expect::refused);
    add("no sound", {fmt}, Expect::refused);
    add("empty sound", {fmt, Chunk{"data", ""}}, Expect::refused);
    add("short format", {Chunk{"fmt ", fmt.body.substr(0, 14)}, data}, Expect::refused);
    Chunk partFrame = data;
    partFrame.body.resize(partFrame.body.size() - 2);
    add("half a frame over", {fmt, partFrame}, Expect::refused);
    Version stray = out.back();
    stray.bytes = riffWave({fmt, data}) + "JUNK12";
    stray.label = "6 stray bytes at the end";
    stray.expect = Expect::refused;
    out.push_back(stray);

    Version same{"as generated", good, Expect::admitted, Content::unknown,
                 good.substr(where.data + 8, get32(good, where.data + 4))};
    out.push_back(same);
    // The "RIFF" size; the "fmt " size, tag, channels, rate, byte rate, block
    // size and bits; the "data" size.
    const size_t f = where.format;
    const std::vector<Field> fields = {{4, 4, true},       {f + 4, 4, false},  {f + 8, 2, false},
                                       {f + 10, 2, false}, {f + 12, 4, false}, {f + 16, 4, true},
                                       {f + 20, 2, true},  {f + 22, 2, false}, {where.data + 4, 4, false}};
    addMutations(good, fields, where.data + 8, 60, seed, same.sound, out);
    return out;
}

// ------------------------------------------------------------ what an admitted file must do

// The header's size of an admitted picture (the check allows only a plain
// 40-byte header).
void headerSize(const std::string &bytes, int &w, int &h)
{
    w = int32_t(get32(bytes, 18));
    h = int32_t(get32(bytes, 22));
}

// Loads an admitted picture through the game's gate and draws it; returns
// what went wrong, or "".
std::string pictureWorks(const std::string &folder, const DataFileRule &rule, const Version &v,
                         const Picture &source, BITMAP *canvas)
{
    LoadProblem refusal;
    BITMAP *picture = loadDataPicture(folder, rule, refusal);
    if (!picture)
        return "the gate cannot load it: " + refusal.text;
    int w, h;
    headerSize(v.bytes, w, h);
    std::string problem;
    if (picture->w != w || picture->h != h) {
        problem = "loaded as " + std::to_string(picture->w) + " x " + std::to_string(picture->h);
    } else if (v.content != Content::unknown) {
        if (w != source.w || h != source.h)
            problem = "the size changed";
        for (int y = 0; y < h && problem.empty(); ++y) {
            const uint32_t *row = reinterpret_cast<const uint32_t *>(picture->line[y]);
            for (int x = 0; x < w; ++x) {
                const uint32_t want = source.rgb[size_t(y) * size_t(w) + size_t(x)];
                const uint32_t expected = v.content == Content::palette ? paletteColour8(want) : want;
                // The whole value, alpha byte included: magenta must match the
                // mask colour exactly for the masked draws.
                const uint32_t wantRaw =
                    uint32_t(makecol32(int(expected >> 16), int(expected >> 8 & 255), int(expected & 255)));
                if (row[x] != wantRaw) {
                    char text[96];
                    std::snprintf(text, sizeof text, "pixel (%d, %d) is %08x, not %08x", x, y, row[x],
                                  wantRaw);
                    problem = text;
                    break;
                }
            }
        }
    }
    // Drawn the ways the game draws: a view of a backdrop, a masked cell, a
    // sprite and a stretched one, partly off the frame.
    blit(picture, canvas, picture->w / 3, picture->h / 3, 0, 0, canvas->w, canvas->h);
    masked_blit(picture, canvas, 0, 0, -7, -5, std::min(picture->w, 96), std::min(picture->h, 96));
    draw_sprite(canvas, picture, canvas->w - picture->w / 2, canvas->h - picture->h / 2);
    stretch_sprite(canvas, picture, 10, 10, 96, 96);
    destroy_bitmap(picture);
    return problem;
}

// Loads an admitted track through the game's gate and mixes it; returns
// what went wrong, or "".
std::string musicWorks(const std::string &folder, const DataFileRule &rule, const Version &v)
{
    LoadProblem refusal;
    SAMPLE *track = loadDataMusic(folder, rule, refusal);
    if (!track)
        return "the gate cannot load it: " + refusal.text;
    std::string problem;
    if (!v.sound.empty()) {
        const size_t bytes = size_t(track->len) * (track->stereo ? 2 : 1) * size_t(track->bits / 8);
        if (bytes != v.sound.size()) {
            problem =
                "loaded " + std::to_string(bytes) + " bytes of sound, not " + std::to_string(v.sound.size());
        } else {
            // The library keeps 16-bit sound unsigned.
            const unsigned char *data = static_cast<const unsigned char *>(track->data);
            for (size_t i = 0; i < bytes && problem.empty(); ++i) {
                const unsigned char want =
                    track->bits == 16 && i % 2 == 1 ? uint8_t(v.sound[i]) ^ 0x80 : uint8_t(v.sound[i]);
                if (data[i] != want)
                    problem = "sound byte " + std::to_string(i) + " differs";
            }
        }
    }
    const double level = mixer::listen(track, 3);
    if (problem.empty() && !v.sound.empty() && level < 1.0)
        problem = "three seconds of mixing it are silent";
    destroy_sample(track);
    return problem;
}

// A refusal without its figures and its advice: "is N x N pixels but must be N x N".
std::string refusalKind(const std::string &problem)
{
    std::string kind;
    for (char c : problem.substr(0, problem.find(':'))) {
        if (c >= '0' && c <= '9') {
            if (kind.empty() || kind.back() != 'N')
                kind += 'N';
        } else if (c != ',' || kind.empty() || kind.back() != 'N') {
            kind += c;
        }
    }
    return kind;
}

} // namespace

TEST(DataProperty, WhatTheCheckAdmitsLoadsAndPlays)
{
    LinkedDataFolder folder;
    ASSERT_TRUE(mixer::install()) << allegro_error;
    BITMAP *canvas = create_bitmap(640, 480);
    ASSERT_NE(canvas, nullptr);
    std::map<std::string, int> refusals; // how each refusal begins, counted
    int admitted = 0, refused = 0;
    for (int i = 0; i < dataFileRuleCount; ++i) {
        const DataFileRule &rule = dataFileRules[i];
        const std::string path = folder.file(rule.name);
        bool readable = false;
        const std::string good = readWholeFile(path, &readable);
        ASSERT_TRUE(readable) << rule.name;
        Picture picture;
        Sound sound;
        std::vector<Version> versions;
        if (rule.music) {
            WavChunks where;
            ASSERT_TRUE(decodeWav16(good, sound, where)) << rule.name << " is not 16-bit PCM";
            versions = musicVersions(good, sound, where, uint32_t(1000 + i));
        } else {
            ASSERT_TRUE(decodeBmp(good, picture)) << rule.name << " is not in the generator's layout";
            versions = pictureVersions(good, picture, uint32_t(1000 + i));
        }
        ASSERT_EQ(unlink(path.c_str()), 0); // a file of our own from here: never write through the link
        for (const Version &v : versions) {
            SCOPED_TRACE(std::string(rule.name) + ", " + v.label);
            writeWholeFile(path, v.bytes);
            const std::string problem = checkDataFile(folder.path(), rule);
            if (v.expect == Expect::admitted) {
                EXPECT_EQ(problem, "");
            } else if (v.expect == Expect::refused) {
                EXPECT_NE(problem, "");
            }
            if (!problem.empty()) {
                // The game's own file: the player can reinstall or rebuild
                // it, never save it again.
                EXPECT_NE(problem.find("reinstall the game, or rebuild its data"), std::string::npos)
                    << problem;
                EXPECT_EQ(problem.find("save it again"), std::string::npos) << problem;
                ++refused;
                ++refusals[refusalKind(problem)];
                continue;
            }
            ++admitted;
            EXPECT_EQ(rule.music ? musicWorks(folder.path(), rule, v)
                                 : pictureWorks(folder.path(), rule, v, picture, canvas),
                      "");
        }
        writeWholeFile(path, good);
    }
    destroy_bitmap(canvas);
    std::printf("%d versions admitted (each loaded and drawn or mixed), %d refused:\n", admitted, refused);
    for (const auto &r : refusals)
        std::printf("  %5d  %s\n", r.second, r.first.c_str());
}
