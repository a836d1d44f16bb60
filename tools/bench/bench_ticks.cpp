// bench_ticks.cpp - what one tick costs, headless on memory bitmaps, in four
// scenes, beside the floor of copying a 640 x 480 frame twice; heap
// allocations per tick; and the game set-up against a bare picture load.
//
//   bench_ticks DATA_FOLDER [TICKS]

#include <algorithm>
#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "actors/roster.h"
#include "alloc_count.h"
#include "assets/data_check.h"
#include "combat/hero_stats.h"
#include "game/game_loop.h"
#include "game/pacing.h"
#include "game/startup.h"
#include "persist/save_file.h"
#include "world/walk_grids.h"

namespace
{

struct Figures {
    double median, p99; // microseconds
    double allocsPerTick;
};

Figures summarise(std::vector<double> &micros, long long allocations)
{
    std::sort(micros.begin(), micros.end());
    return Figures{micros[micros.size() / 2], micros[micros.size() * 99 / 100],
                   double(allocations) / double(micros.size())};
}

// The floor: the two whole-frame copies every tick needs at the least.
double frameCopyFloor()
{
    const size_t bytes = 640 * 480 * 4;
    std::vector<unsigned char> a(bytes, 1), b(bytes), c(bytes);
    std::vector<double> micros;
    for (int i = 0; i < 2000; ++i) {
        const int64_t t0 = monotonicNanoseconds();
        std::memcpy(b.data(), a.data(), bytes);
        std::memcpy(c.data(), b.data(), bytes);
        micros.push_back((monotonicNanoseconds() - t0) / 1000.0);
        a[i % bytes] = c[(i * 7) % bytes]; // keep the copies alive
    }
    std::sort(micros.begin(), micros.end());
    return micros[micros.size() / 2];
}

// One save, as every tick with F1 held makes one: written, flushed to the
// disk and renamed into place, in a folder of its own under /tmp.
void measureSaves(ShellState &state, SaveFiles &saves)
{
    char folder[] = "/tmp/jewelward-bench-XXXXXX";
    char back[4096];
    if (!mkdtemp(folder) || !getcwd(back, sizeof back) || chdir(folder) != 0) {
        std::printf("Saves: no folder to save in.\n");
        return;
    }
    std::vector<double> micros;
    bool allSaved = true;
    for (int i = 0; i < 300; ++i) {
        const int64_t t0 = monotonicNanoseconds();
        allSaved = saveGame(state, saves).saved && allSaved;
        micros.push_back((monotonicNanoseconds() - t0) / 1000.0);
    }
    std::remove(saveFileName);
    if (chdir(back) != 0 || rmdir(folder) != 0)
        std::printf("(the folder %s is left behind)\n", folder);
    const Figures f = summarise(micros, 0);
    std::printf("One save (F1 held saves every tick), %zu saves in %s: median %.0f us, p99 %.0f us%s\n",
                micros.size(), folder, f.median, f.p99, allSaved ? "" : " (some failed)");
}

void holdKeys(std::initializer_list<int> keys)
{
    for (int i = 0; i < KEY_MAX; ++i)
        key[i] = 0;
    for (int k : keys)
        key[k] = 1;
}

// Times `ticks` calls of `iteration`, each after an untimed `prepare(t)`,
// counting the heap allocations made inside the timed part.
template <class Prepare, class Iteration> Figures measure(int ticks, Prepare prepare, Iteration iteration)
{
    std::vector<double> micros;
    micros.reserve(ticks);
    long long allocations = 0;
    for (int t = 0; t < ticks; ++t) {
        prepare(t);
        const long long before = heapAllocations;
        const int64_t t0 = monotonicNanoseconds();
        iteration();
        const int64_t t1 = monotonicNanoseconds();
        allocations += heapAllocations - before;
        micros.push_back((t1 - t0) / 1000.0);
    }
    return summarise(micros, allocations);
}

// Ticks of play: `between(t)` then `pattern(t)` set up each tick, untimed.
template <class Pattern, class Between>
Figures measurePlay(ShellState &state, SaveFiles &saves, BITMAP *dest, int ticks, Pattern pattern,
                    Between between)
{
    return measure(
        ticks,
        [&](int t) {
            between(t);
            pattern(t);
        },
        [&] { runTick(state, saves, dest); });
}

// The view (on a 160-pixel raster) that holds the most living enemies.
void busiestView(int &camX, int &camY, int &count)
{
    count = -1;
    for (int cy = 0; cy <= worldPixels - 480; cy += 160)
        for (int cx = 0; cx <= worldPixels - 640; cx += 160) {
            int n = 0;
            for (const Character *kind : {lizards, ogres})
                for (int i = 0; i < 35; ++i)
                    if (kind[i].x >= cx && kind[i].x < cx + 640 - 96 && kind[i].y >= cy &&
                        kind[i].y < cy + 480 - 100)
                        ++n;
            if (n > count) {
                count = n;
                camX = cx;
                camY = cy;
            }
        }
}

void printRow(const char *scene, const Figures &f, double floor)
{
    std::printf("| %-34s | %8.1f | %8.1f | %6.2f | %6.3f |\n", scene, f.median, f.p99, f.median / floor,
                f.allocsPerTick);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_ticks DATA_FOLDER [TICKS]\n");
        return 2;
    }
    const int ticks = argc > 2 ? std::atoi(argv[2]) : 10000;
    if (chdir(argv[1]) != 0 || install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "bench_ticks: cannot start in %s\n", argv[1]);
        return 2;
    }
    set_color_depth(32);
    randomSeedFixed = true;
    randomSeed = 11;
    const double floor = frameCopyFloor();

    SaveFiles saves;
    ShellState state;
    bringUpGame(state, false);
    BITMAP *dest = create_bitmap(640, 480);

    // Title: the menu picture copied every tick.
    holdKeys({});
    const Figures title = measure(
        ticks, [](int) {}, [&] { titleIteration(state, saves, dest); });

    // Into play the way a player gets there, timing the game set-up alone.
    for (int press = 0; press < 4; ++press) {
        holdKeys({KEY_ENTER});
        titleIteration(state, saves, dest);
        holdKeys({});
        titleIteration(state, saves, dest);
    }
    int64_t t0 = monotonicNanoseconds();
    setUpGame(state);
    const double setUpMs = (monotonicNanoseconds() - t0) / 1e6;
    t0 = monotonicNanoseconds();
    BITMAP *world = load_bitmap("worldMap.bmp", nullptr);
    const double loadMs = (monotonicNanoseconds() - t0) / 1e6;
    destroy_bitmap(world);
    t0 = monotonicNanoseconds();
    world = loadCheckedPicture("worldMap.bmp"); // as the game loads it: checked, then read from that file
    const double gateMs = (monotonicNanoseconds() - t0) / 1e6;
    destroy_bitmap(world);

    // Walking through the village: right, down, left, up, 60 ticks each.
    const Figures village = measurePlay(
        state, saves, dest, ticks,
        [](int t) {
            static const int keys[4] = {KEY_RIGHT, KEY_DOWN, KEY_LEFT, KEY_UP};
            holdKeys({keys[(t / 60) % 4]});
        },
        [](int) {});

    // A fight in the open field: the busiest view of the placement, the hero in
    // its middle swinging all the time; enemies struck down come back to their
    // places between swings (outside the timing) so that deaths, awards and
    // level-ups go on for the whole run.
    int camX = 0, camY = 0, inView = 0;
    busiestView(camX, camY, inView);
    Character savedLizards[35], savedOgres[35];
    std::copy(lizards, lizards + 35, savedLizards);
    std::copy(ogres, ogres + 35, savedOgres);
    state.cameraX = camX;
    state.cameraY = camY;
    state.hero.x = camX + 272;
    state.hero.y = camY + 192;
    heroStats.life = heroStats.maxLife = 2'000'000'000; // contact keeps hurting; the fight goes on
    const Figures fight = measurePlay(
        state, saves, dest, ticks, [](int) { holdKeys({KEY_ENTER}); },
        [&](int t) {
            if (t % 92 != 0)
                return;
            // Between swings (untimed): revive the fallen whose death is over,
            // and step the hero up to the left of a living enemy in view.
            for (int i = 0; i < 35; ++i) {
                if (!lizards[i].alive && !lizards[i].dying)
                    lizards[i] = savedLizards[i];
                if (!ogres[i].alive && !ogres[i].dying)
                    ogres[i] = savedOgres[i];
            }
            for (Character *kind : {lizards, ogres})
                for (int i = 0; i < 35; ++i) {
                    Character &e = kind[(i + t / 92) % 35];
                    if (e.alive && e.x >= camX + 60 && e.x < camX + 640 - 96 && e.y >= camY &&
                        e.y < camY + 380) {
                        state.hero.x = e.x - 60;
                        state.hero.y = e.y;
                        state.hero.facing = faceRight;
                        return;
                    }
                }
        });
    const int levelAfterFight = heroStats.level;

    // The game-over picture with the enemies frozen, the hero walking on.
    heroStats.life = 0;
    holdKeys({});
    for (int t = 0; t < 200 && state.backdropName != std::string("gameover.bmp"); ++t)
        runTick(state, saves, dest); // the swing ends, then the end picture is loaded once
    const Figures over = measurePlay(
        state, saves, dest, ticks, [](int t) { holdKeys({(t / 60) % 2 ? KEY_LEFT : KEY_RIGHT}); },
        [](int) {});

    std::printf("Ticks per scene: %d. Floor: two memcpy of a 640 x 480 x 4 frame = %.1f us (median).\n",
                ticks, floor);
    std::printf("| %-34s | %8s | %8s | %6s | %6s |\n", "scene", "median", "p99", "ratio", "allocs");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(10, '-').c_str(),
                std::string(10, '-').c_str(), std::string(8, '-').c_str(), std::string(8, '-').c_str());
    printRow("title", title, floor);
    printRow("walking through the village", village, floor);
    char fightName[64];
    std::snprintf(fightName, sizeof fightName, "fight, %d enemies in view", inView);
    printRow(fightName, fight, floor);
    printRow("game over, enemies frozen", over, floor);
    std::printf("(us per tick; ratio = median / floor; allocs = heap allocations per tick)\n");
    std::printf("Fight: the hero reached level %d, bossLife %d.\n", levelAfterFight, bossLife);
    std::printf(
        "Game set-up (enemies and hero cut and placed): %.1f ms; bare load_bitmap of worldMap.bmp: %.1f ms; "
        "ratio %.2f; the same through the data gate: %.1f ms\n",
        setUpMs, loadMs, setUpMs / loadMs, gateMs);
    measureSaves(state, saves);
    return 0;
}
