// creatures.cpp - the hero, the lizards, the ogres, the dark lord and the
// villagers, each a figure of ellipsoids posed frame by frame and turned to the
// eight facings; plus the jewel, the slash and the two bars.

#include <algorithm>
#include <functional>
#include <thread>

#include "puppet.h"

namespace
{

constexpr float pi = float(M_PI);

float rad(float degrees)
{
    return degrees * pi / 180;
}

// ---------------------------------------------------------------- people

struct Outfit {
    Col skin = hex(0xF0BE96), hair = hex(0x7A4A22), tunic = hex(0x3866C8), sleeves = hex(0x3866C8);
    Col trousers = hex(0x6E5034), boots = hex(0x4A3020), belt = hex(0x9C7430);
    bool cape = false;
    Col capeColour = hex(0xB82C2C);
    bool skirt = false;
    Col skirtColour = hex(0x4E8A3A);
    int hat = 0; // 0 bare, 1 straw hat, 2 headscarf, 3 helmet
    Col hatColour = hex(0xD8B868);
    bool beard = false;
    bool apron = false;
    Col apronColour = hex(0xE8E0CC);
    float build = 1;  // broadness
    float height = 1; // tallness
};

struct Hands {
    V3 right, left;
};

// A person standing on z = 0, facing +x. `phase` runs once round a stride;
// `stride` 0 stands still. Hands may be placed by the caller.
Hands person(Figure &f, const Outfit &o, float phase, float stride, const V3 *rightHand = nullptr,
             const V3 *leftHand = nullptr)
{
    const float b = o.build, H = o.height;
    const float bob = stride * 0.8f * std::fabs(std::cos(phase));
    // Legs and boots.
    f.group = 1;
    for (int side = -1; side <= 1; side += 2) {
        const float swing = std::sin(phase) * stride * float(side);
        const float lift = stride * 2.2f * std::max(0.f, std::cos(phase) * float(side));
        const V3 hip = v3(0, 3.6f * b * side, 15.5f * H + bob);
        const V3 foot = v3(swing * 5.5f, 3.9f * b * side, 2.4f + lift);
        if (!o.skirt)
            f.limb(hip, foot + v3(0, 0, 1), 3.1f * b, o.trousers);
        else
            f.limb(hip + v3(0, 0, -5), foot + v3(0, 0, 1), 2.2f * b, o.skin);
        f.blob(foot + v3(1.3f, 0, 0), v3(4.2f, 2.7f * b, 2.5f), o.boots, 0.35f);
    }
    // Body.
    f.group = 2;
    const float waist = 17 * H + bob;
    if (o.skirt)
        f.blob(v3(0, 0, waist - 5.5f), v3(6.4f * b, 7.6f * b, 10.5f * H), o.skirtColour, 0.15f);
    f.blob(v3(0, 0, waist + 6.5f * H), v3(5.2f * b, 7.0f * b, 8.6f * H), o.tunic, 0.2f);
    f.blob(v3(0, 0, waist), v3(5.5f * b, 7.3f * b, 1.9f), o.belt, 0.5f);
    if (o.apron)
        f.oriented(v3(4.2f * b, 0, waist + 1), v3(1.4f, 0, 0), v3(0, 5.6f * b, 0), v3(0, 0, 9.5f * H),
                   o.apronColour, 0.1f);
    if (o.cape) {
        const float sway = std::sin(phase * 2) * stride * 0.8f;
        f.oriented(v3(-5.3f * b, sway, waist + 3.5f * H), v3(1.6f, 0, 0), v3(0, 7.4f * b, 0),
                   v3(-1.5f, 0, 11.5f * H), o.capeColour, 0.15f);
    }
    // Head.
    f.group = 3;
    const float headZ = waist + 19 * H;
    f.blob(v3(0.6f, 0, headZ), v3(5.8f, 5.6f, 6.0f), o.skin, 0.2f);
    f.glowBlob(v3(5.6f, 2.1f, headZ + 0.6f), 0.95f, hex(0x202038));
    f.glowBlob(v3(5.6f, -2.1f, headZ + 0.6f), 0.95f, hex(0x202038));
    f.blob(v3(6.2f, 0, headZ - 1.0f), v3(1.0f, 1.0f, 1.2f), o.skin * 0.92f, 0.1f); // nose
    if (o.beard)
        f.blob(v3(4.2f, 0, headZ - 4.2f), v3(3.0f, 4.4f, 4.2f), o.hair, 0.1f);
    switch (o.hat) {
    case 1: // straw hat
        f.blob(v3(0.4f, 0, headZ + 4.4f), v3(10.5f, 10.5f, 1.3f), o.hatColour, 0.3f);
        f.blob(v3(0.4f, 0, headZ + 6.0f), v3(5.0f, 5.0f, 3.4f), o.hatColour * 0.9f, 0.3f);
        break;
    case 2: // headscarf
        f.blob(v3(-0.8f, 0, headZ + 1.4f), v3(6.3f, 6.5f, 6.3f), o.hatColour, 0.15f);
        break;
    case 3: // helmet with a crest
        f.blob(v3(-0.2f, 0, headZ + 2.0f), v3(6.3f, 6.3f, 5.6f), o.hatColour, 0.9f);
        f.blob(v3(-0.5f, 0, headZ + 7.0f), v3(4.5f, 1.1f, 2.0f), hex(0xD03030), 0.2f);
        break;
    default: // hair
        f.blob(v3(-2.0f, 0, headZ + 2.0f), v3(5.4f, 6.1f, 5.0f), o.hair, 0.3f);
        break;
    }
    // Arms and hands.
    f.group = 4;
    Hands hands;
    for (int side = -1; side <= 1; side += 2) {
        const V3 shoulder = v3(0, 7.3f * b * side, waist + 12 * H);
        V3 hand = v3(-std::sin(phase) * stride * 4.5f * float(side), 8.6f * b * side, waist + 1.5f);
        if (side > 0 && rightHand)
            hand = *rightHand;
        if (side < 0 && leftHand)
            hand = *leftHand;
        f.limb(shoulder, hand, 2.3f * b, o.sleeves);
        f.blob(hand, v3(2.3f, 2.3f, 2.3f), o.skin, 0.2f);
        (side > 0 ? hands.right : hands.left) = hand;
    }
    return hands;
}

// A sword from `hand` along direction d (unit).
void sword(Figure &f, V3 hand, V3 d, float bladeLength, Col blade, bool glowing)
{
    f.group = 5;
    V3 side = normalised(cross(d, v3(0, 0, 1)));
    if (length(side) < 0.5f)
        side = v3(0, 1, 0);
    const V3 flat = normalised(cross(side, d));
    f.oriented(hand + d * 1.5f, side * 4.0f, d * 0.9f, flat * 0.9f, hex(0xD8A830), 0.8f); // cross-guard
    f.limb(hand - d * 2.5f, hand + d * 1.0f, 1.1f, hex(0x5A3A20));                        // grip
    f.oriented(hand + d * (2.5f + bladeLength / 2), d * (bladeLength / 2), side * 1.6f, flat * 0.5f, blade,
               1.0f, glowing);
}

// Points of a swing: the blade's direction at yaw (to the right of forward)
// and pitch (up).
V3 swingDirection(float yaw, float pitch)
{
    return v3(std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch));
}

struct SwingPose {
    float yaw, pitch; // degrees
    bool trail;
};

// Thirteen frames: wind-up to the right, a sweep across the front to the
// left, recovery.
SwingPose swingFrame(int frame, float facing)
{
    static const float yaws[13] = {25, 55, 90, 115, 100, 55, 0, -55, -100, -80, -45, -5, 20};
    // A flat sweep a little below the shoulder: the blade stays low enough
    // to show whole in the cell above the figure's head, and reaches past the
    // feet when the hero faces down.
    const float sweepPitch = -10 + 30 * std::min(0.f, std::sin(facing)); // facing down: low, toward the feet
    if (frame <= 3)
        return {yaws[frame], 4.f + 4 * frame, false};
    if (frame <= 8)
        return {yaws[frame], sweepPitch, frame >= 5};
    return {yaws[frame], sweepPitch * 0.5f + 8, false};
}

// The bright arc the blade's tip leaves behind, drawn over the figure.
void motionArc(SpriteCanvas &cv, const View &view, V3 pivot, float yawNow, float pitch, float reachIn,
               float reachOut, Col outer, Col inner)
{
    const float yawFrom = std::min(115.f, yawNow + 120.f);
    const int steps = 28;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < steps; ++i) {
            const float t0 = float(i) / steps, t1 = float(i + 1) / steps;
            const float y0 = rad(yawFrom + (yawNow + 10 - yawFrom) * t0),
                        y1 = rad(yawFrom + (yawNow + 10 - yawFrom) * t1);
            const float rr = reachIn + (reachOut - reachIn) * (0.55f + 0.45f * t1);
            float ax, ay, bx, by;
            project(view, pivot + swingDirection(y0, rad(pitch)) * rr, ax, ay);
            project(view, pivot + swingDirection(y1, rad(pitch)) * rr, bx, by);
            const float width = (0.6f + 3.2f * t1 * t1) * view.scale * (pass == 0 ? 1.f : 0.45f);
            cv.capsule(ax, ay, bx, by, width, pass == 0 ? outer : inner);
        }
}

Outfit heroOutfit()
{
    Outfit o;
    o.tunic = hex(0x2F62CE);
    o.sleeves = hex(0x2A55B0);
    o.hair = hex(0xC88A34);
    o.cape = true;
    o.capeColour = hex(0xC0302A);
    return o;
}

void heroFigure(Figure &f, float phase, float stride)
{
    const Outfit o = heroOutfit();
    const V3 left = v3(2.5f - std::sin(phase) * stride * -4.5f, -9.0f, 21);
    const Hands hands = person(f, o, phase, stride, nullptr, &left);
    // A round shield on the left arm and the sword held ready in the right.
    f.group = 6;
    f.oriented(hands.left + v3(0.5f, -1.8f, 0), v3(4.6f, 0, 0), v3(0, 1.1f, 0), v3(0, 0, 5.2f), hex(0x8C9AB0),
               0.9f);
    f.oriented(hands.left + v3(0.5f, -2.6f, 0), v3(2.2f, 0, 0), v3(0, 0.8f, 0), v3(0, 0, 2.4f), hex(0xD8A830),
               0.9f);
    sword(f, hands.right, normalised(v3(0.9f, 0.15f, 0.55f)), 18, hex(0xC8D2E0), false);
}

// ---------------------------------------------------------------- sheets

using FrameFn = std::function<void(SpriteCanvas &, int row, int frame)>;

Image sheet(int cellW, int cellH, int columns, const FrameFn &draw)
{
    Image im(cellW * columns, cellH * 8, magenta);
    auto rows = [&](int first, int step) {
        for (int row = first; row < 8; row += step)
            for (int frame = 0; frame < columns; ++frame) {
                SpriteCanvas cv(cellW, cellH);
                draw(cv, row, frame);
                im.paste(cv.finish(), frame * cellW, row * cellH);
            }
    };
    std::thread other(rows, 1, 2);
    rows(0, 2);
    other.join();
    return im;
}

// ---------------------------------------------------------------- stance

// Where each figure stands in its cell. The game's step probes treat an actor
// as the cell one below and one right of the cell under its top-left corner:
// in the sprite's own pixels that is 32 - x % 32 up to 64 - x % 32 across and
// the same down, a square that slides over the point (32, 32) as the actor
// moves. So each figure stands with its footprint - the opaque pixels in the
// lowest third of its opaque box - centred there, facing by facing, as far as
// its height allows (the figure keeps two clear rows at the top of its cell).
struct Stance {
    float scale;           // pixels per figure unit
    float footX, footY;    // where the footprint's centre goes in the cell, pixels
    float groundX[8] = {}; // per sheet row: the figure's ground origin in the cell
    float groundY[8] = {};
};

using PoseFn = std::function<void(Figure &, int frame)>;

// Works out the ground origins from the eight walking frames of each facing.
Stance stand(float scale, float footX, float footY, int cellW, int cellH, const PoseFn &walk)
{
    Stance st{scale, footX, footY};
    for (int row = 0; row < 8; ++row) {
        double sumX = 0, sumY = 0;
        long count = 0;
        int top = 4 * cellH;
        for (int frame = 0; frame < 8; ++frame) {
            // A canvas twice the cell, the origin in its middle: nothing is cut.
            SpriteCanvas cv(2 * cellW, 2 * cellH);
            Figure f;
            walk(f, frame);
            render(cv, f, View{rowFacing(row), scale, float(cellW), float(cellH)});
            const Image im = cv.finish();
            int boxTop = im.h, boxBottom = -1;
            for (int y = 0; y < im.h; ++y)
                for (int x = 0; x < im.w; ++x)
                    if (im.at(x, y) != magenta)
                        boxTop = std::min(boxTop, y), boxBottom = std::max(boxBottom, y);
            top = std::min(top, boxTop);
            for (int y = boxBottom - (boxBottom - boxTop + 1) / 3 + 1; y <= boxBottom; ++y)
                for (int x = 0; x < im.w; ++x)
                    if (im.at(x, y) != magenta)
                        sumX += x, sumY += y, ++count;
        }
        const float cx = float(sumX / double(count)) - float(cellW),
                    cy = float(sumY / double(count)) - float(cellH);
        st.groundX[row] = std::round(footX - cx);
        // Lowered when the head or a raised weapon would leave the cell.
        st.groundY[row] = std::max(std::round(footY - cy), float(2 - (top - cellH)));
    }
    return st;
}

View stanceView(const Stance &st, int row)
{
    return View{rowFacing(row), st.scale, st.groundX[row], st.groundY[row]};
}

// `tilt` turns the blade up (positive) or down from the swing's own pitch, in
// degrees.
using AttackFn = std::function<void(SpriteCanvas &, const View &, int row, int frame, float tilt)>;

// Thirteen attack frames a facing, drawn over the walking stance; a facing is
// lowered only as far as its raised blade needs to stay inside the cell.
// The figure stands near the cell's left side, where a blade held out to
// that side would run off it: such a frame tilts its blade - up in the
// wind-up, down toward the ground in the sweep and the recovery, the other
// way if that one leaves the cell - just far enough for every pixel to stay
// two columns clear of the cell's sides and bottom.
Image attackSheet(const Stance &st, const AttackFn &draw)
{
    Stance fit = st;
    for (int row = 0; row < 8; ++row) {
        int top = 1 << 20;
        for (int frame = 0; frame < 13; ++frame) {
            SpriteCanvas cv(96, 192); // a cell's height of room above
            View view = stanceView(st, row);
            view.groundY += 96;
            draw(cv, view, row, frame, 0);
            const Image im = cv.finish();
            for (int y = 0; y < im.h && y < top; ++y)
                for (int x = 0; x < im.w; ++x)
                    if (im.at(x, y) != magenta) {
                        top = y;
                        break;
                    }
        }
        fit.groundY[row] += std::max(0, 2 - (top - 96));
    }
    // Whether a frame drawn with this tilt keeps two pixels clear of every
    // side: blade, arm and arc are all joined to the body, so whatever would
    // leave the cell crosses that margin on its way out.
    auto inside = [&](int row, int frame, float tilt) {
        SpriteCanvas cv(96, 96);
        draw(cv, stanceView(fit, row), row, frame, tilt);
        const Image im = cv.finish();
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 96; ++x)
                if (im.at(x, y) != magenta && (x < 2 || x > 93 || y < 2 || y > 93))
                    return false;
        return true;
    };
    // One tilt for each part of the swing (wind-up, sweep, recovery), so that
    // the blade moves as smoothly as before: the least that fits them all.
    static const int parts[3][2] = {{0, 3}, {4, 8}, {9, 12}};
    float tilt[8][13] = {};
    for (int row = 0; row < 8; ++row)
        for (const auto &part : parts) {
            int worst = part[0]; // the frame that last left the cell, tried first
            auto fits = [&](float t) {
                if (!inside(row, worst, t))
                    return false;
                for (int frame = part[0]; frame <= part[1]; ++frame)
                    if (frame != worst && !inside(row, frame, t)) {
                        worst = frame;
                        return false;
                    }
                return true;
            };
            const float preferred = part[0] == 0 ? 1.f : -1.f; // up in the wind-up
            float t = 0;
            bool found = fits(0);
            for (int step = 1; step <= 25 && !found; ++step)
                for (float sign : {preferred, -preferred})
                    if (fits(sign * 3.f * float(step))) {
                        t = sign * 3.f * float(step);
                        found = true;
                        break;
                    }
            for (int frame = part[0]; frame <= part[1]; ++frame)
                tilt[row][frame] = t;
        }
    return sheet(96, 96, 13, [&](SpriteCanvas &cv, int row, int frame) {
        draw(cv, stanceView(fit, row), row, frame, tilt[row][frame]);
    });
}

// A foot lands at every frame change, the feet taking turns: for the hero,
// whose 41-tick frames carry him 164 pixels, the dark lord, 40 pixels a
// frame, and the scuttling lizards. Each frame is a planted stride (legs spread, phase a quarter turn
// off the passing pose), nudged a little so that no two frames are alike.
float stridePhase(int frame)
{
    return pi / 2 + pi * float(frame) + 0.3f * std::sin(pi * float(frame) / 4 + 0.4f);
}

// ---------------------------------------------------------------- beasts

void lizardFigure(Figure &f, float phase)
{
    const Col skin = hex(0xE8741E), belly = hex(0xF6D04A), spots = hex(0x8A2A10), crest = hex(0xFFE070);
    const float sway = std::sin(phase) * 1.2f;
    // Legs in diagonal pairs.
    f.group = 1;
    for (int i = 0; i < 4; ++i) {
        const float fwd = i < 2 ? 7.5f : -7.5f;
        const int side = (i % 2) ? 1 : -1;
        const float pairSign = (i == 0 || i == 3) ? 1.f : -1.f;
        const float swing = std::sin(phase) * 7.0f * pairSign;
        const float lift = 3.2f * std::max(0.f, std::cos(phase) * pairSign);
        const V3 hip = v3(fwd, 4.8f * side, 7.5f);
        const V3 knee = v3(fwd + swing * 0.5f, 10.5f * side, 6.5f + lift);
        const V3 foot = v3(fwd + swing, 11.5f * side, 1.4f + lift * 0.6f);
        f.limb(hip, knee, 2.2f, skin);
        f.limb(knee, foot, 1.8f, skin);
        f.blob(foot + v3(1.2f, 0, 0), v3(2.8f, 2.2f, 1.2f), skin * 0.85f, 0.2f);
    }
    f.group = 2;
    f.blob(v3(0, sway * 0.5f, 8), v3(12.5f, 6.6f, 5.2f), skin, 0.45f);
    f.blob(v3(0.5f, sway * 0.5f, 5.6f), v3(10.5f, 5.2f, 3.0f), belly, 0.2f);
    for (int k = 0; k < 5; ++k) // spots along the back
        f.blob(v3(-8.f + 4.f * k, ((k % 2) ? 2.6f : -2.6f) + sway * 0.5f, 12.4f), v3(1.8f, 1.6f, 0.9f), spots,
               0.2f);
    for (int k = 0; k < 6; ++k) // a crest of spines
        f.blob(v3(-10.f + 4.f * k, sway * 0.5f, 13.2f - std::fabs(k - 2.5f) * 0.5f), v3(1.1f, 0.7f, 2.0f),
               crest, 0.4f);
    // Tail, curling round to one side so that the beast stays compact over
    // the ground it stands on, and swinging against the body.
    V3 at = v3(-11, sway * 0.5f, 7.5f);
    float heading = pi;
    for (int k = 0; k < 6; ++k) {
        const float r = 4.6f - 0.62f * k;
        heading += rad(28.f) + 0.08f * std::sin(phase - 0.7f * k);
        const V3 next = at + v3(std::cos(heading) * 4.6f, std::sin(heading) * 4.6f, -0.9f);
        f.limb(at, next, r, k % 2 ? skin : skin * 0.92f, 0.35f);
        at = next;
    }
    // Head: skull, snout, jaw, eyes.
    f.group = 3;
    const float nod = std::cos(phase * 2) * 0.5f;
    f.blob(v3(15.5f, -sway * 0.3f, 10.5f + nod), v3(6.2f, 5.0f, 4.4f), skin, 0.45f);
    f.blob(v3(21.0f, -sway * 0.3f, 9.5f + nod), v3(4.4f, 3.4f, 2.8f), skin * 0.95f, 0.4f);
    f.blob(v3(19.0f, -sway * 0.3f, 7.6f + nod), v3(5.0f, 3.2f, 1.6f), belly, 0.2f);
    for (int side = -1; side <= 1; side += 2) {
        f.glowBlob(v3(16.5f, (3.6f * side) - sway * 0.3f, 13.0f + nod), 1.7f, hex(0xFFF060));
        f.glowBlob(v3(17.4f, (4.3f * side) - sway * 0.3f, 13.1f + nod), 0.9f, hex(0x101010));
    }
}

void ogreFigure(Figure &f, float phase, float stride, float clubLift)
{
    // A hulking brute standing upright: a bare mauve head with an underslung
    // jaw on top of a dark fur jerkin, broad bare shoulders, two thick arms
    // hanging clear of the body, two legs apart, and a pale spiked club held
    // out to its right, beyond the body. Mauve is a hue no ground and not
    // the hero's blue has; the dark jerkin parts the bare head and arms.
    const Col skin = hex(0xA87CA8), dark = hex(0x3A1E3C), cloth = hex(0x6A3A2A), wood = hex(0xD0A464);
    const Col leather = hex(0x2E1A12), bone = hex(0xF6EEDA), face = hex(0xD898CE), fur = hex(0x3E302A);
    const float bob = stride * 0.8f * std::fabs(std::cos(phase));
    // Thick legs set apart: a gap shows between them at every facing.
    f.group = 1;
    for (int side = -1; side <= 1; side += 2) {
        const float swing = std::sin(phase) * stride * float(side);
        const float lift = stride * 2.4f * std::max(0.f, std::cos(phase) * float(side));
        const V3 hip = v3(0, 7.5f * side, 15 + bob);
        const V3 foot = v3(swing * 5.0f, 8.0f * side, 3.f + lift);
        f.limb(hip, foot + v3(0, 0, 1.5f), 4.8f, skin * 0.9f);
        f.blob(foot + v3(2.2f, 0, -0.5f), v3(6.0f, 4.0f, 3.0f), dark, 0.2f);
    }
    // An upright barrel of a body in a fur jerkin, a loincloth under it.
    f.group = 2;
    f.blob(v3(0, 0, 26 + bob), v3(16.0f, 15.0f, 9.5f), fur, 0.15f);
    f.blob(v3(7.0f, 0, 25 + bob), v3(6.5f, 8.0f, 6.5f), skin * 1.05f, 0.2f); // bare belly
    f.blob(v3(0.5f, 0, 16.5f + bob), v3(12.0f, 11.5f, 3.6f), cloth, 0.15f);  // loincloth
    f.blob(v3(0.5f, 0, 19.0f + bob), v3(12.5f, 12.5f, 1.6f), leather, 0.3f); // belt
    // The head on top, clear above the shoulders: skull, jutting jaw with
    // tusks, heavy brow, red eyes, ears.
    f.group = 3;
    const V3 skull = v3(5.0f, 0, 40.5f + bob), r = v3(7.0f, 7.0f, 6.0f);
    f.blob(skull, r, face, 0.35f);
    f.blob(skull + v3(3.2f, 0, -4.2f), v3(4.4f, 5.8f, 3.2f), face * 0.88f, 0.25f); // jaw
    f.blob(skull + v3(4.0f, 0, 2.4f), v3(2.8f, 6.0f, 1.6f), dark, 0.2f);           // brow
    for (int side = -1; side <= 1; side += 2) {
        const V3 eye = skull + v3(r.x * 0.85f, r.y * 0.36f * side, r.z * 0.05f);
        f.glowBlob(eye, 1.8f, hex(0xFF4020));
        f.limb(skull + v3(6.4f, 3.0f * side, -5.2f), skull + v3(7.4f, 3.4f * side, -1.4f), 1.2f, bone,
               0.5f);                                                                          // tusks
        f.blob(skull + v3(-0.5f, 6.6f * side, 0.8f), v3(1.8f, 2.2f, 2.8f), skin * 0.9f, 0.2f); // ears
    }
    // Broad bare shoulders and thick arms hanging out from the body: the
    // left swings its fist with the stride, the right holds the club.
    f.group = 4;
    V3 rightHand;
    for (int side = -1; side <= 1; side += 2) {
        const V3 shoulder = v3(0, 14.5f * side, 31.5f + bob);
        const float swing = -std::sin(phase) * stride * 3.5f * float(side);
        const V3 elbow = v3(-1 + swing * 0.5f, 18.5f * side, 26 + bob);
        V3 hand = v3(5 + swing, 19.f * side, 17 + bob);
        if (side > 0)
            hand = v3(6 + clubLift * 2, 17.f, 17 + clubLift * 2 + bob);
        f.blob(shoulder, v3(7.5f, 7.0f, 5.5f), skin, 0.35f);
        f.limb(shoulder, elbow, 5.2f, skin, 0.3f);
        f.limb(elbow, hand, 4.8f, skin, 0.3f);
        f.blob(hand, v3(4.8f, 4.8f, 4.8f), dark, 0.3f);
        if (side > 0)
            rightHand = hand;
    }
    // A great spiked club held out to the right and up, past the arm: it
    // sticks out of the silhouette without rising over the head. Short and
    // heavy-headed, so that facing down-left, where it points at the cell's
    // left side, it still ends inside the cell.
    f.group = 5;
    const V3 clubDir = normalised(v3(0.85f, 0.4f, 0.15f + clubLift * 0.3f));
    V3 side = normalised(cross(clubDir, v3(0, 0, 1)));
    const V3 flat = normalised(cross(side, clubDir));
    const V3 head = rightHand + clubDir * 6.5f;
    f.limb(rightHand - clubDir * 3.f, head, 2.8f, wood, 0.2f);
    f.oriented(head, clubDir * 6.0f, side * 5.4f, flat * 5.4f, wood * 0.88f, 0.3f);
    for (int n = 0; n < 6; ++n) { // a ring of bone spikes
        const float a = n * 2 * pi / 6;
        const V3 out = side * std::cos(a) + flat * std::sin(a);
        const V3 at = head + clubDir * ((n % 2) ? 2.0f : -1.5f);
        f.limb(at + out * 4.4f, at + out * 7.2f, 1.3f, bone, 0.6f);
    }
    // Pressed down a little: the cell's height is all spent (a taller ogre
    // stands lower and its feet leave the ground its steps test), its width
    // is not.
    const float squat = 0.72f;
    for (Part &p : f.parts) {
        p.centre.z *= squat;
        for (V3 &a : p.axis)
            a.z *= squat;
    }
}

struct BossPose {
    float phase = 0, stride = 0;
    bool armed = false; // holding the great sword in a swing
    float yaw = 0, pitch = 0;
};

void bossFigure(Figure &f, const BossPose &p)
{
    const Col armour = hex(0x3A3C4A), trim = hex(0xD0A030), cape = hex(0x9A1822), capeIn = hex(0x4A0C12);
    const Col horn = hex(0xE6DCC0), eye = hex(0xFFD040);
    const float bob = p.stride * 1.0f * std::fabs(std::cos(p.phase));
    f.group = 1;
    for (int side = -1; side <= 1; side += 2) {
        const float swing = std::sin(p.phase) * p.stride * float(side);
        const float lift = p.stride * 2.5f * std::max(0.f, std::cos(p.phase) * float(side));
        const V3 hip = v3(0, 5.2f * side, 21 + bob);
        const V3 foot = v3(swing * 6.f, 5.8f * side, 3.f + lift);
        f.limb(hip, foot + v3(0, 0, 1.5f), 4.0f, armour, 0.7f);
        f.blob(foot + v3(1.6f, 0, -0.4f), v3(5.2f, 3.6f, 3.0f), armour * 0.8f, 0.8f);
        f.blob((hip + foot) * 0.5f + v3(1.8f, 0, 0), v3(2.6f, 3.2f, 2.6f), trim, 0.9f); // knee guard
    }
    // The cape falls behind, wide and long, and stirs with each step.
    f.group = 2;
    const float stir = std::sin(p.phase * 2) * p.stride;
    f.oriented(v3(-7.5f, stir * 0.8f, 27), v3(2.0f, 0, 0), v3(0, 12.5f, 0), v3(-3.5f + stir, 0, 22), cape,
               0.25f);
    f.oriented(v3(-6.2f, stir * 0.8f, 28), v3(1.5f, 0, 0), v3(0, 10.5f, 0), v3(-3.f + stir, 0, 20), capeIn,
               0.1f);
    f.group = 3;
    f.blob(v3(0, 0, 36 + bob), v3(7.5f, 10.5f, 12.5f), armour, 0.8f);
    f.blob(v3(3.5f, 0, 38 + bob), v3(4.5f, 6.5f, 6.5f), armour * 1.2f, 0.9f); // breastplate
    f.oriented(v3(7.2f, 0, 38 + bob), v3(1.2f, 0, 0), v3(0, 2.0f, 0), v3(0, 0, 2.0f), hex(0xE03010), 0,
               true); // a red gem
    f.blob(v3(0, 0, 24.5f + bob), v3(8.0f, 10.8f, 2.4f), trim, 0.9f);
    f.group = 4;
    const float headZ = 55 + bob;
    f.blob(v3(0.5f, 0, headZ), v3(6.5f, 6.5f, 7.0f), armour * 0.9f, 0.9f);
    f.blob(v3(5.5f, 0, headZ - 1.5f), v3(2.5f, 5.0f, 4.0f), hex(0x15151C), 0.2f); // visor
    for (int side = -1; side <= 1; side += 2) {
        f.glowBlob(v3(7.6f, 2.2f * side, headZ - 0.6f), 1.5f, eye);
        // Great horns sweeping out, then up, then curling forward at the tips.
        static const float outward[5] = {4.6f, 4.0f, 2.9f, 1.5f, 0.3f},
                           rise[5] = {1.2f, 2.6f, 4.0f, 4.8f, 4.6f};
        V3 at = v3(0.f, 5.0f * side, headZ + 2.5f);
        for (int k = 0; k < 5; ++k) {
            const V3 next = at + v3(0.4f + 0.5f * k, outward[k] * side, rise[k]);
            f.limb(at, next, 3.4f - 0.6f * k, k == 4 ? horn * 1.05f : horn * (0.72f + 0.07f * k), 0.6f);
            at = next;
        }
        f.blob(v3(0, 11.5f * side, 46 + bob), v3(6.2f, 6.2f, 5.2f), armour * 1.1f, 0.9f); // pauldrons
        f.blob(v3(0, 11.8f * side, 49.5f + bob), v3(1.4f, 1.4f, 2.6f), trim, 0.9f);       // spikes
    }
    f.group = 5;
    V3 rightHand;
    for (int side = -1; side <= 1; side += 2) {
        const V3 shoulder = v3(0, 11.f * side, 44 + bob);
        V3 hand = v3(-std::sin(p.phase) * p.stride * 4.f * float(side) + 1, 13.5f * side, 25 + bob);
        if (side > 0 && p.armed) {
            const V3 d = swingDirection(rad(p.yaw), rad(p.pitch));
            hand = v3(0, 4, 36) + v3(d.x, d.y, 0) * 11.f;
        }
        f.limb(shoulder, hand, 3.6f, armour, 0.7f);
        f.blob(hand, v3(3.8f, 3.8f, 3.8f), armour * 0.7f, 0.8f);
        if (side > 0)
            rightHand = hand;
    }
    if (p.armed)
        sword(f, rightHand, swingDirection(rad(p.yaw), rad(p.pitch)), 28, hex(0xFF6A2A), true);
    else
        sword(f, rightHand, normalised(v3(0.55f, 0.3f, -0.6f)), 19, hex(0xB03A2A), false);
}

// ---------------------------------------------------------------- stances

void heroWalkPose(Figure &f, int frame)
{
    heroFigure(f, stridePhase(frame), 1.3f);
}

const Stance &heroStance()
{
    // The hero's steps fall on a 4-pixel lattice; his footprint sits best a
    // little below the point the enemies' sits on.
    static const Stance st = stand(0.9f, 31.5f, 34.5f, 96, 96, heroWalkPose);
    return st;
}

// Lizards scuttle: their diagonal leg pairs take turns at every frame.
void lizardWalkPose(Figure &f, int frame)
{
    lizardFigure(f, stridePhase(frame));
}

const Stance &lizardStance()
{
    static const Stance st = stand(0.67f, 31.5f, 31.5f, 90, 100, lizardWalkPose);
    return st;
}

void ogreWalkPose(Figure &f, int frame)
{
    // Two stomping strides in the eight frames, a quarter turn a frame: every
    // frame change moves the legs well, passing pose and planted pose in turn.
    const float phase = pi / 2 * float(frame) + 0.15f * std::sin(pi * float(frame) / 4);
    ogreFigure(f, phase, 1.2f, 0.25f + 0.2f * std::sin(phase));
}

const Stance &ogreStance()
{
    static const Stance st = stand(0.95f, 31.5f, 31.5f, 96, 96, ogreWalkPose);
    return st;
}

void bossWalkPose(Figure &f, int frame)
{
    BossPose p;
    p.phase = stridePhase(frame);
    p.stride = 1.1f;
    bossFigure(f, p);
}

const Stance &bossStance()
{
    static const Stance st = stand(1.08f, 31.5f, 31.5f, 96, 96, bossWalkPose);
    return st;
}

} // namespace

// ---------------------------------------------------------------- painters

Image paintHeroWalk()
{
    const Stance &st = heroStance();
    return sheet(96, 96, 8, [&](SpriteCanvas &cv, int row, int frame) {
        Figure f;
        heroWalkPose(f, frame);
        render(cv, f, stanceView(st, row));
    });
}

Image paintHeroAttack()
{
    return attackSheet(heroStance(), [](SpriteCanvas &cv, const View &view, int row, int frame, float tilt) {
        SwingPose s = swingFrame(frame, rowFacing(row));
        s.pitch += tilt;
        const V3 d = swingDirection(rad(s.yaw), rad(s.pitch));
        const V3 pivot = v3(0, 3, 27);
        const V3 hand = pivot + v3(d.x, d.y, 0) * 8.f + v3(0, 0, d.z * 5);
        const V3 left = v3(3, -8.5f, 21);
        Figure f;
        const Outfit o = heroOutfit();
        const Hands hands = person(f, o, 0.6f, 0.35f, &hand, &left);
        f.group = 6;
        f.oriented(hands.left + v3(0.5f, -1.8f, 0), v3(4.6f, 0, 0), v3(0, 1.1f, 0), v3(0, 0, 5.2f),
                   hex(0x8C9AB0), 0.9f);
        f.oriented(hands.left + v3(0.5f, -2.6f, 0), v3(2.2f, 0, 0), v3(0, 0.8f, 0), v3(0, 0, 2.4f),
                   hex(0xD8A830), 0.9f);
        // Toward the viewer the blade has room below the feet: a longer reach.
        const float toViewer = std::max(0.f, -std::sin(rowFacing(row)));
        sword(f, hand, d, 24 + 10 * toViewer, hex(0xDCE4F0), false);
        // Blades behind the body draw after it only when they are in front.
        render(cv, f, view);
        if (s.trail)
            motionArc(cv, view, pivot, s.yaw, s.pitch, 15, 31 + 12 * toViewer, hex(0xA8E4FF), hex(0xFFFFFF));
    });
}

Image paintLizards()
{
    const Stance &st = lizardStance();
    return sheet(90, 100, 8, [&](SpriteCanvas &cv, int row, int frame) {
        Figure f;
        lizardWalkPose(f, frame);
        render(cv, f, stanceView(st, row));
    });
}

Image paintOgres()
{
    const Stance &st = ogreStance();
    return sheet(96, 96, 8, [&](SpriteCanvas &cv, int row, int frame) {
        Figure f;
        ogreWalkPose(f, frame);
        render(cv, f, stanceView(st, row));
    });
}

Image paintBossWalk()
{
    const Stance &st = bossStance();
    return sheet(96, 96, 8, [&](SpriteCanvas &cv, int row, int frame) {
        Figure f;
        bossWalkPose(f, frame);
        render(cv, f, stanceView(st, row));
    });
}

Image paintBossAttack()
{
    return attackSheet(bossStance(), [](SpriteCanvas &cv, const View &view, int row, int frame, float tilt) {
        SwingPose s = swingFrame(frame, rowFacing(row));
        s.pitch += tilt;
        Figure f;
        BossPose p;
        p.phase = 0.6f;
        p.stride = 0.3f;
        p.armed = true;
        p.yaw = s.yaw;
        p.pitch = s.pitch;
        bossFigure(f, p);
        render(cv, f, view);
        if (s.trail)
            motionArc(cv, view, v3(0, 4, 36), s.yaw, s.pitch, 18, 40, hex(0xFF5A10), hex(0xFFE070));
    });
}

Image paintVillager(int which)
{
    Outfit o;
    switch (which) {
    case 0: // a farmer in a straw hat
        o.tunic = hex(0x6C9A3C), o.sleeves = hex(0xE8DCC0), o.trousers = hex(0x4A5A8A), o.hat = 1;
        break;
    case 1: // a woman in a long dress and headscarf
        o.skirt = true, o.skirtColour = hex(0x2E7A8A), o.tunic = hex(0x2E7A8A), o.sleeves = hex(0xF0E6D0);
        o.hat = 2, o.hatColour = hex(0xE8C040), o.belt = hex(0xF0E6D0);
        break;
    case 2: // an elder with a white beard
        o.tunic = hex(0x8A5A34), o.sleeves = hex(0x8A5A34), o.trousers = hex(0x6A4A2A),
        o.hair = hex(0xE8E8E0);
        o.beard = true, o.skirt = true, o.skirtColour = hex(0x7A4E2C), o.skin = hex(0xE4B08A);
        break;
    case 3: // a girl in red
        o.skirt = true, o.skirtColour = hex(0xC83A2E), o.tunic = hex(0xC83A2E), o.sleeves = hex(0xF4ECD8);
        o.hair = hex(0xE8C050), o.height = 0.95f, o.build = 0.85f;
        break;
    default: // the smith in his apron
        o.tunic = hex(0x5A5A62), o.sleeves = hex(0x5A5A62), o.trousers = hex(0x3A3028), o.apron = true;
        o.apronColour = hex(0x8A6440), o.hair = hex(0x2A1A10), o.beard = true, o.build = 1.2f;
        break;
    }
    // At the hero's scale, standing on the picture's bottom row: drawn once
    // to find the lowest pixel, then again lowered onto the edge.
    Figure f;
    person(f, o, 0, 0);
    View view{rowFacing(4) + rad(which % 2 ? 18.f : -18.f), 0.9f, 24, 70};
    for (int pass = 0;; ++pass) {
        SpriteCanvas cv(48, 80);
        render(cv, f, view);
        Image im = cv.finish();
        int bottom = -1;
        for (int y = 0; y < im.h; ++y)
            for (int x = 0; x < im.w; ++x)
                if (im.at(x, y) != magenta)
                    bottom = y;
        if (pass == 1 || bottom == im.h - 1)
            return im;
        view.groundY += float(im.h - 1 - bottom);
    }
}

Image paintJewel()
{
    // A sapphire from above: a bright table ringed by crown facets, each lit
    // from the top left, and a sparkle.
    SpriteCanvas cv(32, 32);
    const float cx = 16, cy = 16.5f, outer = 14.5f, table = 7.5f;
    const int n = 8;
    const Col deep = hex(0x0E4AA8), mid = hex(0x2A86E8), light = hex(0x8AD8FF);
    for (int k = 0; k < n; ++k) {
        const float a0 = 2 * pi * (k - 0.5f) / n - pi / 2, a1 = 2 * pi * (k + 0.5f) / n - pi / 2;
        const float am = (a0 + a1) / 2;
        const float lit = 0.5f + 0.5f * (-std::cos(am) * 0.6f - std::sin(am) * 0.8f);
        const Col c = mix(deep, light, lit);
        cv.polygon({cx + std::cos(a0) * outer, cy + std::sin(a0) * outer, cx + std::cos(a1) * outer,
                    cy + std::sin(a1) * outer, cx + std::cos(a1) * table, cy + std::sin(a1) * table,
                    cx + std::cos(a0) * table, cy + std::sin(a0) * table},
                   c);
        // A star facet reaching in from each corner, a shade apart.
        cv.polygon({cx + std::cos(a0) * outer, cy + std::sin(a0) * outer, cx + std::cos(am) * (table + 0.5f),
                    cy + std::sin(am) * (table + 0.5f), cx + std::cos(a0) * table, cy + std::sin(a0) * table},
                   mix(c, mid, 0.5f));
    }
    std::vector<float> tab;
    for (int k = 0; k < n; ++k) {
        const float a = 2 * pi * (k - 0.5f) / n - pi / 2;
        tab.push_back(cx + std::cos(a) * table), tab.push_back(cy + std::sin(a) * table);
    }
    cv.polygon(tab, mix(mid, light, 0.45f));
    cv.capsule(cx - 5, cy - 3, cx - 2, cy - 6, 0.9f, hex(0xE8FAFF));
    // Sparkle.
    cv.capsule(22, 4, 22, 12, 0.7f, hex(0xFFFFFF));
    cv.capsule(18, 8, 26, 8, 0.7f, hex(0xFFFFFF));
    return cv.finish(false);
}

Image paintSlash()
{
    // Laid over a dying actor's whole cell for a few ticks, so it must read at
    // a glance over any ground: two broad crossing cuts, white-hot down the
    // middle and burning orange at the rim, and a burst of sparks, all centred
    // on where the figures stand (see Stance).
    SpriteCanvas cv(96, 96);
    const float cx = 33, cy = 26;
    static const uint32_t colours[4] = {0x9A1808, 0xFF5A10, 0xFFD040, 0xFFFFF4};
    static const float widths[4] = {1.f, 0.78f, 0.52f, 0.26f};
    for (int layer = 0; layer < 4; ++layer) {
        for (int k = 0; k < 12; ++k) { // the burst, behind the cuts
            const float a = rad(30.f * k + 15), r0 = 10, r1 = (k % 2 ? 24.f : 31.f);
            const float w = (k % 2 ? 3.0f : 4.0f) * widths[layer];
            cv.capsule(cx + std::cos(a) * r0, cy + std::sin(a) * r0 * 0.75f, cx + std::cos(a) * r1,
                       cy + std::sin(a) * r1 * 0.75f, w, hex(colours[layer]));
        }
        for (int cut = 0; cut < 2; ++cut) {
            const int steps = 32;
            for (int i = 0; i < steps; ++i) {
                // A slightly bowed stroke from corner to corner of the figure.
                auto point = [&](float t, float &x, float &y) {
                    const float u = 2 * t - 1, bow = 7 * (1 - u * u);
                    const float dx = cut == 0 ? 1.f : -1.f;
                    x = cx + dx * u * 27 + bow * 0.7f;
                    y = cy + u * 19 - dx * bow * 0.7f;
                };
                const float t0 = float(i) / steps, t1 = float(i + 1) / steps;
                float ax, ay, bx, by;
                point(t0, ax, ay);
                point(t1, bx, by);
                const float w = (2.5f + 8.5f * std::sin(pi * (t0 + t1) / 2)) * widths[layer];
                cv.capsule(ax, ay, bx, by, w, hex(colours[layer]));
            }
        }
    }
    return cv.finish(false);
}

Image paintBar(bool magic)
{
    // The frame at (0, 0), 130 x 14: a dark edge and a bevelled metal band two
    // pixels wide, clear inside; the pip at (130, 2), 6 x 10.
    Image im(136, 14, magenta);
    const Col metalLight = magic ? hex(0xC8D4E8) : hex(0xF0D070),
              metalDark = magic ? hex(0x6A7A98) : hex(0x9A6A20);
    const Col edge = hex(0x1A1410);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 130; ++x) {
            const bool outer = x == 0 || y == 0 || x == 129 || y == 13;
            const bool band = !outer && (x == 1 || y == 1 || x == 128 || y == 12);
            if (outer)
                im.set(x, y, edge);
            else if (band)
                im.set(x, y, (y == 1 || x == 1) ? metalLight : metalDark);
        }
    // Rivets where the band turns the corners.
    for (int x : {1, 128})
        for (int y : {1, 12})
            im.set(x, y, hex(0xFFF4D0));
    const Col pipBright = magic ? hex(0x7AB4FF) : hex(0xFF6A5A),
              pipMid = magic ? hex(0x2A5AE0) : hex(0xD82020);
    const Col pipDark = magic ? hex(0x14286A) : hex(0x6A0A0A);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 6; ++x) {
            Col c = pipMid;
            if (x == 0 || x == 5 || y == 9)
                c = pipDark;
            else if (y <= 2 && x <= 3)
                c = pipBright;
            else if (x == 1)
                c = mix(pipMid, pipBright, 0.5f);
            c = c * (1.0f - 0.03f * y);
            im.set(130 + x, 2 + y, c);
        }
    return im;
}

Image portrait(int who, float scale, int w, int h, float facingDegrees)
{
    SpriteCanvas cv(w, h);
    Figure f;
    const View view{rad(facingDegrees), scale, w / 2.f, h - 6 * scale};
    switch (who) {
    case 0: {
        const SwingPose s{70, 40, false};
        const V3 d = swingDirection(rad(s.yaw), rad(s.pitch));
        const V3 hand = v3(0, 3, 27) + v3(d.x, d.y, 0) * 8.f + v3(0, 0, 6);
        const V3 left = v3(3, -8.5f, 21);
        const Hands hands = person(f, heroOutfit(), 0.6f, 0.3f, &hand, &left);
        f.group = 6;
        f.oriented(hands.left + v3(0.5f, -1.8f, 0), v3(4.6f, 0, 0), v3(0, 1.1f, 0), v3(0, 0, 5.2f),
                   hex(0x8C9AB0), 0.9f);
        sword(f, hand, d, 27, hex(0xDCE4F0), false);
        break;
    }
    case 1: lizardFigure(f, 0.8f); break;
    case 2: ogreFigure(f, 0.8f, 0.6f, 0.6f); break;
    default: {
        BossPose p;
        p.armed = true, p.yaw = 60, p.pitch = 35, p.stride = 0.3f;
        bossFigure(f, p);
        break;
    }
    }
    render(cv, f, view);
    return cv.finish();
}
