// fault_files.cpp - writers of small BMP and WAV files for the fault tests.

#include "fault_files.h"

namespace
{

void put16(std::string &s, uint32_t v)
{
    s += char(v & 0xFF);
    s += char(v >> 8 & 0xFF);
}
void put32(std::string &s, uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

} // namespace

std::string bmpFile(int32_t w, int32_t h)
{
    const uint32_t row = (uint32_t(w) * 3 + 3) / 4 * 4;
    const uint32_t pixels = row * uint32_t(h);
    std::string s = "BM";
    put32(s, 54 + pixels);
    put32(s, 0);
    put32(s, 54); // pixel data offset
    put32(s, 40); // BITMAPINFOHEADER
    put32(s, uint32_t(w));
    put32(s, uint32_t(h));
    put16(s, 1);  // planes
    put16(s, 24); // bits per pixel
    put32(s, 0);  // no compression
    put32(s, pixels);
    put32(s, 2835);
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    s.append(pixels, char(0x80));
    return s;
}

std::string wavFile(uint16_t format, uint16_t channels, uint16_t bits)
{
    const uint32_t rate = 22050;
    const uint32_t blockAlign = channels * bits / 8;
    const uint32_t dataBytes = rate * blockAlign;
    std::string s = "RIFF";
    put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, format);
    put16(s, channels);
    put32(s, rate);
    put32(s, rate * blockAlign);
    put16(s, blockAlign);
    put16(s, bits);
    s += "data";
    put32(s, dataBytes);
    s.append(dataBytes, char(format == 1 && bits == 8 ? 0x80 : 0));
    return s;
}
