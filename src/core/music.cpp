// music.cpp - the music seam: Allegro's sample calls plus a short call log.

#include "core/music.h"

MusicCall musicLog[musicLogSize];
int musicLogLength = 0;
static int volumeNow = musicVolumeFull;
static SAMPLE *trackNow = nullptr; // the track playing now (null: none)
static int voiceNow = -1;          // its voice in the mixer (negative: none)
static bool ducked = false;

// Moves the playing track's voice to a volume over `ms` milliseconds.
static void rampTo(int volume, int ms)
{
    if (trackNow && voiceNow >= 0 && voice_check(voiceNow) == trackNow)
        voice_ramp_volume(voiceNow, ms, volume);
}

static void record(bool play, SAMPLE *track, int volume, int loop)
{
    if (musicLogLength == musicLogSize) { // keep the newest calls
        for (int i = 1; i < musicLogSize; ++i)
            musicLog[i - 1] = musicLog[i];
        musicLogLength -= 1;
    }
    musicLog[musicLogLength++] = MusicCall{play, track, volume, loop};
}

void playMusic(SAMPLE *track, int volume, int pan, int frequency, int loop)
{
    record(true, track, volume, loop);
    volumeNow = volume;
    if (track) {
        track->priority = musicPriority;
        voiceNow = play_sample(track, volume, pan, frequency, loop);
    } else {
        voiceNow = -1;
    }
    trackNow = track;
    if (ducked)
        rampTo(volume >> musicDuckHalvings, musicDuckFallMs);
}

void stopMusic(SAMPLE *track)
{
    record(false, track, 0, 0);
    volumeNow = musicVolumeFull;
    if (track)
        stop_sample(track);
    if (track == trackNow)
        trackNow = nullptr, voiceNow = -1;
}

void duckMusic(bool down)
{
    if (down == ducked)
        return;
    ducked = down;
    if (down)
        rampTo(volumeNow >> musicDuckHalvings, musicDuckFallMs);
    else
        rampTo(volumeNow, musicDuckRiseMs);
}

bool musicDucked()
{
    return ducked;
}

void clearMusicLog()
{
    musicLogLength = 0;
}

int musicVolumeNow()
{
    return volumeNow;
}
