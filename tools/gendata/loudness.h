// loudness.h - integrated loudness of interleaved stereo sound in LUFS
// (ITU-R BS.1770: K-weighting, 400 ms blocks, the absolute and relative
// gates), measured by libebur128, the field's standard implementation.
#pragma once

#include <cmath>
#include <ebur128.h>
#include <vector>

// Integrated loudness of interleaved stereo samples (full scale 1.0) at
// `rate` frames per second; -HUGE_VAL for silence (every block gated out).
inline double integratedLoudness(const std::vector<float> &stereo, int rate)
{
    ebur128_state *meter = ebur128_init(2, unsigned(rate), EBUR128_MODE_I);
    double lufs = NAN;
    if (meter && ebur128_add_frames_float(meter, stereo.data(), stereo.size() / 2) == EBUR128_SUCCESS &&
        ebur128_loudness_global(meter, &lufs) != EBUR128_SUCCESS)
        lufs = NAN;
    if (meter)
        ebur128_destroy(&meter);
    return lufs;
}
