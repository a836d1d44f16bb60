// save_faults_test.cpp - F1 held in play while the save cannot be completed:
// the write, the flush or the rename fails, the temporary file cannot be made,
// the disk is full, or the folder is read-only. Afterwards heroData.txt is
// byte for byte the previous save, no temporary file is left behind, and once
// the fault is gone the next F1 saves again.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <linux/capability.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "persist/save_file.h"
#include "replay_script.h"
#include "robust_support.h"
#include "shell/game_loop.h"

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
        saveFault = SaveFault::none;
        releaseAllKeysAfter();
    }
    static void releaseAllKeysAfter() { applyReplayKeys(0); }

    void holdF1(int ticks)
    {
        for (int t = 0; t < ticks; ++t) {
            applyReplayKeys(replayF1);
            runTick(game.state, game.saves, game.screen);
        }
        applyReplayKeys(0);
    }
    std::string saved() const { return readWholeFile(folder.file(saveFileName)); }
    bool tempLeft() const { return access(folder.file(saveTempFileName).c_str(), F_OK) == 0; }

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

TEST_F(SaveFaults, TheSeamsWriteFlushAndRename)
{
    for (SaveFault fault : {SaveFault::failWrite, SaveFault::failFlush, SaveFault::failRename}) {
        SCOPED_TRACE(int(fault));
        writeWholeFile(folder.file(saveFileName), previousSave);
        saveFault = fault;
        holdF1(5);
        expectPreviousKept();
        saveFault = SaveFault::none;
        expectSavesAgain();
    }
}

TEST_F(SaveFaults, AFolderWhereTheTemporaryFileGoes)
{
    ASSERT_EQ(mkdir(folder.file(saveTempFileName).c_str(), 0700), 0);
    holdF1(5);
    EXPECT_EQ(saved(), previousSave);
    ASSERT_EQ(rmdir(folder.file(saveTempFileName).c_str()), 0); // still a folder, and empty
    expectSavesAgain();
}

TEST_F(SaveFaults, AFullDisk)
{
    // The temporary file is /dev/full: it opens, and every write fails with
    // ENOSPC. The failed save removes its temporary file (here the link), so
    // the fault lasts one tick.
    ASSERT_EQ(symlink("/dev/full", folder.file(saveTempFileName).c_str()), 0);
    holdF1(1);
    expectPreviousKept();
    expectSavesAgain();
}

TEST_F(SaveFaults, ADeviceThatCannotBeFlushed)
{
    // Writes to /dev/null succeed and its fsync fails: nothing may be renamed.
    ASSERT_EQ(symlink("/dev/null", folder.file(saveTempFileName).c_str()), 0);
    holdF1(1);
    expectPreviousKept();
    struct stat info;
    ASSERT_EQ(lstat(folder.file(saveFileName).c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << "heroData.txt was replaced by a link to /dev/null";
    expectSavesAgain();
}

TEST_F(SaveFaults, AReadOnlyFolder)
{
    // Root writes through a mode of 555: the ticks run in a child that has
    // dropped every capability first, as an ordinary user would be.
    ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2] = {};
        if (geteuid() == 0 && syscall(SYS_capset, &header, none) != 0)
            _exit(3);
        if (access(folder.path().c_str(), W_OK) == 0)
            _exit(4); // the folder is still writable: the case would prove nothing
        holdF1(5);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    ASSERT_EQ(WEXITSTATUS(status), 0) << "3: capabilities not dropped, 4: the folder stayed writable";
    expectPreviousKept();
    expectSavesAgain();
}
