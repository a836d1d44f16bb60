// data_readers.cpp - BMP and WAV readers for the data tests.

#include "data_readers.h"

#include "core/music.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace
{

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

std::string dataFolder()
{
    const char *env = std::getenv("JEWELWARD_DATA");
    return env ? env : JEWELWARD_DATA_DIR;
}

std::vector<unsigned char> readBytes(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    unsigned char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(f);
    return bytes;
}

Picture readPicture(const std::string &name)
{
    Picture p;
    const std::vector<unsigned char> b = readBytes(dataFolder() + "/" + name);
    const unsigned bytesPerPixel = b.size() < 54 ? 0 : le16(&b[28]) / 8;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || (bytesPerPixel != 3 && bytesPerPixel != 4) ||
        le32(&b[30]) != 0) {
        ADD_FAILURE() << name << " is not a 24- or 32-bit uncompressed BMP";
        return p;
    }
    const uint32_t offset = le32(&b[10]);
    const int w = int32_t(le32(&b[18])), h = int32_t(le32(&b[22]));
    if (w <= 0 || h <= 0) {
        ADD_FAILURE() << name << " is not stored bottom-up";
        return p;
    }
    const size_t row = (size_t(w) * bytesPerPixel + 3) & ~size_t(3);
    if (b.size() < offset + row * h) {
        ADD_FAILURE() << name << " is cut short";
        return p;
    }
    p.w = w, p.h = h;
    p.px.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const unsigned char *r = &b[offset + row * size_t(h - 1 - y)];
        for (int x = 0; x < w; ++x, r += bytesPerPixel)
            p.px[size_t(y) * w + x] = uint32_t(r[2]) << 16 | uint32_t(r[1]) << 8 | r[0];
    }
    return p;
}

Sound readSound(const std::string &name)
{
    Sound s;
    const std::vector<unsigned char> b = readBytes(dataFolder() + "/" + name);
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") {
        ADD_FAILURE() << name << " is not a WAV file";
        return s;
    }
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string tag(b.begin() + long(at), b.begin() + long(at) + 4);
        const uint32_t size = le32(&b[at + 4]);
        if (tag == "fmt ") {
            if (le16(&b[at + 8]) != 1 || le16(&b[at + 22]) != 16)
                ADD_FAILURE() << name << " is not 16-bit PCM";
            s.channels = le16(&b[at + 10]);
            s.rate = int(le32(&b[at + 12]));
        } else if (tag == "data") {
            const size_t n = std::min<size_t>(size, b.size() - at - 8) / 2;
            s.samples.resize(n);
            for (size_t i = 0; i < n; ++i)
                s.samples[i] = int16_t(le16(&b[at + 8 + 2 * i]));
            return s;
        }
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << name << " has no sound data";
    return s;
}

double mixerGain(int volume, int pan, int channel)
{
    return volume / 255.0 * (channel ? pan : 255 - pan) / 255.0 * 2.0 / (1 << voiceVolumeHalvings);
}

void fft(std::vector<std::complex<double>> &a, bool inverse)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, (inverse ? 2 : -2) * M_PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> t = 1;
            for (size_t k = 0; k < len / 2; ++k, t *= w) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * t;
                a[i + k] = u + v, a[i + k + len / 2] = u - v;
            }
        }
    }
}
