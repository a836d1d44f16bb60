// test_world.cpp - the walk grids and every cell probe made on them.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "world/walk_grids.h"

namespace
{

// A 100 x 100 grid of one fill character in which single cells can be set.
class SyntheticGrid
{
  public:
    explicit SyntheticGrid(char fill) : rows_(gridRows, std::string(gridColumns, fill))
    {
        for (int r = 0; r < gridRows; ++r)
            pointers_[r] = rows_[r].c_str();
    }
    void set(int row, int column, char c) { rows_[row][column] = c; }
    const char *const *grid() const { return pointers_; }

  private:
    std::vector<std::string> rows_;
    const char *pointers_[gridRows];
};

const char *directionName(int32_t d)
{
    switch (d) {
    case wanderDown: return "down";
    case wanderLeft: return "left";
    case wanderRight: return "right";
    case wanderUp: return "up";
    default: return "other";
    }
}

struct ProbeCase {
    int32_t direction, x, y;
    int row, column; // the one cell the probe must read
};

// The probe reads exactly the expected cell: free when only that cell is
// free, blocked when only that cell is blocked.
void expectProbeReads(const ProbeCase &c)
{
    SyntheticGrid onlyFree('1');
    onlyFree.set(c.row, c.column, '0');
    SyntheticGrid onlyBlocked('0');
    onlyBlocked.set(c.row, c.column, '1');
    EXPECT_TRUE(stepCellFree(onlyFree.grid(), c.direction, c.x, c.y));
    EXPECT_FALSE(stepCellFree(onlyBlocked.grid(), c.direction, c.x, c.y));
}

} // namespace

TEST(StepProbe, ReadsTheNeighbourOfTheReferenceCell)
{
    const ProbeCase cases[] = {
        // At the left clamp, -25 / 32 is 0: the reference cell is (1, 1).
        {wanderLeft, -25, 0, 1, 0},
        {wanderRight, -25, 0, 1, 2},
        {wanderUp, -25, 0, 0, 1},
        {wanderDown, -25, 0, 2, 1},
        // Above the top edge by less than a cell the up probe reads row 0.
        {wanderUp, 0, -20, 0, 1},
        // The new game's start: the four cells the hero asks at once.
        {wanderUp, 272, 192, 6, 9},
        {wanderDown, 272, 192, 8, 9},
        {wanderLeft, 272, 192, 7, 8},
        {wanderRight, 272, 192, 7, 10},
        // Last pixel of a cell and first of the next.
        {wanderRight, 31, 31, 1, 2},
        {wanderRight, 32, 32, 2, 3},
        // The last row and column that are still inside.
        {wanderRight, 97 * 32, 98 * 32, 99, 99},
        {wanderDown, 98 * 32, 97 * 32, 99, 99},
    };
    for (const ProbeCase &c : cases) {
        SCOPED_TRACE(std::string(directionName(c.direction)) + " from (" + std::to_string(c.x) + ", " +
                     std::to_string(c.y) + ")");
        expectProbeReads(c);
    }
}

TEST(StepProbe, CellsOutsideTheGridAreBlocked)
{
    SyntheticGrid open('0');
    struct Outside {
        int32_t direction, x, y;
    } cases[] = {
        {wanderUp, 0, -40},                  // row -1
        {wanderRight, 98 * 32, 0},           // column 100
        {wanderDown, 0, 98 * 32},            // row 100
        {wanderUp, 99 * 32, 32},             // column 100 above
        {wanderRight, 200 * 32, 0},          // far beyond the right edge
        {wanderLeft, -33 * 32, 0},           // column -32
        {wanderRight, INT32_MAX, INT32_MAX}, // a save file at the limits
        {wanderLeft, INT32_MIN, INT32_MIN},
        {wanderDown, INT32_MAX, 0},
        {wanderUp, 0, INT32_MIN},
    };
    for (const Outside &c : cases) {
        SCOPED_TRACE(std::string(directionName(c.direction)) + " from (" + std::to_string(c.x) + ", " +
                     std::to_string(c.y) + ")");
        EXPECT_FALSE(stepCellFree(open.grid(), c.direction, c.x, c.y));
    }
    EXPECT_FALSE(cellFree(open.grid(), 0, 100));
    EXPECT_FALSE(cellFree(open.grid(), 100, 0));
    EXPECT_FALSE(cellFree(open.grid(), -1, 0));
    EXPECT_FALSE(cellFree(open.grid(), 0, -1));
    EXPECT_TRUE(cellFree(open.grid(), 99, 99));
}

TEST(StepProbe, UnknownDirectionsAreBlocked)
{
    SyntheticGrid open('0');
    for (int32_t d : {4, -1, 100, INT32_MIN, INT32_MAX})
        EXPECT_FALSE(stepCellFree(open.grid(), d, 320, 320)) << d;
}

TEST(StepProbe, AnyCharacterButZeroIsBlocked)
{
    SyntheticGrid grid('0');
    grid.set(5, 5, '2');
    grid.set(5, 6, ' ');
    EXPECT_FALSE(cellFree(grid.grid(), 5, 5));
    EXPECT_FALSE(cellFree(grid.grid(), 5, 6));
    EXPECT_TRUE(cellFree(grid.grid(), 5, 7));
}

TEST(StepProbe, HeroAndWanderingUseTheirOwnGrids)
{
    // (7, 10) is free for the hero and blocked for enemies.
    EXPECT_TRUE(heroStepFree(wanderRight, 272, 192));
    EXPECT_FALSE(wanderStepFree(wanderRight, 272, 192));
    // (19, 83) is the other way round: reached as the right neighbour of (19, 82).
    const int32_t x = 81 * 32, y = 18 * 32;
    EXPECT_FALSE(heroStepFree(wanderRight, x, y));
    EXPECT_TRUE(wanderStepFree(wanderRight, x, y));
}

// Around enemyGrid cell (16, 65): free, with (16, 63), (16, 66) and (17, 65)
// blocked and (16, 64) free.
TEST(PlacementProbe, ReadsTheTopLeftCellItself)
{
    ASSERT_EQ(enemyGrid[16][65], '0');
    ASSERT_EQ(enemyGrid[16][66], '1');
    ASSERT_EQ(enemyGrid[17][65], '1');
    EXPECT_TRUE(placementFree(65 * 32, 16 * 32));
    EXPECT_TRUE(placementFree(65 * 32 + 31, 16 * 32 + 31)); // the cell's last pixel
    EXPECT_FALSE(placementFree(66 * 32, 16 * 32));
    EXPECT_FALSE(placementFree(65 * 32, 17 * 32));
    // The hero's start lies in the western block: never a place for an enemy.
    EXPECT_FALSE(placementFree(272, 192));
    EXPECT_FALSE(placementFree(INT32_MAX, INT32_MAX));
    EXPECT_FALSE(placementFree(INT32_MIN, 0));
}

TEST(PushBackProbe, AddsSixtyBeforeDividing)
{
    // Row 61 of enemyGrid: columns 0 to 2 free, 3 to 5 blocked.
    const int32_t y = 61 * 32;
    ASSERT_EQ(enemyGrid[61][2], '0');
    ASSERT_EQ(enemyGrid[61][3], '1');
    EXPECT_TRUE(pushBackFree(30, y));  // (30 + 60) / 32 = 2
    EXPECT_FALSE(pushBackFree(36, y)); // (36 + 60) / 32 = 3, where x / 32 + 1 would be 2
    // Row 16: column 65 free between blocked columns 63 and 66.
    ASSERT_EQ(enemyGrid[16][63], '1');
    EXPECT_TRUE(pushBackFree(65 * 32 - 60, 16 * 32));
    EXPECT_FALSE(pushBackFree(65 * 32 - 61 - 32, 16 * 32)); // column 63
    EXPECT_FALSE(pushBackFree(66 * 32 - 60, 16 * 32));
    // The row is the one that holds the top-left corner.
    EXPECT_FALSE(pushBackFree(65 * 32 - 60, 17 * 32));
    // Past the right edge and above the top edge: blocked, no overflow.
    EXPECT_FALSE(pushBackFree(3200, 80 * 32));
    EXPECT_FALSE(pushBackFree(1000, -40));
    EXPECT_FALSE(pushBackFree(INT32_MAX, 0));
    EXPECT_FALSE(pushBackFree(INT32_MAX - 30, INT32_MIN));
}

TEST(GridPlaces, TheHeroStartsFreeAndWhereNoEnemyCanGo)
{
    for (int32_t d : {wanderDown, wanderLeft, wanderRight, wanderUp}) {
        SCOPED_TRACE(directionName(d));
        EXPECT_TRUE(heroStepFree(d, 272, 192));
        EXPECT_FALSE(wanderStepFree(d, 272, 192));
    }
}

TEST(GridPlaces, TheBossPlaceAndItsFourProbesAreFreeForEnemies)
{
    EXPECT_TRUE(placementFree(2580, 2496));
    EXPECT_TRUE(cellFree(enemyGrid, 78, 80));
    for (int32_t d : {wanderDown, wanderLeft, wanderRight, wanderUp})
        EXPECT_TRUE(wanderStepFree(d, 2580, 2496)) << directionName(d);
}

TEST(GridPlaces, JewelCellsAreFreeInBothGrids)
{
    const int cells[][2] = {{62, 51}, {85, 44}, {10, 62}};
    for (const auto &c : cells) {
        EXPECT_TRUE(cellFree(heroGrid, c[0], c[1])) << c[0] << "," << c[1];
        EXPECT_TRUE(cellFree(enemyGrid, c[0], c[1])) << c[0] << "," << c[1];
    }
}

TEST(GridContent, EveryRowIsOneHundredZerosAndOnes)
{
    for (const char *const *grid : {heroGrid, enemyGrid})
        for (int r = 0; r < gridRows; ++r) {
            ASSERT_NE(grid[r], nullptr);
            ASSERT_EQ(std::string(grid[r]).size(), 100u) << "row " << r;
            ASSERT_EQ(std::string(grid[r]).find_first_not_of("01"), std::string::npos) << "row " << r;
        }
}

TEST(GridContent, TheGridsDifferWhereTheMapSaysSo)
{
    int differ = 0;
    std::vector<std::pair<int, int>> heroOnlyBlocked;
    int heroFree = 0, enemyFree = 0;
    for (int r = 0; r < gridRows; ++r)
        for (int c = 0; c < gridColumns; ++c) {
            heroFree += heroGrid[r][c] == '0';
            enemyFree += enemyGrid[r][c] == '0';
            if (heroGrid[r][c] != enemyGrid[r][c]) {
                ++differ;
                if (heroGrid[r][c] == '1')
                    heroOnlyBlocked.emplace_back(r, c);
            }
        }
    EXPECT_EQ(differ, 3109);
    const std::vector<std::pair<int, int>> expected = {{19, 83}, {80, 30}, {80, 31}, {80, 32}, {80, 33}};
    EXPECT_EQ(heroOnlyBlocked, expected);
    EXPECT_NEAR(enemyFree / 10000.0, 0.4, 0.02);
    EXPECT_NEAR(heroFree / 10000.0, 0.7, 0.03);
}

TEST(GridContent, RegionsOfTheWorld)
{
    struct Region {
        const char *name;
        const char *const *grid;
        int row0, row1, col0, col1;
        char cell;
    } regions[] = {
        {"western block, enemies", enemyGrid, 0, 55, 0, 31, '1'},
        {"top edge opening, enemies", enemyGrid, 0, 0, 34, 62, '0'},
        {"top edge opening, hero", heroGrid, 0, 0, 34, 62, '0'},
        {"bottom row, hero", heroGrid, 99, 99, 0, 99, '0'},
        {"southern strip, enemies", enemyGrid, 91, 99, 0, 99, '1'},
        {"southern strip, hero", heroGrid, 93, 99, 0, 99, '0'},
        {"eastern fields west, enemies", enemyGrid, 46, 72, 64, 77, '1'},
        {"eastern fields west, hero", heroGrid, 46, 72, 64, 77, '0'},
        {"eastern fields east, enemies", enemyGrid, 46, 72, 85, 99, '1'},
        {"eastern fields east, hero", heroGrid, 46, 72, 85, 99, '0'},
    };
    for (const Region &g : regions)
        for (int r = g.row0; r <= g.row1; ++r)
            for (int c = g.col0; c <= g.col1; ++c)
                ASSERT_EQ(g.grid[r][c], g.cell) << g.name << " at (" << r << ", " << c << ")";
    // The hero's side of the western block is mostly open.
    int open = 0;
    for (int r = 0; r <= 55; ++r)
        for (int c = 0; c <= 31; ++c)
            open += heroGrid[r][c] == '0';
    EXPECT_GT(open, 1000);
}
