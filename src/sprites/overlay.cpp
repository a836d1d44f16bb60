// overlay.cpp - the overlay's cells, cut from their atlas as RLE sprites.

#include "sprites/overlay.h"

#include "core/failure.h"
#include "sprites/data_check.h"

static RLE_SPRITE *cells[overlayCellsPerSide][overlayCellsPerSide] = {};
static bool loaded = false;
static int cellCount = 0;

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

void drawOverlay(BITMAP *dest, int32_t camX, int32_t camY)
{
    // In 64 bits: a saved camera at the 32-bit limits is simply off the world.
    const int64_t left = int64_t(camX), top = int64_t(camY);
    const int64_t firstColumn = left < 0 ? 0 : left / overlayCellSize;
    const int64_t firstRow = top < 0 ? 0 : top / overlayCellSize;
    const int64_t lastColumn = (left + dest->w - 1) / overlayCellSize;
    const int64_t lastRow = (top + dest->h - 1) / overlayCellSize;
    for (int64_t row = firstRow; row <= lastRow && row < overlayCellsPerSide; ++row)
        for (int64_t column = firstColumn; column <= lastColumn && column < overlayCellsPerSide; ++column)
            if (const RLE_SPRITE *sprite = cells[row][column])
                draw_rle_sprite(dest, sprite, int(column * overlayCellSize - left),
                                int(row * overlayCellSize - top));
}

int overlayCellCount()
{
    return cellCount;
}
