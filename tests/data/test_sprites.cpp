// test_sprites.cpp - sheets, villagers, the jewel, the slash and the bars:
// sizes, hard edges against magenta, and animation that moves.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <gtest/gtest.h>

#include "data_readers.h"

namespace
{

// Far from the mask colour: an edge pixel anti-aliased against magenta would
// be pinkish-purple, with red and blue both high and green low.
bool nearMagenta(uint32_t c)
{
    const int r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
    return c != maskColour && r > 150 && b > 150 && g < 110;
}

struct SheetCase {
    const char *name;
    int cellW, cellH, columns;
};

const SheetCase sheets[] = {
    {"Avatar.bmp", 96, 96, 8}, {"avatar attacks.bmp", 96, 96, 13}, {"Lizard.bmp", 90, 100, 8},
    {"ogre.bmp", 96, 96, 8},   {"Bad guy.bmp", 96, 96, 8},         {"Bad guy attack.bmp", 96, 96, 13},
};

bool sameCell(const Picture &p, int w, int h, int x0, int y0, int x1, int y1)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (p.at(x0 + x, y0 + y) != p.at(x1 + x, y1 + y))
                return false;
    return true;
}

} // namespace

class SheetTest : public ::testing::TestWithParam<SheetCase>
{
};

TEST_P(SheetTest, EveryCellHoldsAFigureWithHardEdgesThatMoves)
{
    const SheetCase s = GetParam();
    const Picture p = readPicture(s.name);
    ASSERT_EQ(p.w, s.cellW * s.columns);
    ASSERT_EQ(p.h, s.cellH * 8);
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < s.columns; ++col) {
            int solid = 0, fringe = 0, onEdge = 0;
            for (int y = 0; y < s.cellH; ++y)
                for (int x = 0; x < s.cellW; ++x) {
                    const uint32_t c = p.at(col * s.cellW + x, row * s.cellH + y);
                    solid += c != maskColour;
                    fringe += nearMagenta(c);
                    if (c != maskColour && (y == 0 || y == s.cellH - 1))
                        ++onEdge; // a figure cut by the cell's top or bottom
                }
            EXPECT_GT(solid, 300) << s.name << " row " << row << " frame " << col << " is (nearly) empty";
            EXPECT_EQ(fringe, 0) << s.name << " row " << row << " frame " << col
                                 << " has pixels near magenta";
            EXPECT_EQ(onEdge, 0) << s.name << " row " << row << " frame " << col << " runs off the cell";
            if (col > 0) {
                EXPECT_FALSE(sameCell(p, s.cellW, s.cellH, col * s.cellW, row * s.cellH, (col - 1) * s.cellW,
                                      row * s.cellH))
                    << s.name << " row " << row << ": frames " << col - 1 << " and " << col
                    << " are the same";
            }
        }
    // The eight facings are eight different pictures.
    for (int row = 1; row < 8; ++row)
        for (int other = 0; other < row; ++other)
            EXPECT_FALSE(sameCell(p, s.cellW, s.cellH, 0, row * s.cellH, 0, other * s.cellH))
                << s.name << ": rows " << other << " and " << row;
}

INSTANTIATE_TEST_SUITE_P(Sheets, SheetTest, ::testing::ValuesIn(sheets),
                         [](const ::testing::TestParamInfo<SheetCase> &i) {
                             std::string n;
                             for (const char *c = i.param.name; *c && *c != '.'; ++c)
                                 n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return n;
                         });

TEST(Sprites, HeroSwingReachesOutOnTheFacingSide)
{
    // Somewhere in the swing the blade (or its arc) reaches past the walking
    // figure's own box on the side the hero faces: right, down and left rows.
    // Facing up it can only rise to the cell's top, which the head nearly
    // touches, so there the test asks only that the blade is drawn at all.
    const Picture walk = readPicture("Avatar.bmp"), swing = readPicture("avatar attacks.bmp");
    ASSERT_EQ(swing.w, 13 * 96);
    ASSERT_EQ(walk.w, 8 * 96);
    struct Facing {
        int row, dx, dy, reach;
    };
    for (const Facing f :
         {Facing{0, 1, 0, 10}, Facing{4, 0, 1, 10}, Facing{7, -1, 0, 10}, Facing{1, 0, -1, 0}}) {
        // How far an opaque pixel of a cell lies toward the facing side.
        auto furthest = [&](const Picture &p, int col) {
            int best = -1000;
            for (int y = 0; y < 96; ++y)
                for (int x = 0; x < 96; ++x)
                    if (p.at(col * 96 + x, f.row * 96 + y) != maskColour)
                        best = std::max(best, f.dx > 0 ? x : f.dx < 0 ? -x : f.dy > 0 ? y : -y);
            return best;
        };
        int own = -1000, swung = -1000;
        for (int col = 0; col < 8; ++col)
            own = std::max(own, furthest(walk, col));
        for (int col = 0; col < 13; ++col)
            swung = std::max(swung, furthest(swing, col));
        EXPECT_GE(swung - own, f.reach) << "row " << f.row;
    }
}

TEST(Sprites, VillagersShareOneSizeAndDiffer)
{
    const char *names[5] = {"looking s0000.bmp", "villager1.bmp", "villager2.bmp", "villager3.bmp",
                            "villager4.bmp"};
    std::vector<Picture> v;
    for (const char *n : names)
        v.push_back(readPicture(n));
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(v[i].w, v[0].w) << names[i];
        ASSERT_EQ(v[i].h, v[0].h) << names[i];
        int solid = 0;
        for (uint32_t c : v[i].px) {
            solid += c != maskColour;
            EXPECT_FALSE(nearMagenta(c)) << names[i];
        }
        // A whole figure, though at the hero's height it fills about a sixth of the picture.
        EXPECT_GT(solid, v[i].w * v[i].h / 10) << names[i];
        for (int j = 0; j < i; ++j)
            EXPECT_NE(v[i].px, v[j].px) << names[i] << " and " << names[j];
    }
}

TEST(Sprites, JewelReadsAtIconSize)
{
    // The HUD stretches the jewel to 20 x 20: most of that icon is gem.
    const Picture j = readPicture("jewel.bmp");
    const Picture v = readPicture("looking s0000.bmp");
    ASSERT_GT(j.w, 0);
    EXPECT_LE(j.w, v.w); // drawn with villager 0's size from its corner
    EXPECT_LE(j.h, v.h);
    int solid = 0, blue = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint32_t c = j.at(x * j.w / 20, y * j.h / 20);
            EXPECT_FALSE(nearMagenta(c));
            if (c == maskColour)
                continue;
            ++solid;
            blue += (c & 255) > (c >> 16 & 255) + 40;
        }
    EXPECT_GE(solid, 200);
    EXPECT_GE(blue, solid / 2);
}

TEST(Sprites, SlashIsBoldBrightAndHardEdged)
{
    // It shows for as little as 7 ticks over a dying figure, stretched over
    // the figure's cell: it must cover most of where figures stand (the box
    // round every walking frame of the hero), and mostly in bright colour.
    const Picture s = readPicture("slash.bmp"), hero = readPicture("Avatar.bmp");
    ASSERT_EQ(s.w, 96);
    ASSERT_EQ(s.h, 96);
    ASSERT_EQ(hero.w, 8 * 96);
    int x0 = 96, y0 = 96, x1 = -1, y1 = -1;
    for (int y = 0; y < hero.h; ++y)
        for (int x = 0; x < hero.w; ++x)
            if (hero.at(x, y) != maskColour)
                x0 = std::min(x0, x % 96), x1 = std::max(x1, x % 96), y0 = std::min(y0, y % 96),
                y1 = std::max(y1, y % 96);
    int covered = 0, bright = 0;
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
            const uint32_t c = s.at(x, y);
            EXPECT_FALSE(nearMagenta(c));
            if (c == maskColour || x < x0 || x > x1 || y < y0 || y > y1)
                continue;
            ++covered;
            bright += std::max(c >> 16 & 255, c >> 8 & 255) > 200;
        }
    const double share = double(covered) / ((x1 - x0 + 1) * (y1 - y0 + 1));
    std::printf("slash: covers %.0f %% of the figures' box, %.0f %% of that bright\n", share * 100,
                100.0 * bright / std::max(1, covered));
    EXPECT_GE(share, 0.5);
    EXPECT_GE(bright, covered * 2 / 3);
}

TEST(Sprites, EveryWalkingFrameMovesTheLegs)
{
    // The stride: from one frame to the next the lowest third of the figure
    // (legs and feet) changes, in every facing of every walking sheet.
    for (const SheetCase &k : {sheets[0], sheets[2], sheets[3], sheets[4]}) {
        const Picture p = readPicture(k.name);
        ASSERT_EQ(p.w, k.cellW * 8) << k.name;
        for (int row = 0; row < 8; ++row) {
            int top = k.cellH, bottom = -1;
            for (int col = 0; col < 8; ++col)
                for (int y = 0; y < k.cellH; ++y)
                    for (int x = 0; x < k.cellW; ++x)
                        if (p.at(col * k.cellW + x, row * k.cellH + y) != maskColour)
                            top = std::min(top, y), bottom = std::max(bottom, y);
            const int from = bottom - (bottom - top + 1) / 3 + 1;
            for (int col = 0; col < 8; ++col) {
                const int next = (col + 1) % 8;
                int changed = 0;
                for (int y = from; y <= bottom; ++y)
                    for (int x = 0; x < k.cellW; ++x)
                        changed += (p.at(col * k.cellW + x, row * k.cellH + y) == maskColour) !=
                                   (p.at(next * k.cellW + x, row * k.cellH + y) == maskColour);
                EXPECT_GE(changed, 12) << k.name << " row " << row << ": frames " << col << " and " << next;
            }
        }
    }
}

class BarTest : public ::testing::TestWithParam<const char *>
{
};

TEST_P(BarTest, FrameIsClearInsideAndPipsFillItExactly)
{
    const Picture b = readPicture(GetParam());
    ASSERT_GE(b.w, 136);
    ASSERT_GE(b.h, 14);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 130; ++x) {
            const bool inside = x >= 2 && x <= 127 && y >= 2 && y <= 11;
            EXPECT_EQ(b.at(x, y) == maskColour, inside) << GetParam() << " at (" << x << ", " << y << ")";
        }
    // The pip is solid; 25 pips at 2 + 5i cover the clear inside, 2..127, exactly.
    for (int y = 2; y < 12; ++y)
        for (int x = 130; x < 136; ++x)
            EXPECT_NE(b.at(x, y), maskColour) << GetParam() << " pip at (" << x << ", " << y << ")";
    std::vector<bool> covered(130, false);
    for (int i = 0; i < 25; ++i)
        for (int x = 2 + 5 * i; x < 2 + 5 * i + 6; ++x)
            covered[size_t(x)] = true;
    for (int x = 0; x < 130; ++x)
        EXPECT_EQ(covered[size_t(x)], b.at(x, 6) == maskColour) << GetParam() << " column " << x;
}

INSTANTIATE_TEST_SUITE_P(Bars, BarTest, ::testing::Values("life_bar.bmp", "magic_bar.bmp"));

TEST(Sprites, LifePipIsRedAndMagicPipIsBlue)
{
    auto dominant = [](const Picture &b) {
        long r = 0, bl = 0;
        for (int y = 2; y < 12; ++y)
            for (int x = 130; x < 136; ++x)
                r += b.at(x, y) >> 16 & 255, bl += b.at(x, y) & 255;
        return r > bl ? 'r' : 'b';
    };
    EXPECT_EQ(dominant(readPicture("life_bar.bmp")), 'r');
    EXPECT_EQ(dominant(readPicture("magic_bar.bmp")), 'b');
}
