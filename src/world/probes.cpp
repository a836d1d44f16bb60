// probes.cpp - cell probes on the walk grids. All arithmetic is done in 64 bits
// so that positions near the 32-bit limits cannot overflow before the bounds
// test throws them out.

#include "world/walk_grids.h"

bool cellFree(const char *const grid[gridRows], int64_t row, int64_t column)
{
    if (row < 0 || row >= gridRows || column < 0 || column >= gridColumns)
        return false;
    return grid[row][column] == '0';
}

bool stepCellFree(const char *const grid[gridRows], int32_t direction, int32_t x, int32_t y)
{
    const int64_t row = y / cellSize + 1;    // the reference cell: one below and
    const int64_t column = x / cellSize + 1; // one right of the top-left corner
    switch (direction) {
    case wanderDown: return cellFree(grid, row + 1, column);
    case wanderLeft: return cellFree(grid, row, column - 1);
    case wanderRight: return cellFree(grid, row, column + 1);
    case wanderUp: return cellFree(grid, row - 1, column);
    default: return false;
    }
}

bool placementFree(int32_t x, int32_t y)
{
    return cellFree(enemyGrid, y / cellSize, x / cellSize);
}

bool pushBackFree(int32_t x, int32_t y)
{
    return cellFree(enemyGrid, y / cellSize, (int64_t(x) + 60) / cellSize);
}
