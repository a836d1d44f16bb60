// gendata.cpp - writes every picture and music file the game loads into a
// folder. Plain first version: sized sheets and pages, tones for music.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "world/walk_grids.h"

namespace {

struct Image {
    int w, h;
    std::vector<uint32_t> px; // 0xRRGGBB
    Image(int w_, int h_, uint32_t fill) : w(w_), h(h_), px(size_t(w_) * h_, fill) {}
    void rect(int x0, int y0, int rw, int rh, uint32_t c)
    {
        for (int y = y0; y < y0 + rh; ++y)
            for (int x = x0; x < x0 + rw; ++x)
                if (x >= 0 && y >= 0 && x < w && y < h)
                    px[size_t(y) * w + x] = c;
    }
};

constexpr uint32_t magenta = 0xFF00FF;

void put16(std::vector<unsigned char> &b, unsigned v) { b.push_back(v & 255); b.push_back(v >> 8 & 255); }
void put32(std::vector<unsigned char> &b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

bool writeBmp(const std::string &path, const Image &im)
{
    const uint32_t row = (uint32_t(im.w) * 3 + 3) & ~3u;
    std::vector<unsigned char> b;
    b.push_back('B'); b.push_back('M');
    put32(b, 54 + row * im.h); put32(b, 0); put32(b, 54);
    put32(b, 40); put32(b, im.w); put32(b, im.h); put16(b, 1); put16(b, 24);
    put32(b, 0); put32(b, row * im.h); put32(b, 2835); put32(b, 2835); put32(b, 0); put32(b, 0);
    for (int y = im.h - 1; y >= 0; --y) {
        for (int x = 0; x < im.w; ++x) {
            const uint32_t c = im.px[size_t(y) * im.w + x];
            b.push_back(c & 255); b.push_back(c >> 8 & 255); b.push_back(c >> 16 & 255);
        }
        for (uint32_t p = uint32_t(im.w) * 3; p < row; ++p) b.push_back(0);
    }
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

bool writeWav(const std::string &path, double hz, double seconds)
{
    const int rate = 22050, n = int(rate * seconds);
    std::vector<unsigned char> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'}); put32(b, 36 + n * 2);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}); put32(b, 16);
    put16(b, 1); put16(b, 1); put32(b, rate); put32(b, rate * 2); put16(b, 2); put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'}); put32(b, n * 2);
    for (int i = 0; i < n; ++i)
        put16(b, uint16_t(int16_t(8000 * std::sin(2 * M_PI * hz * i / rate))));
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

Image sheet(int cw, int ch, int cols, int rows, uint32_t body)
{
    Image im(cw * cols, ch * rows, magenta);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            im.rect(c * cw + cw / 4, r * ch + ch / 4, cw / 2, ch / 2, body);
            im.rect(c * cw + cw / 2 - 3 + (r == 0 ? 12 : r == 7 ? -12 : 0), r * ch + ch / 4 + (r == 1 ? -6 : r == 4 ? 40 : 10), 6, 6, 0xFFFFFF);
        }
    return im;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) { std::fprintf(stderr, "usage: gendata FOLDER\n"); return 2; }
    const std::string dir = argv[1];
    bool ok = true;
    auto bmp = [&](const char *name, const Image &im) { ok = writeBmp(dir + "/" + name, im) && ok; };
    const char *pages[] = {"Main Menu.bmp", "bitmap1.bmp", "bitmap2.bmp", "bitmap3.bmp"};
    for (int i = 0; i < 4; ++i) { Image p(640, 480, 0x202040 + 0x200000 * i); p.rect(100, 100, 440, 60, 0xE0C040); bmp(pages[i], p); }
    Image world(worldPixels, worldPixels, 0);
    for (int r = 0; r < gridRows; ++r)
        for (int c = 0; c < gridColumns; ++c)
            world.rect(c * 32, r * 32, 32, 32, heroGrid[r][c] != '0' ? 0x30402A : enemyGrid[r][c] == '0' ? 0x4A8A3A : 0xB09A6A);
    bmp("worldMap.bmp", world);
    Image over(worldPixels, worldPixels, 0x400000), win(worldPixels, worldPixels, 0x004060);
    bmp("gameover.bmp", over); bmp("Victory.bmp", win);
    bmp("Avatar.bmp", sheet(96, 96, 8, 8, 0x3060C0));
    bmp("avatar attacks.bmp", sheet(96, 96, 13, 8, 0x5080E0));
    bmp("Lizard.bmp", sheet(90, 100, 8, 8, 0x40A040));
    bmp("ogre.bmp", sheet(96, 96, 8, 8, 0x806040));
    bmp("Bad guy.bmp", sheet(96, 96, 8, 8, 0x800020));
    bmp("Bad guy attack.bmp", sheet(96, 96, 13, 8, 0xA00030));
    Image s(96, 96, magenta); for (int i = 0; i < 96; ++i) s.rect(i, 95 - i, 4, 4, 0xFFFFFF); bmp("slash.bmp", s);
    const char *villagerNames[] = {"looking s0000.bmp", "villager1.bmp", "villager2.bmp", "villager3.bmp", "villager4.bmp"};
    for (int i = 0; i < 5; ++i) { Image v(64, 96, magenta); v.rect(16, 16, 32, 72, 0x806080 + 0x101010 * i); bmp(villagerNames[i], v); }
    Image j(64, 96, magenta); j.rect(16, 16, 32, 32, 0x40E0FF); bmp("jewel.bmp", j);
    Image life(136, 14, magenta); life.rect(0, 0, 130, 14, 0x404040); life.rect(2, 2, 126, 10, magenta); life.rect(130, 2, 6, 10, 0xE02020); bmp("life_bar.bmp", life);
    Image magic(136, 14, magenta); magic.rect(0, 0, 130, 14, 0x404040); magic.rect(2, 2, 126, 10, magenta); magic.rect(130, 2, 6, 10, 0x2040E0); bmp("magic_bar.bmp", magic);
    ok = writeWav(dir + "/BGM_00009.wav", 440, 4) && ok;
    ok = writeWav(dir + "/BGM_00012.wav", 330, 4) && ok;
    ok = writeWav(dir + "/BGM_00006.wav", 262, 4) && ok;
    ok = writeWav(dir + "/BGM_00001.wav", 523, 4) && ok;
    if (!ok) { std::fprintf(stderr, "gendata: could not write into %s\n", dir.c_str()); return 1; }
    return 0;
}
