// save_file.cpp - writing and reading "heroData.txt".

#include "persist/save_file.h"

#include "persist/save_text.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "actors/roster.h"
#include "combat/hero_stats.h"
#include "shell/music.h"
#include "shell/shell_state.h"

SaveFault saveFault = SaveFault::none;

namespace
{

constexpr size_t maxSaveBytes = 64 * 1024; // a real save is under 200 bytes

bool flushToDisk(const char *path)
{
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

void exportStats(int32_t &level, int32_t &life, int32_t &maxLife, int32_t &magic, int32_t &maxMagic,
                 int32_t &experience, int32_t &nextLevelExp, int32_t &jewel0Taken, int32_t &jewel1Taken,
                 int32_t &jewel2Taken)
{
    level = heroStats.level;
    life = heroStats.life;
    maxLife = heroStats.maxLife;
    magic = heroStats.magic;
    maxMagic = heroStats.maxMagic;
    experience = heroStats.experience;
    nextLevelExp = heroStats.nextLevelExp;
    jewel0Taken = jewels[0].alive ? 0 : 1;
    jewel1Taken = jewels[1].alive ? 0 : 1;
    jewel2Taken = jewels[2].alive ? 0 : 1;
}

void importStats(int32_t level, int32_t life, int32_t maxLife, int32_t magic, int32_t maxMagic,
                 int32_t experience, int32_t nextLevelExp, int32_t jewel0Taken, int32_t jewel1Taken,
                 int32_t jewel2Taken)
{
    // Only a line holding exactly 1 marks a jewel as taken.
    const int32_t taken[jewelCount] = {jewel0Taken, jewel1Taken, jewel2Taken};
    for (int i = 0; i < jewelCount; ++i) {
        if (taken[i] == 1) {
            jewels[i].alive = false;
            heroStats.jewelCount += 1;
        }
    }
    heroStats.level = level;
    heroStats.life = life;
    heroStats.maxLife = maxLife;
    heroStats.magic = magic;
    heroStats.maxMagic = maxMagic;
    heroStats.experience = experience;
    heroStats.nextLevelExp = nextLevelExp;
}

bool saveGame(ShellState &state, SaveStreams &streams)
{
    int32_t stats[10];
    exportStats(stats[0], stats[1], stats[2], stats[3], stats[4], stats[5], stats[6], stats[7], stats[8],
                stats[9]);

    std::ofstream &out = streams.out;
    out.clear(); // start from a stream without the error state of an earlier try
    out.open(saveTempFileName, std::ios_base::out | std::ios_base::trunc);
    if (!out.is_open())
        return false;
    out << state.cameraX << std::endl
        << state.cameraY << std::endl
        << state.hero.x << std::endl
        << state.hero.y << std::endl
        << state.musicZone << std::endl;
    for (int32_t value : stats)
        out << value << std::endl;
    if (saveFault == SaveFault::failWrite)
        out.setstate(std::ios_base::badbit);
    const bool written = !out.fail();
    out.close();
    const bool durable =
        written && !out.fail() && saveFault != SaveFault::failFlush && flushToDisk(saveTempFileName);
    if (!durable || saveFault == SaveFault::failRename || std::rename(saveTempFileName, saveFileName) != 0) {
        std::remove(saveTempFileName);
        return false;
    }
    flushToDisk("."); // the rename itself reaches the disk
    return true;
}

ResumeResult resumeGame(ShellState &state, SaveStreams &streams)
{
    std::ifstream &in = streams.in;
    in.close();
    in.clear();
    in.open(saveFileName, std::ios_base::in);
    if (in.fail()) {
        allegro_message("No saved Found");
        return ResumeResult::noFile;
    }
    static char text[maxSaveBytes + 1]; // static: no large frame on the stack
    in.read(text, maxSaveBytes + 1);
    const size_t length = size_t(in.gcount());
    in.close();
    int32_t v[saveValueCount];
    if (length > maxSaveBytes || !parseSaveText(text, length, v)) {
        allegro_message("The saved game in \"heroData.txt\" is damaged and cannot be resumed.");
        return ResumeResult::damaged;
    }

    state.cameraX = v[0];
    state.cameraY = v[1];
    state.hero.x = v[2];
    state.hero.y = v[3];
    state.musicZone = v[4];
    importStats(v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14]);
    replaceBackdrop(state, "worldMap.bmp");
    stopMusic(state.titleTrack);
    if (SAMPLE *track = zoneTrack(state, state.musicZone))
        playMusic(track, musicVolumeFull, musicPanCentre, musicFrequencyNormal, 33);
    state.resumedFromSave = true;
    state.titleStage = titleStageEnded;
    return ResumeResult::resumed;
}
