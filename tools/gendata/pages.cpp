// pages.cpp - the title page, the three story pages and the two end pictures.

#include <algorithm>
#include <string>
#include <vector>

#include "pages.h"
#include "text.h"
#include "world/walk_grids.h"

namespace
{

void stars(Image &im, int y1, uint32_t seed)
{
    for (int k = 0; k < 140; ++k) {
        const float x = hashUnit(k, 1, seed) * im.w, y = hashUnit(k, 2, seed) * y1;
        const float b = 0.4f + 0.6f * hashUnit(k, 3, seed);
        fillDisc(im, x, y, 0.6f + 0.9f * b * b, mix(hex(0xFFF4D8), hex(0xC8D8FF), hashUnit(k, 4, seed)) * b);
    }
}

// A ridge of hills or mountains, filled down to the bottom of the picture.
void ridge(Image &im, float base, float height, float wavelength, Col top, Col bottom, uint32_t seed,
           int x0 = 0, int x1 = -1)
{
    if (x1 < 0)
        x1 = im.w;
    for (int x = x0; x < x1; ++x) {
        const float crest = base - height * fractal(x / wavelength, 0.5f, 4, seed);
        for (int y = std::max(0, int(crest)); y < im.h; ++y) {
            const float t = clamp01((y - crest) / 120.f);
            Col c = mix(top, bottom, t) * (0.94f + 0.1f * valueNoise(x / 3.f, y / 3.f, seed + 1));
            im.blend(x, y, c, clamp01(y + 1 - crest));
        }
    }
}

void frame(Image &im, int x0, int y0, int x1, int y1, Col gold)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const int d = std::min(std::min(x - x0, x1 - 1 - x), std::min(y - y0, y1 - 1 - y));
            if (d == 0 || d == 5)
                im.set(x, y, hex(0x140C06));
            else if (d < 5)
                im.set(x, y, gold * (d == 1 ? 1.15f : d == 4 ? 0.7f : 0.95f));
        }
}

void panel(Image &im, int x0, int y0, int x1, int y1, Col fill, float alpha)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            im.blend(x, y, fill, alpha);
}

Image scaledJewel(int size)
{
    const Image j = paintJewel();
    Image out(size, size, magenta);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            out.px[size_t(y) * size + x] = j.at(x * j.w / size, y * j.h / size);
    return out;
}

const TextStyle storyText{3, hex(0xFFF6E0), hex(0xE0C8A0), hex(0x1A0E06), 2, 2};
const TextStyle goldText{3, hex(0xFFE890), hex(0xD89430), hex(0x2A1404), 2, 2};

// The story's lines under its picture; a line starting with '*' is the goal,
// drawn in gold.
Image storyBase(const std::vector<std::string> &lines)
{
    Image im(640, 480, 0);
    verticalGradient(im, 0, 480, hex(0x2A1C12), hex(0x120A06));
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            im.set(x, y, im.get(x, y) * (0.85f + 0.3f * fractal(x / 40.f, y / 40.f, 3, 501)));
    const int step = lines.size() > 4 ? 28 : 32;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool goal = lines[i][0] == '*';
        drawTextCentred(im, 320, 296 + int(i) * step, goal ? lines[i].substr(1) : lines[i],
                        goal ? goldText : storyText);
    }
    drawText(im, 640 - 24 - textWidth("Press ENTER", 2), 452, "Press ENTER",
             TextStyle{2, hex(0xFFE890), hex(0xD89430), hex(0x2A1404), 1, 2});
    return im;
}

} // namespace

Image paintMenuPage()
{
    Image im(640, 480, 0);
    verticalGradient(im, 0, 230, hex(0x101640), hex(0x5A3A6A));
    verticalGradient(im, 230, 330, hex(0x5A3A6A), hex(0xF09050));
    stars(im, 220, 601);
    fillDisc(im, 110, 250, 36, hex(0xFFE6B0)); // a low sun
    ridge(im, 330, 110, 90, hex(0x3A3A6A), hex(0x242448), 602);
    ridge(im, 360, 60, 60, hex(0x2A4A3A), hex(0x14261A), 603);
    ridge(im, 420, 40, 140, hex(0x3E6E2E), hex(0x1E3A16), 604);
    im.pasteMasked(portrait(0, 3.4f, 260, 300, 300), 380, 165);
    const Image gem = scaledJewel(40);
    im.pasteMasked(gem, 400, 112);
    im.pasteMasked(gem, 560, 150);
    im.pasteMasked(gem, 600, 260);
    drawTextCentred(im, 320, 28, "JEWELWARD",
                    TextStyle{8, hex(0xFFF0A0), hex(0xE08A20), hex(0x2A1004), 4, 5});
    // What every key does, on the title and in play, and what wins the game.
    const int px0 = 22, py0 = 104, px1 = 364, py1 = 452;
    panel(im, px0, py0, px1, py1, hex(0x0A0810), 0.8f);
    frame(im, px0, py0, px1, py1, hex(0xD0A040));
    const TextStyle head{2, hex(0xFFC8A0), hex(0xE07848), hex(0x2A0C04), 1, 2};
    const TextStyle key{2, hex(0xFFE890), hex(0xD89430), hex(0x2A1404), 1, 2};
    const TextStyle what{2, hex(0xFFFFFF), hex(0xD8D8E8), hex(0x101018), 1, 2};
    struct Row {
        const char *key, *what;
    };
    const Row titleKeys[3] = {{"ENTER", "story, then play"}, {"F2", "continue a save"}, {"ESC", "quit"}};
    const Row playKeys[5] = {{"ARROWS", "walk"},
                             {"ENTER", "swing the sword"},
                             {"R-SHIFT", "heal (2 magic)"},
                             {"F1", "save the game"},
                             {"ESC", "quit"}};
    const int x0 = px0 + 18, x1 = x0 + 8 * 12;
    int y = py0 + 16;
    // A heading, then one row a key: its name, and what it does beside it.
    const auto keySection = [&](const char *heading, const Row *rows, int count) {
        drawText(im, x0, y, heading, head);
        y += 26;
        for (int i = 0; i < count; ++i) {
            drawText(im, x0, y, rows[i].key, key);
            drawText(im, x1, y, rows[i].what, what);
            y += 24;
        }
    };
    keySection("ON THE TITLE", titleKeys, 3);
    y += 8;
    keySection("IN PLAY", playKeys, 5);
    y += 6;
    fillCapsule(im, x0, y, px1 - 18, y, 1.2f, hex(0xD0A040));
    y += 12;
    drawText(im, x0, y, "To win: take all 3 jewels", key);
    drawText(im, x0, y + 24, "and beat the dark lord.", key);
    return im;
}

Image paintStoryPage(int which)
{
    static const std::vector<std::string> text[3] = {
        {"Long ago three jewels kept", "the land of Jewelward safe.", "One dark night they were",
         "stolen and scattered wide."},
        {"Since then lizards and ogres", "roam the fields and woods.", "Find the jewels, and grow",
         "strong with every fight."},
        {"In the south-east arena waits", "the dark lord. He feels every", "swing of your sword, however",
         "far away he stands!", "*Take all 3 jewels, beat him!"},
    };
    Image im = storyBase(text[which - 1]);
    // The picture, framed at the top of the page.
    Image pic(548, 240, 0);
    if (which == 1) {
        verticalGradient(pic, 0, 240, hex(0x0C1030), hex(0x30305A));
        stars(pic, 200, 611);
        ridge(pic, 200, 40, 80, hex(0x2A3A2A), hex(0x101A10), 612);
        fillPolygon(pic, {234, 236, 314, 236, 300, 170, 248, 170}, hex(0x8A8A96));
        fillPolygon(pic, {226, 176, 322, 176, 322, 164, 226, 164}, hex(0xAEAEBA));
        const Image gem = scaledJewel(36);
        const float gx[3] = {120, 270, 420}, gy[3] = {60, 30, 70};
        for (int k = 0; k < 3; ++k) {
            for (int s = 0; s < 24; ++s) { // a trail from the altar
                const float t = s / 24.f;
                const float x = 274 + (gx[k] + 18 - 274) * t,
                            y = 160 + (gy[k] + 18 - 160) * t - 40 * std::sin(t * 3.14159f);
                fillDisc(pic, x, y, 1 + 3 * t, mix(hex(0x3070C0), hex(0xC8F0FF), t));
            }
            pic.pasteMasked(gem, int(gx[k]), int(gy[k]));
        }
    } else if (which == 2) {
        verticalGradient(pic, 0, 240, hex(0x70A8E0), hex(0xD8ECF8));
        ridge(pic, 120, 40, 70, hex(0x4A7A4A), hex(0x3A6A3A), 621);
        ridge(pic, 160, 25, 120, hex(0x5E9A3C), hex(0x3E7A2A), 622);
        for (int k = 0; k < 7; ++k) { // distant trees
            const float x = 30 + k * 80 + 20 * hashUnit(k, 0, 623), y = 130 + 10 * hashUnit(k, 1, 623);
            fillCapsule(pic, x, y, x, y + 30, 3, hex(0x4A3020));
            fillDisc(pic, x, y - 4, 16, hex(0x2E6A2A));
            fillDisc(pic, x - 5, y - 9, 9, hex(0x4A8A3A));
        }
        pic.pasteMasked(portrait(1, 3.0f, 270, 150, 330), 10, 92);
        pic.pasteMasked(portrait(2, 2.6f, 240, 230, 220), 300, 8);
    } else {
        verticalGradient(pic, 0, 240, hex(0x1A0404), hex(0x8A2A0A));
        ridge(pic, 160, 90, 60, hex(0x2A1414), hex(0x140808), 631);
        for (int x = 0; x < pic.w; ++x)
            for (int y = 150; y < pic.h; ++y) {
                const float crack = std::fabs(fractal(x / 30.f, y / 18.f, 3, 632) - 0.5f);
                if (crack < 0.03f)
                    pic.set(x, y, mix(hex(0xFF6010), hex(0xFFE070), 1 - crack / 0.03f));
            }
        pic.pasteMasked(portrait(3, 3.1f, 300, 238, 270), 124, 0);
    }
    im.paste(pic, 46, 34);
    frame(im, 40, 28, 600, 280, hex(0xC89A40));
    return im;
}

Image paintEndPicture(bool victory)
{
    Image tile(endTileW, endTileH, 0);
    const Col top = victory ? hex(0x183A7A) : hex(0x2A0606), bottom = victory ? hex(0x0A1838) : hex(0x0A0202);
    verticalGradient(tile, 0, endTileH, top, bottom);
    // A pattern that repeats with the tile: rays or embers.
    for (int y = 0; y < endTileH; ++y)
        for (int x = 0; x < endTileW; ++x) {
            const float a = std::atan2(y - endTileH / 2.f, x - endTileW / 2.f);
            const float ray = 0.5f + 0.5f * std::cos(a * 12);
            tile.set(x, y, tile.get(x, y) * (0.85f + 0.3f * ray));
        }
    // The message on a solid banner: figures frozen or wandering over one
    // copy leave the others whole, and none of the pattern shows through.
    const int bx = endBoxX, by = endBoxY, bw = endBoxW, bh = endBoxH;
    panel(tile, bx, by, bx + bw, by + bh, victory ? hex(0x081028) : hex(0x140404), 1.f);
    frame(tile, bx, by, bx + bw, by + bh, victory ? hex(0xF0C040) : hex(0xD03020));
    frame(tile, bx + 8, by + 8, bx + bw - 8, by + bh - 8, victory ? hex(0x8A6A20) : hex(0x701810));
    const char *headline = victory ? "VICTORY" : "GAME OVER";
    const TextStyle big = victory ? TextStyle{5, hex(0xFFF4B0), hex(0xE89A20), hex(0x2A1004), 3, 4}
                                  : TextStyle{5, hex(0xFF7060), hex(0xC81010), hex(0x1A0202), 3, 4};
    drawTextCentred(tile, bx + bw / 2, by + 30, headline, big);
    const TextStyle line{2, hex(0xFFFFFF), hex(0xD8D8E8), hex(0x101018), 1, 2};
    if (victory) {
        const Image gem = scaledJewel(28);
        for (int k = 0; k < 3; ++k)
            tile.pasteMasked(gem, bx + bw / 2 - 50 + 36 * k, by + 80);
        drawTextCentred(tile, bx + bw / 2, by + 116, "The land is free!", line);
    } else {
        drawTextCentred(tile, bx + bw / 2, by + 84, "You have fallen.", line);
        drawTextCentred(tile, bx + bw / 2, by + 106, "The land stays dark.", line);
    }
    fillCapsule(tile, bx + 50, by + 140, bx + bw - 50, by + 140, 1.5f,
                victory ? hex(0xF0C040) : hex(0xD03020));
    drawTextCentred(tile, bx + bw / 2, by + 154, "ESC to quit",
                    TextStyle{3, hex(0xFFE890), hex(0xD89430), hex(0x2A1404), 2, 2});
    Image im(worldPixels, worldPixels, 0);
    for (int y = 0; y < im.h; ++y)
        for (int x = 0; x < im.w; ++x)
            im.px[size_t(y) * im.w + x] = tile.at(x % endTileW, y % endTileH);
    return im;
}
