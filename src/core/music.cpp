// music.cpp - the music seam: Allegro's sample calls plus a short call log.

#include "core/music.h"

MusicCall musicLog[musicLogSize];
int musicLogLength = 0;
static int volumeNow = musicVolumeFull;

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
        play_sample(track, volume, pan, frequency, loop);
    }
}

void stopMusic(SAMPLE *track)
{
    record(false, track, 0, 0);
    volumeNow = musicVolumeFull;
    if (track)
        stop_sample(track);
}

void clearMusicLog()
{
    musicLogLength = 0;
}

int musicVolumeNow()
{
    return volumeNow;
}
