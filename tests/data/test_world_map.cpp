// test_world_map.cpp - the world picture shows the walk grid: every cell is
// classified from its own pixels alone and compared with heroGrid. What
// stands taller than a figure is drawn in three quarters: its south face
// rises where the hero's feet stop, and what is above that (roofs, wall tops,
// tree crowns) is also in the overlay the game draws over the figures.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

#include "data_readers.h"
#include "footprint.h"
#include "sprites/overlay.h"
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

// The overlay laid out over the whole world (magenta where it is empty), read
// back from its atlas of cells as the game reads it.
Picture readOverlay()
{
    const Picture atlas = readPicture("worldOverlay.bmp");
    Picture full{worldPixels, worldPixels,
                 std::vector<uint32_t>(size_t(worldPixels) * worldPixels, maskColour)};
    const int perRow = atlas.w / overlayCellSize, slots = perRow * (atlas.h / overlayCellSize - 1);
    for (int k = 0; k < slots && k % 256 * 12 + 12 <= atlas.w; ++k) {
        const int nameX = k % 256 * 12, nameY = k / 256;
        if (atlas.at(nameX, nameY) == maskColour)
            break;
        int index = 0;
        for (int bit = 0; bit < 12; ++bit)
            index = index << 1 | int((atlas.at(nameX + bit, nameY) >> 8 & 255) > 127);
        EXPECT_LT(index, overlayCellsPerSide * overlayCellsPerSide) << "slot " << k;
        if (index >= overlayCellsPerSide * overlayCellsPerSide)
            break;
        const int sx = k % perRow * overlayCellSize, sy = (1 + k / perRow) * overlayCellSize;
        const int wx = index % overlayCellsPerSide * overlayCellSize,
                  wy = index / overlayCellsPerSide * overlayCellSize;
        for (int y = 0; y < overlayCellSize; ++y)
            for (int x = 0; x < overlayCellSize; ++x)
                full.px[size_t(wy + y) * worldPixels + wx + x] = atlas.at(sx + x, sy + y);
    }
    return full;
}

// Something tall is drawn over cell (r, c): overlay in it or within a
// face's height above it (its face may hang down into the cell).
struct TallMarks {
    std::vector<bool> near = std::vector<bool>(size_t(gridRows) * gridColumns, false);
    explicit TallMarks(const Picture &overlay)
    {
        for (int y = 0; y < worldPixels; ++y)
            for (int x = 0; x < worldPixels; ++x)
                if (overlay.at(x, y) != maskColour)
                    for (int r = y / 32; r <= std::min(gridRows - 1, (y + 50) / 32); ++r)
                        near[size_t(r) * gridColumns + x / 32] = true;
    }
    bool at(int r, int c) const { return near[size_t(r) * gridColumns + c]; }
};

} // namespace

TEST(WorldMap, CellsReadAsTheHeroGridSays)
{
    // Cells where something tall stands are drawn in three quarters (a face,
    // a roof over the ground behind it), and a free cell under a blocked one
    // carries that one's foot (the feet stop at its bottom): those are judged
    // by the overlay's tests below, every other cell by its own look.
    const Picture world = readPicture("worldMap.bmp");
    ASSERT_EQ(world.w, worldPixels);
    ASSERT_EQ(world.h, worldPixels);
    const TallMarks tall(readOverlay());
    int agree = 0, freeWrong = 0, blockedWrong = 0, judged = 0;
    for (int r = 0; r < gridRows; ++r)
        for (int c = 0; c < gridColumns; ++c) {
            if (tall.at(r, c) || (r > 0 && heroGrid[r][c] == '0' && heroGrid[r - 1][c] != '0'))
                continue;
            ++judged;
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
    const double share = agree / double(judged);
    std::printf("world map: %d of %d cells judged (the rest under tall things or their feet) agree with "
                "heroGrid (%.2f %%); %d free "
                "cells look blocked, %d blocked cells look free\n",
                agree, judged, share * 100, freeWrong, blockedWrong);
    EXPECT_GE(judged, gridRows * gridColumns / 2);
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
    // Cells with tall things drawn over them show no ground to compare.
    const Picture world = readPicture("worldMap.bmp");
    ASSERT_EQ(world.w, worldPixels);
    const TallMarks tall(readOverlay());
    double border = 0, inner = 0;
    long borderCount = 0, innerCount = 0;
    auto green = [&](int x, int y) { return double(world.at(x, y) >> 8 & 255); };
    for (int r = 0; r < gridRows; ++r)
        for (int c = 1; c < gridColumns; ++c) {
            if (heroGrid[r][c] != '0' || heroGrid[r][c - 1] != '0' ||
                enemyGrid[r][c] != enemyGrid[r][c - 1] || tall.at(r, c) || tall.at(r, c - 1))
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

// The overlay is the world's own pixels where it lies (drawn over an empty
// view it changes nothing), and there is enough of it to stand for every
// wood, house and wall.
TEST(WorldOverlay, CopiesTheWorldWhereItLies)
{
    const Picture world = readPicture("worldMap.bmp"), overlay = readOverlay();
    ASSERT_EQ(world.w, worldPixels);
    long opaque = 0, differ = 0;
    for (int y = 0; y < worldPixels; ++y)
        for (int x = 0; x < worldPixels; ++x)
            if (overlay.at(x, y) != maskColour) {
                ++opaque;
                differ += overlay.at(x, y) != world.at(x, y);
            }
    std::printf("overlay: %ld pixels (%.1f %% of the world), %ld unlike the world\n", opaque,
                100.0 * opaque / (double(worldPixels) * worldPixels), differ);
    EXPECT_EQ(differ, 0);
    EXPECT_GT(opaque, long(worldPixels) * worldPixels / 20);
}

// Walking north into something tall, the hero's feet stop on its drawn foot
// (within 4 pixels), and nothing of the overlay lies where he then stands.
// Every reachable stop under a blocked cell that has overlay over it counts;
// a low thing (a boulder pile, the crags) has none and is skipped.
TEST(WorldOverlay, FeetStopAtTheDrawnFootAndTheOverlayMissesAFigureInFront)
{
    const Picture world = readPicture("worldMap.bmp"), overlay = readOverlay(),
                  hero = readPicture("Avatar.bmp");
    ASSERT_EQ(world.w, worldPixels);
    ASSERT_EQ(hero.w, 8 * 96);
    // The hero facing north (row 1 of his sheet): his highest and lowest rows.
    int heroTop = 96, heroBottom = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 8 * 96; ++x)
            if (hero.at(x, 96 + y) != maskColour)
                heroTop = std::min(heroTop, y), heroBottom = std::max(heroBottom, y);
    const Positions reach = heroReachable();
    auto mean = [&](int x0, int y) {
        double r = 0, g = 0, b = 0;
        for (int x = x0; x < x0 + 16; ++x)
            r += world.at(x, y) >> 16 & 255, g += world.at(x, y) >> 8 & 255, b += world.at(x, y) & 255;
        return std::array<double, 3>{r / 16, g / 16, b / 16};
    };
    int checked = 0, footFar = 0, covered = 0, worst = 0;
    // Only stops in the open count: the ground under and south of him free
    // for four cells (what stands there would rise in front of him).
    auto open = [&](int r, int c) {
        for (int dr = 1; dr <= 4; ++dr)
            for (int dc = -1; dc <= 1; ++dc)
                if (r + dr >= gridRows || c + dc < 0 || c + dc >= gridColumns ||
                    heroGrid[r + dr][c + dc] != '0')
                    return false;
        return true;
    };
    for (int r = 2; r + 3 < gridRows; ++r)
        for (int c = 1; c < gridColumns; ++c) {
            if (heroGrid[r][c] == '0' || !open(r, c))
                continue;
            // The stop: a reachable position whose reference cell is (r + 1,
            // c), in the top step of 4 pixels of that cell.
            const int py = r * 32 + 28;
            bool stands = false;
            for (int x = c * 32 - 32; x < c * 32; x += 4)
                stands = stands || reach.has(x, py);
            if (!stands)
                continue;
            const int x0 = c * 32 + 8;
            bool tall = false;
            for (int y = r * 32 - 64; y < r * 32 + 32 && !tall; ++y)
                for (int x = x0; x < x0 + 16 && !tall; ++x)
                    tall = overlay.at(x, y) != maskColour;
            if (!tall)
                continue;
            ++checked;
            const int feet = py + heroBottom, head = py + heroTop;
            bool hidden = false;
            for (int y = head; y <= feet && !hidden; ++y)
                for (int x = x0; x < x0 + 16 && !hidden; ++x)
                    hidden = overlay.at(x, y) != maskColour;
            covered += hidden;
            if (hidden)
                std::printf("cell (%d, %d): the overlay covers a figure standing in front\n", r, c);
            // The drawn foot: the lowest row above the ground he stands on
            // that is clearly not that ground.
            const std::array<double, 3> ground = mean(x0, feet + 12);
            int foot = -1;
            for (int y = feet + 2; y >= feet - 24 && foot < 0; --y) {
                const std::array<double, 3> m = mean(x0, y);
                if (std::fabs(m[0] - ground[0]) + std::fabs(m[1] - ground[1]) + std::fabs(m[2] - ground[2]) >
                    60)
                    foot = y;
            }
            const int off = foot < 0 ? 99 : std::abs(foot - feet);
            worst = std::max(worst, off);
            if (off > 4) {
                if (++footFar <= 10)
                    std::printf("cell (%d, %d): feet at %d, drawn foot at %d\n", r, c, feet, foot);
            }
        }
    std::printf("%d stops under tall things: %d with the drawn foot more than 4 px away (worst %d), %d under "
                "the overlay\n",
                checked, footFar, worst, covered);
    EXPECT_GT(checked, 100);
    EXPECT_EQ(footFar, 0);
    EXPECT_EQ(covered, 0);
}
