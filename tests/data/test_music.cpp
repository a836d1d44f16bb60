// test_music.cpp - the five loops: stereo at 32 kHz with real width, of loop
// length, unclipped, seamless where they wrap, five different pieces each in
// its own key, at levels that keep every zone near the title's loudness at
// either volume the game plays it. The loudness meter the generator
// matches them with is checked here against tones of known loudness.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <gtest/gtest.h>

#include "core/music.h"
#include "data_readers.h"
#include "loudness.h"

namespace
{

struct Track {
    const char *file, *role;
    int tonic;    // pitch class: 0 C ... 11 B
    int scale[7]; // semitones above the tonic
};
const Track tracks[5] = {
    {"BGM_00009.wav", "title, D major", 2, {0, 2, 4, 5, 7, 9, 11}},
    {"BGM_00012.wav", "home, F major", 5, {0, 2, 4, 5, 7, 9, 11}},
    {"BGM_00006.wav", "south-west, A Dorian", 9, {0, 2, 3, 5, 7, 9, 10}},
    {"BGM_00001.wav", "east, E harmonic minor", 4, {0, 2, 3, 5, 7, 8, 11}},
    {"BGM_victory.wav", "victory, E flat major", 3, {0, 2, 4, 5, 7, 9, 11}},
};
constexpr size_t zoneTracks[3] = {1, 2, 3}; // played at full volume and, after a zone change, at half

void PrintTo(const Track &t, std::ostream *os)
{
    *os << t.file;
}

std::vector<float> toFloat(const Sound &s)
{
    std::vector<float> v(s.samples.size());
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = float(s.samples[i]) / 32768.f;
    return v;
}

double rmsOf(const std::vector<double> &v, size_t from, size_t to)
{
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += v[i] * v[i];
    return std::sqrt(sum / double(to - from));
}

// Spectral magnitude gathered into the twelve pitch classes, 55 Hz to 2 kHz,
// over the whole track: which notes the piece dwells on.
std::vector<double> pitchClasses(const std::vector<double> &mono, int rate)
{
    const size_t n = 8192;
    std::vector<double> classes(12, 0);
    std::vector<std::complex<double>> frame(n);
    for (size_t at = 0; at + n <= mono.size(); at += n) {
        for (size_t i = 0; i < n; ++i)
            frame[i] = mono[at + i] * (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n)));
        fft(frame, false);
        for (size_t k = 1; k < n / 2; ++k) {
            const double hz = double(k) * rate / double(n);
            if (hz < 55 || hz > 2000)
                continue;
            const int midi = int(std::lround(69 + 12 * std::log2(hz / 440)));
            classes[size_t(midi % 12)] += std::abs(frame[k]);
        }
    }
    return classes;
}

double correlation(const std::vector<double> &a, const std::vector<double> &b)
{
    double ma = 0, mb = 0;
    for (size_t i = 0; i < a.size(); ++i)
        ma += a[i] / double(a.size()), mb += b[i] / double(b.size());
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i)
        ab += (a[i] - ma) * (b[i] - mb), aa += (a[i] - ma) * (a[i] - ma), bb += (b[i] - mb) * (b[i] - mb);
    return ab / std::sqrt(aa * bb);
}

std::vector<float> tone(double hz, double amplitude, double seconds, bool bothChannels, int rate = 32000)
{
    std::vector<float> v(size_t(seconds * rate) * 2, 0);
    for (size_t i = 0; i < v.size() / 2; ++i) {
        const float s = float(amplitude * std::sin(2 * M_PI * hz * double(i) / rate));
        v[2 * i] = s;
        v[2 * i + 1] = bothChannels ? s : 0;
    }
    return v;
}

} // namespace

TEST(LoudnessMeter, ReadsTonesOfKnownLoudness)
{
    // A 1 kHz tone at -20 dBFS in both channels reads -20 LUFS, in one
    // channel 3 dB less, at any of the rates; a low tone reads less for the
    // K-weighting's high-pass, and silence around a tone is gated out.
    for (int r : {32000, 44100, 48000}) {
        EXPECT_NEAR(integratedLoudness(tone(997, 0.1, 3, true, r), r), -20.0, 0.1) << r;
        EXPECT_NEAR(integratedLoudness(tone(997, 0.1, 3, false, r), r), -23.01, 0.1) << r;
    }
    EXPECT_LT(integratedLoudness(tone(30, 0.1, 3, true), 32000), -22.0);
    std::vector<float> gapped = tone(997, 0.1, 3, true);
    gapped.resize(gapped.size() * 2, 0.f);
    EXPECT_NEAR(integratedLoudness(gapped, 32000), -20.0, 0.3);
    EXPECT_EQ(integratedLoudness(std::vector<float>(64000, 0.f), 32000), -HUGE_VAL);
}

class TrackTest : public ::testing::TestWithParam<Track>
{
};

TEST_P(TrackTest, StereoLoopOfRightLengthUnclippedAndSeamless)
{
    const Track t = GetParam();
    const Sound s = readSound(t.file);
    ASSERT_EQ(s.channels, 2) << t.file;
    ASSERT_EQ(s.rate, 32000) << t.file;
    const size_t n = s.samples.size() / 2;
    const double seconds = double(n) / s.rate;
    EXPECT_GE(seconds, 40.0) << t.file;
    EXPECT_LE(seconds, 75.0) << t.file;

    std::vector<double> left(n), right(n), mid(n), side(n);
    int peak = 0;
    size_t differing = 0;
    for (size_t i = 0; i < n; ++i) {
        left[i] = s.samples[2 * i], right[i] = s.samples[2 * i + 1];
        mid[i] = (left[i] + right[i]) / 2, side[i] = (left[i] - right[i]) / 2;
        peak = std::max({peak, std::abs(int(s.samples[2 * i])), std::abs(int(s.samples[2 * i + 1]))});
        differing += left[i] != right[i];
    }
    const double peakDb = 20 * std::log10(peak / 32768.0);
    const double widthDb = 20 * std::log10(rmsOf(side, 0, n) / rmsOf(mid, 0, n));
    std::printf("%s (%s): %.2f s, peak %.2f dBFS, %.2f LUFS, side %.1f dB below mid\n", t.file, t.role,
                seconds, peakDb, integratedLoudness(toFloat(s), s.rate), -widthDb);
    EXPECT_LE(peakDb, -1.0) << t.file << " peaks too near full scale";
    EXPECT_GE(peakDb, -12.0) << t.file << " is nearly silent";
    // Real width: the channels differ almost everywhere and the side signal
    // carries energy, yet the piece is not two unrelated channels.
    EXPECT_GT(differing, n * 9 / 10) << t.file;
    EXPECT_GT(widthDb, -20.0) << t.file << " is nearly mono";
    EXPECT_LT(widthDb, -2.0) << t.file << " has more side than middle";

    // The seam: the step from the last frame to the first is no bigger than
    // 99.9 % of the music's own steps (no click); the level across it (10 ms
    // either side) changes at most 3 dB more than the music's largest change
    // between neighbouring 10 ms windows (no gap, no jump); the first
    // millisecond already sounds (the tails of the end wrap into the start).
    for (const std::vector<double> *ch : {&left, &right}) {
        const std::vector<double> &v = *ch;
        std::vector<double> steps(n - 1);
        for (size_t i = 1; i < n; ++i)
            steps[i - 1] = std::fabs(v[i] - v[i - 1]);
        std::nth_element(steps.begin(), steps.begin() + long(n * 999 / 1000), steps.end());
        const double usualStep = steps[n * 999 / 1000];
        EXPECT_LE(std::fabs(v[0] - v[n - 1]), usualStep) << t.file << ": a click where the loop wraps";
        const size_t w = size_t(s.rate) / 100;
        double largest = 0;
        for (size_t at = w; at + w <= n; at += w)
            largest = std::max(
                largest, std::fabs(20 * std::log10((rmsOf(v, at, at + w) + 1) / (rmsOf(v, at - w, at) + 1))));
        const double seam = std::fabs(20 * std::log10((rmsOf(v, 0, w) + 1) / (rmsOf(v, n - w, n) + 1)));
        std::printf(
            "  seam: step %.0f (99.9 %% of steps below %.0f), level change %.1f dB (largest elsewhere "
            "%.1f dB)\n",
            std::fabs(v[0] - v[n - 1]), usualStep, seam, largest);
        EXPECT_LE(seam, largest + 3) << t.file << ": the level jumps where the loop wraps";
        EXPECT_GT(rmsOf(v, 0, 32), rmsOf(v, 0, n) / 100)
            << t.file << " starts from silence (no tails wrapped)";
    }
}

INSTANTIATE_TEST_SUITE_P(Music, TrackTest, ::testing::ValuesIn(tracks),
                         [](const ::testing::TestParamInfo<Track> &i) {
                             return "track" + std::to_string(i.index);
                         });

// The level in dB of each `seconds` window of a loop's frame powers (round
// the loop, half a second apart), against `referenceDb`.
static std::vector<double> windowLevelsDb(const std::vector<double> &power, int rate, int seconds,
                                          double referenceDb)
{
    const size_t n = power.size(), window = size_t(rate) * size_t(seconds);
    std::vector<double> levels;
    if (n <= window)
        return levels;
    double sum = 0;
    for (size_t i = 0; i < window; ++i)
        sum += power[i];
    for (size_t from = 0; from < n; ++from) {
        if (from % size_t(rate / 2) == 0)
            levels.push_back(10 * std::log10(sum / double(window)) - referenceDb);
        sum += power[(from + window) % n] - power[from];
    }
    return levels;
}

// The power of each frame of a stereo sound, both channels, scaled by `gain`
// per channel.
static std::vector<double> framePowers(const Sound &s, const double gain[2])
{
    std::vector<double> power(s.samples.size() / 2);
    for (size_t i = 0; i < power.size(); ++i) {
        const double l = s.samples[2 * i] / 32768.0 * gain[0], r = s.samples[2 * i + 1] / 32768.0 * gain[1];
        power[i] = (l * l + r * r) / 2;
    }
    return power;
}

// The title and the victory theme play at full volume, a zone's track at
// full volume where play begins or resumes and at half volume after a zone
// change: each zone track's RMS level is 3 dB over the title's, halfway
// between the two volumes; the victory theme is as loud as the title.
TEST(Music, LevelsPlacedAroundTheTitle)
{
    double lufs[5], rms[5];
    const double unity[2] = {1, 1};
    for (size_t i = 0; i < 5; ++i) {
        const Sound s = readSound(tracks[i].file);
        ASSERT_EQ(s.channels, 2) << tracks[i].file;
        lufs[i] = integratedLoudness(toFloat(s), s.rate);
        double sum = 0;
        for (double p : framePowers(s, unity))
            sum += p;
        rms[i] = 10 * std::log10(sum / double(s.samples.size() / 2));
        std::printf("%s: %.2f dBFS RMS, %.2f LUFS\n", tracks[i].file, rms[i], lufs[i]);
    }
    EXPECT_GT(lufs[0], -20.0) << "the title is quiet";
    for (size_t z : zoneTracks)
        EXPECT_NEAR(rms[z] - rms[0], 3.0, 0.05) << tracks[z].file;
    EXPECT_NEAR(lufs[4], lufs[0], 0.05) << "the victory theme";
}

// Each track at each volume the game plays it, as the mixer puts it out: its
// whole loop and every 7 s of it (the stretch a player hears after a zone
// change starts at the track's beginning) at -22 dBFS RMS or louder, and a
// zone track, at full volume or at half, within 3 dB of the title.
TEST(Music, LoudEnoughAtTheOutput)
{
    struct Playing {
        size_t track;
        int volume;
    };
    const Playing playing[] = {{0, musicVolumeFull}, {1, musicVolumeFull}, {1, musicVolumeHalf},
                               {2, musicVolumeFull}, {2, musicVolumeHalf}, {3, musicVolumeFull},
                               {3, musicVolumeHalf}, {4, musicVolumeFull}};
    double titleRms = 0, titleLufs = 0;
    for (const Playing &p : playing) {
        const char *file = tracks[p.track].file;
        const Sound s = readSound(file);
        ASSERT_EQ(s.channels, 2) << file;
        const double gain[2] = {mixerGain(p.volume, musicPanCentre, 0),
                                mixerGain(p.volume, musicPanCentre, 1)};
        std::vector<float> out(s.samples.size());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = float(s.samples[i] / 32768.0 * gain[i % 2]);
        const std::vector<double> power = framePowers(s, gain);
        double sum = 0;
        for (double f : power)
            sum += f;
        const double lufs = integratedLoudness(out, s.rate),
                     rms = 10 * std::log10(sum / double(power.size()));
        const std::vector<double> windows = windowLevelsDb(power, s.rate, 7, 0);
        ASSERT_FALSE(windows.empty()) << file;
        const double quietest = *std::min_element(windows.begin(), windows.end());
        if (p.track == 0)
            titleRms = rms, titleLufs = lufs;
        std::printf("%s at volume %d: %.1f dBFS RMS (%+.2f dB against the title), quietest 7 s %.1f; "
                    "%.1f LUFS (%+.2f LU)\n",
                    file, p.volume, rms, rms - titleRms, quietest, lufs, lufs - titleLufs);
        EXPECT_GE(rms, -22.0) << file << " at volume " << p.volume;
        EXPECT_GE(quietest, -22.0) << file << " at volume " << p.volume;
        EXPECT_GE(lufs, -22.0) << file << " at volume " << p.volume;
        EXPECT_LE(std::fabs(rms - titleRms), 3.0) << file << " at volume " << p.volume;
    }
}

// Whatever stretch of a track a player hears sits near its level: the
// stretch after a zone change is the track's start, and the level above is
// the whole loop's. Every 7 s window lies within 1 dB of the track's RMS
// level, so no track opens much quieter than its level promises.
TEST(Music, EveryStretchNearTheTracksLevel)
{
    const double unity[2] = {1, 1};
    for (const Track &t : tracks) {
        const Sound s = readSound(t.file);
        ASSERT_EQ(s.channels, 2) << t.file;
        const std::vector<double> power = framePowers(s, unity);
        double whole = 0;
        for (double p : power)
            whole += p;
        const std::vector<double> windows =
            windowLevelsDb(power, s.rate, 7, 10 * std::log10(whole / double(power.size())));
        ASSERT_FALSE(windows.empty()) << t.file;
        for (size_t k = 0; k < windows.size(); ++k)
            EXPECT_LE(std::fabs(windows[k]), 1.0) << t.file << ": the 7 s from " << k * 0.5 << " s";
        std::printf("%s: 7 s windows %+.2f to %+.2f dB against the whole\n", t.file,
                    *std::min_element(windows.begin(), windows.end()),
                    *std::max_element(windows.begin(), windows.end()));
    }
}

TEST(Music, FiveDifferentPiecesEachInItsKey)
{
    std::vector<std::vector<double>> profiles;
    for (const Track &t : tracks) {
        const Sound s = readSound(t.file);
        ASSERT_EQ(s.channels, 2) << t.file;
        std::vector<double> mono(s.samples.size() / 2);
        for (size_t i = 0; i < mono.size(); ++i)
            mono[i] = (s.samples[2 * i] + s.samples[2 * i + 1]) / 2.0;
        profiles.push_back(pitchClasses(mono, s.rate));
        // In its key: the tonic sounds more than any pitch class outside the
        // piece's scale (harmonics make the scale's other tones strong too).
        const std::vector<double> &p = profiles.back();
        std::printf("%s:", t.file);
        for (int i = 0; i < 12; ++i)
            std::printf(" %d", int(std::lround(100 * p[size_t(i)] / p[size_t(t.tonic)])));
        std::printf(" (%% of the tonic, from C)\n");
        for (int i = 0; i < 12; ++i) {
            if (std::find(t.scale, t.scale + 7, (i - t.tonic + 12) % 12) == t.scale + 7) {
                EXPECT_LT(p[size_t(i)], p[size_t(t.tonic)])
                    << t.file << " (" << t.role << "): pitch class " << i;
            }
        }
    }
    for (size_t i = 0; i < 5; ++i)
        for (size_t j = 0; j < i; ++j) {
            const double c = correlation(profiles[i], profiles[j]);
            std::printf("%s ~ %s: pitch-class correlation %.2f\n", tracks[i].file, tracks[j].file, c);
            EXPECT_LT(c, 0.85) << tracks[i].file << " and " << tracks[j].file << " dwell on the same notes";
        }
}
