// sheet.h - cutting sprite sheets into cell bitmaps.
//
// A sheet is a grid of equal cells laid out row by row from an origin; cell
// `index` lies in column index % columns and row index / columns. Animation
// sheets have one row per Facing and one column per frame. Cut cells are never
// freed during the run; cells that many actors show are cut once and shared.
#pragma once

#include <allegro.h>
#include <cstdint>

// Copies cell `index` of `sheet` into a new cellW x cellH bitmap (plain blit: the
// magenta mask colour is kept for masked drawing).
BITMAP *cutCell(BITMAP *sheet, int32_t cellW, int32_t cellH, int32_t originX, int32_t originY,
                int32_t columns, int32_t index);

// Loads `fileName` through the data gate (assets/data_check.h), cuts rows x
// columns cells of cellW x cellH from (0, 0) into table[row * columns + column]
// (a [facing][frame] table seen flat), and destroys the sheet.
void cutSheet(const char *fileName, int32_t cellW, int32_t cellH, int32_t columns, int32_t cells,
              BITMAP **table);

// An RLE sprite of each of `cells` cut cells, into rleTable (same layout).
void makeRleTable(BITMAP *const *table, int32_t cells, RLE_SPRITE **rleTable);
