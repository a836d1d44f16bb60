// shell_state.h - ShellState, the values the game's main function owns for the
// whole run, and the screen constants.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "core/screen.h"
#include "sprites/character.h"

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
    SAMPLE *victoryTrack = nullptr;     // "BGM_victory.wav", looped once the victory fanfare ends
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
    bool savedTold = false;             // this F1 press already told of a save made
    bool saveAsked = false;             // F1 was down during a swing: save when it ends
    int32_t noticeTicks = 0;            // ticks the save notice still shows
    const char *noticeText = nullptr;   // the save notice: savedNoticeText or "Could not save: ..."
    int32_t victoryThemeWait = 0;       // ticks until the victory theme starts; 0: none waits
};

constexpr int32_t saveNoticeTicks = 200; // a save, made or failed, is told for 2 seconds
extern const char savedNoticeText[];     // "Saved"
// The victory theme starts this many ticks after the victory picture first
// stands: the fanfare (3.2 s) has ended by then.
constexpr int32_t victoryThemeDelayTicks = 330;

// Destroys the current backdrop and loads `fileName` in its place.
void replaceBackdrop(ShellState &state, const char *fileName);

// The zone track of a music zone, or null for a zone outside 0..2.
SAMPLE *zoneTrack(const ShellState &state, int32_t zone);
