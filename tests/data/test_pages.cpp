// test_pages.cpp - the end pictures show their whole message in any view the
// camera can take, and the pages are distinct pictures.

#include <algorithm>
#include <gtest/gtest.h>

#include "data_readers.h"
#include "pages.h"
#include "world/walk_grids.h"

namespace
{

constexpr int viewW = 640, viewH = 480;

// The first copy of the box that lies whole inside [from, from + view) along
// one axis, or -1.
int copyInside(int from, int view, int tile, int boxAt, int box, int picture)
{
    for (int k = 0; k * tile + boxAt + box <= picture; ++k) {
        const int start = k * tile + boxAt;
        if (start >= from && start + box <= from + view)
            return start;
    }
    return -1;
}

bool sameBox(const Picture &p, int x0, int y0, int x1, int y1)
{
    for (int y = 0; y < endBoxH; ++y)
        for (int x = 0; x < endBoxW; ++x)
            if (p.at(x0 + x, y0 + y) != p.at(x1 + x, y1 + y))
                return false;
    return true;
}

} // namespace

TEST(EndPictures, EveryViewHoldsOneWholeBox)
{
    for (int a = 0; a + viewW <= worldPixels; ++a)
        ASSERT_GE(copyInside(a, viewW, endTileW, endBoxX, endBoxW, worldPixels), 0) << "view from x " << a;
    for (int a = 0; a + viewH <= worldPixels; ++a)
        ASSERT_GE(copyInside(a, viewH, endTileH, endBoxY, endBoxH, worldPixels), 0) << "view from y " << a;
}

class EndPictureTest : public ::testing::TestWithParam<const char *>
{
};

TEST_P(EndPictureTest, TheBoxInEveryViewIsTheWholeMessage)
{
    const Picture p = readPicture(GetParam());
    ASSERT_EQ(p.w, worldPixels);
    ASSERT_EQ(p.h, worldPixels);
    // The message: light text on the box, which stands out from the tile around it.
    int light = 0;
    for (int y = endBoxY; y < endBoxY + endBoxH; ++y)
        for (int x = endBoxX; x < endBoxX + endBoxW; ++x) {
            const uint32_t c = p.at(x, y);
            light += std::max({c >> 16 & 255, c >> 8 & 255, c & 255}) > 200;
        }
    EXPECT_GT(light, 1500) << GetParam();
    // Views: the four corners, the middle and a spread of offsets.
    std::vector<std::pair<int, int>> views = {{0, 0},
                                              {worldPixels - viewW, 0},
                                              {0, worldPixels - viewH},
                                              {worldPixels - viewW, worldPixels - viewH},
                                              {1280, 1360}};
    uint32_t seed = 12345;
    for (int k = 0; k < 40; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const int x = int(seed >> 8) % (worldPixels - viewW + 1);
        seed = seed * 1664525u + 1013904223u;
        const int y = int(seed >> 8) % (worldPixels - viewH + 1);
        views.push_back({x, y});
    }
    for (auto [vx, vy] : views) {
        const int bx = copyInside(vx, viewW, endTileW, endBoxX, endBoxW, worldPixels);
        const int by = copyInside(vy, viewH, endTileH, endBoxY, endBoxH, worldPixels);
        ASSERT_GE(bx, 0);
        ASSERT_GE(by, 0);
        EXPECT_TRUE(sameBox(p, endBoxX, endBoxY, bx, by))
            << GetParam() << ": the box in the view at (" << vx << ", " << vy << ") is not the message";
    }
}

TEST_P(EndPictureTest, TheMessageStandsOnASolidBanner)
{
    // Figures drawn over the end picture must not lose the message in a busy
    // ground: inside the box, most pixels are one flat dark colour.
    const Picture p = readPicture(GetParam());
    ASSERT_EQ(p.w, worldPixels);
    std::vector<uint32_t> colours;
    for (int y = endBoxY; y < endBoxY + endBoxH; ++y)
        for (int x = endBoxX; x < endBoxX + endBoxW; ++x)
            colours.push_back(p.at(x, y));
    std::sort(colours.begin(), colours.end());
    size_t most = 0;
    uint32_t common = 0;
    for (size_t i = 0, j; i < colours.size(); i = j) {
        for (j = i; j < colours.size() && colours[j] == colours[i]; ++j) {
        }
        if (j - i > most)
            most = j - i, common = colours[i];
    }
    EXPECT_GE(most, colours.size() / 2) << GetParam();
    EXPECT_LT(std::max({common >> 16 & 255, common >> 8 & 255, common & 255}), 64u) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Ends, EndPictureTest, ::testing::Values("gameover.bmp", "Victory.bmp"));

TEST(EndPictures, GameOverAndVictorySayDifferentThings)
{
    const Picture over = readPicture("gameover.bmp"), won = readPicture("Victory.bmp");
    ASSERT_EQ(over.w, won.w);
    int differ = 0;
    for (int y = endBoxY; y < endBoxY + endBoxH; ++y)
        for (int x = endBoxX; x < endBoxX + endBoxW; ++x)
            differ += over.at(x, y) != won.at(x, y);
    EXPECT_GT(differ, endBoxW * endBoxH / 2);
}

TEST(Pages, FourDistinctFullPictures)
{
    const char *names[4] = {"Main Menu.bmp", "bitmap1.bmp", "bitmap2.bmp", "bitmap3.bmp"};
    std::vector<Picture> pages;
    for (const char *n : names) {
        pages.push_back(readPicture(n));
        ASSERT_EQ(pages.back().w, 640) << n;
        ASSERT_EQ(pages.back().h, 480) << n;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        // A picture, not a plain fill: many colours.
        std::vector<uint32_t> colours(pages[i].px);
        std::sort(colours.begin(), colours.end());
        const long distinct = std::unique(colours.begin(), colours.end()) - colours.begin();
        EXPECT_GT(distinct, 2000) << names[i];
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(pages[i].px, pages[j].px) << names[i] << " and " << names[j];
    }
}
