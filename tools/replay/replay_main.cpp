// replay_main.cpp - replays a script of per-tick key states headless, through
// the same title and tick functions the game runs, on memory bitmaps, and
// prints a summary of the final state.
//
//   replay --data DATA_FOLDER [--no-effects] SCRIPT
//
// The sound effects are started as in the game (no sound driver is installed,
// so none is heard) and counted on standard error; --no-effects turns them
// off, so that a run with and a run without them can be compared.
//
// It works in a fresh temporary folder holding links to the data files (and
// the script's save file as "heroData.txt"), so saves never touch the data.

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "actors/roster.h"
#include "assets/data_check.h"
#include "core/sound_effects.h"
#include "game/game_loop.h"
#include "game/startup.h"
#include "persist/save_file.h"
#include "replay_script.h"
#include "summary.h"

namespace
{

std::string absolute(const std::string &path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char here[4096];
    if (!getcwd(here, sizeof here))
        return path;
    return std::string(here) + "/" + path;
}

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool readFile(const std::string &path, std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

void removeFolder(const std::string &folder)
{
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                unlink((folder + "/" + name).c_str());
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    std::string dataFolder = ".", scriptPath;
    bool effectsOn = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--data" && i + 1 < argc)
            dataFolder = argv[++i];
        else if (arg == "--no-effects")
            effectsOn = false;
        else
            scriptPath = arg;
    }
    if (scriptPath.empty()) {
        std::fprintf(stderr, "usage: replay --data DATA_FOLDER [--no-effects] SCRIPT\n");
        return 2;
    }
    std::string text, error;
    ReplayScript script;
    if (!readFile(scriptPath, text)) {
        std::fprintf(stderr, "replay: cannot read %s\n", scriptPath.c_str());
        return 2;
    }
    if (!parseReplay(text, script, error)) {
        std::fprintf(stderr, "replay: %s: %s\n", scriptPath.c_str(), error.c_str());
        return 2;
    }
    std::string saveText;
    if (!script.saveFile.empty() && !readFile(folderOf(scriptPath) + "/" + script.saveFile, saveText)) {
        std::fprintf(stderr, "replay: cannot read the save file %s\n", script.saveFile.c_str());
        return 2;
    }

    char folderTemplate[] = "/tmp/jewelward-replay-XXXXXX";
    const char *work = mkdtemp(folderTemplate);
    if (!work) {
        std::perror("replay: mkdtemp");
        return 2;
    }
    dataFolder = absolute(dataFolder);
    for (int i = 0; i < dataFileRuleCount; ++i) {
        const std::string name = dataFileRules[i].name;
        if (symlink((dataFolder + "/" + name).c_str(), (std::string(work) + "/" + name).c_str()) != 0) {
            std::perror("replay: symlink");
            removeFolder(work);
            return 2;
        }
    }
    if (!script.saveFile.empty()) {
        std::ofstream(std::string(work) + "/" + saveFileName, std::ios::binary) << saveText;
    }
    if (chdir(work) != 0) {
        std::perror("replay: chdir");
        return 2;
    }

    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "replay: %s\n", allegro_error);
        return 2;
    }
    set_color_depth(32);
    randomSeedFixed = true;
    randomSeed = script.seed;

    SaveFiles saves;
    ShellState state;
    setSoundEffectsEnabled(effectsOn);
    clearEffectStarts();
    bringUpGame(state, false);
    BITMAP *screenBitmap = create_bitmap(screenWidth, screenHeight);

    bool inPlay = false;
    const char *end = "running";
    int64_t titleTicks = 0, playTicks = 0;
    for (const ReplayRun &run : script.runs) {
        for (int64_t t = 0; t < run.ticks && end[0] == 'r'; ++t) {
            applyReplayKeys(run.keys);
            if (!inPlay) {
                if (quitHeld()) { // at the title's head too, as the game does
                    end = "title-escape (exit 1)";
                    break;
                }
                ++titleTicks;
                const TitleResult result = titleIteration(state, saves, screenBitmap);
                if (result == TitleResult::quit) {
                    end = "title-escape (exit 1)";
                } else if (result == TitleResult::ended) {
                    setUpGame(state);
                    inPlay = true;
                }
            } else if (key[KEY_ESC]) {
                end = "play-escape (exit 0)";
            } else {
                ++playTicks;
                runTick(state, saves, screenBitmap);
            }
        }
    }

    std::printf("ticks: title %lld play %lld\nend: %s\n", (long long)titleTicks, (long long)playTicks, end);
    printSummary(stdout, state);
    std::string saved;
    if (readFile(saveFileName, saved)) {
        for (char &c : saved)
            if (c == '\n')
                c = ' ';
        std::printf("heroData.txt: %s\n", saved.c_str());
    }
    std::fprintf(stderr, "effects started:");
    for (int i = 0; i < soundEffectCount; ++i)
        std::fprintf(stderr, " %s %d", soundEffects[i].name, effectStarts[i]);
    std::fprintf(stderr, "\n");
    removeFolder(work);
    return 0;
}
