// feedback.cpp - strike flashes and kill bursts: fixed slots, counted per
// tick, drawn from the counts.

#include "combat/feedback.h"

#include "combat/hurt_flash.h"

StrikeFlash strikeFlashes[feedbackSlots];
KillBurst killBursts[feedbackSlots];

namespace
{

// Sparks fly out along ten fixed directions (x and y over 256), so a burst
// looks the same every time and needs no random number.
constexpr int sparkCount = 10;
constexpr int sparkDir[sparkCount][2] = {{256, 0},  {207, 150},   {79, 243},   {-79, 243}, {-207, 150},
                                         {-256, 0}, {-207, -150}, {-79, -243}, {79, -243}, {207, -150}};
constexpr int burstStartRadius = 10; // pixels from the centre at the first tick
constexpr int burstSpread = 2;       // pixels further out each tick

// The slot to fill: the one already given to `actor`, else a free one, else
// the one nearest its end.
template <typename Slot, typename Same> Slot &slotFor(Slot (&slots)[feedbackSlots], Same same)
{
    Slot *pick = &slots[0];
    for (Slot &s : slots) {
        if (same(s))
            return s;
        if (s.left < pick->left)
            pick = &s;
    }
    return *pick;
}

void drawBurst(const KillBurst &b, int32_t camX, int32_t camY, BITMAP *dest)
{
    const int64_t age = killBurstTicks - b.left;
    const int64_t radius = burstStartRadius + burstSpread * age;
    const int64_t cx = b.x - camX, cy = b.y - camY;
    if (cx + radius < 0 || cy + radius < 0 || cx - radius >= dest->w || cy - radius >= dest->h)
        return;
    // Fading: the sparks are mixed into the frame less and less.
    set_trans_blender(0, 0, 0, 255 * b.left / killBurstTicks);
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    const int spark = age < 10 ? 3 : age < 20 ? 2 : 1;
    if (age < 8)
        circle(dest, int(cx), int(cy), int(radius * 2 / 3), makecol(255, 244, 200));
    for (const auto &d : sparkDir) {
        const int64_t sx = cx + d[0] * radius / 256, sy = cy + d[1] * radius / 256;
        circlefill(dest, int(sx), int(sy), spark, makecol(255, 214, 96));
        putpixel(dest, int(sx), int(sy), makecol(255, 255, 230));
    }
    solid_mode();
}

} // namespace

void clearFeedback()
{
    for (StrikeFlash &f : strikeFlashes)
        f = StrikeFlash{};
    for (KillBurst &b : killBursts)
        b = KillBurst{};
    hurtFlashLeft = 0;
}

void startStrikeFlash(const Character &enemy)
{
    StrikeFlash &f = slotFor(strikeFlashes, [&](const StrikeFlash &s) { return s.actor == &enemy; });
    f.actor = &enemy;
    f.left = strikeFlashTicks;
}

void startKillBurst(const Character &enemy)
{
    KillBurst &b = slotFor(killBursts, [](const KillBurst &) { return false; });
    b.x = int64_t(enemy.x) + enemy.width / 2;
    b.y = int64_t(enemy.y) + enemy.height / 2;
    b.left = killBurstTicks;
}

int32_t strikeFlashLeft(const Character &actor)
{
    for (const StrikeFlash &f : strikeFlashes)
        if (f.actor == &actor && f.left > 0)
            return f.left;
    return 0;
}

void advanceFeedback()
{
    advanceHurtFlash();
    for (StrikeFlash &f : strikeFlashes)
        if (f.left > 0 && --f.left == 0)
            f.actor = nullptr;
    for (KillBurst &b : killBursts)
        if (b.left > 0)
            b.left -= 1;
}

void drawFeedback(int32_t camX, int32_t camY, BITMAP *dest)
{
    for (const StrikeFlash &f : strikeFlashes) {
        if (f.left <= 0 || !f.actor)
            continue;
        int sx = 0, sy = 0;
        if (BITMAP *picture = f.actor->frameInView(dest, camX, camY, sx, sy)) {
            set_trans_blender(255, 255, 255, 0);
            draw_lit_sprite(dest, picture, sx, sy, strikeFlashStrength);
        }
    }
    for (const KillBurst &b : killBursts)
        if (b.left > 0)
            drawBurst(b, camX, camY, dest);
}
