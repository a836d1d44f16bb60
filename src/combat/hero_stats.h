// hero_stats.h - the hero's progress (life, magic, level, experience, jewels),
// the boss's life, healing, levelling up and the HUD bars drawn over each frame.
#pragma once

#include <allegro.h>
#include <cstdint>

struct HeroStats {
    int32_t life = 25;         // points; the game is lost below 1
    int32_t maxLife = 25;      // healing's upper bound, restored by a level-up
    int32_t magic = 20;        // points, 2 spent per heal
    int32_t maxMagic = 20;     // restored by a level-up
    int32_t level = 1;         // raises the damage a swing does to the boss
    int32_t nextLevelExp = 10; // experience needed for the next level
    int32_t experience = 0;    // collected in the whole game, never lowered
    int32_t jewelCount = 0;    // jewels collected, 0..3
};

extern HeroStats heroStats;
extern int32_t bossLife; // 200 at the start; the boss is beaten at 0 or below

constexpr int32_t bossStartLife = 200;
constexpr int32_t healCost = 2; // magic points

extern BITMAP *barFrame; // 130 x 14, behind each bar
extern BITMAP *lifePip;  // 6 x 10, one life point
extern BITMAP *magicPip; // 6 x 10, one magic point

// Both values back to their starting values (a new run; tests and replays).
void resetHeroStats();

void setUpHud();
// The HUD, drawn in this order over each frame: a dark panel behind it all,
// the two bars, a socket for each of the three jewels with the taken ones in
// them, then the level and the experience toward the next level.
void drawHudPanel(BITMAP *dest);
void drawLifeBar(BITMAP *dest);
void drawMagicBar(BITMAP *dest);
void drawJewelIcons(BITMAP *dest);
void drawLevelAndExperience(BITMAP *dest);
// All of the above, the same pixels, from a picture of the HUD that is drawn
// again only when a figure it shows has changed.
void drawHud(BITMAP *dest);

// Right Shift: 2 magic for a quarter of maxLife, never past maxLife.
void heal();
// After each experience award: at most one level per call.
void levelUp();
