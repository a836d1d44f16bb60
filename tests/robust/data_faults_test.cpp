// data_faults_test.cpp - every picture and music file the game loads, removed,
// cut short or replaced with one of the wrong size or format: the data check
// names that file, and only that file, before any screen mode is set.

#include <gtest/gtest.h>

#include <allegro.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "fault_files.h"
#include "game/data_check.h"
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
            // The whole check reads every file (about 130 MB): once per file,
            // with the fault kind turning round so that each kind is seen whole.
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
    EXPECT_NE(report.find("\"BGM_00001.wav\" is not 8- or 16-bit PCM"), std::string::npos) << report;
    EXPECT_NE(report.find("\"jewel.bmp\" is missing"), std::string::npos) << report;
}
