// data_faults_test.cpp - every picture and music file the game loads, removed,
// cut short or replaced with one of the wrong size or format: the data check
// names that file, and only that file, before any screen mode is set.

#include <gtest/gtest.h>

#include <allegro.h>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "assets/data_check.h"
#include "fault_files.h"
#include "robust_support.h"

namespace
{

enum class Fault {
    removed,
    halfLength,
    tenBytes,
    tooNarrow,
    tooShort,
    otherSize,
    noPixels,
    pcm24,
    floatFormat,
    notWav
};

const char *faultName(Fault f)
{
    static const char *const names[] = {"removed",   "cut to half", "cut to 10 bytes", "too narrow",
                                        "too short", "other size",  "no pixels",       "24-bit PCM",
                                        "float",     "not a WAV"};
    return names[int(f)];
}

// The faults that apply to one file: every file can go missing or be cut
// short; a picture with a least size gets a valid BMP one pixel too narrow and
// one too short, an exact-size picture a valid BMP of another size, a picture
// that only needs a pixel a header with none; music gets a 24-bit PCM file, a
// float file and a picture in its place.
std::vector<Fault> faultsFor(const DataFileRule &rule)
{
    std::vector<Fault> faults = {Fault::removed, Fault::halfLength, Fault::tenBytes};
    if (rule.music)
        faults.insert(faults.end(), {Fault::pcm24, Fault::floatFormat, Fault::notWav});
    else if (rule.exactSize)
        faults.push_back(Fault::otherSize);
    else if (rule.minWidth > 1 || rule.minHeight > 1)
        faults.insert(faults.end(), {Fault::tooNarrow, Fault::tooShort});
    else
        faults.push_back(Fault::noPixels);
    return faults;
}

// The bytes that replace the file, or false when the fault removes it.
bool brokenBytes(const DataFileRule &rule, Fault fault, const std::string &good, std::string &bytes)
{
    switch (fault) {
    case Fault::removed: return false;
    case Fault::halfLength: bytes = good.substr(0, good.size() / 2); break;
    case Fault::tenBytes: bytes = good.substr(0, 10); break;
    case Fault::tooNarrow: bytes = bmpFile(rule.minWidth - 1, rule.minHeight); break;
    case Fault::tooShort: bytes = bmpFile(rule.minWidth, rule.minHeight - 1); break;
    case Fault::otherSize: bytes = bmpFile(640, 480); break;
    case Fault::noPixels: bytes = bmpFile(0, 1); break;
    case Fault::pcm24: bytes = wavFile(1, 2, 24); break;
    case Fault::floatFormat: bytes = wavFile(3, 1, 32); break;
    case Fault::notWav: bytes = bmpFile(16, 16); break;
    }
    return true;
}

} // namespace

TEST(DataFaults, TheDataFolderAsGeneratedPasses)
{
    LinkedDataFolder folder;
    EXPECT_EQ(checkDataFiles(folder.path()), "");
}

TEST(DataFaults, EveryBrokenFileIsNamedAndNoOther)
{
    LinkedDataFolder folder;
    int cases = 0;
    for (int i = 0; i < dataFileRuleCount; ++i) {
        const DataFileRule &rule = dataFileRules[i];
        const std::string path = folder.file(rule.name);
        bool readable = false;
        const std::string good = readWholeFile(path, &readable);
        ASSERT_TRUE(readable) << rule.name;
        const std::vector<Fault> faults = faultsFor(rule);
        for (Fault fault : faults) {
            SCOPED_TRACE(std::string(rule.name) + ", " + faultName(fault));
            ASSERT_EQ(unlink(path.c_str()), 0);
            std::string bytes;
            if (brokenBytes(rule, fault, good, bytes)) {
                writeWholeFile(path, bytes);
                if (fault == Fault::tooNarrow || fault == Fault::tooShort || fault == Fault::otherSize) {
                    // The stand-in is a picture the library reads: only its size is wrong.
                    BITMAP *picture = load_bitmap(path.c_str(), nullptr);
                    ASSERT_NE(picture, nullptr);
                    destroy_bitmap(picture);
                }
            }
            EXPECT_NE(checkDataFile(folder.path(), rule), "");
            // The whole check too, once per file, with the fault kind turning
            // round so that each kind is seen in the full report.
            if (fault == faults[i % faults.size()]) {
                const std::string report = checkDataFiles(folder.path());
                const std::string head = std::string("\"") + rule.name + "\" ";
                EXPECT_EQ(report.compare(0, head.size(), head), 0) << report;
                EXPECT_EQ(report.find('\n'), report.size() - 1) << "more than the one file named:\n"
                                                                << report;
            }
            writeWholeFile(path, good);
            ASSERT_EQ(checkDataFile(folder.path(), rule), "");
            ++cases;
        }
    }
    std::printf("%d broken files checked\n", cases);
}

TEST(DataFaults, SeveralBrokenFilesAreAllNamed)
{
    LinkedDataFolder folder;
    ASSERT_EQ(unlink(folder.file("worldMap.bmp").c_str()), 0);
    ASSERT_EQ(unlink(folder.file("BGM_00001.wav").c_str()), 0);
    writeWholeFile(folder.file("BGM_00001.wav"), wavFile(1, 1, 24));
    ASSERT_EQ(unlink(folder.file("jewel.bmp").c_str()), 0);
    const std::string report = checkDataFiles(folder.path());
    EXPECT_NE(report.find("\"worldMap.bmp\" is missing"), std::string::npos) << report;
    EXPECT_NE(report.find("\"BGM_00001.wav\" holds 24-bit samples"), std::string::npos) << report;
    EXPECT_NE(report.find("\"jewel.bmp\" is missing"), std::string::npos) << report;
}

// The files measured to pass the old check and then stop or crash the game:
// each is refused, named with what is wrong, at once.
TEST(DataFaults, TheMeasuredBadFilesAreRefused)
{
    LinkedDataFolder folder;
    const auto good = [&](const char *name) {
        bool ok = false;
        const std::string bytes = readWholeFile(folder.file(name), &ok);
        EXPECT_TRUE(ok) << name;
        return bytes;
    };
    const auto picture = [&](const char *name) {
        Picture p;
        EXPECT_TRUE(decodeBmp(good(name), p)) << name;
        return p;
    };
    BmpLayout v5, topDown, rle8, rle4;
    v5.infoSize = 124;
    topDown.topDown = true;
    rle8.bits = 8;
    rle8.compression = 1;
    rle4.bits = 4;
    rle4.compression = 2;
    const auto shortBody = [](std::string bytes) {
        bytes.resize(bytes.size() / 3);
        return bytes;
    };
    std::string fastWav = good("BGM_00009.wav");
    fastWav.replace(24, 4, std::string("\x00\xb8\x0b\x00", 4)); // 768,000 Hz
    const std::string world = good("worldMap.bmp");

    struct Case {
        const char *name, *what;
        std::string bytes; // empty: made below
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"gameover.bmp", "V5 header", encodeBmp(picture("gameover.bmp"), v5),
         "is a BMP with a 124-byte header"},
        {"Victory.bmp", "top-down", encodeBmp(picture("Victory.bmp"), topDown), "is a top-down BMP"},
        {"slash.bmp", "8-bit RLE, short body", shortBody(encodeBmp(picture("slash.bmp"), rle8)),
         "is a compressed BMP (RLE8)"},
        {"slash.bmp", "4-bit RLE, short body", shortBody(encodeBmp(picture("slash.bmp"), rle4)),
         "is a compressed BMP (RLE4)"},
        {"BGM_00009.wav", "768 kHz", fastWav, "plays at 768000 Hz"},
        {"Lizard.bmp", "link to /dev/zero", "", "is a device, not a data file"},
        {"ogre.bmp", "FIFO", "", "is a FIFO, not a data file"},
        {"BGM_00012.wav", "folder", "", "is a folder, not a data file"},
        {"worldMap.bmp", "sparse 2 GiB tail", "",
         "is 2147483648 bytes longer than its 3200 x 3200 pixels need"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + c.what);
        const std::string path = folder.file(c.name);
        const std::string original = good(c.name);
        ASSERT_EQ(unlink(path.c_str()), 0);
        const std::string what = c.what;
        if (!c.bytes.empty())
            writeWholeFile(path, c.bytes);
        else if (what == "link to /dev/zero")
            ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
        else if (what == "FIFO")
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        else if (what == "folder")
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        else {
            writeWholeFile(path, world);
            ASSERT_EQ(truncate(path.c_str(), off_t(world.size()) + (off_t(1) << 31)), 0);
        }
        const auto start = std::chrono::steady_clock::now();
        const std::string report = checkDataFiles(folder.path());
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const std::string expected = std::string("\"") + c.name + "\" " + c.expected;
        EXPECT_EQ(report.compare(0, expected.size(), expected), 0) << report;
        EXPECT_EQ(report.find('\n'), report.size() - 1) << "more than the one file named:\n" << report;
        std::printf("%-14s %-22s refused in %.2f ms: %s", c.name, c.what, ms, report.c_str());
        if (what == "folder")
            ASSERT_EQ(rmdir(path.c_str()), 0);
        else
            ASSERT_EQ(unlink(path.c_str()), 0);
        writeWholeFile(path, original);
    }
    EXPECT_EQ(checkDataFiles(folder.path()), "");
}
