// files.cpp - the BMP and WAV writers.

#include <cstdio>

#include "art.h"

namespace
{

void put16(std::vector<unsigned char> &b, unsigned v)
{
    b.push_back(v & 255);
    b.push_back(v >> 8 & 255);
}
void put32(std::vector<unsigned char> &b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putTag(std::vector<unsigned char> &b, const char *tag)
{
    b.insert(b.end(), tag, tag + 4);
}

bool writeAll(const std::string &path, const std::vector<unsigned char> &b)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

bool writeBmp(const std::string &path, const Image &im, int bitsPerPixel)
{
    const uint32_t bytesPerPixel = bitsPerPixel == 32 ? 4 : 3;
    const uint32_t row = (uint32_t(im.w) * bytesPerPixel + 3) & ~3u;
    std::vector<unsigned char> b;
    b.reserve(54 + size_t(row) * im.h);
    b.push_back('B');
    b.push_back('M');
    put32(b, 54 + row * im.h);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, im.w);
    put32(b, im.h); // positive: rows stored bottom-up
    put16(b, 1);
    put16(b, bytesPerPixel * 8);
    put32(b, 0);
    put32(b, row * im.h);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int y = im.h - 1; y >= 0; --y) {
        for (int x = 0; x < im.w; ++x) {
            const uint32_t c = im.at(x, y);
            b.push_back(c & 255);
            b.push_back(c >> 8 & 255);
            b.push_back(c >> 16 & 255);
            if (bytesPerPixel == 4)
                b.push_back(0); // unused
        }
        for (uint32_t p = uint32_t(im.w) * bytesPerPixel; p < row; ++p)
            b.push_back(0);
    }
    return writeAll(path, b);
}

bool writeWav(const std::string &path, const std::vector<int16_t> &samples, int rate, int channels)
{
    const uint32_t bytes = uint32_t(samples.size() * 2);
    std::vector<unsigned char> b;
    b.reserve(44 + bytes);
    putTag(b, "RIFF");
    put32(b, 36 + bytes);
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * 2 * channels);
    put16(b, 2 * channels);
    put16(b, 16);
    putTag(b, "data");
    put32(b, bytes);
    for (int16_t s : samples)
        put16(b, uint16_t(s));
    return writeAll(path, b);
}
