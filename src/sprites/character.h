// character.h - Character, the one object behind every actor: the hero, the
// boss, lizards, ogres, villagers and jewels.
//
// A Character knows nothing of grids, keys or other actors: movers ask the cell
// probes first and only then call a move, which clamps to the world's edges.
// Durations are in ticks (one main-loop iteration, 1/100 s).
#pragma once

#include <allegro.h>
#include <cstdint>

// Facing codes number the rows of every sheet and frame table.
enum Facing : int32_t {
    faceRight = 0,
    faceUp = 1,
    faceUpRight = 2,
    faceUpLeft = 3,
    faceDown = 4,
    faceDownRight = 5,
    faceDownLeft = 6,
    faceLeft = 7,
};

constexpr int facingCount = 8;
constexpr int walkFrameCount = 8;
constexpr int attackFrameCount = 13;

class Character
{
  public:
    Character() = default;
    virtual ~Character() = default; // releases nothing: frames are shared handles

    int32_t x = 0;                   // world x of the sprite's top-left corner, pixels
    int32_t y = 0;                   // world y of the top-left corner, pixels, y downwards
    int32_t facing = faceRight;      // row of the frame tables
    int32_t frame = 0;               // column of the frame table in use
    int32_t lastWalkFrame = 7;       // animateWalk wraps after it
    int32_t tick = 0;                // ticks within the frame; the death timer when dying
    int32_t ticksPerFrame = 40;      // a walking frame lasts ticksPerFrame + 1 ticks
    int32_t attackTicksPerFrame = 6; // an attack frame lasts 7 ticks
    int32_t lastAttackFrame = 12;    // highest attack frame
    int32_t stepCounter = 0;         // wandering throttle, ticks; death phase when not alive
    int32_t wanderCounter = 0;       // steps taken in the current wandering direction
    int32_t wanderDirection = 0;     // current WanderDirection
    int32_t width = 0;               // sprite width, pixels
    int32_t height = 0;              // sprite height, pixels
    bool alive = true;               // present in the world
    bool attacking = false;          // the attack animation is running
    bool dying = false;              // the death sequence is running
    BITMAP *walkFrames[facingCount][walkFrameCount] = {};     // [facing][frame]
    BITMAP *attackFrames[facingCount][attackFrameCount] = {}; // [facing][frame]
    // The same frames as RLE sprites where the set-up made them (the same
    // pixels, drawn by skipping transparent runs); draw() prefers them.
    RLE_SPRITE *walkRle[facingCount][walkFrameCount] = {};
    RLE_SPRITE *attackRle[facingCount][attackFrameCount] = {};

    // One clamped step. Callers pass step 4, the picture's width to moveRight,
    // its height to moveDown and 0 to moveLeft and moveUp. Nothing happens while
    // attacking.
    void moveRight(int32_t bound, int32_t step);
    void moveLeft(int32_t bound, int32_t step);
    void moveDown(int32_t bound, int32_t step);
    void moveUp(int32_t bound, int32_t step);

    void animateWalk();   // one tick of the walking animation
    void startAttack();   // attack frame 0, tick 0
    void animateAttack(); // one tick; ends on the 91st call with frame 7

    // The picture of the current frame, or null where the set-up left none.
    BITMAP *currentPicture() const;
    // The current frame when any of it falls on `dest` at the position minus
    // the camera, with that screen place in (sx, sy); else null.
    BITMAP *frameInView(const BITMAP *dest, int32_t camX, int32_t camY, int &sx, int &sy) const;
    // Masked draw of the current frame at the position minus the camera.
    void draw(BITMAP *dest, int32_t camX, int32_t camY) const;
};
