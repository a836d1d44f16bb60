// overlay.h - what rises higher than a figure (roofs, wall tops, tree crowns),
// drawn over the figures each tick from the camera, as the world is.
//
// "worldOverlay.bmp" is an atlas of the overlay's non-empty 64 x 64 cells of
// the world, magenta where nothing is. Slot k lies at ((k % 50) * 64,
// 64 + (k / 50) * 64); the band above the slots names each slot's world cell
// (row * 50 + column) in 12 pixels from (k % 256 * 12, k / 256), the highest
// bit first, white for 1 and black for 0, so any colour depth reads it. A
// magenta pixel where a slot's name would start ends the list. Each named
// cell becomes an RLE sprite: drawing it skips the transparent runs instead
// of testing every pixel.
#pragma once

#include <allegro.h>
#include <cstdint>

constexpr int overlayCellSize = 64; // pixels
constexpr int overlayCellsPerSide = 50;

// Loads the atlas through the data gate and keeps its cells; a second call
// does nothing.
void loadOverlay();

// Marks the cells under a figure's picture (world place and size): every
// figure drawn this tick. Where no figure stands the world picture already
// shows the overlay's pixels, so only marked cells need drawing again.
void markOverlayUnder(int64_t x, int64_t y, int32_t w, int32_t h);

// Draws the marked cells that the view of `dest`'s size at the camera
// touches, and clears every mark.
void drawOverlay(BITMAP *dest, int32_t camX, int32_t camY);

// How many cells are held (for the tests and the benchmark).
int overlayCellCount();
