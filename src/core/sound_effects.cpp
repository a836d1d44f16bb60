// sound_effects.cpp - the effect seam: Allegro's sample calls with a repeat
// limit, a pan from the screen and a volume that follows the music's.

#include "core/sound_effects.h"

#include <algorithm>

#include "core/music.h"
#include "core/screen.h"

// Volumes set by measurement against each track (the data tests hold them
// there): every effect's loudest 100 ms louder than the integrated loudness of
// the music at full volume ducked under it, no peak above that music's peak,
// a busy fight's mix below full scale.
const SoundEffectInfo soundEffects[soundEffectCount] = {
    {"sfx_swing.wav", "swing", 68}, {"sfx_hit.wav", "hit", 75},           {"sfx_boss.wav", "boss", 57},
    {"sfx_hurt.wav", "hurt", 71},   {"sfx_jewel.wav", "jewel", 95},       {"sfx_levelup.wav", "levelup", 85},
    {"sfx_heal.wav", "heal", 78},   {"sfx_gameover.wav", "gameover", 61}, {"sfx_victory.wav", "victory", 85},
    {"sfx_page.wav", "page", 100},  {"sfx_saved.wav", "saved", 85},
};

int32_t effectStarts[soundEffectCount];

static SAMPLE *samples[soundEffectCount];
static bool enabled = true;
static int64_t tickClock = 0;                      // ticks since start-up
static int64_t nextAllowed[soundEffectCount] = {}; // first tick each effect may start again
static int64_t duckUntil = 0;                      // first tick with no effect sounding
static int pendingPan[soundEffectCount];           // pan of an effect to sound next tick; 0: none
static int64_t viewX = 0, viewY = 0;               // camera of the last advance, world pixels
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
    // Effects asked for in the last tick sound now, a tick after the music
    // was asked to fall: the mixer applies the fall about 10 ms late, and a
    // strike or a page has most of its sound in its first 20 ms.
    for (int e = 0; e < soundEffectCount; ++e)
        if (pendingPan[e]) {
            const int volume = soundEffects[e].volume * musicVolumeNow() / musicVolumeFull;
            if (samples[e])
                play_sample(samples[e], volume, pendingPan[e], musicFrequencyNormal, 0);
            pendingPan[e] = 0;
        }
    if (musicDucked() && tickClock >= duckUntil)
        duckMusic(false);
    viewX = camX;
    viewY = camY;
}

int effectPan(int64_t screenX)
{
    const int64_t x = screenX < 0 ? 0 : screenX > viewWidth ? viewWidth : screenX;
    return effectPanLeft + int(x * (effectPanRight - effectPanLeft) / viewWidth);
}

// Ticks from a sample's start to the first tick after its end.
static int64_t soundingTicks(const SAMPLE &s)
{
    constexpr int64_t ticksPerSecond = 100; // the game's tick rate
    return s.freq > 0 ? (int64_t(s.len) * ticksPerSecond + s.freq - 1) / s.freq : 0;
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
        duckUntil = std::max(duckUntil, tickClock + 1 + soundingTicks(*samples[effect]));
        duckMusic(true);
        pendingPan[effect] = pan; // sounds at the next advance (pans are 64..191, never 0)
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
