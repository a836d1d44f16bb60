// art.h - the small toolkit every painter of gendata shares: pictures, colours,
// hashing and value noise, anti-aliased shapes, and the file writers.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t magenta = 0xFF00FF; // the transparent colour of every sprite

struct Col {
    float r = 0, g = 0, b = 0;
};
inline Col col(float r, float g, float b)
{
    return {r, g, b};
}
inline Col hex(uint32_t c)
{
    return {float(c >> 16 & 255), float(c >> 8 & 255), float(c & 255)};
}
inline Col operator+(Col a, Col b)
{
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Col operator-(Col a, Col b)
{
    return {a.r - b.r, a.g - b.g, a.b - b.b};
}
inline Col operator*(Col a, float k)
{
    return {a.r * k, a.g * k, a.b * k};
}
inline Col operator*(Col a, Col b)
{
    return {a.r * b.r / 255.f, a.g * b.g / 255.f, a.b * b.b / 255.f};
}
inline Col mix(Col a, Col b, float t)
{
    return a + (b - a) * t;
}
inline float clamp01(float t)
{
    return t < 0 ? 0 : t > 1 ? 1 : t;
}
inline float smooth(float e0, float e1, float x)
{
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
uint32_t pack(Col c); // rounds and clamps to 0xRRGGBB

struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px; // 0xRRGGBB
    Image() = default;
    Image(int w_, int h_, uint32_t fill) : w(w_), h(h_), px(size_t(w_) * h_, fill) {}
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
    Col get(int x, int y) const { return hex(at(x, y)); }
    void set(int x, int y, Col c)
    {
        if (x >= 0 && y >= 0 && x < w && y < h)
            px[size_t(y) * w + x] = pack(c);
    }
    // Mixes c over the pixel by coverage a (pages only: never on sprites).
    void blend(int x, int y, Col c, float a)
    {
        if (x >= 0 && y >= 0 && x < w && y < h && a > 0)
            px[size_t(y) * w + x] = pack(mix(get(x, y), c, clamp01(a)));
    }
    void paste(const Image &src, int x0, int y0);       // plain copy, magenta kept
    void pasteMasked(const Image &src, int x0, int y0); // magenta skipped
};

// Hashing and value noise: all deterministic, no global state.
uint32_t hash3(int32_t x, int32_t y, uint32_t seed);
float hashUnit(int32_t x, int32_t y, uint32_t seed);         // [0, 1)
float valueNoise(float x, float y, uint32_t seed);           // smooth, [0, 1]
float fractal(float x, float y, int octaves, uint32_t seed); // [0, 1]

// Anti-aliased shapes that blend by coverage (for pages and flat art).
void fillDisc(Image &im, float cx, float cy, float r, Col c);
void fillCapsule(Image &im, float x0, float y0, float x1, float y1, float r, Col c);
void fillPolygon(Image &im, const std::vector<float> &xy, Col c); // even-odd, 4x4 samples
// How far pixel (x, y) lies inside a capsule of radius r round the segment
// (x0, y0)-(x1, y1), plus half a pixel: above 1 inside, below 0 outside.
float capsuleCoverage(float x0, float y0, float x1, float y1, float r, int x, int y);
// The whole pixels a capsule can touch.
void capsuleBounds(float x0, float y0, float x1, float y1, float r, int &bx0, int &by0, int &bx1, int &by1);
// The share of pixel (x, y) inside a polygon of (x, y) pairs, from 4 x 4 samples, even-odd.
float polygonCoverage(const std::vector<float> &xy, int x, int y);
// The whole pixels a polygon's corners span.
void polygonBounds(const std::vector<float> &xy, int &x0, int &y0, int &x1, int &y1);
void verticalGradient(Image &im, int y0, int y1, Col top, Col bottom);

// Files: bottom-up BMP (24 bits, or 32 with the fourth byte unused) and
// 16-bit PCM WAV.
bool writeBmp(const std::string &path, const Image &im, int bitsPerPixel = 24);
// 16-bit PCM; `samples` interleaved when channels is 2.
bool writeWav(const std::string &path, const std::vector<int16_t> &samples, int rate, int channels);

// The world and its overlay: what rises higher than a figure standing in
// front of it (roofs, wall tops, tree crowns), drawn again over the figures.
// The overlay is kept as an atlas of its non-empty 64 x 64 cells (magenta
// where nothing is), laid out as src/sprites/overlay.h tells.
constexpr int overlayCell = 64, overlayCells = 50; // cells per side of the world
struct WorldPictures {
    Image world, overlay;
};

// The painters.
WorldPictures paintWorld();
// The overlay atlas of a world-sized picture whose pixels are magenta where it is empty.
Image overlayAtlas(const Image &full);
Image paintHeroWalk();
Image paintHeroAttack();
Image paintLizards();
Image paintOgres();
Image paintBossWalk();
Image paintBossAttack();
Image paintVillager(int which); // 0..4
Image paintJewel();
Image paintSlash();
Image paintBar(bool magic);
Image paintMenuPage();
Image paintStoryPage(int which); // 1..3
Image paintEndPicture(bool victory);
// Renders the five tracks into dir: the title, home, south-west, east and victory music.
bool writeMusic(const std::string &dir);
// A large single pose for the pages: 0 hero, 1 lizard, 2 ogre, 3 dark lord.
Image portrait(int who, float scale, int w, int h, float facingDegrees);
