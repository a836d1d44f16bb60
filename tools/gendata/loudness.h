// loudness.h - integrated loudness of interleaved stereo sound in LUFS:
// K-weighting, 400 ms blocks every 100 ms, the absolute gate at -70 LUFS and
// the relative gate 10 LU below the ungated mean (ITU-R BS.1770-4).
#pragma once

#include <cmath>
#include <vector>

namespace loudness_detail
{
// One biquad in direct form I, its coefficients already divided by a0.
struct Biquad {
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double step(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The two K-weighting stages designed for any rate from their analogue
// prototypes: a high shelf of +4 dB near 1.7 kHz and a high-pass near 38 Hz.
inline Biquad shelf(double rate)
{
    const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(M_PI * f0 / rate), vh = std::pow(10, gainDb / 20),
                 vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
            2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}
inline Biquad highPass(double rate)
{
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(M_PI * f0 / rate), a0 = 1 + k / q + k * k;
    return {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}
} // namespace loudness_detail

// Integrated loudness of `frames` interleaved stereo samples (full scale 1.0).
inline double integratedLoudness(const std::vector<float> &stereo, int rate)
{
    using namespace loudness_detail;
    const size_t frames = stereo.size() / 2;
    std::vector<double> power(frames); // K-weighted, both channels summed
    for (int c = 0; c < 2; ++c) {
        Biquad s = shelf(rate), h = highPass(rate);
        for (size_t i = 0; i < frames; ++i) {
            const double y = h.step(s.step(stereo[2 * i + size_t(c)]));
            power[i] += y * y;
        }
    }
    const size_t block = size_t(rate) * 4 / 10, hop = size_t(rate) / 10;
    std::vector<double> blocks;
    for (size_t at = 0; at + block <= frames; at += hop) {
        double sum = 0;
        for (size_t i = at; i < at + block; ++i)
            sum += power[i];
        blocks.push_back(sum / double(block));
    }
    auto lufs = [](double meanPower) { return -0.691 + 10 * std::log10(meanPower); };
    auto gatedMean = [&](double gate) {
        double sum = 0;
        int n = 0;
        for (double b : blocks)
            if (b > 0 && lufs(b) > gate)
                sum += b, ++n;
        return n ? sum / n : 0.0;
    };
    const double ungated = gatedMean(-70);
    if (ungated <= 0)
        return -HUGE_VAL;
    return lufs(gatedMean(lufs(ungated) - 10));
}
