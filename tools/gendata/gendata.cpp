// gendata.cpp - writes every picture, music and sound effect file the game loads into a
// folder: gendata FOLDER. Everything is drawn and composed here, from code;
// the same bytes come out on every run. "gendata --icons FOLDER" writes the
// desktop icons instead, "gendata --pictures FOLDER" the pictures alone (no
// music or sound, to look at the art quickly).

#include <cstdio>
#include <functional>
#include <thread>

#include "art.h"
#include "icons.h"
#include "sfx.h"

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--icons")
        return writeIcons(argv[2]) ? 0 : 1;
    const bool picturesOnly = argc == 3 && std::string(argv[1]) == "--pictures";
    if (argc != 2 && !picturesOnly) {
        std::fprintf(stderr, "usage: gendata FOLDER | gendata --icons FOLDER | gendata --pictures FOLDER\n");
        return 2;
    }
    const std::string dir = argv[argc - 1];
    bool musicOk = true;
    // The music renders on its own thread while the pictures paint.
    std::thread music([&] { musicOk = picturesOnly || writeMusic(dir); });
    bool ok = true;
    auto bmp = [&](const std::string &name, const Image &im, int bits = 24) {
        ok = writeBmp(dir + "/" + name, im, bits) && ok;
    };
    // The three 3200 x 3200 pictures are stored at 32 bits, the depth the game
    // draws at on today's desktops: the library then loads them as they are,
    // where a 24-bit file is read whole at 24 bits and copied to 32 (30 MiB
    // more at the moment of the load, the game's peak memory).
    {
        const WorldPictures world = paintWorld();
        bmp("worldMap.bmp", world.world, 32);
        bmp("worldOverlay.bmp", overlayAtlas(world.overlay));
    }
    bmp("Avatar.bmp", paintHeroWalk());
    bmp("avatar attacks.bmp", paintHeroAttack());
    bmp("Lizard.bmp", paintLizards());
    bmp("ogre.bmp", paintOgres());
    bmp("Bad guy.bmp", paintBossWalk());
    bmp("Bad guy attack.bmp", paintBossAttack());
    const char *villagers[5] = {"looking s0000.bmp", "villager1.bmp", "villager2.bmp", "villager3.bmp",
                                "villager4.bmp"};
    for (int i = 0; i < 5; ++i)
        bmp(villagers[i], paintVillager(i));
    bmp("jewel.bmp", paintJewel());
    bmp("slash.bmp", paintSlash());
    bmp("life_bar.bmp", paintBar(false));
    bmp("magic_bar.bmp", paintBar(true));
    bmp("Main Menu.bmp", paintMenuPage());
    for (int i = 1; i <= 3; ++i)
        bmp("bitmap" + std::to_string(i) + ".bmp", paintStoryPage(i));
    bmp("gameover.bmp", paintEndPicture(false), 32);
    bmp("Victory.bmp", paintEndPicture(true), 32);
    if (!picturesOnly)
        ok = writeSoundEffects(dir) && ok;
    music.join();
    if (!ok || !musicOk) {
        std::fprintf(stderr, "gendata: could not write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
