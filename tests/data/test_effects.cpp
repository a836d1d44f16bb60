// test_effects.cpp - the eleven sound effects: mono 16-bit at the music's rate,
// of their lengths, below -1 dBFS, centred on zero, unlike each other, and
// balanced against the music by measurement at the volumes the game plays
// them (core/sound_effects.cpp): each at least as loud as the music it
// sounds over, none with a peak above the music's, and a busy fight's mix
// below full scale.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <ebur128.h>
#include <gtest/gtest.h>

#include "core/music.h"
#include "core/sound_effects.h"
#include "data_readers.h"
#include "loudness.h"
#include "state/shell_state.h"

namespace
{

struct Expected {
    SoundEffect effect;
    double shortest, longest; // seconds
    const char *over;         // the tracks it sounds over: t title, h home, s south-west, e east
};
const Expected expected[soundEffectCount] = {
    {sfxSwing, 0.15, 0.5, "hse"}, {sfxHit, 0.1, 0.5, "hse"},   {sfxBoss, 0.2, 1, "hse"},
    {sfxHurt, 0.1, 0.5, "hse"},   {sfxJewel, 0.3, 1.5, "hse"}, {sfxLevelUp, 0.5, 2, "hse"},
    {sfxHeal, 0.2, 1, "hse"},     {sfxGameOver, 1, 4, "hse"},  {sfxVictory, 1, 5, ""},
    {sfxPage, 0.05, 0.4, "t"},    {sfxSaved, 0.2, 0.8, "hse"},
};
const char *trackFile(char zone)
{
    return zone == 't'   ? "BGM_00009.wav"
           : zone == 'h' ? "BGM_00012.wav"
           : zone == 's' ? "BGM_00006.wav"
                         : "BGM_00001.wav";
}

constexpr double fullScale = 32768;
// The music's level while an effect sounds, against its volume.
const double ducked = double(musicVolumeFull >> musicDuckHalvings) / musicVolumeFull;
const double ceiling = fullScale * std::pow(10, -1 / 20.0); // -1 dBFS

int peakOf(const Sound &s)
{
    int peak = 0;
    for (int16_t v : s.samples)
        peak = std::max(peak, std::abs(int(v)));
    return peak;
}

// The loudest stretch of `window` ms (BS.1770 weighting, both channels), in
// LUFS; a mono sound is heard as the same signal on both channels, as a
// centred effect is. `gain` is the playing volume over 255.
double loudestWindow(const Sound &s, double gain, unsigned long window)
{
    ebur128_state *st = ebur128_init(2, unsigned(s.rate), EBUR128_MODE_M);
    EXPECT_NE(st, nullptr);
    ebur128_set_max_window(st, window);
    const size_t frames = s.samples.size() / size_t(s.channels), hop = size_t(s.rate) / 100;
    std::vector<double> chunk(2 * hop);
    double loudest = -HUGE_VAL;
    for (size_t at = 0; at + hop <= frames; at += hop) {
        for (size_t i = 0; i < hop; ++i)
            for (size_t c = 0; c < 2; ++c)
                chunk[2 * i + c] =
                    gain * s.samples[(at + i) * size_t(s.channels) + std::min(c, size_t(s.channels) - 1)] /
                    fullScale;
        ebur128_add_frames_double(st, chunk.data(), hop);
        double l;
        if ((at + hop) * 1000 >= window * size_t(s.rate) &&
            ebur128_loudness_window(st, window, &l) == EBUR128_SUCCESS)
            loudest = std::max(loudest, l);
    }
    ebur128_destroy(&st);
    return loudest;
}

class EffectTest : public ::testing::TestWithParam<Expected>
{
};

void PrintTo(const Expected &e, std::ostream *os)
{
    *os << soundEffects[e.effect].file;
}

} // namespace

TEST_P(EffectTest, FormatLengthPeakAndCentre)
{
    const Expected &e = GetParam();
    const Sound s = readSound(soundEffects[e.effect].file);
    ASSERT_EQ(s.channels, 1);
    ASSERT_EQ(s.rate, 32000);
    const double seconds = double(s.samples.size()) / s.rate;
    EXPECT_GE(seconds, e.shortest);
    EXPECT_LE(seconds, e.longest);
    const int peak = peakOf(s);
    EXPECT_LE(peak, ceiling) << "peak above -1 dBFS";
    EXPECT_GT(peak, fullScale / 4) << "much quieter than the others";
    double sum = 0;
    for (int16_t v : s.samples)
        sum += v;
    EXPECT_LT(std::fabs(sum / double(s.samples.size())), 0.001 * fullScale) << "a DC offset";
    // Starts and ends at rest: no click when it starts or stops.
    EXPECT_LT(std::abs(int(s.samples.front())), 300);
    EXPECT_LT(std::abs(int(s.samples.back())), 300);
    std::printf("%s: %.3f s, peak %.2f dBFS\n", soundEffects[e.effect].file, seconds,
                20 * std::log10(peak / fullScale));
}

// Heard over each track it sounds over as a player hears it (its loudest 100
// ms against the track's integrated loudness at full volume, ducked as it is
// while an effect sounds), yet no peak above that music's.
TEST_P(EffectTest, BalancedAgainstTheMusic)
{
    const Expected &e = GetParam();
    const Sound s = readSound(soundEffects[e.effect].file);
    const double gain = soundEffects[e.effect].volume / 255.0;
    const double effect = loudestWindow(s, gain, 100);
    const double effectPeak = peakOf(s) * gain;
    for (const char *z = e.over; *z; ++z) {
        const Sound music = readSound(trackFile(*z));
        std::vector<float> played(music.samples.size());
        for (size_t i = 0; i < played.size(); ++i)
            played[i] = float(music.samples[i] * ducked / fullScale);
        const double bed = integratedLoudness(played, music.rate);
        std::printf("%s over %s: %.1f LUFS against %.1f LUFS (%+.1f LU), peak %.0f against %.0f\n",
                    soundEffects[e.effect].file, trackFile(*z), effect, bed, effect - bed, effectPeak,
                    peakOf(music) * ducked);
        EXPECT_GE(effect, bed) << "drowned by " << trackFile(*z);
        EXPECT_LE(effectPeak, peakOf(music) * ducked) << "louder than the peaks of " << trackFile(*z);
    }
}

INSTANTIATE_TEST_SUITE_P(Effects, EffectTest, ::testing::ValuesIn(expected),
                         [](const ::testing::TestParamInfo<Expected> &i) {
                             return std::string(soundEffects[i.param.effect].name);
                         });

// No effect resembles another: the peak of their normalised cross-correlation
// at any offset stays low, so each is told apart (by a player and by the
// end-to-end test that finds them in the game's output).
TEST(Effects, UnlikeEachOther)
{
    std::vector<std::vector<std::complex<double>>> spectra;
    std::vector<double> energy;
    const size_t n = 1 << 18; // longer than any two effects together
    for (const SoundEffectInfo &info : soundEffects) {
        const Sound s = readSound(info.file);
        ASSERT_LT(s.samples.size() * 2, n) << info.file;
        std::vector<std::complex<double>> a(n);
        double sum = 0;
        for (size_t i = 0; i < s.samples.size(); ++i)
            a[i] = s.samples[i], sum += double(s.samples[i]) * s.samples[i];
        fft(a, false);
        spectra.push_back(a);
        energy.push_back(sum);
    }
    for (size_t i = 0; i < spectra.size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            std::vector<std::complex<double>> c(n);
            for (size_t k = 0; k < n; ++k)
                c[k] = spectra[i][k] * std::conj(spectra[j][k]);
            fft(c, true);
            double best = 0;
            for (const auto &v : c)
                best = std::max(best, std::fabs(v.real()) / double(n));
            const double r = best / std::sqrt(energy[i] * energy[j]);
            EXPECT_LT(r, 0.5) << soundEffects[i].file << " resembles " << soundEffects[j].file;
        }
}

// The victory theme waits for the fanfare to end.
TEST(Effects, TheVictoryThemeWaitsOutTheFanfare)
{
    const Sound fanfare = readSound(soundEffects[sfxVictory].file);
    const double seconds = double(fanfare.samples.size()) / fanfare.rate;
    EXPECT_LE(seconds * 100, victoryThemeDelayTicks) << "the theme would start over the fanfare";
    EXPECT_GE(seconds * 100 + 50, victoryThemeDelayTicks) << "more than half a second of silence between";
}

// A busy fight mixed as the library's mixer mixes it (mixerGain) over the whole of each zone's track at full
// volume, and of the victory theme: a swing every 91 ticks (as fast as swings come) that strikes an enemy (a
// swing sounds once: its strike, the highest peak of its three sounds), a wound every 30 ticks, a jewel, a
// level and a heal every 2.7 s, sources at the edges of the pan. The music is ducked while any effect sounds:
// its volume falls and rises in straight ramps as the mixer's do, falling from each effect's first sample
// (the game asks for the fall a tick before the effect sounds; the mixer applies it about that much late) and
// rising from its last. The mix stays below full scale on both channels.
TEST(Effects, BusyFightNeverClips)
{
    struct Start {
        SoundEffect effect;
        double first, every; // seconds
        int pan;
    };
    const Start fight[] = {{sfxHit, 0, 0.91, effectPanLeft},
                           {sfxHurt, 0.05, 0.3, effectPanRight},
                           {sfxJewel, 0.6, 2.7, effectPanLeft},
                           {sfxLevelUp, 0.3, 2.7, musicPanCentre},
                           {sfxHeal, 1.2, 2.7, musicPanCentre}};
    const double musicLeft = mixerGain(musicVolumeFull, musicPanCentre, 0),
                 musicRight = mixerGain(musicVolumeFull, musicPanCentre, 1);
    for (const char *track : {"BGM_00012.wav", "BGM_00006.wav", "BGM_00001.wav", "BGM_victory.wav"}) {
        const Sound music = readSound(track);
        ASSERT_EQ(music.channels, 2);
        const size_t frames = music.samples.size() / 2;
        std::vector<double> left(frames, 0), right(frames, 0);
        std::vector<bool> sounding(frames, false); // an effect plays in this frame
        for (const Start &f : fight) {
            const Sound e = readSound(soundEffects[f.effect].file);
            const double gainLeft = mixerGain(soundEffects[f.effect].volume, f.pan, 0),
                         gainRight = mixerGain(soundEffects[f.effect].volume, f.pan, 1);
            for (double t = f.first; t * music.rate < double(frames); t += f.every) {
                const size_t at = size_t(t * music.rate);
                for (size_t i = 0; i < e.samples.size() && at + i < frames; ++i) {
                    left[at + i] += e.samples[i] * gainLeft;
                    right[at + i] += e.samples[i] * gainRight;
                    sounding[at + i] = true;
                }
            }
        }
        const double fall = (1 - ducked) * 1000 / (musicDuckFallMs * music.rate); // per frame
        const double rise = (1 - ducked) * 1000 / (musicDuckRiseMs * music.rate);
        double level = 1;
        for (size_t i = 0; i < frames; ++i) {
            level = sounding[i] ? std::max(ducked, level - fall) : std::min(1.0, level + rise);
            left[i] += music.samples[2 * i] * level * musicLeft;
            right[i] += music.samples[2 * i + 1] * level * musicRight;
        }
        double worst = 0;
        for (size_t i = 0; i < frames; ++i)
            worst = std::max({worst, std::fabs(left[i]), std::fabs(right[i])});
        std::printf("busy fight over %s: loudest sample %.0f of %.0f (%.1f dBFS)\n", track, worst, fullScale,
                    20 * std::log10(worst / fullScale));
        EXPECT_LT(worst, fullScale) << track;
    }
}
