// bench_floor.cpp - the least a paced frame of this kind costs: at 100 Hz, a
// 640 x 480 view blitted out of a 3200 x 3200 picture, 80 masked 96 x 96
// sprites, and the copy to the screen. Run for the given seconds in the data
// folder, beside the real game, to compare CPU shares.
//
//   bench_floor SECONDS

#include <allegro.h>
#include <cstdlib>

#include "game/pacing.h"

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    allegro_init();
    set_color_depth(32);
    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, 640, 480, 0, 0) != 0 &&
        set_gfx_mode(GFX_AUTODETECT_WINDOWED, 640, 480, 0, 0) != 0)
        return 1;
    install_timer();
    install_keyboard();
    BITMAP *world = load_bitmap("worldMap.bmp", nullptr);
    BITMAP *sheet = load_bitmap("Avatar.bmp", nullptr);
    if (!world || !sheet)
        return 1;
    BITMAP *sprite = create_bitmap(96, 96);
    blit(sheet, sprite, 0, 0, 0, 0, 96, 96);
    BITMAP *buffer = create_bitmap(640, 480);
    Pacer pacer;
    for (int t = 0; t < seconds * 100 && !key[KEY_ESC]; ++t) {
        const int camX = (t * 4) % 2560, camY = (t * 2) % 2720;
        blit(world, buffer, camX, camY, 0, 0, 640, 480);
        for (int i = 0; i < 80; ++i)
            masked_blit(sprite, buffer, 0, 0, (i * 53 + t) % 600, (i * 37) % 440, 96, 96);
        blit(buffer, screen, 0, 0, 0, 0, 640, 480);
        waitForNextTick(pacer);
    }
    return 0;
}
END_OF_MAIN()
