// save_faults_test.cpp - F1 held in play while the save cannot be completed:
// the write, the flush or the rename fails, a folder stands at the save's
// name, the disk is really full, or the folder is read-only. Afterwards heroData.txt is
// byte for byte the previous save, no temporary file is left behind, and once
// the fault is gone the next F1 saves again.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <linux/capability.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/message_box.h"
#include "game/game_loop.h"
#include "persist/save_file.h"
#include "replay_script.h"
#include "robust_support.h"

namespace
{

// Not the game's own layout (one value per line), so a new save is told apart.
const std::string previousSave = "0 0 272 192 0  1 25 25 20 20  7 10  0 1 0\n";

class SaveFaults : public ::testing::Test
{
  protected:
    LinkedDataFolder folder;
    HeadlessGame &game = headlessGame();

    void SetUp() override
    {
        backToTitle(game);
        startNewGame(game);
        writeWholeFile(folder.file(saveFileName), previousSave);
    }
    void TearDown() override
    {
        game.saves.ops = &systemSaveFileOps;
        releaseAllKeysAfter();
    }
    static void releaseAllKeysAfter() { applyReplayKeys(0); }

    // F1 held for `ticks` ticks, then one tick in which the game sees it up.
    void holdF1(int ticks)
    {
        for (int t = 0; t < ticks; ++t) {
            applyReplayKeys(replayF1);
            runTick(game.state, game.saves, game.screen);
        }
        applyReplayKeys(0);
        runTick(game.state, game.saves, game.screen);
    }
    std::string saved() const { return readWholeFile(folder.file(saveFileName)); }
    bool tempLeft() const { return saveTempFilesIn(folder.path()) != 0; }

    // After the fault: the previous file untouched, no temporary file.
    void expectPreviousKept()
    {
        EXPECT_EQ(saved(), previousSave);
        EXPECT_FALSE(tempLeft());
    }
    // Without the fault the same streams save again.
    void expectSavesAgain()
    {
        holdF1(1);
        EXPECT_EQ(saved(), "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
        EXPECT_FALSE(tempLeft());
    }
};

} // namespace

TEST_F(SaveFaults, AWriteFlushOrRenameThatFails)
{
    for (SaveStep step : {SaveStep::write, SaveStep::flush, SaveStep::rename}) {
        SCOPED_TRACE(int(step));
        writeWholeFile(folder.file(saveFileName), previousSave);
        game.saves.ops = failingSaveOps(step, EIO);
        holdF1(5);
        expectPreviousKept();
        EXPECT_EQ(game.state.noticeTicks, saveNoticeTicks - 6); // told at the first tick only
        game.saves.ops = &systemSaveFileOps;
        expectSavesAgain();
    }
}

TEST_F(SaveFaults, AFolderAtTheSavesName)
{
    ASSERT_EQ(unlink(folder.file(saveFileName).c_str()), 0);
    ASSERT_EQ(mkdir(folder.file(saveFileName).c_str(), 0700), 0);
    holdF1(5);
    EXPECT_FALSE(tempLeft());
    ASSERT_EQ(rmdir(folder.file(saveFileName).c_str()), 0); // still a folder, and empty
    expectSavesAgain();
}

// "heroData.txt" a link to the save in another folder (a synced one, say):
// each fault keeps the linked file byte for byte and the link a link, no
// temporary file is left in either folder, a read-only linked file is kept
// with its mode and inode, and without a fault F1 saves through the link.
TEST_F(SaveFaults, ALinkedSaveFailsAndSavesThroughTheLink)
{
    const std::string elsewhere = folder.file("elsewhere");
    const std::string target = elsewhere + "/save.txt";
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    ASSERT_EQ(unlink(folder.file(saveFileName).c_str()), 0);
    ASSERT_EQ(symlink(target.c_str(), folder.file(saveFileName).c_str()), 0);
    auto linkKept = [&] {
        char text[4096];
        const ssize_t length = readlink(folder.file(saveFileName).c_str(), text, sizeof text);
        return length > 0 && std::string(text, size_t(length)) == target;
    };
    auto noTemp = [&] { return saveTempFilesIn(folder.path()) + saveTempFilesIn(elsewhere) == 0; };
    for (SaveStep step : {SaveStep::write, SaveStep::flush, SaveStep::rename}) {
        SCOPED_TRACE(int(step));
        writeWholeFile(target, previousSave);
        game.saves.ops = failingSaveOps(step, EIO);
        holdF1(5);
        EXPECT_EQ(readWholeFile(target), previousSave);
        EXPECT_TRUE(linkKept());
        EXPECT_TRUE(noTemp());
        game.saves.ops = &systemSaveFileOps;
        holdF1(1);
        EXPECT_EQ(readWholeFile(target), "0\n0\n272\n192\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n");
        EXPECT_TRUE(linkKept());
        EXPECT_TRUE(noTemp());
    }
    writeWholeFile(target, previousSave);
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    struct stat before, after;
    ASSERT_EQ(stat(target.c_str(), &before), 0);
    holdF1(5);
    ASSERT_NE(game.state.noticeText, nullptr);
    EXPECT_STREQ(game.state.noticeText, "Could not save: \"heroData.txt\" is read-only");
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(readWholeFile(target), previousSave);
    EXPECT_TRUE(linkKept());
    EXPECT_TRUE(noTemp());
}

// A tiny file system of its own, mounted in the test folder and made the
// working folder while F1 is held. Mounting needs root.
class MountedSaveFolder : public SaveFaults
{
  protected:
    std::string small;
    char back[4096] = "";
    bool mounted = false;

    bool mountSmall()
    {
        small = folder.file("small");
        if (mkdir(small.c_str(), 0755) != 0 ||
            mount("jewelward-save", small.c_str(), "tmpfs", 0, "size=16k") != 0)
            return false;
        mounted = true;
        writeWholeFile(small + "/" + saveFileName, previousSave);
        return true;
    }
    // Holds F1 inside the small folder; returns the notice told.
    std::string holdF1Inside(int ticks)
    {
        EXPECT_NE(getcwd(back, sizeof back), nullptr);
        EXPECT_EQ(chdir(small.c_str()), 0);
        holdF1(ticks);
        EXPECT_EQ(chdir(back), 0);
        return game.state.noticeText ? game.state.noticeText : "";
    }
    void TearDown() override
    {
        if (mounted)
            umount(small.c_str());
        SaveFaults::TearDown();
    }
};

TEST_F(MountedSaveFolder, AReallyFullDisk)
{
    if (!mountSmall())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    FILE *fill = std::fopen((small + "/filler").c_str(), "w");
    ASSERT_NE(fill, nullptr);
    while (std::fputc('x', fill) != EOF && std::fflush(fill) == 0) {
    }
    std::fclose(fill);
    EXPECT_EQ(holdF1Inside(3), "Could not save: the disk is full");
    EXPECT_EQ(readWholeFile(small + "/" + saveFileName), previousSave);
    EXPECT_EQ(saveTempFilesIn(small), 0);
}

TEST_F(MountedSaveFolder, AReadOnlyFileSystem)
{
    if (!mountSmall())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    ASSERT_EQ(mount(nullptr, small.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(holdF1Inside(3), "Could not save: the folder is read-only");
    EXPECT_EQ(readWholeFile(small + "/" + saveFileName), previousSave);
}

// Runs `body` in a child that has dropped every capability first, as an
// ordinary user would be: root reads and writes through any file mode. The
// child's exit code: 0 passed, 3 capabilities not dropped, others from body.
static int withoutCapabilities(const std::function<int()> &body)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2] = {};
        if (geteuid() == 0 && syscall(SYS_capset, &header, none) != 0)
            _exit(3);
        const int code = body();
        _exit(code != 0 ? code : ::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -2;
    return WEXITSTATUS(status);
}

TEST_F(SaveFaults, AReadOnlyFolder)
{
    ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    const int code = withoutCapabilities([&] {
        if (access(folder.path().c_str(), W_OK) == 0)
            return 4; // the folder is still writable: the case would prove nothing
        holdF1(5);
        if (!game.state.noticeText ||
            std::string(game.state.noticeText) != "Could not save: permission denied")
            return 5;
        return 0;
    });
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    ASSERT_EQ(code, 0) << "3: capabilities not dropped, 4: the folder stayed writable, 5: wrong notice";
    expectPreviousKept();
    expectSavesAgain();
}

TEST_F(SaveFaults, ASaveThePlayerMayNotReadIsSaidSo)
{
    ASSERT_EQ(chmod(folder.file(saveFileName).c_str(), 0), 0);
    backToTitle(game);
    const int code = withoutCapabilities([&] {
        if (resumeGame(game.state, game.saves) != ResumeResult::unreadable)
            return 4;
        if (std::string(lastMessage) !=
            "The saved game in \"heroData.txt\" cannot be read: permission denied")
            return 5;
        return game.state.titleStage == 0 ? 0 : 6;
    });
    ASSERT_EQ(chmod(folder.file(saveFileName).c_str(), 0644), 0);
    EXPECT_EQ(code, 0)
        << "3: capabilities not dropped, 4: not refused as unreadable, 5: wrong message, 6: left "
           "the title";
}
