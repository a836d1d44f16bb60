// raster.cpp - colours, hashing, value noise and anti-aliased shapes.

#include <algorithm>

#include "art.h"

uint32_t pack(Col c)
{
    auto ch = [](float v) { return uint32_t(v <= 0 ? 0 : v >= 255 ? 255 : std::lround(v)); };
    return ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
}

void Image::paste(const Image &src, int x0, int y0)
{
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x)
            if (x0 + x >= 0 && y0 + y >= 0 && x0 + x < w && y0 + y < h)
                px[size_t(y0 + y) * w + x0 + x] = src.at(x, y);
}

void Image::pasteMasked(const Image &src, int x0, int y0)
{
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x)
            if (src.at(x, y) != magenta && x0 + x >= 0 && y0 + y >= 0 && x0 + x < w && y0 + y < h)
                px[size_t(y0 + y) * w + x0 + x] = src.at(x, y);
}

uint32_t hash3(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float hashUnit(int32_t x, int32_t y, uint32_t seed)
{
    return float(hash3(x, y, seed) >> 8) / 16777216.f;
}

float valueNoise(float x, float y, uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = int32_t(fx), iy = int32_t(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = hashUnit(ix, iy, seed), b = hashUnit(ix + 1, iy, seed);
    const float c = hashUnit(ix, iy + 1, seed), d = hashUnit(ix + 1, iy + 1, seed);
    return a + (b - a) * tx + (c - a + (a - b - c + d) * tx) * ty;
}

float fractal(float x, float y, int octaves, uint32_t seed)
{
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += valueNoise(x, y, seed + uint32_t(o) * 101u) * amp;
        norm += amp;
        amp *= 0.5f;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f + 5.7f;
    }
    return sum / norm;
}

void fillDisc(Image &im, float cx, float cy, float r, Col c)
{
    const int x0 = int(std::floor(cx - r - 1)), x1 = int(std::ceil(cx + r + 1));
    const int y0 = int(std::floor(cy - r - 1)), y1 = int(std::ceil(cy + r + 1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            im.blend(x, y, c, r + 0.5f - d);
        }
}

void capsuleBounds(float x0, float y0, float x1, float y1, float r, int &bx0, int &by0, int &bx1, int &by1)
{
    bx0 = int(std::floor(std::min(x0, x1) - r - 1));
    bx1 = int(std::ceil(std::max(x0, x1) + r + 1));
    by0 = int(std::floor(std::min(y0, y1) - r - 1));
    by1 = int(std::ceil(std::max(y0, y1) + r + 1));
}

float capsuleCoverage(float x0, float y0, float x1, float y1, float r, int x, int y)
{
    const float dx = x1 - x0, dy = y1 - y0, len2 = std::max(dx * dx + dy * dy, 1e-6f);
    const float px = x + 0.5f - x0, py = y + 0.5f - y0;
    const float t = clamp01((px * dx + py * dy) / len2);
    return r + 0.5f - std::hypot(px - t * dx, py - t * dy);
}

void fillCapsule(Image &im, float x0, float y0, float x1, float y1, float r, Col c)
{
    int bx0, by0, bx1, by1;
    capsuleBounds(x0, y0, x1, y1, r, bx0, by0, bx1, by1);
    for (int y = by0; y <= by1; ++y)
        for (int x = bx0; x <= bx1; ++x)
            im.blend(x, y, c, capsuleCoverage(x0, y0, x1, y1, r, x, y));
}

float polygonCoverage(const std::vector<float> &xy, int x, int y)
{
    const size_t n = xy.size() / 2;
    int inside = 0;
    for (int s = 0; s < 16; ++s) {
        const float sx = x + (s % 4 + 0.5f) / 4, sy = y + (s / 4 + 0.5f) / 4;
        bool in = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > sy) != (yj > sy) && sx < (xj - xi) * (sy - yi) / (yj - yi) + xi)
                in = !in;
        }
        inside += in;
    }
    return inside / 16.f;
}

void polygonBounds(const std::vector<float> &xy, int &x0, int &y0, int &x1, int &y1)
{
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
        minX = std::min(minX, xy[i]);
        maxX = std::max(maxX, xy[i]);
        minY = std::min(minY, xy[i + 1]);
        maxY = std::max(maxY, xy[i + 1]);
    }
    x0 = int(std::floor(minX));
    y0 = int(std::floor(minY));
    x1 = int(std::ceil(maxX));
    y1 = int(std::ceil(maxY));
}

void fillPolygon(Image &im, const std::vector<float> &xy, Col c)
{
    if (xy.size() < 6)
        return;
    int x0, y0, x1, y1;
    polygonBounds(xy, x0, y0, x1, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            im.blend(x, y, c, polygonCoverage(xy, x, y));
}

void verticalGradient(Image &im, int y0, int y1, Col top, Col bottom)
{
    for (int y = std::max(0, y0); y < std::min(im.h, y1); ++y) {
        const Col c = mix(top, bottom, float(y - y0) / std::max(1, y1 - y0 - 1));
        for (int x = 0; x < im.w; ++x)
            im.set(x, y, c);
    }
}
