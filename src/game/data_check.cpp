// data_check.cpp - header checks of the BMP and WAV files the game loads.

#include "game/data_check.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "world/walk_grids.h"

const DataFileRule dataFileRules[] = {
    {"Main Menu.bmp", false, 640, 480, false},
    {"bitmap1.bmp", false, 640, 480, false},
    {"bitmap2.bmp", false, 640, 480, false},
    {"bitmap3.bmp", false, 640, 480, false},
    {"worldMap.bmp", false, worldPixels, worldPixels, true},
    {"gameover.bmp", false, worldPixels, worldPixels, true}, // shown wherever the camera stands
    {"Victory.bmp", false, worldPixels, worldPixels, true},
    {"Avatar.bmp", false, 8 * 96, 8 * 96, false},
    {"avatar attacks.bmp", false, 13 * 96, 8 * 96, false},
    {"Lizard.bmp", false, 8 * 90, 8 * 100, false},
    {"ogre.bmp", false, 8 * 96, 8 * 96, false},
    {"Bad guy.bmp", false, 8 * 96, 8 * 96, false},
    {"Bad guy attack.bmp", false, 13 * 96, 8 * 96, false},
    {"slash.bmp", false, 1, 1, false},
    {"looking s0000.bmp", false, 1, 1, false},
    {"villager1.bmp", false, 1, 1, false},
    {"villager2.bmp", false, 1, 1, false},
    {"villager3.bmp", false, 1, 1, false},
    {"villager4.bmp", false, 1, 1, false},
    {"jewel.bmp", false, 1, 1, false},
    {"life_bar.bmp", false, 136, 14, false}, // frame 130 x 14 at (0, 0), pip 6 x 10 at (130, 2)
    {"magic_bar.bmp", false, 136, 14, false},
    {"BGM_00009.wav", true, 0, 0, false},
    {"BGM_00012.wav", true, 0, 0, false},
    {"BGM_00006.wav", true, 0, 0, false},
    {"BGM_00001.wav", true, 0, 0, false},
};
const int dataFileRuleCount = int(sizeof dataFileRules / sizeof dataFileRules[0]);

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

std::string checkPicture(const std::vector<unsigned char> &f, const DataFileRule &rule)
{
    if (f.size() < 26 || f[0] != 'B' || f[1] != 'M')
        return "is not a BMP picture";
    const uint32_t pixelOffset = le32(&f[10]);
    const uint32_t infoSize = le32(&f[14]);
    int64_t width, height;
    unsigned bits, compression = 0;
    if (infoSize == 12) { // the old OS/2 header
        width = le16(&f[18]);
        height = int16_t(le16(&f[20]));
        bits = le16(&f[24]);
    } else if (infoSize >= 40 && f.size() >= 54) {
        width = int32_t(le32(&f[18]));
        height = int32_t(le32(&f[22]));
        bits = le16(&f[28]);
        compression = le32(&f[30]);
    } else {
        return "has a BMP header the game cannot read";
    }
    if (height < 0)
        height = -height;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "has a colour depth the game cannot read";
    if (width <= 0 || height <= 0)
        return "has no pixels";
    if (compression == 0) { // uncompressed rows are padded to 4 bytes
        const int64_t rowBytes = (width * bits + 31) / 32 * 4;
        if (int64_t(f.size()) < int64_t(pixelOffset) + rowBytes * height)
            return "is cut short";
    }
    char text[160];
    if (rule.exactSize && (width != rule.minWidth || height != rule.minHeight)) {
        std::snprintf(text, sizeof text, "is %lld x %lld pixels but must be %d x %d", (long long)width,
                      (long long)height, rule.minWidth, rule.minHeight);
        return text;
    }
    if (width < rule.minWidth || height < rule.minHeight) {
        std::snprintf(text, sizeof text, "is %lld x %lld pixels but must be at least %d x %d",
                      (long long)width, (long long)height, rule.minWidth, rule.minHeight);
        return text;
    }
    return "";
}

std::string checkMusic(const std::vector<unsigned char> &f)
{
    if (f.size() < 12 || f[0] != 'R' || f[1] != 'I' || f[2] != 'F' || f[3] != 'F' || f[8] != 'W' ||
        f[9] != 'A' || f[10] != 'V' || f[11] != 'E')
        return "is not a WAV sound";
    bool formatSeen = false;
    size_t at = 12;
    while (at + 8 <= f.size()) {
        const uint32_t size = le32(&f[at + 4]);
        const size_t body = at + 8;
        if (f[at] == 'f' && f[at + 1] == 'm' && f[at + 2] == 't') {
            if (size < 16 || body + 16 > f.size())
                return "is cut short";
            const unsigned format = le16(&f[body]), channels = le16(&f[body + 2]);
            const unsigned bits = le16(&f[body + 14]);
            if (format != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16))
                return "is not 8- or 16-bit PCM in one or two channels";
            formatSeen = true;
        } else if (f[at] == 'd' && f[at + 1] == 'a' && f[at + 2] == 't' && f[at + 3] == 'a') {
            if (!formatSeen)
                return "has its sound data before its format";
            if (size == 0)
                return "holds no sound";
            if (body + size > f.size())
                return "is cut short";
            return "";
        }
        at = body + size + (size & 1); // chunks are padded to an even length
    }
    return formatSeen ? "is cut short" : "has no sound format";
}

} // namespace

std::string checkDataFile(const std::string &folder, const DataFileRule &rule)
{
    const std::string path = folder.empty() ? std::string(rule.name) : folder + "/" + rule.name;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "is missing or cannot be read";
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
        return "cannot be read";
    return rule.music ? checkMusic(bytes) : checkPicture(bytes, rule);
}

std::string checkDataFiles(const std::string &folder)
{
    std::string report;
    for (int i = 0; i < dataFileRuleCount; ++i) {
        const std::string problem = checkDataFile(folder, dataFileRules[i]);
        if (!problem.empty())
            report += std::string("\"") + dataFileRules[i].name + "\" " + problem + ".\n";
    }
    return report;
}
