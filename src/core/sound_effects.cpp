// sound_effects.cpp - the effect seam: Allegro's sample calls with a repeat
// limit, a pan from the screen and a volume that follows the music's.

#include "core/sound_effects.h"

#include "core/music.h"
#include "core/screen.h"

// Volumes set by measurement against each track (the data tests hold them
// there): every effect's loudest 100 ms louder than the music's integrated
// loudness, no peak above the music's peak, a busy fight's mix below full scale.
const SoundEffectInfo soundEffects[soundEffectCount] = {
    {"sfx_swing.wav", "swing", 97},      {"sfx_hit.wav", "hit", 150},
    {"sfx_boss.wav", "boss", 114},       {"sfx_hurt.wav", "hurt", 143},
    {"sfx_jewel.wav", "jewel", 190},     {"sfx_levelup.wav", "levelup", 170},
    {"sfx_heal.wav", "heal", 157},       {"sfx_gameover.wav", "gameover", 123},
    {"sfx_victory.wav", "victory", 170}, {"sfx_page.wav", "page", 210},
    {"sfx_saved.wav", "saved", 170},
};

int32_t effectStarts[soundEffectCount];

static SAMPLE *samples[soundEffectCount];
static bool enabled = true;
static int64_t tickClock = 0;                                     // ticks since start-up
static int64_t nextAllowed[soundEffectCount] = {};                // first tick each effect may start again
static int64_t viewX = 0, viewY = 0;                              // camera of the last advance, world pixels
constexpr int viewWidth = screenWidth, viewHeight = screenHeight; // pixels

void setSoundEffectSample(SoundEffect effect, SAMPLE *sample)
{
    samples[effect] = sample;
    if (sample)
        sample->priority = effectPriority;
}

void setSoundEffectsEnabled(bool on)
{
    enabled = on;
}

void advanceSoundEffects(int32_t camX, int32_t camY)
{
    tickClock += 1;
    viewX = camX;
    viewY = camY;
}

int effectPan(int64_t screenX)
{
    const int64_t x = screenX < 0 ? 0 : screenX > viewWidth ? viewWidth : screenX;
    return effectPanLeft + int(x * (effectPanRight - effectPanLeft) / viewWidth);
}

static void start(SoundEffect effect, int pan)
{
    if (!enabled)
        return;
    if (tickClock < nextAllowed[effect])
        return;
    nextAllowed[effect] = tickClock + effectRepeatTicks;
    effectStarts[effect] += 1;
    if (samples[effect]) {
        const int volume = soundEffects[effect].volume * musicVolumeNow() / musicVolumeFull;
        play_sample(samples[effect], volume, pan, musicFrequencyNormal, 0);
    }
}

void playEffect(SoundEffect effect)
{
    start(effect, musicPanCentre);
}

void playEffectAt(SoundEffect effect, int64_t worldX)
{
    start(effect, effectPan(worldX - viewX));
}

bool inEffectsView(int64_t x, int64_t y, int64_t w, int64_t h)
{
    return x < viewX + viewWidth && x + w > viewX && y < viewY + viewHeight && y + h > viewY;
}

void clearEffectStarts()
{
    for (int32_t &n : effectStarts)
        n = 0;
}
