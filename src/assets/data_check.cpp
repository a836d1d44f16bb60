// data_check.cpp - the data gate: header checks of the BMP and WAV files the
// game loads, and loads that read the very file the check read. Each file is
// opened without blocking (a FIFO cannot hang the game), refused unless it is
// a regular file, and read only where its headers are: the checks mirror
// what the library's loaders do with those bytes, so a file that passes loads
// whole and plays safely.

#include "assets/data_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/failure.h"
#include "core/platform.h"
#include "world/walk_grids.h"

const DataFileRule dataFileRules[] = {
    {"Main Menu.bmp", false, 640, 480, false},
    {"bitmap1.bmp", false, 640, 480, false},
    {"bitmap2.bmp", false, 640, 480, false},
    {"bitmap3.bmp", false, 640, 480, false},
    {"worldMap.bmp", false, worldPixels, worldPixels, true},
    {"gameover.bmp", false, worldPixels, worldPixels, true}, // shown wherever the camera stands
    {"Victory.bmp", false, worldPixels, worldPixels, true},
    {"worldOverlay.bmp", false, worldPixels, 64, false}, // atlas of what is drawn over the figures
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
    {"sfx_swing.wav", true, 0, 0, false},
    {"sfx_hit.wav", true, 0, 0, false},
    {"sfx_boss.wav", true, 0, 0, false},
    {"sfx_hurt.wav", true, 0, 0, false},
    {"sfx_jewel.wav", true, 0, 0, false},
    {"sfx_levelup.wav", true, 0, 0, false},
    {"sfx_heal.wav", true, 0, 0, false},
    {"sfx_gameover.wav", true, 0, 0, false},
    {"sfx_victory.wav", true, 0, 0, false},
    {"sfx_page.wav", true, 0, 0, false},
    {"sfx_saved.wav", true, 0, 0, false},
    {"BGM_victory.wav", true, 0, 0, false},
};
const int dataFileRuleCount = int(sizeof dataFileRules / sizeof dataFileRules[0]);

ReadAtFunction dataFileRead = readAt;

const DataFileRule *findDataFileRule(const char *name)
{
    for (int i = 0; i < dataFileRuleCount; ++i)
        if (std::strcmp(dataFileRules[i].name, name) == 0)
            return &dataFileRules[i];
    return nullptr;
}

namespace
{

const int64_t bmpHeaderBytes = 14 + 40; // file header and the Windows 3 info header

// How to get a good copy of a file back, wherever the game runs: from the
// package or the zip it came in, or from a build of its data. A data file is
// the game's own, so the player is never told to save it again; a format
// the game cannot read also says how to save a picture or sound of one's own.
const char restoreHint[] = "put the game's data files back (reinstall the game, or rebuild its data)";
#define REINSTALL "reinstall the game, or rebuild its data"
#define DAMAGED "the file is damaged: " REINSTALL
#define OTHER_FORMAT REINSTALL "; a file of your own must be "

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *pattern, ...)
{
    char text[320];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// What the checks read: a BMP's 54 header bytes; a WAV's 12, 8 for each
// chunk and the 16 of its format.
static_assert(bmpHeaderBytes <= CheckedBytes::maxBytes, "room for a BMP's header");
static_assert(12 + 8 * musicMaxChunks + 16 <= CheckedBytes::maxBytes &&
                  musicMaxChunks + 2 <= CheckedBytes::maxSpans,
              "room for a WAV's headers");

// Reads `count` bytes of the header at `at` for the check, and keeps what was
// read for the library (see gate_reader.h).
long readHeader(int fd, int64_t at, void *to, size_t count, CheckedBytes &kept)
{
    const long got = dataFileRead(fd, at, to, count);
    if (got > 0 && !kept.keep(at, to, int(got))) {
        errno = ENOBUFS; // never: the checks read fewer bytes than are kept
        return -1;
    }
    return got;
}

std::string readFailure(int error)
{
    return std::string("cannot be read: ") + errorText(error);
}

const char *kindOf(FileKind kind)
{
    switch (kind) {
    case FileKind::folder: return "a folder";
    case FileKind::fifo: return "a FIFO";
    case FileKind::device: return "a device";
    case FileKind::socket: return "a socket";
    default: return "not a regular file";
    }
}

std::string notADataFile(FileKind kind, const DataFileRule &rule)
{
    return format("is %s, not a data file: put the %s itself there (%s)", kindOf(kind),
                  rule.music ? "WAV sound" : "BMP picture", REINSTALL);
}

// What a file's header says, for holding the library's result against it.
struct HeaderFacts {
    int64_t width = 0, height = 0; // pictures, pixels
    uint32_t rate = 0;             // music, frames per second
    unsigned channels = 0, bits = 0;
    int64_t frames = 0; // music, sample frames
};

const char *compressionName(uint32_t compression)
{
    switch (compression) {
    case 1: return "RLE8";
    case 2: return "RLE4";
    case 3: return "bit-field";
    case 4: return "JPEG";
    case 5: return "PNG";
    default: return "unknown";
    }
}

std::string checkPicture(int fd, int64_t fileSize, const DataFileRule &rule, HeaderFacts &facts,
                         CheckedBytes &kept)
{
    unsigned char h[bmpHeaderBytes];
    const long got = readHeader(fd, 0, h, sizeof h, kept);
    if (got < 0)
        return readFailure(errno);
    if (got < 2 || h[0] != 'B' || h[1] != 'M')
        return "is not a BMP picture: " OTHER_FORMAT "a 24-bit BMP";
    if (got < 18)
        return "is cut short inside its BMP header: " DAMAGED;
    const uint32_t infoSize = le32(&h[14]);
    if (infoSize == 12)
        return "is an OS/2 BMP with a 12-byte header: " OTHER_FORMAT "a Windows 3 BMP (24 bits)";
    if (infoSize != 40)
        return format("is a BMP with a %u-byte header: " OTHER_FORMAT "a Windows 3 BMP (24 bits; "
                      "ImageMagick: BMP3:name.bmp)",
                      infoSize);
    if (got < bmpHeaderBytes)
        return "is cut short inside its BMP header: " DAMAGED;
    const int64_t width = int32_t(le32(&h[18]));
    const int64_t height = int32_t(le32(&h[22]));
    const unsigned bits = le16(&h[28]);
    const uint32_t compression = le32(&h[30]);
    const uint32_t pixelOffset = le32(&h[10]);
    if (compression != 0)
        return format("is a compressed BMP (%s): " OTHER_FORMAT "uncompressed, 24 bits",
                      compressionName(compression));
    if (bits != 8 && bits != 24 && bits != 32)
        return format("is a %u-bit BMP: " OTHER_FORMAT "24 bits per pixel (32 or 8 also work)", bits);
    if (height < 0)
        return "is a top-down BMP (rows stored from the top): " OTHER_FORMAT "bottom-up, the usual order";
    if (width <= 0 || height == 0)
        return format("has no pixels (its header says %lld x %lld): " DAMAGED, (long long)width,
                      (long long)height);
    if (width > pictureMaxSide || height > pictureMaxSide || width * height > pictureMaxPixels)
        return format("is %lld x %lld pixels, more than the game can hold (at most %d on a side and %lld "
                      "pixels in all): " OTHER_FORMAT "smaller",
                      (long long)width, (long long)height, pictureMaxSide, (long long)pictureMaxPixels);
    // The loader reads up to 256 palette entries of four bytes from the end
    // of the header and skips whatever is left before the pixels, so the
    // pixels may start after a gap; an 8-bit picture needs every entry its
    // pixels may name.
    const int64_t paletteBytes = int64_t(pixelOffset) - bmpHeaderBytes;
    if (paletteBytes < 0 || paletteBytes > 256 * 4 + pictureMaxGap)
        return format("has its pixels at byte %u, %s its header: " DAMAGED, pixelOffset,
                      paletteBytes < 0 ? "inside" : "far after");
    if (bits == 8 && paletteBytes < 256 * 4)
        return format("is an 8-bit BMP with %lld palette colours: " OTHER_FORMAT
                      "saved with all 256, or with "
                      "24 bits per pixel",
                      (long long)(paletteBytes / 4));
    const int64_t rowBytes = (width * bits + 31) / 32 * 4; // rows are padded to 4 bytes
    const int64_t needed = int64_t(pixelOffset) + rowBytes * height;
    if (fileSize < needed)
        return format(
            "is cut short: its %lld x %lld pixels need %lld bytes but the file holds %lld: " DAMAGED,
            (long long)width, (long long)height, (long long)needed, (long long)fileSize);
    if (fileSize - needed > pictureMaxTail)
        return format("is %lld bytes longer than its %lld x %lld pixels need: " DAMAGED,
                      (long long)(fileSize - needed), (long long)width, (long long)height);
    if (rule.exactSize && (width != rule.minWidth || height != rule.minHeight))
        return format("is %lld x %lld pixels but must be %d x %d: " REINSTALL, (long long)width,
                      (long long)height, rule.minWidth, rule.minHeight);
    if (width < rule.minWidth || height < rule.minHeight)
        return format("is %lld x %lld pixels but must be at least %d x %d: " REINSTALL, (long long)width,
                      (long long)height, rule.minWidth, rule.minHeight);
    facts.width = width;
    facts.height = height;
    return "";
}

// The library's WAV reader walks the chunks one after another without the
// pad byte RIFF puts after an odd-length chunk, reads the last format chunk
// and makes a sample of every data chunk it meets. The walk here is the same,
// and admits one format chunk and one data chunk that both fit the file.
std::string checkMusic(int fd, int64_t fileSize, HeaderFacts &facts, CheckedBytes &kept)
{
    if (fileSize > musicMaxBytes)
        return format("is %lld MiB, more than the %lld MiB a track may take: " OTHER_FORMAT
                      "shorter or of a lower rate",
                      (long long)(fileSize >> 20), (long long)(musicMaxBytes >> 20));
    unsigned char h[16];
    long got = readHeader(fd, 0, h, 12, kept);
    if (got < 0)
        return readFailure(errno);
    if (got < 12 || std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0)
        return "is not a WAV sound: " OTHER_FORMAT "a 16-bit PCM WAV";
    bool formatSeen = false, dataSeen = false;
    unsigned channels = 0, bits = 0;
    uint32_t rate = 0;
    int64_t frames = 0;
    int64_t at = 12;
    for (int chunks = 0;; ++chunks) {
        const int64_t left = fileSize - at;
        if (left < 4) // the reader stops where no chunk name fits
            break;
        if (left < 8)
            return format("ends with %lld stray bytes: " DAMAGED, (long long)left);
        if (chunks == musicMaxChunks)
            return format("has more than %d chunks: " OTHER_FORMAT "saved without extra information",
                          musicMaxChunks);
        got = readHeader(fd, at, h, 8, kept);
        if (got < 0)
            return readFailure(errno);
        char name[5] = {char(h[0]), char(h[1]), char(h[2]), char(h[3]), 0};
        for (int i = 0; i < 4; ++i)
            if (name[i] < ' ' || name[i] > '~')
                name[i] = '?';
        const int64_t size = le32(h + 4);
        const int64_t end = at + 8 + size;
        const bool isFormat = std::memcmp(h, "fmt ", 4) == 0, isData = std::memcmp(h, "data", 4) == 0;
        if (end > fileSize) {
            if (isData)
                return format("is cut short: its sound needs %lld bytes but the file holds %lld: " DAMAGED,
                              (long long)size, (long long)(left - 8));
            return format("is cut short: its \"%s\" chunk runs past the end of the file: " DAMAGED, name);
        }
        if (isFormat) {
            if (formatSeen || dataSeen)
                return "has a second format chunk: " DAMAGED;
            if (size < 16)
                return format("has a format chunk of %lld bytes, too short: " DAMAGED, (long long)size);
            got = readHeader(fd, at + 8, h, 16, kept);
            if (got < 0)
                return readFailure(errno);
            if (got < 16)
                return "is cut short inside its format chunk: " DAMAGED;
            const unsigned tag = le16(h);
            channels = le16(h + 2);
            rate = le32(h + 4);
            bits = le16(h + 14);
            if (tag == 3)
                return "holds floating-point sound: " OTHER_FORMAT "16-bit PCM";
            if (tag == 0xFFFE)
                return "is an extensible WAV (format 65534): " OTHER_FORMAT "plain 16-bit PCM";
            if (tag != 1)
                return format("is a WAV in format %u, not PCM: " OTHER_FORMAT "16-bit PCM", tag);
            if (channels != 1 && channels != 2)
                return format("has %u channels: " OTHER_FORMAT "mono or stereo", channels);
            if (bits != 8 && bits != 16)
                return format("holds %u-bit samples: " OTHER_FORMAT "16-bit PCM (8-bit also works)", bits);
            if (rate < musicMinRate || rate > musicMaxRate)
                return format("plays at %u Hz: " OTHER_FORMAT
                              "at a rate from 8,000 to 96,000 Hz (44,100 is usual)",
                              rate);
            formatSeen = true;
        } else if (isData) {
            if (dataSeen)
                return "has a second sound data chunk: " DAMAGED;
            if (!formatSeen)
                return "has its sound data before its format: " DAMAGED;
            const int64_t frameBytes = channels * bits / 8;
            if (size == 0)
                return "holds no sound: " DAMAGED;
            if (size % frameBytes != 0)
                return format(
                    "holds %lld bytes of sound, not a whole number of %lld-byte frames: the file is "
                    "damaged: reinstall the game, or rebuild its data",
                    (long long)size, (long long)frameBytes);
            if (size / frameBytes >= musicMaxFrames)
                return format("is %lld sample frames long, more than the game can play (%lld): " OTHER_FORMAT
                              "shorter or of a lower rate",
                              (long long)(size / frameBytes), (long long)(musicMaxFrames - 1));
            frames = size / frameBytes;
            dataSeen = true;
        }
        // A pad byte after an odd chunk would be read as the start of the
        // next: allowed only at the very end.
        if (size % 2 != 0 && fileSize - end > 1)
            return format("has a chunk (\"%s\") of odd length followed by more chunks, which the game "
                          "misreads: " DAMAGED,
                          name);
        at = end;
    }
    if (!formatSeen)
        return "has no sound format: " DAMAGED;
    if (!dataSeen)
        return "holds no sound: " DAMAGED;
    facts.rate = rate;
    facts.channels = channels;
    facts.bits = bits;
    facts.frames = frames;
    return "";
}

// A data file open for loading after it passed its check.
struct CheckedFile {
    int fd = -1;
    FileStamp stamp; // as it was opened and checked
    HeaderFacts facts;
    CheckedBytes kept; // the header bytes the check read, for the library
};

// Opens the file of `rule` in `folder` and checks it. Returns an empty text
// with `file` open (the caller closes it), else what is wrong and nothing open.
std::string openChecked(const std::string &folder, const DataFileRule &rule, CheckedFile &file)
{
    const std::string path = folder.empty() ? std::string(rule.name) : folder + "/" + rule.name;
    FileStamp looked;
    if (stampAt(path.c_str(), looked) != 0)
        return errno == ENOENT ? std::string("is missing: ") + restoreHint : readFailure(errno);
    // Only a regular file is opened: a device or FIFO is never touched.
    if (looked.kind != FileKind::regular)
        return notADataFile(looked.kind, rule);
    const int fd = openForReading(path.c_str());
    if (fd < 0)
        return readFailure(errno);
    std::string problem;
    if (stampOfOpen(fd, file.stamp) != 0)
        problem = readFailure(errno);
    else if (file.stamp.kind != FileKind::regular) // replaced since the look above
        problem = notADataFile(file.stamp.kind, rule);
    else if (rule.music)
        problem = checkMusic(fd, file.stamp.size, file.facts, file.kept);
    else
        problem = checkPicture(fd, file.stamp.size, rule, file.facts, file.kept);
    if (problem.empty())
        file.fd = fd;
    else
        closeFile(fd);
    return problem;
}

// After the library has read `file`: the problem with what it read, if any.
// `made` tells whether the library returned anything.
LoadProblem afterLoad(const CheckedFile &file, const GateReader &reader, bool made)
{
    LoadProblem problem;
    FileStamp now;
    if (stampOfOpen(file.fd, now) != 0)
        problem.text = readFailure(errno);
    else if (reader.failed)
        problem.text = readFailure(reader.error);
    else if (now.size != file.stamp.size)
        problem.text = format("changed while it was being loaded (%lld bytes, then %lld): %s",
                              (long long)file.stamp.size, (long long)now.size, restoreHint);
    else if (now.changed != file.stamp.changed)
        problem.text = std::string("changed while it was being loaded (it was written to): ") + restoreHint;
    else if (reader.shortAt >= 0)
        problem.text = format("changed while it was being loaded (it ended after %lld of its %lld bytes): %s",
                              (long long)reader.shortAt, (long long)file.stamp.size, restoreHint);
    else if (!made) {
        // The file is as it was checked, so the library's refusal was for room.
        problem.text = "is good, but there was no memory left to load it";
        problem.outOfMemory = true;
    }
    return problem;
}

// Runs the library's `load` on the checked file; null with `problem` set when
// anything is wrong, the file is then closed either way.
template <typename Made, typename Load, typename Compare, typename Destroy>
Made *loadThroughGate(const std::string &folder, const DataFileRule &rule, LoadProblem &problem, Load load,
                      Compare compare, Destroy destroy)
{
    problem = LoadProblem{};
    CheckedFile file;
    problem.text = openChecked(folder, rule, file);
    if (!problem.text.empty())
        return nullptr;
    GateReader reader(file.fd, file.stamp.size, file.kept, dataFileRead);
    Made *made = nullptr;
    if (PACKFILE *pack = openGateStream(reader)) {
        made = load(pack);
        pack_fclose(pack);
    }
    problem = afterLoad(file, reader, made != nullptr);
    closeFile(file.fd);
    if (problem.text.empty() && made)
        problem.text = compare(*made, file.facts);
    if (!problem.text.empty()) {
        if (made)
            destroy(made);
        return nullptr;
    }
    return made;
}

[[noreturn]] void refuseLoad(const char *name, const LoadProblem &problem)
{
    if (problem.outOfMemory)
        failLoadOutOfMemory(name);
    failDataFile(name, problem.text.c_str());
}

} // namespace

std::string checkDataFile(const std::string &folder, const DataFileRule &rule)
{
    CheckedFile file;
    const std::string problem = openChecked(folder, rule, file);
    if (problem.empty())
        closeFile(file.fd);
    return problem;
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

BITMAP *loadDataPicture(const std::string &folder, const DataFileRule &rule, LoadProblem &problem)
{
    if (rule.music) {
        problem = LoadProblem{"is music, not a picture", false};
        return nullptr;
    }
    return loadThroughGate<BITMAP>(
        folder, rule, problem, [](PACKFILE *pack) { return load_bmp_pf(pack, nullptr); },
        [](const BITMAP &picture, const HeaderFacts &facts) {
            if (picture.w == facts.width && picture.h == facts.height)
                return std::string();
            return format("was read as %d x %d pixels though its header says %lld x %lld: " DAMAGED,
                          picture.w, picture.h, (long long)facts.width, (long long)facts.height);
        },
        destroy_bitmap);
}

SAMPLE *loadDataMusic(const std::string &folder, const DataFileRule &rule, LoadProblem &problem)
{
    if (!rule.music) {
        problem = LoadProblem{"is a picture, not music", false};
        return nullptr;
    }
    return loadThroughGate<SAMPLE>(
        folder, rule, problem, load_wav_pf,
        [](const SAMPLE &sound, const HeaderFacts &facts) {
            const bool stereo = sound.stereo != 0;
            if (uint32_t(sound.freq) == facts.rate && unsigned(sound.bits) == facts.bits &&
                stereo == (facts.channels == 2) && int64_t(sound.len) == facts.frames)
                return std::string();
            return format("was read as %d Hz, %d bits, %s, %lu frames though its header says %u Hz, %u bits, "
                          "%s, %lld frames: " DAMAGED,
                          sound.freq, sound.bits, stereo ? "stereo" : "mono", sound.len, facts.rate,
                          facts.bits, facts.channels == 2 ? "stereo" : "mono", (long long)facts.frames);
        },
        destroy_sample);
}

// The rule of one of the game's own files; any other name is a fault of the caller's.
static const DataFileRule &gameFileRule(const char *name)
{
    const DataFileRule *rule = findDataFileRule(name);
    if (!rule)
        failDataFile(name, "is not one of the game's data files");
    return *rule;
}

BITMAP *loadCheckedPicture(const char *name)
{
    LoadProblem problem;
    BITMAP *picture = loadDataPicture("", gameFileRule(name), problem);
    if (!picture)
        refuseLoad(name, problem);
    return picture;
}

SAMPLE *loadCheckedMusic(const char *name)
{
    LoadProblem problem;
    SAMPLE *sound = loadDataMusic("", gameFileRule(name), problem);
    if (!sound)
        refuseLoad(name, problem);
    return sound;
}
