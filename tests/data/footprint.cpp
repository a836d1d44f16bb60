// footprint.cpp - reachable positions by the game's own step probes, and the
// footprint-in-wall share over them.

#include "footprint.h"

#include <algorithm>
#include <unordered_map>

namespace
{

constexpr uint32_t mask = 0xFF00FF;

int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// One step as Character's clamped moves make it (bounds of the world picture).
bool step(const char *const grid[gridRows], int direction, int w, int h, int &x, int &y)
{
    if (!stepCellFree(grid, direction, x, y))
        return false;
    switch (direction) {
    case wanderRight: x = std::min(x + 4, worldPixels - w + 20); break;
    case wanderLeft: x = std::max(x - 4, -25); break;
    case wanderDown: y = std::min(y + 4, worldPixels - h); break;
    default: y = std::max(y - 4, 0); break;
    }
    return true;
}

// Breadth-first over the four steps; a position counts once a step reaches
// it (1: queued as a start, 2: reached).
void spread(Positions &p, std::vector<int32_t> &queue, const char *const grid[gridRows], int w, int h)
{
    for (size_t head = 0; head < queue.size(); head += 2) {
        for (int d = 0; d < 4; ++d) {
            int x = queue[head], y = queue[head + 1];
            if (!step(grid, d, w, h, x, y))
                continue;
            uint8_t &seen = p.at[size_t(y + Positions::margin) * Positions::side + x + Positions::margin];
            if (seen == 2)
                continue;
            if (seen == 0)
                queue.push_back(x), queue.push_back(y);
            seen = 2;
            ++p.count;
        }
    }
}

} // namespace

Positions heroReachable()
{
    Positions p;
    std::vector<int32_t> queue = {272, 192};
    p.at[size_t(192 + Positions::margin) * Positions::side + 272 + Positions::margin] = 2;
    p.count = 1;
    spread(p, queue, heroGrid, 96, 96);
    return p;
}

Positions wanderReachable(int w, int h)
{
    Positions p;
    std::vector<int32_t> queue;
    for (int y = 1; y <= worldPixels - h; ++y)
        for (int x = 1; x <= worldPixels - w; ++x)
            if (placementFree(x, y)) {
                p.at[size_t(y + Positions::margin) * Positions::side + x + Positions::margin] = 1;
                queue.push_back(x), queue.push_back(y);
            }
    spread(p, queue, enemyGrid, w, h);
    // Steps only enter a reference cell the probe found free, so a blocked one
    // is the placement's own cell: set those positions apart.
    for (int y = -Positions::margin; y < worldPixels; ++y)
        for (int x = -Positions::margin; x < worldPixels; ++x) {
            uint8_t &seen = p.at[size_t(y + Positions::margin) * Positions::side + x + Positions::margin];
            if (seen == 2 && !cellFree(enemyGrid, y / cellSize + 1, x / cellSize + 1)) {
                seen = 3;
                --p.count;
                ++p.inPlacementCell;
            }
        }
    return p;
}

std::vector<Footprint> sheetFootprints(const std::vector<uint32_t> &px, int sheetW, int cellW, int cellH)
{
    std::vector<Footprint> feet;
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 8; ++col) {
            auto solid = [&](int u, int v) {
                return px[size_t(row * cellH + v) * sheetW + col * cellW + u] != mask;
            };
            int top = cellH, bottom = -1;
            for (int v = 0; v < cellH; ++v)
                for (int u = 0; u < cellW; ++u)
                    if (solid(u, v))
                        top = std::min(top, v), bottom = std::max(bottom, v);
            Footprint f;
            const int from = bottom - (bottom - top + 1) / 3 + 1;
            for (int v = std::max(0, from); v <= bottom; ++v)
                for (int u = 0; u < cellW; ++u)
                    if (solid(u, v))
                        f.u.push_back(int16_t(u)), f.v.push_back(int16_t(v));
            feet.push_back(f);
        }
    return feet;
}

double shareInWall(const Positions &p, const std::vector<Footprint> &feet, const char *const grid[gridRows],
                   int dx, int dy)
{
    // For each alignment of the corner within its cell: how many pixels of
    // each frame's footprint fall on each cell around the corner's cell (up
    // to two cells up and left, five down and right), and which cells any
    // footprint touches.
    constexpr int back = 2, span = 8;
    struct Alignment {
        std::vector<int> counts;  // frame x span x span
        std::vector<int> touched; // cell indices any frame touches
    };
    std::vector<Alignment> aligned(32 * 32);
    for (int b = 0; b < 32; ++b)
        for (int a = 0; a < 32; ++a) {
            Alignment &al = aligned[size_t(b * 32 + a)];
            al.counts.assign(feet.size() * span * span, 0);
            for (size_t f = 0; f < feet.size(); ++f)
                for (size_t k = 0; k < feet[f].u.size(); ++k) {
                    const int i = floorDiv(b + feet[f].v[k] + dy, 32) + back;
                    const int j = floorDiv(a + feet[f].u[k] + dx, 32) + back;
                    if (i >= 0 && i < span && j >= 0 && j < span)
                        al.counts[f * span * span + size_t(i * span + j)] += 1;
                }
            for (int c = 0; c < span * span; ++c)
                for (size_t f = 0; f < feet.size(); ++f)
                    if (al.counts[f * span * span + size_t(c)] > 0) {
                        al.touched.push_back(c);
                        break;
                    }
        }
    auto blocked = [&](int row, int column) {
        return row < 0 || row >= gridRows || column < 0 || column >= gridColumns || grid[row][column] != '0';
    };
    // Positions that see the same blocked cells at the same alignment count
    // alike: each such case is worked out once.
    std::unordered_map<uint64_t, int> framesInWall; // alignment and blocked cells -> frames
    double inWall = 0, total = 0;
    for (int y = -Positions::margin; y < worldPixels; ++y)
        for (int x = -Positions::margin; x < worldPixels; ++x) {
            if (!p.has(x, y))
                continue;
            const int cx = floorDiv(x, 32), cy = floorDiv(y, 32), a = x - cx * 32, b = y - cy * 32;
            const Alignment &al = aligned[size_t(b * 32 + a)];
            uint64_t cells = 0;
            for (int c : al.touched)
                if (blocked(cy - back + c / span, cx - back + c % span))
                    cells |= uint64_t(1) << c;
            // Cells below 64 and the alignment below 1024: the key keeps both whole.
            const uint64_t key = cells * 1024 + uint64_t(b * 32 + a);
            auto found = framesInWall.find(cells == 0 ? 0 : key);
            int frames = 0;
            if (cells != 0) {
                if (found == framesInWall.end()) {
                    for (size_t f = 0; f < feet.size(); ++f) {
                        long over = 0;
                        for (int c : al.touched)
                            if (cells >> c & 1)
                                over += al.counts[f * span * span + size_t(c)];
                        frames += 2 * over > long(feet[f].u.size());
                    }
                    framesInWall[key] = frames;
                } else {
                    frames = found->second;
                }
            }
            inWall += frames;
            total += double(feet.size());
        }
    return total > 0 ? inWall / total : 0;
}
