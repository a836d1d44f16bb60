// music.h - starting and stopping the music tracks. Every call goes through here
// so that tests can read back which track was started at which volume.
#pragma once

#include <allegro.h>

constexpr int musicVolumeFull = 255;
constexpr int musicVolumeHalf = 128; // tracks started by a zone change
constexpr int musicPanCentre = 128;
constexpr int musicFrequencyNormal = 1000;
// Each voice's level in the library's mixer (set_volume_per_voice): at 1, the
// library's default, a centred voice at full volume plays at half scale, so
// the music and the effects that sound over it stay below full scale together
// (the data tests mix a busy fight at this level); at 0 it would play at full.
constexpr int voiceVolumeHalvings = 1;
constexpr int musicPriority = 255; // above every sound effect: the music's voice is never taken

// The volume of the track playing now; full volume when none plays.
int musicVolumeNow();

void playMusic(SAMPLE *track, int volume, int pan, int frequency, int loop);
void stopMusic(SAMPLE *track);

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
