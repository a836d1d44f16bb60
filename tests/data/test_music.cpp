// test_music.cpp - four loops: long enough, never clipped, seamless where they
// wrap, and four different pieces.

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

#include "data_readers.h"

namespace
{

const char *const tracks[4] = {"BGM_00009.wav", "BGM_00012.wav", "BGM_00006.wav", "BGM_00001.wav"};

std::vector<double> mono(const Sound &s)
{
    std::vector<double> m;
    const int ch = std::max(1, s.channels);
    for (size_t i = 0; i + size_t(ch) <= s.samples.size(); i += size_t(ch)) {
        double sum = 0;
        for (int c = 0; c < ch; ++c)
            sum += s.samples[i + size_t(c)];
        m.push_back(sum / ch);
    }
    return m;
}

struct Traits {
    double seconds, rms, crossingsPerSecond;
};

Traits traits(const std::vector<double> &m, int rate)
{
    Traits t{double(m.size()) / rate, 0, 0};
    long crossings = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        t.rms += m[i] * m[i];
        if (i && (m[i] >= 0) != (m[i - 1] >= 0))
            ++crossings;
    }
    t.rms = std::sqrt(t.rms / double(m.size()));
    t.crossingsPerSecond = crossings / t.seconds;
    return t;
}

} // namespace

class TrackTest : public ::testing::TestWithParam<const char *>
{
};

TEST_P(TrackTest, LongLoudEnoughUnclippedAndSeamless)
{
    const Sound s = readSound(GetParam());
    ASSERT_TRUE(s.rate == 22050 || s.rate == 44100) << s.rate;
    const std::vector<double> m = mono(s);
    ASSERT_GT(m.size(), 2u);
    EXPECT_GE(double(m.size()) / s.rate, 30.0) << GetParam();
    double peak = 0, step = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        peak = std::max(peak, std::fabs(m[i]));
        if (i)
            step += std::fabs(m[i] - m[i - 1]);
    }
    step /= double(m.size() - 1);
    EXPECT_LE(peak, 0.9 * 32767) << GetParam() << " comes too near full scale";
    EXPECT_GE(peak, 0.3 * 32767) << GetParam() << " is nearly silent";
    // Wrapping from the last sample to the first is no bigger a step than
    // the music takes anyway.
    const double seam = std::fabs(m.back() - m.front());
    std::printf("%s: %.1f s, peak %.0f, seam step %.0f, mean step %.0f\n", GetParam(),
                double(m.size()) / s.rate, peak, seam, step);
    EXPECT_LE(seam, 3 * step) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Music, TrackTest, ::testing::ValuesIn(tracks));

TEST(Music, FourDifferentPieces)
{
    std::vector<Traits> t;
    for (const char *name : tracks) {
        const Sound s = readSound(name);
        ASSERT_GT(s.rate, 0);
        t.push_back(traits(mono(s), s.rate));
    }
    auto apart = [](double a, double b) { return std::fabs(a - b) > 0.05 * std::max(a, b); };
    for (size_t i = 0; i < t.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_TRUE(apart(t[i].seconds, t[j].seconds) ||
                        apart(t[i].crossingsPerSecond, t[j].crossingsPerSecond))
                << tracks[i] << " and " << tracks[j] << " have the same length and brightness";
}
