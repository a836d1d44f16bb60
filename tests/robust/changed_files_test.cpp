// changed_files_test.cpp - data files that change after the start-up check
// (a file replaced, cut or relabelled while the title is up): each load runs
// the check again on the file it opens, so the change is refused at the load
// with what is wrong, and the game's own load ends with -1 naming the file,
// never drawing garbage or handing the mixer a rate it cannot play. A good
// file the library cannot make for want of memory is not blamed.

#include <gtest/gtest.h>

#include <allegro.h>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "assets/data_check.h"
#include "fault_files.h"
#include "robust_support.h"

namespace
{

// A text as a POSIX extended regular expression that matches it literally.
std::string literal(const std::string &text)
{
    std::string pattern;
    for (char c : text) {
        if (std::string("\\.[](){}*+?^$|").find(c) != std::string::npos)
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

struct Change {
    const char *name, *what;
    std::string (*make)(const std::string &good); // the new bytes; null: the file is removed
    const char *refusal;                          // how the gate's refusal begins
};

std::string picture640x480(const std::string &)
{
    return bmpFile(640, 480);
}
std::string picture90x100(const std::string &)
{
    return bmpFile(90, 100);
}
std::string picture1x1(const std::string &)
{
    return bmpFile(1, 1);
}
std::string firstHalf(const std::string &good)
{
    return good.substr(0, good.size() / 2);
}
std::string allButTheLastRow(const std::string &good)
{
    return good.substr(0, good.size() - 640 * 3);
}
std::string relabelled16Bit(const std::string &good)
{
    std::string bytes = good;
    bytes[28] = 16; // bits per pixel
    return bytes;
}
std::string rate768kHz(const std::string &good)
{
    std::string bytes = good;
    bytes.replace(24, 4, std::string("\x00\xb8\x0b\x00", 4)); // 768,000 frames per second
    return bytes;
}

const Change changes[] = {
    {"worldMap.bmp", "a valid 640 x 480 BMP", picture640x480, "is 640 x 480 pixels but must be 3200 x 3200"},
    {"worldMap.bmp", "a valid 90 x 100 BMP", picture90x100, "is 90 x 100 pixels but must be 3200 x 3200"},
    {"worldMap.bmp", "cut in half", firstHalf, "is cut short: its 3200 x 3200 pixels need 30720054 bytes"},
    {"bitmap1.bmp", "cut short by a row", allButTheLastRow, "is cut short: its 640 x 480 pixels need"},
    {"Main Menu.bmp", "relabelled 16-bit", relabelled16Bit, "is a 16-bit BMP"},
    {"Avatar.bmp", "a 1 x 1 picture", picture1x1, "is 1 x 1 pixels but must be at least 768 x 768"},
    {"BGM_00009.wav", "played at 768,000 Hz", rate768kHz, "plays at 768000 Hz"},
    {"jewel.bmp", "removed", nullptr,
     "is missing: put the game's data files back (reinstall the game, or rebuild its data)"},
};

} // namespace

TEST(ChangedFiles, AChangeAfterTheCheckIsRefusedAtTheLoad)
{
    LinkedDataFolder folder; // the working folder while it lives
    for (const Change &c : changes) {
        SCOPED_TRACE(std::string(c.name) + ", " + c.what);
        const DataFileRule *rule = findDataFileRule(c.name);
        ASSERT_NE(rule, nullptr);
        const std::string path = folder.file(c.name);
        bool readable = false;
        const std::string good = readWholeFile(path, &readable);
        ASSERT_TRUE(readable);
        ASSERT_EQ(checkDataFile(folder.path(), *rule), ""); // passed at start-up

        ASSERT_EQ(unlink(path.c_str()), 0);
        if (c.make)
            writeWholeFile(path, c.make(good));
        LoadProblem problem;
        if (rule->music)
            EXPECT_EQ(loadDataMusic(folder.path(), *rule, problem), nullptr);
        else
            EXPECT_EQ(loadDataPicture(folder.path(), *rule, problem), nullptr);
        EXPECT_EQ(problem.text.rfind(c.refusal, 0), 0u) << problem.text;
        EXPECT_FALSE(problem.outOfMemory);
        // The game's own load: exit code -1 and the message naming the file.
        const std::string message = literal(std::string("\"") + c.name + "\" " + c.refusal);
        if (rule->music)
            EXPECT_EXIT(loadCheckedMusic(c.name), ::testing::ExitedWithCode(255), message);
        else
            EXPECT_EXIT(loadCheckedPicture(c.name), ::testing::ExitedWithCode(255), message);

        // Put back, the same file loads whole.
        if (c.make) {
            ASSERT_EQ(unlink(path.c_str()), 0);
        }
        writeWholeFile(path, good);
        if (rule->music) {
            SAMPLE *sound = loadDataMusic(folder.path(), *rule, problem);
            EXPECT_NE(sound, nullptr) << problem.text;
            if (sound)
                destroy_sample(sound);
        } else {
            BITMAP *picture = loadDataPicture(folder.path(), *rule, problem);
            ASSERT_NE(picture, nullptr) << problem.text;
            EXPECT_GE(picture->w, rule->minWidth);
            destroy_bitmap(picture);
        }
    }
}

// Under a limit on the address space the library fails to make the world's
// 3200 x 3200 picture: the message says memory ran out, not that the file is bad.
TEST(ChangedFiles, AGoodFileWithoutMemoryIsNotBlamed)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#else
    // A fresh process, whose heap holds no freed room the picture could reuse.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LinkedDataFolder folder;
    const auto loadUnderLimit = [] {
        // The space in use now and 16 MiB more; the world needs 40 MiB at 32 bits.
        long pages = 0;
        if (FILE *f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(f);
        }
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(16) << 20);
        const struct rlimit space = {limit, limit};
        if (pages == 0 || setrlimit(RLIMIT_AS, &space) != 0)
            std::_Exit(3);
        loadCheckedPicture("worldMap.bmp");
        std::_Exit(0); // loaded after all: the limit was too high to show anything
    };
    EXPECT_EXIT(
        loadUnderLimit(), ::testing::ExitedWithCode(255),
        literal("Jewelward ran out of memory while loading \"worldMap.bmp\" (the file itself is good)"));
#endif
}
