// hero_stats.cpp - statistics, healing, levels and the HUD.

#include "combat/hero_stats.h"

#include "actors/roster.h"
#include "assets/data_check.h"
#include "core/sound_effects.h"
#include "sprites/sheet.h"
#include "world/coords.h"

HeroStats heroStats;
int32_t bossLife = bossStartLife;

BITMAP *barFrame;
BITMAP *lifePip;
BITMAP *magicPip;

namespace
{

constexpr int barX = 490; // screen pixels, the frame's top-left corner
constexpr int lifeBarY = 15;
constexpr int magicBarY = 31;
constexpr int pipOffset = 2; // first pip 2 px right of and below the frame corner
constexpr int pipPitch = 5;  // pixels between neighbouring pips (they overlap by 1)
constexpr int jewelIconY = 45;
constexpr int jewelIconSize = 20; // the jewel picture scaled to 20 x 20
constexpr int jewelIconPitch = 25;

// Pips from the frame on, stopping once they would start past the buffer's right
// edge: a saved life of two thousand million costs nothing.
void drawPips(BITMAP *dest, BITMAP *pip, int32_t count, int y)
{
    for (int32_t i = 0; i < count; ++i) {
        const int x = barX + pipOffset + pipPitch * i;
        if (x >= dest->w)
            break;
        draw_sprite(dest, pip, x, y + pipOffset);
    }
}

} // namespace

void resetHeroStats()
{
    heroStats = HeroStats{};
    bossLife = bossStartLife;
}

void setUpHud()
{
    BITMAP *sheet = loadCheckedPicture("life_bar.bmp");
    barFrame = cutCell(sheet, 130, 14, 0, 0, 1, 0);
    lifePip = cutCell(sheet, 6, 10, 130, 2, 1, 0);
    destroy_bitmap(sheet);
    sheet = loadCheckedPicture("magic_bar.bmp");
    magicPip = cutCell(sheet, 6, 10, 130, 2, 1, 0);
    destroy_bitmap(sheet);
}

void drawLifeBar(BITMAP *dest)
{
    draw_sprite(dest, barFrame, barX, lifeBarY);
    drawPips(dest, lifePip, heroStats.life, lifeBarY);
}

void drawMagicBar(BITMAP *dest)
{
    draw_sprite(dest, barFrame, barX, magicBarY);
    drawPips(dest, magicPip, heroStats.magic, magicBarY);
}

void drawJewelIcons(BITMAP *dest)
{
    for (int32_t i = 0; i < heroStats.jewelCount; ++i) {
        const int x = barX + jewelIconPitch * i;
        if (x >= dest->w)
            break;
        stretch_sprite(dest, jewelPicture, x, jewelIconY, jewelIconSize, jewelIconSize);
    }
}

void heal()
{
    HeroStats &s = heroStats;
    if (s.life == s.maxLife)
        return;
    if (s.magic < healCost)
        return;
    s.magic -= healCost;
    const int32_t before = s.life;
    s.life = truncToInt32(s.life + s.maxLife * 0.25);
    if (s.life > s.maxLife)
        s.life = s.maxLife;
    if (s.life > before)
        playEffect(sfxHeal); // the hero is near the view's centre
}

void levelUp()
{
    HeroStats &s = heroStats;
    if (s.experience < s.nextLevelExp)
        return;
    s.level = addClamped(s.level, 1);
    s.nextLevelExp = truncToInt32(s.level * 0.5 * 10 + s.nextLevelExp);
    s.life = s.maxLife;
    s.magic = s.maxMagic;
    playEffect(sfxLevelUp);
}
