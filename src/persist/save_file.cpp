// save_file.cpp - writing and reading "heroData.txt".

#include "persist/save_file.h"

#include "persist/save_text.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "actors/roster.h"
#include "combat/hero_stats.h"
#include "core/message_box.h"
#include "core/music.h"
#include "state/shell_state.h"

const SaveFileOps systemSaveFileOps = {::write, ::fsync, ::rename};

namespace
{

constexpr size_t maxSaveBytes = 64 * 1024;            // a real save is under 200 bytes
constexpr size_t saveTextBytes = saveValueCount * 13; // "-2147483648\n" is 12 bytes

// The folder's entry for a rename reaches the disk too; a failure here no
// longer risks the save, which is whole under one name or the other.
void flushFolder()
{
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

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
    std::snprintf(text, size, "%s", std::strerror(error));
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
    // The link itself would be replaced, so its own entry is what counts.
    struct stat old;
    if (::lstat(saveFileName, &old) == 0 && S_ISREG(old.st_mode) && !(old.st_mode & S_IWUSR)) {
        result.readOnly = true;
        result.error = EACCES;
        return result;
    }
    // mkostemp creates a fresh name exclusively: a link planted at any name
    // is never followed, and two games in one folder never share a file.
    char tempName[32];
    std::snprintf(tempName, sizeof tempName, "%sXXXXXX", saveTempPrefix);
    const int fd = ::mkostemp(tempName, O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask); // as an ordinary new file would be, not mkstemp's 0600

    bool ok = writeAll(ops, fd, text, size_t(length)) && ops.fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ops.rename(tempName, saveFileName) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(tempName);
        result.error = error != 0 ? error : EIO;
        return result;
    }
    flushFolder();
    result.saved = true;
    return result;
}

const char *saveFailureText(const SaveResult &result)
{
    if (result.readOnly)
        return "Could not save: \"heroData.txt\" is read-only";
    const int error = result.error;
    switch (error) {
    case EROFS: return "Could not save: the folder is read-only";
    case ENOSPC:
    case EDQUOT: return "Could not save: the disk is full";
    case EACCES:
    case EPERM: return "Could not save: permission denied";
    case EISDIR:
    case ENOTEMPTY:
    case EEXIST: return "Could not save: a folder is in the way of \"heroData.txt\"";
    default: break;
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
    const int fd = ::open(saveFileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            showMessage("No saved Found");
            return ResumeResult::noFile;
        }
        return refuseUnreadable(errno);
    }
    static char text[maxSaveBytes + 1]; // static: no large frame on the stack
    size_t length = 0;
    struct stat info;
    const bool plainFile = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    int readError = 0;
    while (plainFile && length < sizeof text) {
        const ssize_t got = ::read(fd, text + length, sizeof text - length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            readError = errno;
        if (got <= 0)
            break;
        length += size_t(got);
    }
    ::close(fd);
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

// mkostemp's six characters are letters and digits.
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
    DIR *folder = ::opendir(".");
    if (!folder)
        return 0;
    int removed = 0;
    const int folderFd = ::dirfd(folder);
    while (const dirent *entry = ::readdir(folder)) {
        if (!tempNameOfOurs(entry->d_name))
            continue;
        struct stat info;
        if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (now - (long long)info.st_mtime > staleTempSeconds && ::unlinkat(folderFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(folder);
    return removed;
}

int removeStaleSaveTemps()
{
    return removeStaleSaveTemps((long long)std::time(nullptr));
}
