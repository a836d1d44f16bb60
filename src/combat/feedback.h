// feedback.h - what a fight shows beyond the design's pictures: an enemy
// struck flashes white for a few ticks, and a kill leaves a burst of sparks
// that spreads and fades where the enemy stood.
//
// Drawing only: nothing of play reads these counters and nothing here calls
// rand(). Each is started by the event, counted down once per tick by
// advanceFeedback, and drawn from its count; drawing changes nothing.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "sprites/character.h"

constexpr int32_t strikeFlashTicks = 8;  // ticks a struck enemy stays lit
constexpr int strikeFlashStrength = 190; // 0..255: how far its colours move toward white
constexpr int32_t killBurstTicks = 30;   // ticks a kill's burst spreads and fades
constexpr int feedbackSlots = 16;        // flashes and bursts at once; a new one takes the oldest's place

struct StrikeFlash {
    const Character *actor = nullptr; // null: the slot is free
    int32_t left = 0;                 // ticks still to draw, this one included
};
struct KillBurst {
    int64_t x = 0, y = 0; // world centre of the enemy that fell
    int32_t left = 0;     // ticks still to draw, this one included
};
extern StrikeFlash strikeFlashes[feedbackSlots];
extern KillBurst killBursts[feedbackSlots];

// Every flash and burst gone (a new run; tests).
void clearFeedback();
// A swing struck this enemy (or hurt the dark lord in view): it flashes,
// drawn where it stands for as long as the flash lasts.
void startStrikeFlash(const Character &enemy);
// An enemy's death sequence ended: a burst at its centre.
void startKillBurst(const Character &enemy);
// The ticks the flash of this actor still has (0: none).
int32_t strikeFlashLeft(const Character &actor);
// Once per tick of play, after the frame is drawn: one tick of every flash
// and burst (and of the hero's hurt flash) used up.
void advanceFeedback();
// The flashes over the enemies they light, and the bursts, in view.
void drawFeedback(int32_t camX, int32_t camY, BITMAP *dest);
