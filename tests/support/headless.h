// headless.h - Allegro without a display for tests: the null system driver,
// 32-bit memory bitmaps, the generated data folder as working directory, and
// a way to put every program-wide value back to its starting state.
#pragma once

#include <allegro.h>
#include <string>

#include "persist/save_file.h"
#include "state/shell_state.h"

// Starts Allegro once per process (SYSTEM_NONE, 32-bit colour) and changes to
// the generated data folder. Safe to call many times.
void startHeadless();

// Every program-wide actor, HeroStats and bossLife back to their start values.
void resetWorld();

// Holds no key down.
void releaseAllKeys();

// A fresh folder (in memory under /dev/shm where it can be, else under /tmp)
// holding a link to every data file. The process works inside it while the
// object lives, so saves land there and never touch the data folder.
class LinkedDataFolder
{
  public:
    LinkedDataFolder();
    ~LinkedDataFolder();
    LinkedDataFolder(const LinkedDataFolder &) = delete;
    LinkedDataFolder &operator=(const LinkedDataFolder &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    void write(const std::string &name, const std::string &text) const;
    bool read(const std::string &name, std::string &text) const;
    bool exists(const std::string &name) const;

  private:
    std::string path_, back_;
};

// Removes a folder and everything in it, folders included.
void removeFolder(const std::string &folder);

// Save file operations that fail at one step with `error`, as a broken disk
// would; the other steps are the system's.
enum class SaveStep { write, flush, rename };
const SaveFileOps *failingSaveOps(SaveStep step, int error);

// Names in `folder` that start with "heroData.txt." (temporary saves).
int saveTempFilesIn(const std::string &folder);
