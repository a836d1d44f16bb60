// character.cpp - moves, animation and drawing of a Character.

#include "sprites/character.h"

#include "sprites/overlay.h"

#include "world/coords.h"

void Character::moveRight(int32_t bound, int32_t step)
{
    if (attacking)
        return;
    x = addClamped(x, step);
    const int32_t limit = addClamped(bound - width, 20); // 20 px past the right edge
    if (x > limit)
        x = limit;
    facing = faceRight;
    animateWalk();
}

void Character::moveLeft(int32_t bound, int32_t step)
{
    if (attacking)
        return;
    x = addClamped(x, -int64_t(step));
    const int32_t limit = addClamped(bound, -25); // 25 px past the left edge
    if (x < limit)
        x = limit;
    facing = faceLeft;
    animateWalk();
}

void Character::moveDown(int32_t bound, int32_t step)
{
    if (attacking)
        return;
    y = addClamped(y, step);
    const int32_t limit = addClamped(bound, -int64_t(height));
    if (y > limit)
        y = limit;
    // A vertical move made while facing plain right or left turns diagonal.
    facing = facing == faceRight ? faceDownRight : facing == faceLeft ? faceDownLeft : faceDown;
    animateWalk();
}

void Character::moveUp(int32_t bound, int32_t step)
{
    if (attacking)
        return;
    y = addClamped(y, -int64_t(step));
    if (y < bound)
        y = bound;
    facing = facing == faceRight ? faceUpRight : facing == faceLeft ? faceUpLeft : faceUp;
    animateWalk();
}

void Character::animateWalk()
{
    tick += 1;
    if (tick > ticksPerFrame) {
        tick = 0;
        frame += 1;
        if (frame > lastWalkFrame)
            frame = 0;
    }
}

void Character::startAttack()
{
    attacking = true;
    tick = 0;
    frame = 0;
}

void Character::animateAttack()
{
    tick += 1;
    if (tick > attackTicksPerFrame) {
        tick = 0;
        frame += 1;
        if (frame > lastAttackFrame) {
            attacking = false;
            frame = 7; // the last walking frame: the next change wraps to 0
        }
    }
}

BITMAP *Character::currentPicture() const
{
    if (facing < 0 || facing >= facingCount || frame < 0)
        return nullptr;
    if (attacking)
        return frame < attackFrameCount ? attackFrames[facing][frame] : nullptr;
    return frame < walkFrameCount ? walkFrames[facing][frame] : nullptr;
}

BITMAP *Character::frameInView(const BITMAP *dest, int32_t camX, int32_t camY, int &sx, int &sy) const
{
    BITMAP *picture = currentPicture();
    if (!picture)
        return nullptr; // entries a set-up leaves empty are never drawn
    // Worked out in 64 bits: a far-away actor (a saved position at the 32-bit
    // limits) is simply off the view, and the library never sees a wrapped value.
    const int64_t screenX = int64_t(x) - camX;
    const int64_t screenY = int64_t(y) - camY;
    if (screenX >= dest->w || screenY >= dest->h || screenX + width <= 0 || screenY + height <= 0)
        return nullptr;
    sx = int(screenX);
    sy = int(screenY);
    markOverlayUnder(x, y, width, height); // drawn now: what stands in front covers it
    return picture;
}

void Character::draw(BITMAP *dest, int32_t camX, int32_t camY) const
{
    int sx = 0, sy = 0;
    BITMAP *picture = frameInView(dest, camX, camY, sx, sy);
    if (!picture)
        return;
    // The frame in use is valid here: frameInView found its picture.
    const RLE_SPRITE *rle = attacking ? attackRle[facing][frame] : walkRle[facing][frame];
    if (rle && rle->w == width && rle->h == height)
        draw_rle_sprite(dest, rle, sx, sy);
    else
        masked_blit(picture, dest, 0, 0, sx, sy, width, height);
}
