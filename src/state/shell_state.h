// shell_state.h - ShellState, the values the game's main function owns for the
// whole run, and the screen constants.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "sprites/character.h"

constexpr int screenWidth = 640; // pixels; the back buffer's size too
constexpr int screenHeight = 480;

// Music zones: which zone track plays during play.
enum MusicZone : int32_t { zoneHome = 0, zoneSouthWest = 1, zoneEast = 2 };

// Title stages: 0 main menu, 1..3 story pages, 4 the sequence has ended.
constexpr int32_t titleStageEnded = 4;

struct ShellState {
    Character hero;                     // set up by setUpHero
    SAMPLE *titleTrack = nullptr;       // "BGM_00009.wav"
    SAMPLE *homeTrack = nullptr;        // zone 0, "BGM_00012.wav"
    SAMPLE *southWestTrack = nullptr;   // zone 1, "BGM_00006.wav"
    SAMPLE *eastTrack = nullptr;        // zone 2, "BGM_00001.wav"
    BITMAP *backdrop = nullptr;         // the one full picture shown now
    const char *backdropName = nullptr; // the file `backdrop` was loaded from
    BITMAP *backBuffer = nullptr;       // every frame is composed here
    int32_t cameraX = 0;                // world x of the view's top-left corner, pixels
    int32_t cameraY = 0;                // world y of the view's top-left corner, pixels
    int32_t musicZone = zoneHome;       // MusicZone of the playing track
    int32_t titleStage = 0;             // 0..4
    bool resumedFromSave = false;       // F2 on the title resumed a saved game
    bool enterReleased = true;          // ENTER went up since the last title stage change
    bool f2Released = true;             // F2 went up since the last resume attempt
    bool saveFailureTold = false;       // this F1 press already told of a failed save
    bool saveAsked = false;             // F1 was down during a swing: save when it ends
    int32_t noticeTicks = 0;            // ticks the save notice still shows
    const char *noticeText = nullptr;   // the save notice, "Could not save: ..."
};

constexpr int32_t saveNoticeTicks = 200; // a failed save is told for 2 seconds

// Destroys the current backdrop and loads `fileName` in its place.
void replaceBackdrop(ShellState &state, const char *fileName);

// The zone track of a music zone, or null for a zone outside 0..2.
SAMPLE *zoneTrack(const ShellState &state, int32_t zone);
