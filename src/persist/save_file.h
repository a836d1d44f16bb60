// save_file.h - the hero's save, "heroData.txt" in the working directory:
// fifteen decimal integers, one per line, in this order: camera x, camera y,
// hero x, hero y, music zone, level, life, maximum life, magic, maximum magic,
// experience, experience for the next level, jewel 0, 1 and 2 taken (1 = taken).
//
// F1 in play saves, F2 on the title resumes. A save goes to a temporary file
// of its own (a fresh name, created exclusively, never through a link) that
// is flushed to disk and then renamed over the old one, so a crash, a full
// disk or a second game in the same folder never costs the previous save. A
// file that does not hold fifteen 32-bit integers is refused whole, and so is
// anything at that name that is not a plain file (a pipe would block).
//
// A "heroData.txt" that is a symbolic link (to a synced folder, say) is saved
// through: the temporary file is made beside the file at the end of the
// link's chain and replaces that file, whose read-only state counts; the link
// stays, and F2 reads the same file through it. A dangling link names the
// file the player means the save to be, so the first save makes it there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "persist/save_text.h"

struct ShellState;

constexpr const char *saveFileName = "heroData.txt";
// Temporary files are "heroData.txt.saving-XXXXXX", XXXXXX six random letters
// or digits: a name no player gives a copy, which says what it is. One left by
// a killed game is never read, and removed at the next start once stale.
constexpr const char *saveTempPrefix = "heroData.txt.saving-";
constexpr int staleTempSeconds = 60; // a save takes milliseconds; older is a killed one

// Removes from the working folder the regular files named exactly
// "heroData.txt.saving-" and six letters or digits, owned by the player (on
// POSIX), last changed more than staleTempSeconds before `now` (seconds since
// the epoch). Nothing else is touched: no other name, folder, link, young
// file or another user's file. Names of the older form "heroData.txt." and six
// letters or digits stay: they cannot be told from a player's own copy
// ("heroData.txt.backup"). Temporary files a killed save left beside a linked
// save's target, in another folder, stay too. Returns how many were removed.
int removeStaleSaveTemps(long long now);
int removeStaleSaveTemps(); // at the clock's time

// The file operations a save makes (core/platform.h's writeFile, flushFile
// and replaceFile; errors in errno). The game uses the system's; a test passes
// its own to make one step fail as a broken disk would.
struct SaveFileOps {
    ssize_t (*write)(int fd, const void *data, size_t size);
    int (*fsync)(int fd);
    int (*rename)(const char *from, const char *to);
};
extern const SaveFileOps systemSaveFileOps;

// What main owns for the whole run and hands to every save and resume.
struct SaveFiles {
    const SaveFileOps *ops = &systemSaveFileOps;
};

void exportStats(int32_t &level, int32_t &life, int32_t &maxLife, int32_t &magic, int32_t &maxMagic,
                 int32_t &experience, int32_t &nextLevelExp, int32_t &jewel0Taken, int32_t &jewel1Taken,
                 int32_t &jewel2Taken);
void importStats(int32_t level, int32_t life, int32_t maxLife, int32_t magic, int32_t maxMagic,
                 int32_t experience, int32_t nextLevelExp, int32_t jewel0Taken, int32_t jewel1Taken,
                 int32_t jewel2Taken);

struct SaveResult {
    bool saved = false;
    bool readOnly = false; // the player made the save read-only; error is EACCES
    bool notAFile = false; // a pipe or a device is there (or at the link's end)
    int error = 0;         // errno of the step that failed; 0 when saved
};

// Writes the save; on failure the old file is untouched and no temporary
// file is left. A save without write permission for its owner is the
// player's choice to keep it: it is refused, never replaced; so is a pipe or
// a device at the save's name, which is no file of the game's.
SaveResult saveGame(ShellState &state, SaveFiles &files);

// What a player reads when a save failed: "Could not save: the disk is full".
const char *saveFailureText(const SaveResult &result);

enum class ResumeResult { resumed, noFile, unreadable, notAFile, damaged };
// F2 on the title. On success play starts from the saved values; otherwise a
// message the player answers says why and nothing changes.
ResumeResult resumeGame(ShellState &state, SaveFiles &files);
