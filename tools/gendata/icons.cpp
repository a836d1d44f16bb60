// icons.cpp - the desktop icons, painted from the game's own art: the hero's
// portrait over a round night-blue badge with a gold rim and the jewel at its
// foot. Each size is painted four times larger and averaged down, so the
// sprites' hard magenta edges become smooth alpha. Written as PNG (colour type
// 6, stored deflate blocks: no compression library needed), and the same
// pictures gathered into one Windows icon file for the Windows build.

#include <algorithm>
#include <cstdio>

#include "art.h"
#include "icons.h"

namespace
{

constexpr int iconSizes[5] = {32, 48, 64, 128, 256}; // pixels, the hicolor theme's usual set
constexpr int superSample = 4;                       // painted at 4 x 4 samples per pixel
constexpr uint32_t clear = 0x000001;                 // marks a sample outside the badge

// The badge at size s (already super-sampled): clear outside the disc.
Image paintBadge(int s)
{
    Image im(s, s, clear);
    const float c = s / 2.f, rim = s * 0.47f, inner = s * 0.43f;
    for (int y = 0; y < s; ++y)
        for (int x = 0; x < s; ++x) {
            const float d = std::hypot(x + 0.5f - c, y + 0.5f - c);
            if (d > rim)
                continue;
            const float shade = clamp01(1 - d / inner * 0.6f);
            const Col night = mix(hex(0x0E1430), hex(0x34508E), shade * (1 - float(y) / s * 0.5f));
            const Col gold = mix(hex(0x8A5A14), hex(0xF0C860), clamp01((c - y) / s + 0.5f));
            im.set(x, y, d > inner ? gold : night);
        }
    return im;
}

// Pastes a sprite scaled by whole samples (nearest), magenta skipped.
void pasteScaled(Image &im, const Image &sprite, int x0, int y0, int factor)
{
    for (int y = 0; y < sprite.h * factor; ++y)
        for (int x = 0; x < sprite.w * factor; ++x) {
            const uint32_t c = sprite.at(x / factor, y / factor);
            if (c != magenta && x0 + x >= 0 && y0 + y >= 0 && x0 + x < im.w && y0 + y < im.h)
                im.px[size_t(y0 + y) * im.w + x0 + x] = c;
        }
}

struct Rgba {
    int w = 0, h = 0;
    std::vector<unsigned char> px; // r, g, b, a per pixel
};

// The icon of size px: the badge, the hero, the jewel, averaged down.
Rgba paintIcon(int size)
{
    const int s = size * superSample;
    Image big = paintBadge(s);
    // The title page's pose of the hero, filling most of the badge's height.
    const Image hero = portrait(0, s / 64.f, s, s * 84 / 100, 300);
    big.pasteMasked(hero, -s * 4 / 100, s * 2 / 100);
    const Image jewel = paintJewel();
    const int factor = std::max(1, s * 26 / 100 / jewel.w);
    pasteScaled(big, jewel, s * 62 / 100, s * 58 / 100, factor);

    Rgba out;
    out.w = out.h = size;
    out.px.resize(size_t(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int sy = 0; sy < superSample; ++sy)
                for (int sx = 0; sx < superSample; ++sx) {
                    const uint32_t c = big.at(x * superSample + sx, y * superSample + sy);
                    if (c == clear)
                        continue;
                    r += c >> 16 & 255, g += c >> 8 & 255, b += c & 255, ++n;
                }
            unsigned char *p = &out.px[(size_t(y) * size + x) * 4];
            p[0] = n ? r / n : 0, p[1] = n ? g / n : 0, p[2] = n ? b / n : 0;
            p[3] = n * 255 / (superSample * superSample);
        }
    return out;
}

uint32_t crc32(const unsigned char *data, size_t n, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void putBig32(std::vector<unsigned char> &b, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(v >> shift & 255);
}

void chunk(std::vector<unsigned char> &png, const char *type, const std::vector<unsigned char> &body)
{
    putBig32(png, uint32_t(body.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    putBig32(png, crc32(&png[start], png.size() - start));
}

std::vector<unsigned char> encodePng(const Rgba &im)
{
    std::vector<unsigned char> raw; // filter byte 0, then the row
    for (int y = 0; y < im.h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), im.px.begin() + size_t(y) * im.w * 4, im.px.begin() + size_t(y + 1) * im.w * 4);
    }
    std::vector<unsigned char> z = {0x78, 0x01}; // zlib header: deflate, 32 KiB window
    for (size_t at = 0; at < raw.size() || at == 0;) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0); // a stored block
        z.push_back(n & 255), z.push_back(n >> 8);
        z.push_back(~n & 255), z.push_back(~n >> 8 & 255);
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
        at += n;
        if (last)
            break;
    }
    uint32_t a = 1, b = 0; // Adler-32 of the raw rows
    for (unsigned char c : raw)
        a = (a + c) % 65521, b = (b + a) % 65521;
    putBig32(z, b << 16 | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    putBig32(header, im.w);
    putBig32(header, im.h);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter choice, no interlace
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

bool writeFile(const std::string &path, const std::vector<unsigned char> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    const bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return f && std::fclose(f) == 0 && written;
}

void putLittle(std::vector<unsigned char> &b, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(v >> (8 * i) & 255);
}

// An ICO file whose images are PNG files, as Windows reads since Vista: a
// 6-byte header, one 16-byte entry per image (a side of 256 is written as 0),
// then the images.
std::vector<unsigned char> encodeIco(const std::vector<std::vector<unsigned char>> &pngs, const int *sizes)
{
    std::vector<unsigned char> ico;
    putLittle(ico, 0, 2), putLittle(ico, 1, 2), putLittle(ico, uint32_t(pngs.size()), 2);
    uint32_t offset = uint32_t(6 + 16 * pngs.size());
    for (size_t i = 0; i < pngs.size(); ++i) {
        const int side = sizes[i] >= 256 ? 0 : sizes[i];
        ico.push_back(uint8_t(side)), ico.push_back(uint8_t(side));
        ico.push_back(0), ico.push_back(0);          // no palette, reserved
        putLittle(ico, 1, 2), putLittle(ico, 32, 2); // planes, bits per pixel
        putLittle(ico, uint32_t(pngs[i].size()), 4), putLittle(ico, offset, 4);
        offset += uint32_t(pngs[i].size());
    }
    for (const auto &png : pngs)
        ico.insert(ico.end(), png.begin(), png.end());
    return ico;
}

} // namespace

bool writeIcons(const std::string &dir)
{
    bool ok = true;
    std::vector<std::vector<unsigned char>> pngs;
    for (int size : iconSizes) {
        pngs.push_back(encodePng(paintIcon(size)));
        ok = writeFile(dir + "/jewelward-" + std::to_string(size) + ".png", pngs.back()) && ok;
    }
    return writeFile(dir + "/jewelward.ico", encodeIco(pngs, iconSizes)) && ok;
}
