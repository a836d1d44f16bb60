// test_character.cpp - Character moves, clamps, facings, animations and
// drawing; cutting cells out of sprite sheets.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>

#include "sprites/character.h"
#include "sprites/sheet.h"
#include "unit_fixtures.h"

namespace
{

class CharacterTest : public WorldTest
{
  protected:
    Character actor;
};

enum class Move { right, left, down, up };

void move(Character &c, Move m, int32_t bound)
{
    switch (m) {
    case Move::right: c.moveRight(bound, 4); break;
    case Move::left: c.moveLeft(bound, 4); break;
    case Move::down: c.moveDown(bound, 4); break;
    case Move::up: c.moveUp(bound, 4); break;
    }
}

} // namespace

TEST_F(CharacterTest, MovesClampToTheWorldEdges)
{
    struct Case {
        const char *name;
        Move move;
        int32_t bound, width, height, x, y;
        int32_t expectX, expectY;
    } cases[] = {
        {"right onto the limit", Move::right, 1000, 96, 96, 922, 0, 924, 0},
        {"right at the limit", Move::right, 1000, 96, 96, 924, 0, 924, 0},
        {"right from beyond pulls back", Move::right, 1000, 96, 96, 990, 0, 924, 0},
        {"left onto the limit", Move::left, 0, 96, 96, -23, 0, -25, 0},
        {"left at the limit", Move::left, 0, 96, 96, -25, 0, -25, 0},
        {"left from beyond pulls back", Move::left, 0, 96, 96, -60, 0, -25, 0},
        {"left, open", Move::left, 0, 96, 96, 100, 0, 96, 0},
        {"up onto the top", Move::up, 0, 96, 96, 0, 2, 0, 0},
        {"up from above pulls back", Move::up, 0, 96, 96, 0, -50, 0, 0},
        {"down onto the limit", Move::down, 1000, 96, 100, 0, 898, 0, 900},
        {"down from beyond pulls back", Move::down, 1000, 96, 100, 0, 1200, 0, 900},
        {"down, open", Move::down, 1000, 96, 100, 0, 500, 0, 504},
        {"right near the 32-bit limit", Move::right, INT32_MAX, 0, 0, INT32_MAX - 1, 0, INT32_MAX, 0},
        {"left near the 32-bit limit", Move::left, INT32_MIN, 0, 0, INT32_MIN + 1, 0, INT32_MIN, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Character a;
        a.width = c.width;
        a.height = c.height;
        a.x = c.x;
        a.y = c.y;
        move(a, c.move, c.bound);
        EXPECT_EQ(a.x, c.expectX);
        EXPECT_EQ(a.y, c.expectY);
        EXPECT_EQ(a.tick, 1); // a clamped move still animates
    }
}

TEST_F(CharacterTest, AClampedMoveStillTurnsAndAnimates)
{
    actor.width = 96;
    actor.x = 924;
    actor.facing = faceLeft;
    actor.tick = 40; // the next animation tick changes the frame
    actor.moveRight(1000, 4);
    EXPECT_EQ(actor.x, 924);
    EXPECT_EQ(actor.facing, faceRight);
    EXPECT_EQ(actor.frame, 1);
    EXPECT_EQ(actor.tick, 0);
}

TEST_F(CharacterTest, FacingRules)
{
    struct Case {
        int32_t before;
        Move move;
        int32_t after;
    } cases[] = {
        {faceRight, Move::down, faceDownRight}, {faceDownRight, Move::down, faceDown},
        {faceLeft, Move::down, faceDownLeft},   {faceDownLeft, Move::down, faceDown},
        {faceUpRight, Move::down, faceDown},    {faceUp, Move::down, faceDown},
        {faceRight, Move::up, faceUpRight},     {faceLeft, Move::up, faceUpLeft},
        {faceUpLeft, Move::up, faceUp},         {faceDownRight, Move::up, faceUp},
        {faceDown, Move::right, faceRight},     {faceUpLeft, Move::right, faceRight},
        {faceDownRight, Move::left, faceLeft},  {faceUp, Move::left, faceLeft},
    };
    for (const Case &c : cases) {
        Character a;
        a.x = 500;
        a.y = 500;
        a.facing = c.before;
        move(a, c.move, c.move == Move::right || c.move == Move::down ? 3200 : 0);
        EXPECT_EQ(a.facing, c.after) << "from " << c.before << " move " << int(c.move);
    }
}

TEST_F(CharacterTest, TwoDownMovesAfterFacingRightEndFacingDown)
{
    actor.y = 100;
    actor.moveDown(1000, 4);
    EXPECT_EQ(actor.facing, faceDownRight);
    actor.moveDown(1000, 4);
    EXPECT_EQ(actor.facing, faceDown);
    EXPECT_EQ(actor.y, 108);
}

TEST_F(CharacterTest, MovesAreIgnoredWhileAttacking)
{
    for (Move m : {Move::right, Move::left, Move::down, Move::up}) {
        Character a;
        a.x = 300;
        a.y = 300;
        a.facing = faceUpLeft;
        a.startAttack();
        a.frame = 5;
        a.tick = 3;
        move(a, m, m == Move::right || m == Move::down ? 3200 : 0);
        EXPECT_EQ(a.x, 300);
        EXPECT_EQ(a.y, 300);
        EXPECT_EQ(a.facing, faceUpLeft);
        EXPECT_EQ(a.frame, 5);
        EXPECT_EQ(a.tick, 3);
    }
}

TEST_F(CharacterTest, AWalkingFrameLastsTicksPerFramePlusOne)
{
    for (int i = 0; i < 40; ++i)
        actor.animateWalk();
    EXPECT_EQ(actor.frame, 0);
    EXPECT_EQ(actor.tick, 40);
    actor.animateWalk();
    EXPECT_EQ(actor.frame, 1);
    EXPECT_EQ(actor.tick, 0);

    actor.frame = 7;
    actor.tick = 40;
    actor.animateWalk();
    EXPECT_EQ(actor.frame, 0); // wraps after the last walking frame

    Character enemy;
    enemy.ticksPerFrame = 10;
    for (int i = 0; i < 11; ++i)
        enemy.animateWalk();
    EXPECT_EQ(enemy.frame, 1);
}

TEST_F(CharacterTest, AnAttackLastsNinetyOneTicks)
{
    actor.frame = 3;
    actor.tick = 17;
    actor.startAttack();
    EXPECT_TRUE(actor.attacking);
    EXPECT_EQ(actor.frame, 0);
    EXPECT_EQ(actor.tick, 0);
    for (int i = 0; i < 90; ++i)
        actor.animateAttack();
    EXPECT_TRUE(actor.attacking);
    EXPECT_EQ(actor.frame, 12);
    actor.animateAttack();
    EXPECT_FALSE(actor.attacking);
    EXPECT_EQ(actor.frame, 7);
    EXPECT_EQ(actor.tick, 0);
    // Back to walking: the next frame change wraps to 0.
    for (int i = 0; i < 41; ++i)
        actor.animateWalk();
    EXPECT_EQ(actor.frame, 0);
}

TEST_F(CharacterTest, DrawPicksTheAttackOrWalkingFrame)
{
    BitmapPool pool;
    giveDistinctFrames(actor, pool, 8, 6);
    BITMAP *dest = pool.solid(64, 48, 0);
    actor.x = 110;
    actor.y = 205;
    struct Case {
        bool attacking;
        int32_t facing, frame;
        int expected;
    } cases[] = {
        {false, faceRight, 0, walkColour(0, 0)},     {false, faceLeft, 7, walkColour(7, 7)},
        {false, faceDownRight, 3, walkColour(5, 3)}, {true, faceUp, 0, attackColour(1, 0)},
        {true, faceLeft, 12, attackColour(7, 12)},   {true, faceDownLeft, 9, attackColour(6, 9)},
    };
    for (const Case &c : cases) {
        clear_to_color(dest, 0);
        actor.attacking = c.attacking;
        actor.facing = c.facing;
        actor.frame = c.frame;
        actor.draw(dest, 100, 200);
        // The picture lands at the position minus the camera: (10, 5) to (17, 10).
        EXPECT_EQ(getpixel(dest, 10, 5), c.expected) << c.attacking << " " << c.facing << " " << c.frame;
        EXPECT_EQ(getpixel(dest, 17, 10), c.expected);
        EXPECT_EQ(getpixel(dest, 9, 5), 0);
        EXPECT_EQ(getpixel(dest, 18, 10), 0);
        EXPECT_EQ(getpixel(dest, 10, 11), 0);
    }
}

TEST_F(CharacterTest, DrawIsMaskedAndIgnoresAlive)
{
    BitmapPool pool;
    BITMAP *picture = pool.solid(4, 4, colour(200, 10, 10));
    putpixel(picture, 1, 1, maskColour);
    actor.walkFrames[0][0] = picture;
    actor.width = 4;
    actor.height = 4;
    actor.alive = false;
    actor.dying = false;
    BITMAP *dest = pool.solid(10, 10, colour(1, 2, 3));
    actor.draw(dest, 0, 0);
    EXPECT_EQ(getpixel(dest, 0, 0), colour(200, 10, 10));
    EXPECT_EQ(getpixel(dest, 1, 1), colour(1, 2, 3)); // the mask colour is not drawn
}

TEST_F(CharacterTest, DrawingPartlyOrFarOffTheViewIsSafe)
{
    BitmapPool pool;
    giveDistinctFrames(actor, pool, 8, 8);
    BITMAP *dest = pool.solid(32, 32, 0);
    // Half off the left edge: the visible half is drawn.
    actor.x = -4;
    actor.y = 0;
    actor.draw(dest, 0, 0);
    EXPECT_EQ(getpixel(dest, 0, 0), walkColour(0, 0));
    EXPECT_EQ(getpixel(dest, 3, 7), walkColour(0, 0));
    EXPECT_EQ(getpixel(dest, 4, 0), 0);
    // Positions and cameras at the 32-bit limits draw nothing and do not wrap.
    clear_to_color(dest, 0);
    const struct {
        int32_t x, y, camX, camY;
    } far[] = {{INT32_MAX, INT32_MAX, 0, 0},
               {INT32_MIN, INT32_MIN, 0, 0},
               {INT32_MAX, 0, INT32_MIN, 0},
               {0, INT32_MIN, 0, INT32_MAX},
               {INT32_MIN, 0, INT32_MAX, 0}};
    for (const auto &f : far) {
        actor.x = f.x;
        actor.y = f.y;
        actor.draw(dest, f.camX, f.camY);
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(getpixel(dest, x, y), 0) << x << "," << y;
}

TEST_F(CharacterTest, FramesOutsideTheTablesAndEmptyEntriesDrawNothing)
{
    BitmapPool pool;
    giveDistinctFrames(actor, pool, 8, 8);
    BITMAP *dest = pool.solid(16, 16, 0);
    const struct {
        bool attacking;
        int32_t facing, frame;
    } cases[] = {{false, 8, 0}, {false, -1, 0}, {false, 0, 8}, {false, 0, -1}, {true, 0, 13}, {true, 9, 2}};
    for (const auto &c : cases) {
        actor.attacking = c.attacking;
        actor.facing = c.facing;
        actor.frame = c.frame;
        actor.draw(dest, 0, 0);
        EXPECT_EQ(getpixel(dest, 0, 0), 0) << c.attacking << " " << c.facing << " " << c.frame;
    }
    Character empty; // a villager-like actor without pictures
    empty.width = 8;
    empty.height = 8;
    empty.draw(dest, 0, 0);
    EXPECT_EQ(getpixel(dest, 0, 0), 0);
}

// --- cutting sheets -------------------------------------------------------

namespace
{

int cellColour(int row, int column)
{
    return colour(10 + 17 * row, 5 + 13 * column, 90);
}

// A sheet of rows x columns solid cells of w x h starting at (ox, oy), with
// a different colour around them.
BITMAP *makeSheet(BitmapPool &pool, int rows, int columns, int w, int h, int ox = 0, int oy = 0)
{
    BITMAP *sheet = pool.solid(ox + columns * w + 3, oy + rows * h + 3, colour(1, 1, 1));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            rectfill(sheet, ox + c * w, oy + r * h, ox + c * w + w - 1, oy + r * h + h - 1, cellColour(r, c));
    return sheet;
}

void expectSolidCell(BITMAP *cell, int w, int h, int fill)
{
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->w, w);
    ASSERT_EQ(cell->h, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(getpixel(cell, x, y), fill) << x << "," << y;
}

uint64_t checksum(BITMAP *b)
{
    uint64_t sum = 1469598103934665603ull;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x)
            sum = (sum ^ uint32_t(getpixel(b, x, y))) * 1099511628211ull;
    return sum;
}

} // namespace

TEST_F(CharacterTest, CutCellFindsCellsInReadingOrder)
{
    BitmapPool pool;
    BITMAP *walking = makeSheet(pool, 8, 8, 5, 4);
    BITMAP *attack = makeSheet(pool, 8, 13, 3, 6);
    BITMAP *offset = makeSheet(pool, 2, 3, 4, 4, 7, 2);
    const uint64_t before = checksum(walking);
    struct Case {
        BITMAP *sheet;
        int w, h, ox, oy, columns, index, row, column;
    } cases[] = {
        {walking, 5, 4, 0, 0, 8, 0, 0, 0},    // cell 0 at the origin
        {walking, 5, 4, 0, 0, 8, 8, 1, 0},    // cell `columns`: first of the second row
        {walking, 5, 4, 0, 0, 8, 63, 7, 7},   // the last walking frame facing left
        {attack, 3, 6, 0, 0, 13, 103, 7, 12}, // the last attack frame facing left
        {attack, 3, 6, 0, 0, 13, 14, 1, 1},
        {offset, 4, 4, 7, 2, 3, 5, 1, 2}, // from an origin inside the sheet
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("cell " + std::to_string(c.index));
        BITMAP *cell = pool.adopt(cutCell(c.sheet, c.w, c.h, c.ox, c.oy, c.columns, c.index));
        expectSolidCell(cell, c.w, c.h, cellColour(c.row, c.column));
    }
    EXPECT_EQ(checksum(walking), before); // cutting only reads the sheet
}

TEST_F(CharacterTest, CutCellWithOneColumnTakesTheRectangleAtTheOrigin)
{
    BitmapPool pool;
    // A bar picture as the HUD uses it: frame 130 x 14 at (0, 0), pip 6 x 10 at (130, 2).
    BITMAP *bar = pool.solid(136, 14, maskColour);
    rectfill(bar, 0, 0, 129, 13, colour(64, 64, 64));
    rectfill(bar, 130, 2, 135, 11, colour(224, 32, 32));
    const uint64_t before = checksum(bar);
    BITMAP *frame = pool.adopt(cutCell(bar, 130, 14, 0, 0, 1, 0));
    BITMAP *pip = pool.adopt(cutCell(bar, 6, 10, 130, 2, 1, 0));
    expectSolidCell(frame, 130, 14, colour(64, 64, 64));
    expectSolidCell(pip, 6, 10, colour(224, 32, 32));
    EXPECT_EQ(checksum(bar), before);
    // The mask colour is copied like any other pixel.
    BITMAP *masked = pool.adopt(cutCell(bar, 6, 2, 130, 0, 1, 0));
    expectSolidCell(masked, 6, 2, maskColour);
}

TEST_F(CharacterTest, CutSheetFillsTheTableRowByRowFromAFile)
{
    TempFolder folder;
    BitmapPool pool;
    BITMAP *sheet = makeSheet(pool, 2, 3, 4, 5);
    // Saved under the name of a data file that may have any size (every load
    // goes through the data gate, which knows only the game's files), in place
    // of the folder's link to the real one.
    ASSERT_EQ(unlink("slash.bmp"), 0);
    ASSERT_EQ(save_bitmap("slash.bmp", sheet, nullptr), 0);
    BITMAP *table[2][3] = {};
    cutSheet("slash.bmp", 4, 5, 3, 6, &table[0][0]);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(std::to_string(r) + "," + std::to_string(c));
            pool.adopt(table[r][c]);
            expectSolidCell(table[r][c], 4, 5, cellColour(r, c));
        }
}

TEST_F(CharacterTest, TheHeroSheetsCutIntoFacingRows)
{
    // The generated walking sheet: every cell is 96 x 96 and cells differ.
    BITMAP *walk[facingCount][walkFrameCount] = {};
    cutSheet("Avatar.bmp", 96, 96, walkFrameCount, facingCount * walkFrameCount, &walk[0][0]);
    BitmapPool pool;
    for (auto &row : walk)
        for (BITMAP *b : row) {
            pool.adopt(b);
            ASSERT_EQ(b->w, 96);
            ASSERT_EQ(b->h, 96);
        }
    BITMAP *sheet = pool.adopt(load_bitmap("Avatar.bmp", nullptr));
    ASSERT_NE(sheet, nullptr);
    // Cell 63 is the sheet's bottom-right cell: compare a few pixels.
    for (int p = 0; p < 96; p += 19)
        EXPECT_EQ(getpixel(walk[7][7], p, 95 - p), getpixel(sheet, 7 * 96 + p, 7 * 96 + 95 - p));
    EXPECT_EQ(getpixel(walk[2][5], 48, 48), getpixel(sheet, 5 * 96 + 48, 2 * 96 + 48));
}
