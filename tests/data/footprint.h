// footprint.h - where a walking figure's feet land against the walls. An
// actor's footprint is the opaque pixels in the lowest third of its figure's
// opaque box, frame by frame; a position counts as "in the wall" for a frame
// when more than half of that footprint lies over cells its grid blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/walk_grids.h"

// Every position (top-left corner, pixels) an actor can stand at, as a bitmap
// over x, y in [-positionMargin, worldPixels).
struct Positions {
    static constexpr int margin = 32; // room for the 25 pixels past the left edge
    static constexpr int side = worldPixels + margin;
    std::vector<uint8_t> at = std::vector<uint8_t>(size_t(side) * side, 0);
    long count = 0;           // positions held
    long inPlacementCell = 0; // enemies: positions set apart, see wanderReachable
    bool has(int x, int y) const { return at[size_t(y + margin) * side + x + margin] == 2; }
};

// The hero's arrow-key steps from the new game's start (272, 192).
Positions heroReachable();
// Every position a w x h enemy's wandering steps reach from any of its random
// placements, once it has left the placement's cell. Placement reads the
// corner's cell, not the reference cell the steps probe, so an enemy may start
// with its reference cell blocked and keep stepping about inside it until a
// step takes it into a free one; from then on its reference cell is always
// free. Those first positions are only counted, in inPlacementCell.
Positions wanderReachable(int w, int h);

struct Footprint {
    std::vector<int16_t> u, v; // pixels of the cell, from its top-left corner
};
// One footprint per cell of a walking sheet (8 facings x 8 frames).
std::vector<Footprint> sheetFootprints(const std::vector<uint32_t> &px, int sheetW, int cellW, int cellH);

// The share of (position, frame) pairs with more than half of the footprint
// over blocked cells of the grid, with the footprints moved by (dx, dy) pixels.
double shareInWall(const Positions &p, const std::vector<Footprint> &feet, const char *const grid[gridRows],
                   int dx = 0, int dy = 0);
