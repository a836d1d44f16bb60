// test_footprint.cpp - figures stand where the walls stop them: over every
// position an actor's steps reach, the share of walking frames whose footprint
// lies mostly over cells its grid blocks.

#include <cstdio>
#include <gtest/gtest.h>

#include "data_readers.h"
#include "footprint.h"

namespace
{

struct Case {
    const char *name, *sheet;
    int cellW, cellH;
    bool hero;
    double goal; // the largest share allowed
};

} // namespace

class FootprintTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(FootprintTest, FeetStandOnFreeGround)
{
    const Case c = GetParam();
    const Picture sheet = readPicture(c.sheet);
    ASSERT_EQ(sheet.w, 8 * c.cellW);
    const Positions p = c.hero ? heroReachable() : wanderReachable(c.cellW, c.cellH);
    if (c.hero) {
        EXPECT_EQ(p.count, 615618); // every position the arrow keys reach from the start
    }
    const std::vector<Footprint> feet = sheetFootprints(sheet.px, sheet.w, c.cellW, c.cellH);
    const double share = shareInWall(p, feet, c.hero ? heroGrid : enemyGrid);
    std::printf("%s: footprint over blocked cells in %.2f %% of %ld positions x 64 frames", c.name,
                share * 100, p.count);
    if (!c.hero)
        std::printf(" (%ld more positions still inside a blocked placement cell)", p.inPlacementCell);
    std::printf("\n");
    EXPECT_LE(share, c.goal) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Actors, FootprintTest,
                         ::testing::Values(Case{"hero", "Avatar.bmp", 96, 96, true, 0.005},
                                           Case{"lizard", "Lizard.bmp", 90, 100, false, 0.005},
                                           Case{"ogre", "ogre.bmp", 96, 96, false, 0.005}),
                         [](const ::testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

TEST(Footprint, AFigureMovedOffItsBodyIsCaught)
{
    // The measure itself: the hero's sheet drawn 16 pixels right and down of
    // where it stands now shows him in walls far more often.
    const Picture sheet = readPicture("Avatar.bmp");
    ASSERT_EQ(sheet.w, 8 * 96);
    const Positions p = heroReachable();
    const std::vector<Footprint> feet = sheetFootprints(sheet.px, sheet.w, 96, 96);
    EXPECT_GT(shareInWall(p, feet, heroGrid, 16, 16), 4 * shareInWall(p, feet, heroGrid));
}
