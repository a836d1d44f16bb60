// test_save.cpp - the hero's save file: writing it safely, reading it back,
// refusing damaged files, and what a resumed game starts with.

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "actors/roster.h"
#include "combat/hero_stats.h"
#include "core/message_box.h"
#include "core/music.h"
#include "core/sound_effects.h"
#include "game/game_loop.h"
#include "persist/save_file.h"
#include "unit_fixtures.h"

namespace
{

const std::string newGameFile = "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n";

// Every save test runs in its own folder (entered before the hero is cut).
class SaveTest : public PlayTest
{
  protected:
    TempFolder folder;

    // The title's state before a resume: stage 0 and the menu picture.
    void onTheTitle()
    {
        state.titleStage = 0;
        state.cameraX = 0;
        state.cameraY = 0;
        state.hero.x = 0;
        state.hero.y = 0;
        state.musicZone = zoneHome;
        replaceBackdrop(state, "Main Menu.bmp");
        clearMusicLog();
    }
    std::string saved() const
    {
        std::string text;
        EXPECT_TRUE(folder.read(saveFileName, text));
        return text;
    }
};

} // namespace

TEST_F(SaveTest, ANewGameSavedAtOnce)
{
    ASSERT_TRUE(saveGame(state, saves).saved);
    EXPECT_EQ(saved(), newGameFile);
    EXPECT_EQ(saveTempFilesIn(folder.path()), 0);
}

TEST_F(SaveTest, EveryValueComesBack)
{
    state.cameraX = -5;
    state.cameraY = INT32_MAX;
    state.hero.x = INT32_MIN;
    state.hero.y = 77;
    state.musicZone = zoneEast;
    heroStats.life = -3;
    heroStats.maxLife = 40;
    heroStats.magic = 11;
    heroStats.maxMagic = 30;
    heroStats.level = 6;
    heroStats.nextLevelExp = 150;
    heroStats.experience = 123;
    jewels[1].alive = false;
    heroStats.jewelCount = 1;
    ASSERT_TRUE(saveGame(state, saves).saved);
    EXPECT_EQ(saved(), "-5\n2147483647\n-2147483648\n77\n2\n6\n-3\n40\n11\n30\n123\n150\n0\n1\n0\n");

    resetWorld();
    onTheTitle();
    ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
    EXPECT_EQ(state.cameraX, -5);
    EXPECT_EQ(state.cameraY, INT32_MAX);
    EXPECT_EQ(state.hero.x, INT32_MIN);
    EXPECT_EQ(state.hero.y, 77);
    EXPECT_EQ(state.musicZone, zoneEast);
    EXPECT_EQ(heroStats.level, 6);
    EXPECT_EQ(heroStats.life, -3);
    EXPECT_EQ(heroStats.maxLife, 40);
    EXPECT_EQ(heroStats.magic, 11);
    EXPECT_EQ(heroStats.maxMagic, 30);
    EXPECT_EQ(heroStats.experience, 123);
    EXPECT_EQ(heroStats.nextLevelExp, 150);
    EXPECT_EQ(heroStats.jewelCount, 1);
    EXPECT_TRUE(jewels[0].alive);
    EXPECT_FALSE(jewels[1].alive);
    EXPECT_TRUE(jewels[2].alive);
    EXPECT_EQ(bossLife, bossStartLife); // not saved
    EXPECT_TRUE(state.resumedFromSave);
    EXPECT_EQ(state.titleStage, titleStageEnded);
    EXPECT_STREQ(state.backdropName, "worldMap.bmp");
    ASSERT_NE(state.backdrop, nullptr);
    EXPECT_EQ(state.backdrop->w, 3200);
    expectMusic({{false, state.titleTrack, 0, 0}, {true, state.eastTrack, musicVolumeFull, 33}});
}

TEST_F(SaveTest, OnlyAJewelLineOfOneTakesTheJewel)
{
    folder.write(saveFileName, "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n1\n2\n-1\n");
    onTheTitle();
    ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
    EXPECT_FALSE(jewels[0].alive);
    EXPECT_TRUE(jewels[1].alive);
    EXPECT_TRUE(jewels[2].alive);
    EXPECT_EQ(heroStats.jewelCount, 1);
}

TEST_F(SaveTest, AnyWhiteSpaceSeparatesTheValues)
{
    const std::string layouts[] = {
        "8 4 300 196 0 1 25 25 20 20 0 10 0 0 0",
        "8\t4\t300\t196\t0\t1\t25\t25\t20\t20\t0\t10\t0\t0\t0\t",
        "8\r\n4\r\n300\r\n196\r\n0\r\n1\r\n25\r\n25\r\n20\r\n20\r\n0\r\n10\r\n0\r\n0\r\n0\r\n",
        "\n\n  8 \t\n4\v300\f196 0 1 25 25 20 20 0 10 0 0 +0\n",
        "8\n4\n300\n196\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\nanything after the values\n",
    };
    for (const std::string &text : layouts) {
        SCOPED_TRACE(text);
        resetWorld();
        onTheTitle();
        folder.write(saveFileName, text);
        ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
        EXPECT_EQ(state.cameraX, 8);
        EXPECT_EQ(state.cameraY, 4);
        EXPECT_EQ(state.hero.x, 300);
        EXPECT_EQ(state.hero.y, 196);
        EXPECT_EQ(heroStats.nextLevelExp, 10);
        EXPECT_EQ(heroStats.jewelCount, 0);
    }
}

TEST_F(SaveTest, TheLimitsOfThirtyTwoBitsAreRead)
{
    folder.write(saveFileName, "-2147483648\n2147483647\n0\n0\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
    onTheTitle();
    ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
    EXPECT_EQ(state.cameraX, INT32_MIN);
    EXPECT_EQ(state.cameraY, INT32_MAX);
}

TEST_F(SaveTest, DamagedFilesAreRefusedWhole)
{
    const struct {
        const char *name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"only white space", " \n\t\r\n"},
        {"fourteen values", "1 2 3 4 5 6 7 8 9 10 11 12 13 14\n"},
        {"a word", "1 2 3 4 5 six 7 8 9 10 11 12 13 14 15\n"},
        {"past the top", "1 2 2147483648 4 5 6 7 8 9 10 11 12 13 14 15\n"},
        {"past the bottom", "1 2 -2147483649 4 5 6 7 8 9 10 11 12 13 14 15\n"},
        {"far past", "1 2 99999999999999999999999 4 5 6 7 8 9 10 11 12 13 14 15\n"},
        {"glued letters", "12abc 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"},
        {"a sign alone", "1 2 - 4 5 6 7 8 9 10 11 12 13 14 15\n"},
        {"a decimal point", "1 2 3.5 4 5 6 7 8 9 10 11 12 13 14 15\n"},
        {"binary noise", std::string("\x01\xff\x00\x7f\x80 12 \x00\x00", 11)},
        {"a zero byte between values", std::string("1 2 3 4 5 6 7\0 8 9 10 11 12 13 14 15\n", 38)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        onTheTitle();
        BITMAP *menu = state.backdrop;
        folder.write(saveFileName, c.text);
        EXPECT_EQ(resumeGame(state, saves), ResumeResult::damaged);
        EXPECT_EQ(state.titleStage, 0);
        EXPECT_FALSE(state.resumedFromSave);
        EXPECT_EQ(state.cameraX, 0);
        EXPECT_EQ(state.hero.x, 0);
        EXPECT_EQ(state.musicZone, zoneHome);
        EXPECT_EQ(heroStats.level, 1);
        EXPECT_EQ(heroStats.life, 25);
        EXPECT_EQ(heroStats.jewelCount, 0);
        EXPECT_TRUE(jewels[0].alive);
        EXPECT_EQ(state.backdrop, menu);
        EXPECT_STREQ(state.backdropName, "Main Menu.bmp");
        expectMusic({});
    }
}

TEST_F(SaveTest, NoFileIsReportedAndChangesNothing)
{
    onTheTitle();
    EXPECT_EQ(resumeGame(state, saves), ResumeResult::noFile);
    EXPECT_EQ(state.titleStage, 0);
    expectMusic({});
    // A later try finds a file written since.
    folder.write(saveFileName, newGameFile);
    EXPECT_EQ(resumeGame(state, saves), ResumeResult::resumed);
}

TEST_F(SaveTest, ALostSaveIsLostAgainInTheFirstTick)
{
    folder.write(saveFileName, "0\n0\n272\n192\n0\n1\n0\n25\n20\n20\n0\n10\n0\n0\n0\n");
    onTheTitle();
    ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
    boss.alive = true;
    runTick();
    EXPECT_STREQ(state.backdropName, "gameover.bmp");
    EXPECT_FALSE(boss.alive);
}

TEST_F(SaveTest, AWonSaveHoldsTheJewelsButNotTheBoss)
{
    folder.write(saveFileName, "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n1\n1\n1\n");
    onTheTitle();
    ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
    EXPECT_EQ(heroStats.jewelCount, 3);
    EXPECT_EQ(bossLife, 200);
    runTick();
    EXPECT_STREQ(state.backdropName, "worldMap.bmp"); // the boss must be beaten again
}

TEST_F(SaveTest, TheSavedZoneTrackStartsAtFullVolume)
{
    struct Case {
        int32_t zone;
        SAMPLE *track; // null: none
    } cases[] = {{zoneHome, state.homeTrack},
                 {zoneSouthWest, state.southWestTrack},
                 {zoneEast, state.eastTrack},
                 {5, nullptr},
                 {-1, nullptr}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.zone);
        resetWorld();
        onTheTitle();
        folder.write(saveFileName, "0 0 272 192 " + std::to_string(c.zone) + " 1 25 25 20 20 0 10 0 0 0");
        ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
        EXPECT_EQ(state.musicZone, c.zone);
        if (c.track)
            expectMusic({{false, state.titleTrack, 0, 0}, {true, c.track, musicVolumeFull, 33}});
        else
            expectMusic({{false, state.titleTrack, 0, 0}});
    }
}

TEST_F(SaveTest, AFailedSaveLeavesThePreviousFileIntactAndSaysWhy)
{
    struct Case {
        SaveStep step;
        int error;
        const char *told;
    } cases[] = {
        {SaveStep::write, ENOSPC, "Could not save: the disk is full"},
        {SaveStep::write, EDQUOT, "Could not save: the disk is full"},
        {SaveStep::flush, EIO, "Could not save: input/output error"},
        {SaveStep::rename, EROFS, "Could not save: the folder is read-only"},
        {SaveStep::rename, EACCES, "Could not save: permission denied"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.told);
        saves.ops = &systemSaveFileOps;
        state.hero.x = 272;
        ASSERT_TRUE(saveGame(state, saves).saved);
        state.hero.x = 999;
        saves.ops = failingSaveOps(c.step, c.error);
        const SaveResult result = saveGame(state, saves);
        EXPECT_FALSE(result.saved);
        EXPECT_EQ(result.error, c.error);
        EXPECT_STREQ(saveFailureText(result), c.told);
        EXPECT_EQ(saved(), newGameFile);
        EXPECT_EQ(saveTempFilesIn(folder.path()), 0);
        saves.ops = &systemSaveFileOps;
        ASSERT_TRUE(saveGame(state, saves).saved); // the next F1 works again
        EXPECT_EQ(saved().substr(0, 10), "0\n0\n999\n19");
    }
}

TEST_F(SaveTest, AFolderInTheWayAndPlantedLinksAreNeverWrittenThrough)
{
    // Links at the names a temporary file might take, pointing at a file
    // that must not change, and a folder at the save's own name.
    folder.write("precious.txt", "keep me\n");
    for (const char *name : {"heroData.txt.saving-new", "heroData.txt.saving-tmp",
                             "heroData.txt.saving-XXXXXX", "heroData.txt.new", "heroData.txt.XXXXXX"})
        ASSERT_EQ(symlink("precious.txt", folder.file(name).c_str()), 0);
    ASSERT_EQ(mkdir(folder.file(saveFileName).c_str(), 0700), 0);
    const SaveResult result = saveGame(state, saves);
    EXPECT_FALSE(result.saved);
    EXPECT_STREQ(saveFailureText(result), "Could not save: a folder is in the way of \"heroData.txt\"");
    std::string text;
    ASSERT_TRUE(folder.read("precious.txt", text));
    EXPECT_EQ(text, "keep me\n");
    EXPECT_EQ(saveTempFilesIn(folder.path()), 3);           // only the links planted at our naming
    ASSERT_EQ(rmdir(folder.file(saveFileName).c_str()), 0); // still an empty folder
    ASSERT_TRUE(saveGame(state, saves).saved);
    EXPECT_EQ(saved(), newGameFile);
    ASSERT_TRUE(folder.read("precious.txt", text));
    EXPECT_EQ(text, "keep me\n");
}

TEST_F(SaveTest, F1TellsAFailedSaveOncePerPressAndPlayGoesOn)
{
    ASSERT_EQ(mkdir(folder.file(saveFileName).c_str(), 0700), 0);
    key[KEY_F1] = 1;
    runTick();
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 1); // drawn once already
    ASSERT_NE(state.noticeText, nullptr);
    EXPECT_STREQ(state.noticeText, "Could not save: a folder is in the way of \"heroData.txt\"");
    for (int t = 0; t < 50; ++t)
        runTick(); // held: saves are tried again, the notice is not restarted
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 51);
    key[KEY_F1] = 0;
    for (int t = 0; t < saveNoticeTicks; ++t)
        runTick();
    EXPECT_EQ(state.noticeTicks, 0);
    key[KEY_F1] = 1; // a new press tells again
    runTick();
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 1);
    key[KEY_F1] = 0;
    ASSERT_EQ(rmdir(folder.file(saveFileName).c_str()), 0);
}

// A save made is told too: "Saved" on a green panel where a failure's notice
// stands, for two seconds, with its own sound, once per press.
TEST_F(SaveTest, F1ThatSavesShowsSavedWithItsSoundOncePerPress)
{
    setSoundEffectsEnabled(true);
    clearEffectStarts();
    const int panel = colour(12, 40, 20);
    key[KEY_F1] = 1;
    runTick();
    EXPECT_EQ(saved(), newGameFile);
    EXPECT_EQ(state.noticeText, savedNoticeText);
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 1); // drawn once already
    EXPECT_EQ(getpixel(dest, 20, 430), panel);
    EXPECT_EQ(effectStarts[sfxSaved], 1);
    for (int t = 0; t < 50; ++t)
        runTick(); // held: saved again every tick, told once
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 51);
    EXPECT_EQ(effectStarts[sfxSaved], 1);
    key[KEY_F1] = 0;
    runTicks(saveNoticeTicks - 51);
    EXPECT_EQ(state.noticeTicks, 0);
    EXPECT_EQ(getpixel(dest, 20, 430), panel); // the last tick of the two seconds
    runTick();
    EXPECT_NE(getpixel(dest, 20, 430), panel);
    key[KEY_F1] = 1; // a new press tells again
    runTick();
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 1);
    EXPECT_EQ(effectStarts[sfxSaved], 2);
    key[KEY_F1] = 0;
}

TEST_F(SaveTest, ASaveThatCannotBeReadIsToldApartFromNone)
{
    struct Case {
        const char *name;
        std::function<void(const std::string &)> make;
        ResumeResult result;
        const char *told;
    } cases[] = {
        {"none", [](const std::string &) {}, ResumeResult::noFile, "No saved Found"},
        {"a dangling link", [](const std::string &p) { ASSERT_EQ(symlink("gone.txt", p.c_str()), 0); },
         ResumeResult::noFile, "No saved Found"},
        {"a pipe", [](const std::string &p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         ResumeResult::notAFile, "\"heroData.txt\" is not a file"},
        {"a folder", [](const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); },
         ResumeResult::notAFile, "\"heroData.txt\" is not a file"},
        {"a device", [](const std::string &p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
         ResumeResult::notAFile, "\"heroData.txt\" is not a file"},
        {"a damaged file", [](const std::string &p) { ASSERT_EQ(symlink("Main Menu.bmp", p.c_str()), 0); },
         ResumeResult::damaged, "The saved game in \"heroData.txt\" is damaged and cannot be resumed."},
        {"a link loop", [](const std::string &p) { ASSERT_EQ(symlink(saveFileName, p.c_str()), 0); },
         ResumeResult::unreadable,
         "The saved game in \"heroData.txt\" cannot be read: too many levels of symbolic links"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file(saveFileName);
        c.make(path);
        onTheTitle();
        EXPECT_EQ(resumeGame(state, saves), c.result);
        EXPECT_STREQ(lastMessage, c.told);
        EXPECT_EQ(state.titleStage, 0);
        expectMusic({});
        if (rmdir(path.c_str()) != 0)
            unlink(path.c_str());
    }
}

TEST_F(SaveTest, ASaveWithoutWritePermissionIsKeptAsItIs)
{
    struct Case {
        mode_t mode;
        bool refused;
    } cases[] = {{0444, true}, {0400, true}, {0464, true}, {0644, false}, {0600, false}, {0200, false}};
    const std::string path = folder.file(saveFileName);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        folder.write(saveFileName, "the player's own bytes\n");
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        struct stat before, after;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        const SaveResult result = saveGame(state, saves);
        EXPECT_EQ(result.saved, !c.refused);
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(saveTempFilesIn(folder.path()), 0);
        if (c.refused) {
            EXPECT_STREQ(saveFailureText(result), "Could not save: \"heroData.txt\" is read-only");
            ASSERT_EQ(chmod(path.c_str(), 0600), 0); // to read it back as anyone
            EXPECT_EQ(saved(), "the player's own bytes\n");
            EXPECT_EQ(after.st_mode & 07777, c.mode);
            EXPECT_EQ(after.st_ino, before.st_ino);
        } else {
            ASSERT_EQ(chmod(path.c_str(), 0600), 0);
            EXPECT_EQ(saved(), newGameFile);
        }
        unlink(path.c_str());
    }
    // In play: F1 tells it on the frame, and play goes on.
    folder.write(saveFileName, "the player's own bytes\n");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    key[KEY_F1] = 1;
    runTick();
    key[KEY_F1] = 0;
    ASSERT_NE(state.noticeText, nullptr);
    EXPECT_STREQ(state.noticeText, "Could not save: \"heroData.txt\" is read-only");
    EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 1);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
}

// What a symbolic link holds, or "" when `path` is none.
static std::string linkText(const std::string &path)
{
    char text[4096];
    const ssize_t length = readlink(path.c_str(), text, sizeof text);
    return length < 0 ? "" : std::string(text, size_t(length));
}

TEST_F(SaveTest, ASaveThatIsALinkIsSavedThroughIt)
{
    // The save's file lives in another folder ("elsewhere", or deeper); the
    // links that lead to it are made relative to their own folders or absolute.
    const std::string elsewhere = folder.file("elsewhere");
    struct Case {
        const char *name;
        std::vector<std::pair<std::string, std::string>> links; // (link, what it holds)
        std::string target;                                     // the file at the chain's end
        bool targetThere;
    } cases[] = {
        {"an absolute link", {{saveFileName, elsewhere + "/save.txt"}}, "elsewhere/save.txt", true},
        {"a relative link", {{saveFileName, "elsewhere/save.txt"}}, "elsewhere/save.txt", true},
        {"a chain read from each link's folder",
         {{saveFileName, "elsewhere/middle.txt"}, {"elsewhere/middle.txt", "deeper/save.txt"}},
         "elsewhere/deeper/save.txt",
         true},
        {"a dangling link: the first save makes its file",
         {{saveFileName, elsewhere + "/deeper/new.txt"}},
         "elsewhere/deeper/new.txt",
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((elsewhere + "/deeper").c_str(), 0755), 0);
        for (const auto &link : c.links)
            ASSERT_EQ(symlink(link.second.c_str(), folder.file(link.first).c_str()), 0);
        if (c.targetThere)
            folder.write(c.target, "the previous save\n");

        state.hero.x = 999;
        const SaveResult result = saveGame(state, saves);
        ASSERT_TRUE(result.saved) << saveFailureText(result);
        std::string text;
        ASSERT_TRUE(folder.read(c.target, text));
        EXPECT_EQ(text.substr(0, 10), "0\n0\n999\n19");
        for (const auto &link : c.links)
            EXPECT_EQ(linkText(folder.file(link.first)), link.second) << link.first;
        EXPECT_EQ(saveTempFilesIn(folder.path()) + saveTempFilesIn(elsewhere) +
                      saveTempFilesIn(elsewhere + "/deeper"),
                  0);
        // F2 reads the same file through the link.
        folder.write(c.target, "0 0 300 196 0 1 25 25 20 20 0 10 0 0 0\n");
        onTheTitle();
        ASSERT_EQ(resumeGame(state, saves), ResumeResult::resumed);
        EXPECT_EQ(state.hero.x, 300);

        for (const auto &link : c.links)
            unlink(folder.file(link.first).c_str());
        removeFolder(elsewhere);
        resetWorld();
    }
}

TEST_F(SaveTest, ALinkedSaveIsRefusedForWhatItsFileIs)
{
    const std::string elsewhere = folder.file("elsewhere");
    const std::string target = elsewhere + "/save.txt";
    struct Case {
        const char *name;
        std::string linkTo;
        std::function<void()> make; // what stands at `target`
        const char *told;
    } cases[] = {
        {"a read-only file", target,
         [&] {
             folder.write("elsewhere/save.txt", "the player's own bytes\n");
             ASSERT_EQ(chmod(target.c_str(), 0444), 0);
         },
         "Could not save: \"heroData.txt\" is read-only"},
        {"a folder", target, [&] { ASSERT_EQ(mkdir(target.c_str(), 0700), 0); },
         "Could not save: a folder is in the way of \"heroData.txt\""},
        {"a pipe", target, [&] { ASSERT_EQ(mkfifo(target.c_str(), 0600), 0); },
         "Could not save: \"heroData.txt\" is not a file"},
        {"a loop", "elsewhere/loop",
         [&] { ASSERT_EQ(symlink("../heroData.txt", (elsewhere + "/loop").c_str()), 0); },
         "Could not save: too many levels of symbolic links"},
        {"a folder that is not there", elsewhere + "/gone/save.txt", [] {},
         "Could not save: no such file or directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
        ASSERT_EQ(symlink(c.linkTo.c_str(), folder.file(saveFileName).c_str()), 0);
        c.make();
        struct stat before, after;
        const bool there = lstat(target.c_str(), &before) == 0;

        const SaveResult result = saveGame(state, saves);
        EXPECT_FALSE(result.saved);
        EXPECT_STREQ(saveFailureText(result), c.told);
        EXPECT_EQ(linkText(folder.file(saveFileName)), c.linkTo);
        EXPECT_EQ(saveTempFilesIn(folder.path()) + saveTempFilesIn(elsewhere), 0);
        ASSERT_EQ(lstat(target.c_str(), &after) == 0, there);
        if (there) {
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        }
        if (there && S_ISREG(after.st_mode)) {
            std::string text;
            ASSERT_EQ(chmod(target.c_str(), 0600), 0); // to read it back as anyone
            ASSERT_TRUE(folder.read("elsewhere/save.txt", text));
            EXPECT_EQ(text, "the player's own bytes\n");
        }
        unlink(folder.file(saveFileName).c_str());
        removeFolder(elsewhere);
    }
}

TEST_F(SaveTest, OnlyStaleTemporaryFilesOfOurOwnNamingAreRemoved)
{
    const long long now = std::time(nullptr);
    enum Kind { file, folderEntry, link, fifo, anotherUsersFile };
    struct Case {
        const char *name;
        Kind kind;
        int age; // seconds
        bool removed;
    } cases[] = {
        {"heroData.txt.saving-a1B2c3", file, 61, true},
        {"heroData.txt.saving-ZZZZZZ", file, 86400 * 400, true},
        {"heroData.txt.saving-q0q0q0", file, 60, false}, // a minute is not older than a minute
        {"heroData.txt.saving-Zz9876", file, 0, false},
        {"heroData.txt.saving-abc12", file, 3600, false},
        {"heroData.txt.saving-abc1234", file, 3600, false},
        {"heroData.txt.saving-ab-c_1", file, 3600, false},
        {"heroData.txt.saving-ab.c.1", file, 3600, false},
        {"heroData.txt.saving-", file, 3600, false},
        {"heroData.txt.saving_abcdef", file, 3600, false},
        {"heroData.txt.Saving-abcdef", file, 3600, false},
        {"xheroData.txt.saving-abcdef", file, 3600, false},
        {"heroData.txt", file, 3600, false},
        {"heroData.txt.", file, 3600, false},
        // A player's own copies, and the temporary names of 1.1.0, which
        // cannot be told from them: never removed, however old.
        {"heroData.txt.backup", file, 3600, false},
        {"heroData.txt.before", file, 3600, false},
        {"heroData.txt.copy01", file, 3600, false},
        {"heroData.txt.a1B2c3", file, 86400 * 400, false},
        {"heroData.txt.saving-folder", folderEntry, 3600, false},
        {"heroData.txt.saving-link01", link, 3600, false},
        {"heroData.txt.saving-fifo01", fifo, 3600, false},
        {"heroData.txt.saving-other1", anotherUsersFile, 3600, false},
    };
    folder.write("target.txt", "kept\n");
    // Only root can give a file to another user.
    auto made = [](const Case &c) { return c.kind != anotherUsersFile || geteuid() == 0; };
    for (const Case &c : cases) {
        if (!made(c))
            continue;
        const std::string path = folder.file(c.name);
        int result = 0;
        switch (c.kind) {
        case file: folder.write(c.name, std::string("the bytes of ") + c.name); break;
        case folderEntry: result = mkdir(path.c_str(), 0700); break;
        case link: result = symlink("target.txt", path.c_str()); break;
        case fifo: result = mkfifo(path.c_str(), 0600); break;
        case anotherUsersFile: // as root, the game could remove it
            folder.write(c.name, std::string("the bytes of ") + c.name);
            result = chown(path.c_str(), 4321, 4321);
            break;
        }
        ASSERT_EQ(result, 0) << c.name;
        const timespec times[2] = {{time_t(now - c.age), 0}, {time_t(now - c.age), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << c.name;
    }
    EXPECT_EQ(removeStaleSaveTemps(now), 2);
    for (const Case &c : cases) {
        if (!made(c))
            continue;
        struct stat info;
        EXPECT_EQ(lstat(folder.file(c.name).c_str(), &info) != 0, c.removed) << c.name;
        std::string text;
        if ((c.kind == file || c.kind == anotherUsersFile) && !c.removed) {
            EXPECT_TRUE(folder.read(c.name, text)) << c.name;
            EXPECT_EQ(text, std::string("the bytes of ") + c.name);
        }
    }
    std::string text;
    ASSERT_TRUE(folder.read("target.txt", text));
    EXPECT_EQ(text, "kept\n");
    EXPECT_EQ(removeStaleSaveTemps(now), 0);
}

TEST_F(SaveTest, F1DuringASwingSavesInTheFirstTickAfterIt)
{
    struct Case {
        const char *name;
        int f1From, f1Until; // swing ticks (1 = the tick after ENTER) F1 is down in; -1: to the end
        bool folderInTheWay;
        bool savesEveryTickAfter; // F1 still held once the swing is over
    } cases[] = {
        {"a tap", 20, 25, false, false},
        {"a tap in the last swing tick", 91, 92, false, false},
        {"held through the swing", 5, -1, false, true},
        {"a tap when the save fails", 20, 25, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file(saveFileName);
        if (c.folderInTheWay) {
            ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
        }
        state.noticeTicks = 0;
        key[KEY_ENTER] = 1;
        runTick();
        key[KEY_ENTER] = 0;
        ASSERT_TRUE(state.hero.attacking);
        int tick = 0;
        while (state.hero.attacking) {
            ++tick;
            key[KEY_F1] = tick >= c.f1From && (c.f1Until < 0 || tick < c.f1Until);
            runTick();
            EXPECT_EQ(folder.exists(saveFileName), c.folderInTheWay) << tick;
            EXPECT_EQ(state.noticeTicks, 0) << tick;
        }
        EXPECT_EQ(tick, 91);
        key[KEY_F1] = c.f1Until < 0;
        runTick(); // the first tick in which keys are handled again
        if (c.folderInTheWay) {
            EXPECT_EQ(state.noticeTicks, saveNoticeTicks - 1);
            EXPECT_STREQ(state.noticeText, "Could not save: a folder is in the way of \"heroData.txt\"");
            ASSERT_EQ(rmdir(path.c_str()), 0);
        } else {
            EXPECT_EQ(saved(), newGameFile);
            ASSERT_EQ(unlink(path.c_str()), 0);
        }
        EXPECT_FALSE(state.hero.attacking); // the save started nothing else
        runTick();
        EXPECT_EQ(folder.exists(saveFileName), c.savesEveryTickAfter);
        key[KEY_F1] = 0;
        unlink(path.c_str());
    }
}
