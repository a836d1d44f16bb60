// coords.h - overflow-safe integer helpers for world values. Positions, camera
// values and statistics can come from a save file at the 32-bit limits; every
// step and award goes through these so that nothing wraps around.
#pragma once

#include <cmath>
#include <cstdint>

// a + b, held inside the signed 32-bit range.
inline int32_t addClamped(int32_t a, int64_t b)
{
    const int64_t sum = int64_t(a) + b;
    if (sum > INT32_MAX)
        return INT32_MAX;
    if (sum < INT32_MIN)
        return INT32_MIN;
    return int32_t(sum);
}

// A floating-point result stored as a 32-bit value: truncated toward zero and
// held inside the signed 32-bit range.
inline int32_t truncToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return int32_t(v); // conversion truncates toward zero
}
