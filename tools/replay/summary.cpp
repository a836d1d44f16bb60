// summary.cpp - the replay summary.

#include "summary.h"

#include "actors/roster.h"
#include "combat/hero_stats.h"
#include "core/music.h"

namespace
{

const char *trackName(const ShellState &s, const SAMPLE *track)
{
    if (!track)
        return "none";
    if (track == s.titleTrack)
        return "title";
    if (track == s.homeTrack)
        return "home";
    if (track == s.southWestTrack)
        return "southWest";
    if (track == s.eastTrack)
        return "east";
    return "other";
}

void printActor(FILE *out, const char *kind, int index, const Character &c)
{
    std::fprintf(out, "%s %d: x %d y %d facing %d frame %d alive %d dying %d step %d wander %d/%d\n", kind,
                 index, c.x, c.y, c.facing, c.frame, c.alive, c.dying, c.stepCounter, c.wanderDirection,
                 c.wanderCounter);
}

} // namespace

void printSummary(FILE *out, const ShellState &s)
{
    const Character &h = s.hero;
    std::fprintf(out, "titleStage %d resumed %d backdrop %s\n", s.titleStage, s.resumedFromSave,
                 s.backdropName ? s.backdropName : "none");
    std::fprintf(out, "camera %d %d zone %d\n", s.cameraX, s.cameraY, s.musicZone);
    std::fprintf(out, "hero: x %d y %d facing %d frame %d tick %d attacking %d\n", h.x, h.y, h.facing,
                 h.frame, h.tick, h.attacking);
    const HeroStats &st = heroStats;
    std::fprintf(out, "stats: life %d/%d magic %d/%d level %d experience %d next %d jewels %d bossLife %d\n",
                 st.life, st.maxLife, st.magic, st.maxMagic, st.level, st.experience, st.nextLevelExp,
                 st.jewelCount, bossLife);
    for (int i = 0; i < jewelCount; ++i)
        std::fprintf(out, "jewel %d: alive %d\n", i, jewels[i].alive);
    printActor(out, "boss", 0, boss);
    for (int i = 0; i < lizardCount; ++i)
        printActor(out, "lizard", i, lizards[i]);
    for (int i = 0; i < ogreCount; ++i)
        printActor(out, "ogre", i, ogres[i]);
    for (int i = 0; i < musicLogLength; ++i)
        std::fprintf(out, "music %d: %s %s volume %d loop %d\n", i, musicLog[i].play ? "play" : "stop",
                     trackName(s, musicLog[i].track), musicLog[i].volume, musicLog[i].loop);
}
