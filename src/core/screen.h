// screen.h - the size of the game's screen, which the back buffer, the
// camera's view and the stereo field of the sound effects all share.
#pragma once

constexpr int screenWidth = 640; // pixels; the back buffer's size too
constexpr int screenHeight = 480;
