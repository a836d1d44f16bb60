// hero_stats.cpp - statistics, healing, levels and the HUD.

#include "combat/hero_stats.h"

#include <cstdio>

#include "actors/roster.h"
#include "assets/data_check.h"
#include "core/screen.h"
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
constexpr int jewelSockets = 3; // one for each jewel of the world, taken or not

// The panel behind the HUD, so bars, jewels and text read over any ground.
constexpr int panelLeft = 484, panelTop = 9, panelRight = 631, panelBottom = 97;
constexpr int levelTextY = 70; // "LEVEL n", then "XP e/n" below
constexpr int experienceTextY = 80;
constexpr int experienceBarY = 91; // 130 x 3 pixels: experience over the next level's threshold
constexpr int experienceBarWidth = 130;

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

// The HUD as last drawn, in screen coordinates, and the figures it shows: it is
// drawn again only when one of them changes, and otherwise copied whole (a
// fight changes it a few times a second, not sixty).
BITMAP *hudPicture; // screen-wide, down to the panel's bottom; made at set-up (or first use)
struct HudFigures {
    int32_t life, magic, jewelCount, level, experience, nextLevelExp;
    const BITMAP *pictures[4]; // frame, pips, jewel: fixed once set up, but tests swap them
    bool operator==(const HudFigures &o) const
    {
        return life == o.life && magic == o.magic && jewelCount == o.jewelCount && level == o.level &&
               experience == o.experience && nextLevelExp == o.nextLevelExp && pictures[0] == o.pictures[0] &&
               pictures[1] == o.pictures[1] && pictures[2] == o.pictures[2] && pictures[3] == o.pictures[3];
    }
};
HudFigures hudShows;
bool hudDrawn = false;

void drawHudParts(BITMAP *dest)
{
    drawHudPanel(dest);
    drawLifeBar(dest);
    drawMagicBar(dest);
    drawJewelIcons(dest);
    drawLevelAndExperience(dest);
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
    if (!hudPicture)
        hudPicture = create_bitmap(screenWidth, panelBottom + 1);
}

void drawHud(BITMAP *dest)
{
    if (!hudPicture)
        hudPicture = create_bitmap(screenWidth, panelBottom + 1);
    if (!hudPicture || bitmap_color_depth(hudPicture) != bitmap_color_depth(dest) ||
        hudPicture->w != dest->w) {
        drawHudParts(dest); // no picture to keep it in: drawn in full
        return;
    }
    const HeroStats &s = heroStats;
    const HudFigures now{s.life,
                         s.magic,
                         s.jewelCount,
                         s.level,
                         s.experience,
                         s.nextLevelExp,
                         {barFrame, lifePip, magicPip, jewelPicture}};
    if (!hudDrawn || !(now == hudShows)) {
        clear_to_color(hudPicture, bitmap_mask_color(hudPicture));
        drawHudParts(hudPicture);
        hudShows = now;
        hudDrawn = true;
    }
    blit(hudPicture, dest, panelLeft, panelTop, panelLeft, panelTop, panelRight - panelLeft + 1,
         panelBottom - panelTop + 1);
    // What runs out of the panel to the right (pips of a life past 27 points, a
    // long figure) stands over the world there.
    masked_blit(hudPicture, dest, panelRight + 1, panelTop, panelRight + 1, panelTop,
                screenWidth - panelRight - 1, panelBottom - panelTop + 1);
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

void drawHudPanel(BITMAP *dest)
{
    rectfill(dest, panelLeft, panelTop, panelRight, panelBottom, makecol(22, 20, 34));
    rect(dest, panelLeft, panelTop, panelRight, panelBottom, makecol(128, 116, 160));
}

void drawJewelIcons(BITMAP *dest)
{
    // An empty socket for each jewel of the world; the jewels taken over them.
    for (int i = 0; i < jewelSockets; ++i) {
        const int cx = barX + jewelIconPitch * i + jewelIconSize / 2, cy = jewelIconY + jewelIconSize / 2;
        const int r = jewelIconSize / 2 - 1;
        int diamond[8] = {cx, cy - r, cx + r, cy, cx, cy + r, cx - r, cy};
        polygon(dest, 4, diamond, makecol(44, 40, 62));
        for (int k = 0; k < 4; ++k)
            line(dest, diamond[2 * k], diamond[2 * k + 1], diamond[(2 * k + 2) % 8], diamond[(2 * k + 3) % 8],
                 makecol(150, 140, 190));
    }
    for (int32_t i = 0; i < heroStats.jewelCount; ++i) {
        const int x = barX + jewelIconPitch * i;
        if (x >= dest->w)
            break;
        stretch_sprite(dest, jewelPicture, x, jewelIconY, jewelIconSize, jewelIconSize);
    }
}

void drawLevelAndExperience(BITMAP *dest)
{
    const HeroStats &s = heroStats;
    const int ink = makecol(255, 236, 170);
    char text[48];
    std::snprintf(text, sizeof text, "LEVEL %d", int(s.level));
    textout_ex(dest, font, text, barX, levelTextY, ink, -1);
    std::snprintf(text, sizeof text, "XP %d/%d", int(s.experience), int(s.nextLevelExp));
    textout_ex(dest, font, text, barX, experienceTextY, ink, -1);
    // The bar fills as the experience nears the next level's threshold.
    int64_t filled = 0;
    if (s.nextLevelExp > 0 && s.experience > 0)
        filled = s.experience >= s.nextLevelExp ? experienceBarWidth
                                                : int64_t(s.experience) * experienceBarWidth / s.nextLevelExp;
    rectfill(dest, barX, experienceBarY, barX + experienceBarWidth - 1, experienceBarY + 2,
             makecol(60, 54, 80));
    if (filled > 0)
        rectfill(dest, barX, experienceBarY, barX + int(filled) - 1, experienceBarY + 2,
                 makecol(120, 210, 255));
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
