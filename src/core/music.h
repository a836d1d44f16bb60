// music.h - starting and stopping the music tracks. Every call goes through here
// so that tests can read back which track was started at which volume.
#pragma once

#include <allegro.h>

constexpr int musicVolumeFull = 255;
constexpr int musicVolumeHalf = 128; // tracks started by a zone change
constexpr int musicPanCentre = 128;
constexpr int musicFrequencyNormal = 1000;
// Each voice's level in the library's mixer (set_volume_per_voice): at 0 a
// centred voice at full volume plays at full scale (the library's default, 1,
// would halve every voice). The music needs it: a zone's track at the half
// volume of a zone change still plays near the title's loudness.
constexpr int voiceVolumeHalvings = 0;
// While an effect sounds, the music's voice plays at half its volume (6 dB
// down): the effects stand out, and the music and the effects of a busy fight
// stay below full scale together (the data tests mix one at this level).
constexpr int musicDuckHalvings = 1;
constexpr int musicDuckFallMs = 5;   // ms: the fall as an effect starts
constexpr int musicDuckRiseMs = 300; // ms: the rise once the last effect has ended
constexpr int musicPriority = 255;   // above every sound effect: the music's voice is never taken

// The volume of the track playing now; full volume when none plays.
int musicVolumeNow();

void playMusic(SAMPLE *track, int volume, int pan, int frequency, int loop);
void stopMusic(SAMPLE *track);
// Down: the playing track, and any started while down, falls to its ducked
// volume; up: it rises back to its volume. The volumes of the calls above (and
// of the log below) stay as the game asked.
void duckMusic(bool down);
bool musicDucked();

// The most recent calls, oldest first, for tests and replays.
struct MusicCall {
    bool play; // false: a stop
    SAMPLE *track;
    int volume;
    int loop;
};
constexpr int musicLogSize = 16;
extern MusicCall musicLog[musicLogSize];
extern int musicLogLength; // calls recorded since the last clear, capped at musicLogSize
void clearMusicLog();
