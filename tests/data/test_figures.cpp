// test_figures.cpp - the figures in proportion to the hero: villagers at his
// height standing on their picture's bottom edge, ogres at least 1.4 times
// his largest frame, the dark lord at least twice it, lizards low; and every
// figure, walking or swinging, whole inside its cells.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

#include "data_readers.h"

namespace
{

struct Cell {
    int opaque = 0;            // pixels
    int top = -1, bottom = -1; // rows of the opaque box, -1 when empty
    int height() const { return bottom < 0 ? 0 : bottom - top + 1; }
};

Cell measure(const Picture &p, int x0, int y0, int w, int h)
{
    Cell c;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (p.at(x, y) != maskColour) {
                c.opaque += 1;
                if (c.top < 0)
                    c.top = y - y0;
                c.bottom = y - y0;
            }
    return c;
}

// The 64 walking frames of a sheet of 8 x 8 cells.
std::vector<Cell> walkingFrames(const char *sheet, int cellW, int cellH)
{
    const Picture p = readPicture(sheet);
    EXPECT_EQ(p.w, 8 * cellW) << sheet;
    EXPECT_EQ(p.h, 8 * cellH) << sheet;
    std::vector<Cell> cells;
    for (int row = 0; row < 8 && p.h >= 8 * cellH; ++row)
        for (int col = 0; col < 8 && p.w >= 8 * cellW; ++col)
            cells.push_back(measure(p, col * cellW, row * cellH, cellW, cellH));
    return cells;
}

int largestOpaque(const std::vector<Cell> &cells)
{
    int n = 0;
    for (const Cell &c : cells)
        n = std::max(n, c.opaque);
    return n;
}

} // namespace

// Each enemy frame against the hero's largest walking frame.
TEST(Figures, EnemiesAgainstTheHero)
{
    const std::vector<Cell> hero = walkingFrames("Avatar.bmp", 96, 96);
    ASSERT_EQ(hero.size(), 64u);
    const int heroMost = largestOpaque(hero);
    int heroLowest = 96;
    for (const Cell &c : hero)
        heroLowest = std::min(heroLowest, c.height());
    struct Case {
        const char *sheet;
        int cellW, cellH;
        double leastRatio;      // of the opaque pixels, in every frame
        double mostHeightShare; // of the hero's lowest height, in every frame (0: any)
    };
    const Case cases[] = {
        {"ogre.bmp", 96, 96, 1.4, 0},       // clearly bigger than the hero
        {"Bad guy.bmp", 96, 96, 2.0, 0},    // the dark lord, twice the hero
        {"Lizard.bmp", 90, 100, 0.4, 0.75}, // low and long
    };
    for (const Case &c : cases) {
        const std::vector<Cell> frames = walkingFrames(c.sheet, c.cellW, c.cellH);
        ASSERT_EQ(frames.size(), 64u) << c.sheet;
        int least = 1 << 30, tallest = 0;
        for (const Cell &f : frames) {
            least = std::min(least, f.opaque);
            tallest = std::max(tallest, f.height());
        }
        std::printf(
            "%s: %d to %d opaque pixels a frame (%.2f to %.2f times the hero's largest, %d), up to %d "
            "pixels tall\n",
            c.sheet, least, largestOpaque(frames), double(least) / heroMost,
            double(largestOpaque(frames)) / heroMost, heroMost, tallest);
        EXPECT_GE(least, c.leastRatio * heroMost) << c.sheet;
        if (c.mostHeightShare > 0) {
            EXPECT_LE(tallest, c.mostHeightShare * heroLowest) << c.sheet;
        }
    }
}

// Villagers stand as tall as the hero (within a tenth of his median walking
// height) with their feet on the picture's bottom row, so that they stand
// where their picture's corner puts them.
TEST(Figures, VillagersAtTheHerosHeight)
{
    std::vector<Cell> hero = walkingFrames("Avatar.bmp", 96, 96);
    ASSERT_EQ(hero.size(), 64u);
    std::sort(hero.begin(), hero.end(), [](const Cell &a, const Cell &b) { return a.height() < b.height(); });
    const int heroHeight = hero[32].height();
    for (const char *name :
         {"looking s0000.bmp", "villager1.bmp", "villager2.bmp", "villager3.bmp", "villager4.bmp"}) {
        const Picture p = readPicture(name);
        ASSERT_EQ(p.w, 48) << name; // jewels take villager 0's size: it decides where one is taken
        ASSERT_EQ(p.h, 80) << name;
        const Cell c = measure(p, 0, 0, p.w, p.h);
        std::printf("%s: %d pixels tall (the hero %d), lowest row %d\n", name, c.height(), heroHeight,
                    c.bottom);
        EXPECT_NEAR(c.height(), heroHeight, 0.1 * heroHeight) << name;
        EXPECT_EQ(c.bottom, p.h - 1) << name << " does not stand on the bottom edge";
    }
}

namespace
{

// Hue (degrees), saturation and luminance of a colour.
struct Hsl {
    double hue, sat, lum;
};
Hsl hsl(uint32_t c)
{
    const double r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    double h = 0;
    if (mx > mn) {
        if (mx == r)
            h = 60 * std::fmod((g - b) / (mx - mn) + 6, 6.0);
        else if (mx == g)
            h = 60 * ((b - r) / (mx - mn) + 2);
        else
            h = 60 * ((r - g) / (mx - mn) + 4);
    }
    return {h, mx > 0 ? (mx - mn) / mx : 0, 0.299 * r + 0.587 * g + 0.114 * b};
}

} // namespace

// The ogre reads apart from what it walks on and from the hero: few of its
// pixels look like open ground (bright, warm-to-green: earth, paving, sand,
// fields, grass, as the world map's test reads ground), and fewer still share
// the hero's saturated blue.
TEST(Figures, TheOgreStandsApartFromTheGroundAndTheHero)
{
    const Picture ogre = readPicture("ogre.bmp");
    ASSERT_EQ(ogre.w, 8 * 96);
    long opaque = 0, groundLike = 0, heroBlue = 0;
    for (uint32_t c : ogre.px) {
        if (c == maskColour)
            continue;
        ++opaque;
        const Hsl h = hsl(c);
        groundLike += h.lum >= 92 && h.sat >= 0.2 && h.hue >= 22 && h.hue <= 150;
        heroBlue += h.sat >= 0.35 && h.hue >= 200 && h.hue <= 245;
    }
    ASSERT_GT(opaque, 0);
    std::printf("ogre: %.1f %% of its pixels look like ground, %.1f %% like the hero's blue\n",
                100.0 * groundLike / opaque, 100.0 * heroBlue / opaque);
    EXPECT_LT(groundLike, opaque / 5);
    EXPECT_LT(heroBlue, opaque / 20);
}

// A figure is drawn whole, walking or swinging: no opaque pixel of any cell
// (outline and the blade's bright arc included) lies on the cell's outer
// border, where the picture would cut it off along a straight line. The
// sheets keep their feet near the cell's top-left, so even the bottom row
// stays clear. Every cut cell is named with its sides.
TEST(Figures, FiguresStayInsideTheirCells)
{
    struct Case {
        const char *sheet;
        int cellW, cellH, columns;
    };
    const Case cases[] = {
        {"Avatar.bmp", 96, 96, 8},  {"Lizard.bmp", 90, 100, 8},         {"ogre.bmp", 96, 96, 8},
        {"Bad guy.bmp", 96, 96, 8}, {"avatar attacks.bmp", 96, 96, 13}, {"Bad guy attack.bmp", 96, 96, 13}};
    for (const Case &c : cases) {
        const Picture p = readPicture(c.sheet);
        ASSERT_EQ(p.w, c.columns * c.cellW) << c.sheet;
        ASSERT_EQ(p.h, 8 * c.cellH) << c.sheet;
        for (int row = 0; row < 8; ++row)
            for (int frame = 0; frame < c.columns; ++frame) {
                const int x0 = frame * c.cellW, y0 = row * c.cellH;
                auto count = [&](int x, int y, int dx, int dy, int n) {
                    int opaque = 0;
                    for (int k = 0; k < n; ++k)
                        opaque += p.at(x + k * dx, y + k * dy) != maskColour;
                    return opaque;
                };
                const int left = count(x0, y0, 0, 1, c.cellH);
                const int right = count(x0 + c.cellW - 1, y0, 0, 1, c.cellH);
                const int top = count(x0, y0, 1, 0, c.cellW);
                const int bottom = count(x0, y0 + c.cellH - 1, 1, 0, c.cellW);
                EXPECT_EQ(left + right + top + bottom, 0)
                    << c.sheet << " row " << row << " frame " << frame << " is cut: " << left
                    << " opaque pixels on the left side, " << right << " right, " << top << " top, " << bottom
                    << " bottom";
            }
    }
}
