// sheet.cpp - sheet cutting.

#include "sprites/sheet.h"

#include "assets/data_check.h"
#include "core/failure.h"

BITMAP *cutCell(BITMAP *sheet, int32_t cellW, int32_t cellH, int32_t originX, int32_t originY,
                int32_t columns, int32_t index)
{
    BITMAP *cell = create_bitmap(cellW, cellH);
    if (!cell)
        failOutOfMemory("a sprite cell");
    const int32_t sx = originX + (index % columns) * cellW;
    const int32_t sy = originY + (index / columns) * cellH;
    blit(sheet, cell, sx, sy, 0, 0, cellW, cellH);
    return cell;
}

void cutSheet(const char *fileName, int32_t cellW, int32_t cellH, int32_t columns, int32_t cells,
              BITMAP **table)
{
    BITMAP *sheet = loadCheckedPicture(fileName);
    for (int32_t i = 0; i < cells; ++i)
        table[i] = cutCell(sheet, cellW, cellH, 0, 0, columns, i);
    destroy_bitmap(sheet);
}

void makeRleTable(BITMAP *const *table, int32_t cells, RLE_SPRITE **rleTable)
{
    for (int32_t i = 0; i < cells; ++i) {
        rleTable[i] = get_rle_sprite(table[i]);
        if (!rleTable[i])
            failOutOfMemory("a sprite cell");
    }
}
