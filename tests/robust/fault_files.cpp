// fault_files.cpp - writers of BMP and WAV files in many layouts for the
// data-check tests, and readers of the game's own generated layouts.

#include "fault_files.h"

#include <cstring>

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
uint32_t get32(const std::string &s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}
uint16_t get16(const std::string &s, size_t at)
{
    return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8);
}

// The palette of a picture of `bits` bits: 3-3-2 levels at 8 bits, greys below.
std::vector<uint32_t> paletteFor(int bits)
{
    std::vector<uint32_t> palette;
    const int count = 1 << bits;
    for (int i = 0; i < count; ++i) {
        if (bits == 8) {
            const uint32_t r = (i >> 5) * 255 / 7, g = (i >> 2 & 7) * 255 / 7, b = (i & 3) * 255 / 3;
            palette.push_back(r << 16 | g << 8 | b);
        } else {
            const uint32_t v = uint32_t(i * 255 / (count - 1));
            palette.push_back(v << 16 | v << 8 | v);
        }
    }
    return palette;
}

int paletteIndex(uint32_t rgb, int bits)
{
    const int r = rgb >> 16 & 255, g = rgb >> 8 & 255, b = rgb & 255;
    if (bits == 8)
        return (r * 7 + 127) / 255 << 5 | (g * 7 + 127) / 255 << 2 | (b * 3 + 127) / 255;
    const int levels = (1 << bits) - 1;
    return ((r + g + b) / 3 * levels + 127) / 255;
}

// One row of palette indices, run-length coded (RLE8, or RLE4 with two equal
// nibbles a run), ended by the end-of-line mark.
void putRleRow(std::string &s, const std::vector<int> &row, bool fourBits)
{
    size_t x = 0;
    while (x < row.size()) {
        size_t run = 1;
        while (x + run < row.size() && run < 255 && row[x + run] == row[x])
            ++run;
        s += char(run);
        s += char(fourBits ? (row[x] << 4 | row[x]) : row[x]);
        x += run;
    }
    s += '\0';
    s += '\0';
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

std::string wavFile(uint16_t format, uint16_t channels, uint16_t bits, uint32_t rate)
{
    const uint32_t dataBytes = rate * (channels * bits / 8u);
    const Chunk data{"data", std::string(dataBytes, char(format == 1 && bits == 8 ? 0x80 : 0))};
    return riffWave({formatChunk(format, channels, rate, bits), data});
}

bool decodeBmp(const std::string &bytes, Picture &picture)
{
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0 || get32(bytes, 14) != 40 ||
        (get16(bytes, 28) != 24 && get16(bytes, 28) != 32) || get32(bytes, 30) != 0)
        return false;
    const size_t bytesPerPixel = get16(bytes, 28) / 8;
    const int32_t w = int32_t(get32(bytes, 18)), h = int32_t(get32(bytes, 22));
    const size_t offset = get32(bytes, 10), row = (size_t(w) * bytesPerPixel + 3) / 4 * 4;
    if (w <= 0 || h <= 0 || offset + row * size_t(h) > bytes.size())
        return false;
    picture.w = w;
    picture.h = h;
    picture.rgb.assign(size_t(w) * size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const unsigned char *p =
            reinterpret_cast<const unsigned char *>(bytes.data()) + offset + (h - 1 - y) * row;
        for (int x = 0; x < w; ++x, p += bytesPerPixel)
            picture.rgb[size_t(y) * size_t(w) + size_t(x)] =
                uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    return true;
}

uint32_t paletteColour8(uint32_t rgb)
{
    static const std::vector<uint32_t> palette = paletteFor(8);
    const uint32_t c = palette[size_t(paletteIndex(rgb, 8))];
    uint32_t out = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const uint32_t six = (c >> shift & 255) / 4;
        out |= ((six * 255 + 31) / 63) << shift; // the library widens 6 bits back to 8, rounded
    }
    return out;
}

std::string encodeBmp(const Picture &picture, const BmpLayout &layout)
{
    const int w = picture.w, h = picture.h, bits = layout.bits;
    const bool os2 = layout.infoSize == 12;
    const int fullPalette = bits <= 8 ? 1 << bits : 0;
    const int colours = bits <= 8 ? (layout.paletteColours > 0 ? layout.paletteColours : fullPalette) : 0;
    const std::vector<uint32_t> palette = bits <= 8 ? paletteFor(bits) : std::vector<uint32_t>();

    std::string pixels;
    for (int r = 0; r < h; ++r) {
        const int y = layout.topDown ? r : h - 1 - r;
        const uint32_t *src = &picture.rgb[size_t(y) * size_t(w)];
        if (layout.compression != 0) {
            std::vector<int> row(size_t(w), 0);
            for (int x = 0; x < w; ++x)
                row[size_t(x)] = paletteIndex(src[x], bits) % colours;
            putRleRow(pixels, row, layout.compression == 2);
            continue;
        }
        std::string line;
        uint32_t acc = 0;
        int accBits = 0;
        for (int x = 0; x < w; ++x) {
            const uint32_t c = src[x];
            if (bits == 24 || bits == 32) {
                line += char(c & 255);
                line += char(c >> 8 & 255);
                line += char(c >> 16 & 255);
                if (bits == 32)
                    line += char(layout.alpha);
            } else if (bits == 16) {
                put16(line, (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31));
            } else {
                acc = acc << bits | uint32_t(paletteIndex(c, bits) % colours);
                accBits += bits;
                if (accBits == 8) {
                    line += char(acc);
                    acc = 0;
                    accBits = 0;
                }
            }
        }
        if (accBits > 0)
            line += char(acc << (8 - accBits));
        line.resize((line.size() + 3) / 4 * 4, '\0');
        pixels += line;
    }
    if (layout.compression != 0) {
        pixels.pop_back(); // the last end-of-line becomes the end of the picture
        pixels += '\1';
    }

    const uint32_t entryBytes = os2 ? 3 : 4;
    const uint32_t offset = 14 + layout.infoSize + uint32_t(colours) * entryBytes + layout.gap;
    std::string s = "BM";
    put32(s, offset + uint32_t(pixels.size()));
    put32(s, 0);
    put32(s, offset);
    put32(s, layout.infoSize);
    if (os2) {
        put16(s, uint32_t(w));
        put16(s, uint32_t(h));
        put16(s, 1);
        put16(s, uint32_t(bits));
    } else {
        put32(s, uint32_t(w));
        put32(s, uint32_t(layout.topDown ? -h : h));
        put16(s, 1);
        put16(s, uint32_t(bits));
        put32(s, layout.compression);
        put32(s, uint32_t(pixels.size()));
        put32(s, 2835);
        put32(s, 2835);
        put32(s, uint32_t(colours == fullPalette ? 0 : colours));
        put32(s, 0);
        s.resize(14 + layout.infoSize, '\0'); // V4 and V5 fields: no masks, no colour space
    }
    for (int i = 0; i < colours; ++i) {
        const uint32_t c = palette[size_t(i)];
        s += char(c & 255);
        s += char(c >> 8 & 255);
        s += char(c >> 16 & 255);
        if (!os2)
            s += '\0';
    }
    s.append(layout.gap, char(0xA5));
    return s + pixels;
}

bool decodeWav16(const std::string &bytes, Sound &sound, WavChunks &where)
{
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return false;
    where = WavChunks{};
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const size_t size = get32(bytes, at + 4);
        if (size > bytes.size() - at - 8)
            return false;
        if (bytes.compare(at, 4, "fmt ") == 0 && size >= 16)
            where.format = at;
        else if (bytes.compare(at, 4, "data") == 0)
            where.data = at;
        at += 8 + size + size % 2;
    }
    if (where.format == 0 || where.data == 0 || get16(bytes, where.format + 8) != 1 ||
        get16(bytes, where.format + 22) != 16)
        return false;
    sound.channels = get16(bytes, where.format + 10);
    sound.rate = get32(bytes, where.format + 12);
    sound.samples.resize(get32(bytes, where.data + 4) / 2);
    std::memcpy(sound.samples.data(), bytes.data() + where.data + 8, sound.samples.size() * 2);
    return true;
}

std::string riffWave(const std::vector<Chunk> &chunks)
{
    std::string body = "WAVE";
    for (const Chunk &c : chunks) {
        body += c.name;
        put32(body, uint32_t(c.body.size()));
        body += c.body;
        if (c.body.size() % 2 != 0)
            body += '\0';
    }
    std::string s = "RIFF";
    put32(s, uint32_t(body.size()));
    return s + body;
}

Chunk formatChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t extraBytes)
{
    Chunk c{"fmt ", ""};
    const uint32_t blockAlign = channels * bits / 8;
    put16(c.body, tag);
    put16(c.body, channels);
    put32(c.body, rate);
    put32(c.body, rate * blockAlign);
    put16(c.body, blockAlign);
    put16(c.body, bits);
    if (extraBytes > 0) {
        put16(c.body, extraBytes - 2u);
        c.body.append(extraBytes - 2u, '\0');
    }
    return c;
}

Chunk dataChunk(const Sound &sound, uint16_t channels, uint16_t bits)
{
    Chunk c{"data", ""};
    const size_t frames = sound.samples.size() / size_t(sound.channels);
    for (size_t f = 0; f < frames; ++f) {
        for (int ch = 0; ch < channels; ++ch) {
            int v;
            if (sound.channels == channels)
                v = sound.samples[f * size_t(channels) + size_t(ch)];
            else if (sound.channels == 1)
                v = sound.samples[f];
            else
                v = sound.samples[f * 2]; // the left channel
            if (bits == 8)
                c.body += char((v >> 8) + 128);
            else if (bits == 16)
                put16(c.body, uint32_t(v) & 0xFFFF);
            else { // 24
                c.body += '\0';
                put16(c.body, uint32_t(v) & 0xFFFF);
            }
        }
    }
    return c;
}
