// headless.cpp - headless Allegro for tests.

#include "headless.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "actors/roster.h"
#include "assets/data_check.h"
#include "combat/feedback.h"
#include "combat/hero_stats.h"
#include "game/game_loop.h"

void startHeadless()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "headless Allegro failed: %s\n", allegro_error);
        std::abort();
    }
    set_color_depth(32);
    const char *dir = std::getenv("JEWELWARD_DATA");
    if (!dir)
        dir = JEWELWARD_DATA_DIR;
    if (chdir(dir) != 0) {
        std::fprintf(stderr, "cannot enter the data folder %s\n", dir);
        std::abort();
    }
}

void resetWorld()
{
    for (Character &c : lizards)
        c = Character{};
    for (Character &c : ogres)
        c = Character{};
    boss = Character{};
    for (Character &c : villagers)
        c = Character{};
    for (Character &c : jewels)
        c = Character{};
    resetHeroStats();
    clearFeedback();
    closeRequested = false;
    releaseAllKeys();
}

void releaseAllKeys()
{
    for (int i = 0; i < KEY_MAX; ++i)
        key[i] = 0;
}

namespace
{

std::string currentFolder()
{
    char here[4096];
    return getcwd(here, sizeof here) ? std::string(here) : std::string(".");
}

} // namespace

void removeFolder(const std::string &folder)
{
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "/" + name;
            if (unlink(path.c_str()) != 0)
                removeFolder(path); // a folder a test put in place of a file
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}

LinkedDataFolder::LinkedDataFolder()
{
    startHeadless(); // the working directory is the data folder now
    back_ = currentFolder();
    // In memory where there is such a folder: a held F1 saves (and flushes) every tick.
    char folderTemplate[] = "/dev/shm/jewelward-test-XXXXXX";
    if (access("/dev/shm", W_OK) != 0)
        std::memcpy(folderTemplate, "/tmp/jewelward-test-XXXXXX", sizeof "/tmp/jewelward-test-XXXXXX");
    const char *made = mkdtemp(folderTemplate);
    if (!made) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = made;
    for (int i = 0; i < dataFileRuleCount; ++i) {
        const std::string name = dataFileRules[i].name;
        if (symlink((back_ + "/" + name).c_str(), file(name).c_str()) != 0) {
            std::perror("symlink");
            std::abort();
        }
    }
    if (chdir(path_.c_str()) != 0)
        std::abort();
}

LinkedDataFolder::~LinkedDataFolder()
{
    if (chdir(back_.c_str()) != 0)
        std::abort();
    removeFolder(path_);
}

void LinkedDataFolder::write(const std::string &name, const std::string &text) const
{
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out << text;
}

bool LinkedDataFolder::read(const std::string &name, std::string &text) const
{
    std::ifstream in(file(name), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

bool LinkedDataFolder::exists(const std::string &name) const
{
    return access(file(name).c_str(), F_OK) == 0;
}

namespace
{

int failingError = 0;
ssize_t failWrite(int, const void *, size_t)
{
    errno = failingError;
    return -1;
}
int failFlush(int)
{
    errno = failingError;
    return -1;
}
int failRename(const char *, const char *)
{
    errno = failingError;
    return -1;
}
const SaveFileOps failAtWrite = {failWrite, ::fsync, ::rename};
const SaveFileOps failAtFlush = {::write, failFlush, ::rename};
const SaveFileOps failAtRename = {::write, ::fsync, failRename};

} // namespace

const SaveFileOps *failingSaveOps(SaveStep step, int error)
{
    failingError = error;
    switch (step) {
    case SaveStep::write: return &failAtWrite;
    case SaveStep::flush: return &failAtFlush;
    case SaveStep::rename: return &failAtRename;
    }
    return &systemSaveFileOps;
}

int saveTempFilesIn(const std::string &folder)
{
    int count = 0;
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir))
            if (std::strncmp(entry->d_name, saveTempPrefix, std::strlen(saveTempPrefix)) == 0)
                ++count;
        closedir(dir);
    }
    return count;
}
