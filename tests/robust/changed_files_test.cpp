// changed_files_test.cpp - data files that change after the start-up check
// (a file replaced, cut or relabelled while the title is up): each load runs
// the check again on the file it opens, so the change is refused at the load
// with what is wrong, and the game's own load ends with -1 naming the file,
// never drawing garbage or handing the mixer a rate it cannot play. A good
// file the library cannot make for want of memory is not blamed. The
// library's reader never asks the system again once a file has ended or
// failed, and a header rewritten in place after the check never reaches the
// library: it reads the very bytes the check accepted.

#include <gtest/gtest.h>

#include <algorithm>
#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/platform.h"

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
    {"worldMap.bmp", "cut in half", firstHalf, "is cut short: its 3200 x 3200 pixels need 40960054 bytes"},
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

// ------------------------------------------------------------ the library's reader

namespace
{

// A file in memory behind a counted read, as the system seam answers: it may
// have shrunk since the check, or fail from some byte on.
struct FakeFile {
    std::string bytes;
    int64_t failFrom = -1; // reads reaching this byte fail with EIO; -1: never
    int calls = 0;
} fake;

long fakeRead(int, int64_t offset, void *to, size_t count)
{
    ++fake.calls;
    if (fake.failFrom >= 0 && offset + int64_t(count) > fake.failFrom) {
        errno = EIO;
        return -1;
    }
    const int64_t left = std::max(int64_t(0), int64_t(fake.bytes.size()) - offset);
    const size_t got = size_t(std::min(int64_t(count), left));
    std::memcpy(to, fake.bytes.data() + offset, got);
    return long(got);
}

std::string pattern(size_t length)
{
    std::string s(length, '\0');
    for (size_t i = 0; i < length; ++i)
        s[i] = char(i * 7 + i / 251);
    return s;
}

} // namespace

// The stream is always the checked length: the file's bytes while it gives
// them, then zeros. Once the file has ended early or failed, byte after byte
// and read after read make no further call, as the library's loaders ask for
// the rest of a picture one byte at a time.
TEST(GateReader, AFileThatEndsOrFailsIsNeverAskedAgain)
{
    const int64_t checked = 100000; // bytes when the check saw it: three buffers and more
    const struct {
        const char *what;
        size_t fileBytes; // what the file holds at the load
        int64_t failFrom;
        int64_t shortAt; // where the reader must say the file ended, or -1
        bool failed;
    } cases[] = {
        {"as checked", size_t(checked), -1, -1, false},
        {"cut to half", size_t(checked / 2), -1, checked / 2, false},
        {"cut to nothing", 0, -1, 0, false},
        {"grown since", size_t(checked + 5000), -1, -1, false},
        {"failing from byte 40,000", size_t(checked), 40000, -1, true},
    };
    const std::string whole = pattern(size_t(checked + 5000));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake = FakeFile{whole.substr(0, c.fileBytes), c.failFrom, 0};
        CheckedBytes none;
        GateReader reader(-1, checked, none, fakeRead);
        PACKFILE *pack = openGateStream(reader);
        ASSERT_NE(pack, nullptr);
        std::string stream;
        for (int i = 0; i < 1000; ++i) // byte by byte, as the picture loader reads
            stream += char(pack_getc(pack));
        std::string rest(size_t(checked) - 1000, '\0');
        ASSERT_EQ(pack_fread(&rest[0], long(rest.size()), pack), long(rest.size()));
        stream += rest;
        const int callsAtTheEnd = fake.calls;
        for (int i = 0; i < 100000; ++i)
            EXPECT_EQ(pack_getc(pack), EOF) << "byte " << i << " past the end";
        char more[70000];
        EXPECT_EQ(pack_fread(more, sizeof more, pack), 0);
        EXPECT_NE(pack_feof(pack), 0);
        EXPECT_EQ(fake.calls, callsAtTheEnd) << "the reader called the system past the checked size";
        EXPECT_LE(fake.calls, 6) << "the system was asked for every byte, not a buffer at a time";
        pack_fclose(pack);

        // What the file gave, then zeros up to the checked length.
        int64_t given = std::min<int64_t>(int64_t(c.fileBytes), checked);
        if (c.failed)
            given = std::min<int64_t>(given, (c.failFrom / int64_t(sizeof reader.buffer)) *
                                                 int64_t(sizeof reader.buffer));
        const std::string expected =
            whole.substr(0, size_t(given)) + std::string(size_t(checked - given), '\0');
        EXPECT_TRUE(stream == expected) << "the stream differs from the file's bytes and zeros";
        EXPECT_EQ(reader.shortAt, c.shortAt);
        EXPECT_EQ(reader.failed, c.failed);
        EXPECT_EQ(reader.error, c.failed ? EIO : 0);
    }
}

// The bytes the check kept are what the library reads, wherever the check
// read them, whatever the file says there now.
TEST(GateReader, TheLibraryReadsTheKeptBytes)
{
    const std::string now = pattern(50000);
    fake = FakeFile{now, -1, 0};
    CheckedBytes kept;
    const std::string header(54, 'H'), chunk(8, 'C'), atTheEnd(4, 'E');
    ASSERT_TRUE(kept.keep(0, header.data(), int(header.size())));
    ASSERT_TRUE(kept.keep(32760, chunk.data(), int(chunk.size()))); // across two buffers
    ASSERT_TRUE(kept.keep(49996, atTheEnd.data(), int(atTheEnd.size())));
    GateReader reader(-1, int64_t(now.size()), kept, fakeRead);
    PACKFILE *pack = openGateStream(reader);
    ASSERT_NE(pack, nullptr);
    std::string stream(now.size(), '\0');
    ASSERT_EQ(pack_fread(&stream[0], 10, pack), 10);
    ASSERT_EQ(pack_fread(&stream[10], long(now.size()) - 10, pack), long(now.size()) - 10);
    pack_fclose(pack);
    std::string expected = now;
    expected.replace(0, 54, header);
    expected.replace(32760, 8, chunk);
    expected.replace(49996, 4, atTheEnd);
    EXPECT_TRUE(stream == expected);
}

namespace
{

// A writer that rewrites a file in place right after the check read its
// headers, and puts its modification time back (as a file system with coarse
// times would show it): the load finds the file as the check saw it in
// size and time, but with another header.
struct Rewrite {
    std::string path, bytes;
    size_t at = 0;
    int headerReads = 0, rewrites = 0;
} rewrite;

long rewritingRead(int fd, int64_t offset, void *to, size_t count)
{
    // The check reads from byte 0 first; the library's first read starts
    // there again, once the check has read every header.
    if (offset == 0 && ++rewrite.headerReads == 2) {
        struct stat before;
        const int out = open(rewrite.path.c_str(), O_WRONLY);
        if (out >= 0 && fstat(out, &before) == 0 &&
            pwrite(out, rewrite.bytes.data(), rewrite.bytes.size(), off_t(rewrite.at)) ==
                ssize_t(rewrite.bytes.size())) {
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            if (futimens(out, times) == 0)
                ++rewrite.rewrites;
        }
        if (out >= 0)
            close(out);
    }
    return readAt(fd, offset, to, count);
}

} // namespace

TEST(ChangedFiles, AHeaderRewrittenAfterTheCheckNeverReachesTheLibrary)
{
    LinkedDataFolder folder;
    const struct {
        const char *name, *what;
        size_t at;
        std::string bytes;
    } cases[] = {
        // 8 bits, RLE8: the library's run-length decoder over raw pixels
        {"Main Menu.bmp", "said to be 8-bit RLE8", 28, std::string("\x08\x00\x01\x00\x00\x00", 6)},
        {"jewel.bmp", "twice as tall", 22, std::string("\x00\x10\x00\x00", 4)},
        {"sfx_hit.wav", "said to be stereo 8-bit", 22,
         std::string("\x02\x00\x00\x7d\x00\x00\x00\xfa\x00\x00\x02\x00\x08\x00", 14)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + c.what);
        const DataFileRule *rule = findDataFileRule(c.name);
        ASSERT_NE(rule, nullptr);
        const std::string path = folder.file(c.name);
        const std::string good = readWholeFile(path);
        ASSERT_EQ(unlink(path.c_str()), 0); // our own copy: never write through the link
        writeWholeFile(path, good);
        LoadProblem problem;
        BITMAP *goodPicture = rule->music ? nullptr : loadDataPicture(folder.path(), *rule, problem);
        SAMPLE *goodSound = rule->music ? loadDataMusic(folder.path(), *rule, problem) : nullptr;
        ASSERT_TRUE(goodPicture || goodSound) << problem.text;

        rewrite = Rewrite{path, c.bytes, c.at, 0, 0};
        dataFileRead = rewritingRead;
        BITMAP *picture = rule->music ? nullptr : loadDataPicture(folder.path(), *rule, problem);
        SAMPLE *sound = rule->music ? loadDataMusic(folder.path(), *rule, problem) : nullptr;
        dataFileRead = readAt;
        ASSERT_EQ(rewrite.rewrites, 1) << "the writer did not get its turn";
        ASSERT_NE(readWholeFile(path), good);
        if (goodPicture) {
            ASSERT_NE(picture, nullptr) << problem.text;
            ASSERT_EQ(picture->w, goodPicture->w);
            ASSERT_EQ(picture->h, goodPicture->h);
            int differ = 0;
            for (int y = 0; y < picture->h; ++y)
                differ += std::memcmp(picture->line[y], goodPicture->line[y], size_t(picture->w) * 4) != 0;
            EXPECT_EQ(differ, 0) << "rows differ from the file as checked";
            destroy_bitmap(picture);
            destroy_bitmap(goodPicture);
        } else {
            ASSERT_NE(sound, nullptr) << problem.text;
            EXPECT_EQ(sound->bits, goodSound->bits);
            EXPECT_EQ(sound->stereo, goodSound->stereo);
            ASSERT_EQ(sound->len, goodSound->len);
            EXPECT_EQ(std::memcmp(sound->data, goodSound->data,
                                  size_t(sound->len) * (sound->stereo ? 2 : 1) * size_t(sound->bits / 8)),
                      0);
            destroy_sample(sound);
            destroy_sample(goodSound);
        }
        writeWholeFile(path, good);
    }
}
