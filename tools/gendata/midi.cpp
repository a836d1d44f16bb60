// midi.cpp - a score as a Standard MIDI File, and FluidSynth's render of it.
//
// The file's tick is one millisecond (500 ticks per quarter at 500,000 µs per
// quarter), so every pass of a loop starts a whole number of ticks after the
// one before and the synthesizer meets each pass at the same frame offset.

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "score.h"

extern char **environ;

namespace
{

struct Timed {
    int32_t atMs;
    int order; // at one instant: note-offs, then controls, then note-ons
    uint8_t bytes[3];
    int size;
};

void putVarLen(std::vector<unsigned char> &b, uint32_t v)
{
    unsigned char tmp[5];
    int n = 0;
    tmp[n++] = v & 127;
    while (v >>= 7)
        tmp[n++] = uint8_t((v & 127) | 128);
    while (n)
        b.push_back(tmp[--n]);
}

void put32be(std::vector<unsigned char> &b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(uint8_t(v >> s));
}

} // namespace

bool writeMidi(const std::string &path, const Score &score, int passes, int32_t endMs)
{
    std::vector<Timed> events;
    for (int pass = 0; pass < passes; ++pass) {
        const int32_t offset = pass * score.loopMs;
        for (const ControlEvent &c : score.controls) {
            if (offset + c.atMs >= endMs)
                continue;
            const uint8_t status = uint8_t(c.status | c.channel);
            if (c.status == 0xC0)
                events.push_back({offset + c.atMs, 1, {status, c.data1, 0}, 2});
            else
                events.push_back({offset + c.atMs, 1, {status, c.data1, c.data2}, 3});
        }
        for (const NoteEvent &n : score.notes) {
            const int32_t on = offset + n.atMs;
            if (on >= endMs)
                continue;
            const int32_t off = std::min(on + std::max(1, n.lengthMs), endMs - 1);
            events.push_back({on, 2, {uint8_t(0x90 | n.channel), n.key, n.velocity}, 3});
            events.push_back({off, 0, {uint8_t(0x80 | n.channel), n.key, 0}, 3});
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const Timed &a, const Timed &b) {
        return a.atMs != b.atMs ? a.atMs < b.atMs : a.order < b.order;
    });
    std::vector<unsigned char> track = {0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20}; // 500,000 µs per quarter
    int32_t now = 0;
    for (const Timed &e : events) {
        putVarLen(track, uint32_t(e.atMs - now));
        now = e.atMs;
        track.insert(track.end(), e.bytes, e.bytes + e.size);
    }
    putVarLen(track, uint32_t(endMs - now));
    track.insert(track.end(), {0xFF, 0x2F, 0});
    std::vector<unsigned char> file = {'M', 'T', 'h', 'd',      0,         0,   0,   6,   0,
                                       0,   0,   1,   500 >> 8, 500 & 255, 'M', 'T', 'r', 'k'};
    put32be(file, uint32_t(track.size()));
    file.insert(file.end(), track.begin(), track.end());
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

const char *soundFontPath()
{
    return JEWELWARD_SOUNDFONT;
}

std::vector<float> renderMidi(const std::string &midiPath, const std::string &rawPath, int rate)
{
    // One thread, no user or system configuration file, samples loaded as the
    // score's programs ask for them; raw little-endian float frames out.
    const std::string rateText = std::to_string(rate);
    const char *argv[] = {JEWELWARD_FLUIDSYNTH,
                          "-q",
                          "-n",
                          "-i",
                          "-f",
                          "/dev/null",
                          "-F",
                          rawPath.c_str(),
                          "-T",
                          "raw",
                          "-O",
                          "float",
                          "-E",
                          "little",
                          "-r",
                          rateText.c_str(),
                          "-g",
                          "0.3",
                          "-R",
                          "1",
                          "-C",
                          "1",
                          "-o",
                          "synth.cpu-cores=1",
                          "-o",
                          "synth.dynamic-sample-loading=1",
                          "-o",
                          "synth.polyphony=512",
                          "-o",
                          "synth.reverb.room-size=0.55",
                          "-o",
                          "synth.reverb.damp=0.35",
                          "-o",
                          "synth.reverb.width=1.0",
                          "-o",
                          "synth.reverb.level=0.8",
                          "-o",
                          "synth.chorus.level=1.2",
                          soundFontPath(),
                          midiPath.c_str(),
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "gendata: %s could not render %s\n", argv[0], midiPath.c_str());
        return {};
    }
    std::vector<float> frames;
    FILE *f = std::fopen(rawPath.c_str(), "rb");
    if (!f)
        return {};
    float chunk[8192];
    size_t got;
    while ((got = std::fread(chunk, sizeof(float), 8192, f)) > 0)
        frames.insert(frames.end(), chunk, chunk + got);
    std::fclose(f);
    std::remove(rawPath.c_str());
    frames.resize(frames.size() / 2 * 2);
    return frames;
}
