// pages.h - how the end pictures repeat their message. The 3200 x 3200 end
// pictures are one tile repeated from (0, 0); each tile holds one whole
// message box. A box no wider than 640 - tile width + 1 and no taller than
// 480 - tile height + 1 always fits whole in any 640 x 480 view.
#pragma once

constexpr int endTileW = 320, endTileH = 240; // the repeat
constexpr int endBoxX = 1, endBoxY = 20;      // the box inside its tile
constexpr int endBoxW = 318, endBoxH = 200;
static_assert(endTileW + endBoxW <= 641 && endTileH + endBoxH <= 481, "a view must hold one whole box");
static_assert(endBoxX + endBoxW <= endTileW && endBoxY + endBoxH <= endTileH, "the box lies inside its tile");
