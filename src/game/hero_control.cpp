// hero_control.cpp - hero set-up, arrow keys, camera and music zones.

#include "game/hero_control.h"

#include "core/music.h"
#include "sprites/sheet.h"
#include "world/coords.h"
#include "world/walk_grids.h"

void setUpHero(ShellState &state)
{
    Character &hero = state.hero;
    cutSheet("Avatar.bmp", 96, 96, walkFrameCount, facingCount * walkFrameCount, &hero.walkFrames[0][0]);
    cutSheet("avatar attacks.bmp", 96, 96, attackFrameCount, facingCount * attackFrameCount,
             &hero.attackFrames[0][0]);
    makeRleTable(&hero.walkFrames[0][0], facingCount * walkFrameCount, &hero.walkRle[0][0]);
    makeRleTable(&hero.attackFrames[0][0], facingCount * attackFrameCount, &hero.attackRle[0][0]);
    hero.width = hero.walkFrames[0][0]->w;
    hero.height = hero.walkFrames[0][0]->h;
    if (!state.resumedFromSave) {
        hero.x = (screenWidth - hero.width) / 2;   // 272
        hero.y = (screenHeight - hero.height) / 2; // 192
    }
}

static void changeZone(ShellState &state, int32_t newZone)
{
    stopMusic(zoneTrack(state, state.musicZone));
    state.musicZone = newZone;
    playMusic(zoneTrack(state, newZone), musicVolumeHalf, musicPanCentre, musicFrequencyNormal, 33);
}

// The zone rules look at the position before the step, stepped or not.
static void musicZoneRule(ShellState &state, int32_t direction)
{
    const Character &hero = state.hero;
    switch (direction) {
    case wanderRight:
        if (hero.x >= eastZoneX && state.musicZone == zoneHome)
            changeZone(state, zoneEast);
        break;
    case wanderLeft:
        if (hero.x <= eastZoneX - 1 && state.musicZone == zoneEast)
            changeZone(state, zoneHome);
        break;
    case wanderDown:
        if (hero.y >= southWestZoneY && hero.x <= southWestZoneMaxX && state.musicZone == zoneHome)
            changeZone(state, zoneSouthWest);
        break;
    case wanderUp:
        if (hero.y <= southWestZoneY - 1 && state.musicZone == zoneSouthWest)
            changeZone(state, zoneHome);
        break;
    default: break;
    }
}

// The camera follows so that, away from the edges, the hero stays mid-screen.
// Each scroll clamps only the end it moves toward.
static void cameraRule(ShellState &state, int32_t direction, int32_t pictureW, int32_t pictureH)
{
    const Character &hero = state.hero;
    const int32_t w = hero.width, h = hero.height;
    switch (direction) {
    case wanderRight:
        if (hero.x >= (screenWidth - w) / 2) {
            state.cameraX = addClamped(state.cameraX, heroStepPixels);
            if (state.cameraX > pictureW - screenWidth)
                state.cameraX = pictureW - screenWidth;
        }
        break;
    case wanderLeft:
        if (hero.x <= pictureW - (screenWidth + w) / 2) {
            state.cameraX = addClamped(state.cameraX, -heroStepPixels);
            if (state.cameraX < 0)
                state.cameraX = 0;
        }
        break;
    case wanderDown:
        if (hero.y >= (screenHeight - h) / 2) {
            state.cameraY = addClamped(state.cameraY, heroStepPixels);
            if (state.cameraY > pictureH - screenHeight)
                state.cameraY = pictureH - screenHeight;
        }
        break;
    case wanderUp:
        if (hero.y <= pictureH - (screenHeight + h) / 2) {
            state.cameraY = addClamped(state.cameraY, -heroStepPixels);
            if (state.cameraY < 0)
                state.cameraY = 0;
        }
        break;
    default: break;
    }
}

void handleArrowKey(ShellState &state, int32_t direction)
{
    Character &hero = state.hero;
    const int32_t pictureW = state.backdrop->w, pictureH = state.backdrop->h;
    musicZoneRule(state, direction);
    if (heroStepFree(direction, hero.x, hero.y)) {
        cameraRule(state, direction, pictureW, pictureH);
        switch (direction) {
        case wanderRight: hero.moveRight(pictureW, heroStepPixels); break;
        case wanderLeft: hero.moveLeft(0, heroStepPixels); break;
        case wanderDown: hero.moveDown(pictureH, heroStepPixels); break;
        case wanderUp: hero.moveUp(0, heroStepPixels); break;
        default: break;
        }
    } else {
        // Blocked: turn to the plain facing of the key and walk on the spot.
        static const int32_t blockedFacing[4] = {faceDown, faceLeft, faceRight, faceUp};
        if (direction >= 0 && direction < 4)
            hero.facing = blockedFacing[direction];
        hero.animateWalk();
    }
}
