// overlay.cpp - the overlay's cells, cut from their atlas as RLE sprites.

#include "sprites/overlay.h"

#include <algorithm>

#include "core/failure.h"
#include "assets/data_check.h"

static RLE_SPRITE *cells[overlayCellsPerSide][overlayCellsPerSide] = {};
static bool loaded = false;
static int cellCount = 0;
constexpr int cellTotal = overlayCellsPerSide * overlayCellsPerSide;
static bool marked[cellTotal] = {};
static int16_t markList[cellTotal]; // the marked cells, each once
static int markCount = 0;

void loadOverlay()
{
    if (loaded)
        return;
    BITMAP *atlas = loadCheckedPicture("worldOverlay.bmp");
    BITMAP *cell = create_bitmap(overlayCellSize, overlayCellSize);
    if (!cell)
        failOutOfMemory("an overlay cell");
    const int slotsPerRow = atlas->w / overlayCellSize;
    const int slotRows = atlas->h / overlayCellSize - 1;
    const int depth = bitmap_color_depth(atlas);
    auto bright = [&](int x, int y, int (*channel)(int, int)) {
        return channel(depth, getpixel(atlas, x, y)) > 127;
    };
    for (int k = 0; k < slotsPerRow * slotRows && k / 256 < overlayCellSize; ++k) {
        const int nameX = k % 256 * 12, nameY = k / 256;
        if (nameX + 12 > atlas->w || (bright(nameX, nameY, getr_depth) && !bright(nameX, nameY, getg_depth)))
            break; // the end of the list (magenta)
        int index = 0;
        for (int bit = 0; bit < 12; ++bit)
            index = index << 1 | int(bright(nameX + bit, nameY, getg_depth));
        if (index >= overlayCellsPerSide * overlayCellsPerSide)
            break;
        RLE_SPRITE *&slot = cells[index / overlayCellsPerSide][index % overlayCellsPerSide];
        if (slot)
            continue; // a cell named twice keeps its first picture
        blit(atlas, cell, (k % slotsPerRow) * overlayCellSize, (1 + k / slotsPerRow) * overlayCellSize, 0, 0,
             overlayCellSize, overlayCellSize);
        slot = get_rle_sprite(cell);
        if (!slot)
            failOutOfMemory("an overlay cell");
        ++cellCount;
    }
    destroy_bitmap(cell);
    destroy_bitmap(atlas);
    loaded = true;
}

void markOverlayUnder(int64_t x, int64_t y, int32_t w, int32_t h)
{
    if (w <= 0 || h <= 0)
        return;
    const int64_t side = overlayCellsPerSide, last = side - 1;
    const int64_t column0 = x < 0 ? 0 : x / overlayCellSize, row0 = y < 0 ? 0 : y / overlayCellSize;
    const int64_t right = x + w - 1, bottom = y + h - 1;
    if (right < 0 || bottom < 0)
        return;
    const int64_t column1 = std::min(last, right / overlayCellSize),
                  row1 = std::min(last, bottom / overlayCellSize);
    for (int64_t row = row0; row <= row1; ++row)
        for (int64_t column = column0; column <= column1; ++column) {
            const int index = int(row * side + column);
            if (!marked[index] && cells[row][column]) {
                marked[index] = true;
                markList[markCount++] = int16_t(index);
            }
        }
}

void drawOverlay(BITMAP *dest, int32_t camX, int32_t camY)
{
    // In 64 bits: a saved camera at the 32-bit limits is simply off the world.
    const int64_t left = int64_t(camX), top = int64_t(camY);
    for (int i = 0; i < markCount; ++i) {
        const int index = markList[i];
        marked[index] = false;
        const int64_t sx = int64_t(index % overlayCellsPerSide) * overlayCellSize - left;
        const int64_t sy = int64_t(index / overlayCellsPerSide) * overlayCellSize - top;
        if (sx < dest->w && sy < dest->h && sx > -overlayCellSize && sy > -overlayCellSize)
            draw_rle_sprite(dest, cells[index / overlayCellsPerSide][index % overlayCellsPerSide], int(sx),
                            int(sy));
    }
    markCount = 0;
}

int overlayCellCount()
{
    return cellCount;
}
