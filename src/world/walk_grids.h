// walk_grids.h - the world's two walk grids and every cell probe the game makes.
//
// The world is 100 x 100 cells of 32 x 32 pixels. A probe reads one cell of one
// grid and answers free ('0') or blocked (anything else). Cells outside the grid
// (negative rows or columns, row or column 100 and beyond) answer blocked, so no
// position - from a save file or a push-back - ever reads outside the arrays.
#pragma once

#include <cstdint>

constexpr int gridRows = 100;
constexpr int gridColumns = 100;
constexpr int cellSize = 32;                        // pixels per cell side
constexpr int worldPixels = gridColumns * cellSize; // 3200, the world picture's side

extern const char *const heroGrid[gridRows];  // the hero's arrow-key steps
extern const char *const enemyGrid[gridRows]; // lizards, ogres and the boss

// Step codes shared by the hero's arrow keys and the enemies' wandering.
enum WanderDirection : int32_t {
    wanderDown = 0,
    wanderLeft = 1,
    wanderRight = 2,
    wanderUp = 3,
};

// Reads one cell; rows and columns outside the grid are blocked.
bool cellFree(const char *const grid[gridRows], int64_t row, int64_t column);

// The step probe: the orthogonal neighbour, in direction d, of the actor's
// reference cell (row y/32 + 1, column x/32 + 1). Divisions truncate toward
// zero, so -25 / 32 is 0. Any other direction value answers blocked.
bool stepCellFree(const char *const grid[gridRows], int32_t direction, int32_t x, int32_t y);
inline bool heroStepFree(int32_t direction, int32_t x, int32_t y)
{
    return stepCellFree(heroGrid, direction, x, y);
}
inline bool wanderStepFree(int32_t direction, int32_t x, int32_t y)
{
    return stepCellFree(enemyGrid, direction, x, y);
}

// Random placement reads the cell under the candidate's top-left corner itself.
bool placementFree(int32_t x, int32_t y);

// Contact push-back asks the cell 60 pixels to the right of the top-left corner:
// row y/32, column (x + 60)/32.
bool pushBackFree(int32_t x, int32_t y);
