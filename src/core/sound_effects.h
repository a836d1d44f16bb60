// sound_effects.h - the short sounds that answer the player's actions: a
// swing, a strike, a wound, a jewel, a level, a heal, the two ends, a page and
// a save made.
//
// Effects only ever sound: nothing of play reads them, and they never call
// rand(). Each plays on its own voice at a priority below the music's, so a
// storm of effects can never take the music's voice; one effect restarts at
// most once every effectRepeatTicks; its pan follows the screen x of its
// source; its volume follows the music's, so the balance measured against the
// music at full volume holds after a zone change halves the music too; and
// while any effect sounds the music is ducked (see core/music.h): an effect
// asked for in a tick sounds from the next, after the music has begun to fall.
#pragma once

#include <allegro.h>
#include <cstdint>

enum SoundEffect : int {
    sfxSwing,    // a swing starts
    sfxHit,      // a swing strikes at least one lizard or ogre
    sfxBoss,     // a swing hurts the dark lord while he is in view
    sfxHurt,     // an enemy's touch costs the hero life
    sfxJewel,    // a jewel is taken
    sfxLevelUp,  // a level is gained
    sfxHeal,     // a heal restores life
    sfxGameOver, // the game is lost
    sfxVictory,  // the game is won
    sfxPage,     // ENTER turns a title or story page
    sfxSaved,    // F1 saved the game
    soundEffectCount
};

struct SoundEffectInfo {
    const char *file; // in the data folder
    const char *name; // for reports
    int volume;       // 0..255, when the music plays at full volume (ducked under it)
};
extern const SoundEffectInfo soundEffects[soundEffectCount];

constexpr int effectPriority = 64;        // below musicPriority: effects never take the music's voice
constexpr int32_t effectRepeatTicks = 10; // least ticks between two starts of one effect
constexpr int effectPanLeft = 64;         // pan at the screen's left edge (0..255): never one ear
constexpr int effectPanRight = 191;       // pan at the screen's right edge

// The loaded sample of an effect (null: that effect stays silent).
void setSoundEffectSample(SoundEffect effect, SAMPLE *sample);
// Off: no effect sounds and none is counted (the replay tool's comparison run).
void setSoundEffectsEnabled(bool enabled);

// Once per tick, title and play: the clock of the repeat limit and the view
// that places sources in the stereo field.
void advanceSoundEffects(int32_t camX, int32_t camY);

// Plays centred, or panned by the world x of its source within the view.
void playEffect(SoundEffect effect);
void playEffectAt(SoundEffect effect, int64_t worldX);
// True when a world rectangle overlaps the view of the last advance.
bool inEffectsView(int64_t x, int64_t y, int64_t w, int64_t h);

// Starts of each effect since the last clear, for replays and tests.
extern int32_t effectStarts[soundEffectCount];
void clearEffectStarts();
// The pan playEffectAt uses for a source at screen x (pixels from the view's left).
int effectPan(int64_t screenX);
