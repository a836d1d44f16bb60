// save_file.cpp - writing and reading "heroData.txt".

#include "persist/save_file.h"

#include "persist/save_text.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "actors/roster.h"
#include "combat/hero_stats.h"
#include "core/message_box.h"
#include "core/music.h"
#include "core/platform.h"
#include "state/shell_state.h"

const SaveFileOps systemSaveFileOps = {writeFile, flushFile, replaceFile};

namespace
{

constexpr size_t maxSaveBytes = 64 * 1024;            // a real save is under 200 bytes
constexpr size_t saveTextBytes = saveValueCount * 13; // "-2147483648\n" is 12 bytes
constexpr size_t pathBytes = 4096;                    // a linked save's target, with its folder

bool writeAll(const SaveFileOps &ops, int fd, const char *text, size_t length)
{
    while (length > 0) {
        const ssize_t done = ops.write(fd, text, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC; // a write that takes nothing is a full device
            return false;
        }
        text += done;
        length -= size_t(done);
    }
    return true;
}

// The system's text for an error, starting in lower case for a sentence.
const char *lowerCaseError(int error, char *text, size_t size)
{
    std::snprintf(text, size, "%s", errorText(error));
    if (text[0] >= 'A' && text[0] <= 'Z')
        text[0] = char(text[0] - 'A' + 'a');
    return text;
}

} // namespace

void exportStats(int32_t &level, int32_t &life, int32_t &maxLife, int32_t &magic, int32_t &maxMagic,
                 int32_t &experience, int32_t &nextLevelExp, int32_t &jewel0Taken, int32_t &jewel1Taken,
                 int32_t &jewel2Taken)
{
    level = heroStats.level;
    life = heroStats.life;
    maxLife = heroStats.maxLife;
    magic = heroStats.magic;
    maxMagic = heroStats.maxMagic;
    experience = heroStats.experience;
    nextLevelExp = heroStats.nextLevelExp;
    jewel0Taken = jewels[0].alive ? 0 : 1;
    jewel1Taken = jewels[1].alive ? 0 : 1;
    jewel2Taken = jewels[2].alive ? 0 : 1;
}

void importStats(int32_t level, int32_t life, int32_t maxLife, int32_t magic, int32_t maxMagic,
                 int32_t experience, int32_t nextLevelExp, int32_t jewel0Taken, int32_t jewel1Taken,
                 int32_t jewel2Taken)
{
    // Only a line holding exactly 1 marks a jewel as taken.
    const int32_t taken[jewelCount] = {jewel0Taken, jewel1Taken, jewel2Taken};
    for (int i = 0; i < jewelCount; ++i) {
        if (taken[i] == 1) {
            jewels[i].alive = false;
            heroStats.jewelCount += 1;
        }
    }
    heroStats.level = level;
    heroStats.life = life;
    heroStats.maxLife = maxLife;
    heroStats.magic = magic;
    heroStats.maxMagic = maxMagic;
    heroStats.experience = experience;
    heroStats.nextLevelExp = nextLevelExp;
}

SaveResult saveGame(ShellState &state, SaveFiles &files)
{
    int32_t stats[10];
    exportStats(stats[0], stats[1], stats[2], stats[3], stats[4], stats[5], stats[6], stats[7], stats[8],
                stats[9]);
    char text[saveTextBytes + 1];
    int length =
        std::snprintf(text, sizeof text, "%d\n%d\n%d\n%d\n%d\n", int(state.cameraX), int(state.cameraY),
                      int(state.hero.x), int(state.hero.y), int(state.musicZone));
    for (int32_t value : stats)
        length += std::snprintf(text + length, sizeof text - size_t(length), "%d\n", int(value));

    SaveResult result;
    const SaveFileOps &ops = *files.ops;
    // Through a link to its file: that file is replaced and its state counts.
    char target[pathBytes];
    if (writeTargetOf(saveFileName, target, sizeof target) != 0) {
        result.error = errno;
        return result;
    }
    FileStamp stamp;
    if (stampAt(target, stamp) == 0 && stamp.kind != FileKind::regular) {
        result.notAFile = stamp.kind != FileKind::folder;
        result.error = stamp.kind == FileKind::folder ? EISDIR : EINVAL;
        return result;
    }
    if (isReadOnlyFile(target)) {
        result.readOnly = true;
        result.error = EACCES;
        return result;
    }
    // A fresh name created exclusively in the target's folder, so that the
    // rename is one step: a link planted at any name is never followed, and
    // two games in one folder never share a file.
    char prefix[pathBytes], tempName[pathBytes + 8];
    const char *slash = std::strrchr(target, '/');
    const int folderLength = slash ? int(slash - target) + 1 : 0;
    if (std::snprintf(prefix, sizeof prefix, "%.*s%s", folderLength, target, saveTempPrefix) >=
        int(sizeof prefix)) {
        result.error = ENAMETOOLONG;
        return result;
    }
    const int fd = createTempFile(prefix, tempName, sizeof tempName);
    if (fd < 0) {
        result.error = errno;
        return result;
    }

    bool ok = writeAll(ops, fd, text, size_t(length)) && ops.fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (closeFile(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ops.rename(tempName, target) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        removeFile(tempName);
        result.error = error != 0 ? error : EIO;
        return result;
    }
    result.saved = true;
    return result;
}

const char *saveFailureText(const SaveResult &result)
{
    if (result.readOnly)
        return "Could not save: \"heroData.txt\" is read-only";
    if (result.notAFile)
        return "Could not save: \"heroData.txt\" is not a file";
    const int error = result.error;
    switch (fileProblemOf(error)) {
    case FileProblem::readOnly: return "Could not save: the folder is read-only";
    case FileProblem::diskFull: return "Could not save: the disk is full";
    case FileProblem::permission: return "Could not save: permission denied";
    case FileProblem::folderInTheWay: return "Could not save: a folder is in the way of \"heroData.txt\"";
    case FileProblem::inUse: return "Could not save: another program is using \"heroData.txt\"";
    case FileProblem::other: break;
    }
    static char text[160];
    char reason[120];
    std::snprintf(text, sizeof text, "Could not save: %s", lowerCaseError(error, reason, sizeof reason));
    return text;
}

// A save that is there but cannot be read says why, not "No saved Found".
static ResumeResult refuseUnreadable(int error)
{
    char reason[120], text[200];
    std::snprintf(text, sizeof text, "The saved game in \"heroData.txt\" cannot be read: %s",
                  lowerCaseError(error, reason, sizeof reason));
    showMessage(text);
    return ResumeResult::unreadable;
}

ResumeResult resumeGame(ShellState &state, SaveFiles &)
{
    // Non-blocking: a pipe or a device at the save's name must not hang the
    // title; it is refused below as no plain file.
    const int fd = openForReading(saveFileName);
    if (fd < 0) {
        if (errno == ENOENT) {
            showMessage("No saved Found");
            return ResumeResult::noFile;
        }
        return refuseUnreadable(errno);
    }
    static char text[maxSaveBytes + 1]; // static: no large frame on the stack
    size_t length = 0;
    FileStamp stamp;
    const bool plainFile = stampOfOpen(fd, stamp) == 0 && stamp.kind == FileKind::regular;
    int readError = 0;
    if (plainFile) {
        const long got = readAt(fd, 0, text, sizeof text);
        if (got < 0)
            readError = errno;
        else
            length = size_t(got);
    }
    closeFile(fd);
    if (readError != 0)
        return refuseUnreadable(readError);
    if (!plainFile) {
        showMessage("\"heroData.txt\" is not a file");
        return ResumeResult::notAFile;
    }
    int32_t v[saveValueCount];
    if (length > maxSaveBytes || !parseSaveText(text, length, v)) {
        showMessage("The saved game in \"heroData.txt\" is damaged and cannot be resumed.");
        return ResumeResult::damaged;
    }

    state.cameraX = v[0];
    state.cameraY = v[1];
    state.hero.x = v[2];
    state.hero.y = v[3];
    state.musicZone = v[4];
    importStats(v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14]);
    replaceBackdrop(state, "worldMap.bmp");
    stopMusic(state.titleTrack);
    if (SAMPLE *track = zoneTrack(state, state.musicZone))
        playMusic(track, musicVolumeFull, musicPanCentre, musicFrequencyNormal, 33);
    state.resumedFromSave = true;
    state.titleStage = titleStageEnded;
    return ResumeResult::resumed;
}

// "heroData.txt.saving-" and the six letters or digits createTempFile adds.
static bool tempNameOfOurs(const char *name)
{
    const size_t prefixLength = std::strlen(saveTempPrefix);
    if (std::strncmp(name, saveTempPrefix, prefixLength) != 0 || std::strlen(name) != prefixLength + 6)
        return false;
    for (const char *p = name + prefixLength; *p; ++p) {
        const bool letterOrDigit =
            (*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9');
        if (!letterOrDigit)
            return false;
    }
    return true;
}

int removeStaleSaveTemps(long long now)
{
    return removeOldFiles(tempNameOfOurs, now, staleTempSeconds);
}

int removeStaleSaveTemps()
{
    return removeStaleSaveTemps((long long)std::time(nullptr));
}
