// test_world_map.cpp - the world picture shows the walk grid: every cell is
// classified from its own pixels alone and compared with heroGrid.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

#include "data_readers.h"
#include "world/walk_grids.h"

namespace
{

struct CellLook {
    float lum, sat, hue; // mean colour of the cell's central 16 x 16 pixels
};

CellLook look(const Picture &p, int row, int column)
{
    double r = 0, g = 0, b = 0;
    for (int y = row * 32 + 8; y < row * 32 + 24; ++y)
        for (int x = column * 32 + 8; x < column * 32 + 24; ++x) {
            const uint32_t c = p.at(x, y);
            r += c >> 16 & 255, g += c >> 8 & 255, b += c & 255;
        }
    r /= 256, g /= 256, b /= 256;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    CellLook l;
    l.lum = float(0.299 * r + 0.587 * g + 0.114 * b);
    l.sat = float(mx > 0 ? (mx - mn) / mx : 0);
    double h = 0;
    if (mx > mn) {
        if (mx == r)
            h = 60 * std::fmod((g - b) / (mx - mn), 6.0);
        else if (mx == g)
            h = 60 * ((b - r) / (mx - mn) + 2);
        else
            h = 60 * ((r - g) / (mx - mn) + 4);
    }
    l.hue = float(h < 0 ? h + 360 : h);
    return l;
}

// Free ground is bright enough, coloured, and warm-to-green (earth, paving,
// sand, fields, grass); obstacles are dark (trees, crags), grey (stone,
// boulders) or roof-red and slate-blue.
bool looksFree(const CellLook &l)
{
    return l.lum >= 92 && l.sat >= 0.2f && l.hue >= 22 && l.hue <= 150;
}

} // namespace

TEST(WorldMap, CellsReadAsTheHeroGridSays)
{
    const Picture world = readPicture("worldMap.bmp");
    ASSERT_EQ(world.w, worldPixels);
    ASSERT_EQ(world.h, worldPixels);
    int agree = 0, freeWrong = 0, blockedWrong = 0;
    for (int r = 0; r < gridRows; ++r)
        for (int c = 0; c < gridColumns; ++c) {
            const CellLook l = look(world, r, c);
            const bool free = heroGrid[r][c] == '0';
            if (looksFree(l) == free) {
                ++agree;
                continue;
            }
            (free ? freeWrong : blockedWrong) += 1;
            if (freeWrong + blockedWrong <= 20)
                std::printf("cell (%d, %d) %s: lum %.0f sat %.2f hue %.0f\n", r, c, free ? "free" : "blocked",
                            l.lum, l.sat, l.hue);
        }
    const double share = agree / double(gridRows * gridColumns);
    std::printf(
        "world map: %d of %d cells agree with heroGrid (%.2f %%); %d free cells look blocked, %d blocked "
        "cells look free\n",
        agree, gridRows * gridColumns, share * 100, freeWrong, blockedWrong);
    EXPECT_GE(share, 0.99);
}

TEST(WorldMap, NoCellIsAFlatFill)
{
    // Every cell has texture: its central pixels are not one colour.
    const Picture world = readPicture("worldMap.bmp");
    ASSERT_EQ(world.w, worldPixels);
    int flat = 0;
    for (int r = 0; r < gridRows; ++r)
        for (int c = 0; c < gridColumns; ++c) {
            uint32_t lo = 255, hi = 0;
            for (int y = r * 32 + 4; y < r * 32 + 28; ++y)
                for (int x = c * 32 + 4; x < c * 32 + 28; ++x) {
                    const uint32_t g = world.at(x, y) >> 8 & 255;
                    lo = std::min(lo, g), hi = std::max(hi, g);
                }
            flat += hi - lo < 12;
        }
    EXPECT_EQ(flat, 0);
}

TEST(WorldMap, NoSeamAlongTheCellGrid)
{
    // Across free ground, the step between pixels on either side of a cell
    // border is no larger than the step between pixels inside cells.
    const Picture world = readPicture("worldMap.bmp");
    ASSERT_EQ(world.w, worldPixels);
    double border = 0, inner = 0;
    long borderCount = 0, innerCount = 0;
    auto green = [&](int x, int y) { return double(world.at(x, y) >> 8 & 255); };
    for (int r = 0; r < gridRows; ++r)
        for (int c = 1; c < gridColumns; ++c) {
            if (heroGrid[r][c] != '0' || heroGrid[r][c - 1] != '0' || enemyGrid[r][c] != enemyGrid[r][c - 1])
                continue;
            for (int y = r * 32; y < r * 32 + 32; ++y) {
                border += std::fabs(green(c * 32, y) - green(c * 32 - 1, y)), ++borderCount;
                inner += std::fabs(green(c * 32 + 16, y) - green(c * 32 + 15, y)), ++innerCount;
            }
        }
    ASSERT_GT(borderCount, 1000);
    std::printf("mean step across cell borders %.2f, inside cells %.2f\n", border / borderCount,
                inner / innerCount);
    EXPECT_LT(border / borderCount, 1.25 * inner / innerCount);
}
