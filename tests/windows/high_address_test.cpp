// high_address_test.cpp - every drawing call the game makes, and the sound
// mixer, must work on memory above 4 GB, where 64-bit Windows often puts
// large blocks (and where a pointer kept in a 32-bit long breaks). Runs under
// Wine, which usually allocates low: each scene is drawn first on bitmaps
// below 4 GB as the reference, then all free address space below 4 GB is
// reserved so that new bitmaps land higher, and the same scene drawn there
// must match the reference byte for byte after every call, in 16, 24 and
// 32 bits per pixel. Each call must also change the picture, so a call that
// silently drew nothing fails too. Exit 0 = pass; a failed check prints a line;
// an access violation ends the program with a crash code.
#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <winalleg.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

int failures = 0;
void check(bool ok, const char *what, int depth)
{
    if (!ok) {
        std::printf("FAIL (%d bits): %s\n", depth, what);
        ++failures;
    }
}

constexpr uint64_t fourGigabytes = uint64_t(1) << 32;
bool above4G(const void *p)
{
    return uintptr_t(p) >= fourGigabytes;
}

// Reserves every free region below 4 GB, so that later allocations land above.
void reserveLowMemory()
{
    MEMORY_BASIC_INFORMATION info;
    uintptr_t at = 0x10000;
    while (at < fourGigabytes && VirtualQuery((void *)at, &info, sizeof info)) {
        const uintptr_t end = uintptr_t(info.BaseAddress) + info.RegionSize;
        if (info.State == MEM_FREE) {
            const uintptr_t stop = end < fourGigabytes ? end : fourGigabytes;
            const uintptr_t start = (at + 0xffff) & ~uintptr_t(0xffff); // 64 KiB granularity
            if (stop > start)
                VirtualAlloc((void *)start, stop - start, MEM_RESERVE, PAGE_NOACCESS);
        }
        at = end;
    }
}

// Sizes large enough that each bitmap is a block of its own (pixels).
constexpr int canvasW = 1536, canvasH = 1024, spriteW = 1024, spriteH = 512;

struct Bitmaps {
    BITMAP *canvas, *sprite, *before;
};

Bitmaps makeBitmaps()
{
    Bitmaps b{create_bitmap(canvasW, canvasH), create_bitmap(spriteW, spriteH),
              create_bitmap(canvasW, canvasH)};
    // The sprite: a colour pattern with magenta (transparent) squares.
    for (int y = 0; y < spriteH; ++y)
        for (int x = 0; x < spriteW; ++x)
            putpixel(b.sprite, x, y,
                     (x / 16 + y / 16) % 3 == 0 ? bitmap_mask_color(b.sprite)
                                                : makecol(x & 255, y & 255, (x ^ y) & 255));
    return b;
}

void destroy(Bitmaps &b)
{
    destroy_bitmap(b.canvas);
    destroy_bitmap(b.sprite);
    destroy_bitmap(b.before);
}

bool samePixels(BITMAP *a, BITMAP *b)
{
    const size_t rowBytes = size_t(a->w) * size_t(BYTES_PER_PIXEL(bitmap_color_depth(a)));
    for (int y = 0; y < a->h; ++y)
        if (std::memcmp(a->line[y], b->line[y], rowBytes) != 0)
            return false;
    return true;
}

struct Step {
    const char *name;
    void (*draw)(BITMAP *canvas, BITMAP *sprite);
};

// The calls the game makes, each where it leaves its own mark; some are
// clipped by the canvas edge, as sprites at the view's border are.
const Step steps[] = {
    {"clear_to_color", [](BITMAP *c, BITMAP *) { clear_to_color(c, makecol(20, 40, 90)); }},
    {"blit", [](BITMAP *c, BITMAP *s) { blit(s, c, 100, 50, 0, 0, 600, 400); }},
    {"masked_blit", [](BITMAP *c, BITMAP *s) { masked_blit(s, c, 0, 0, 700, 0, 900, 300); }},
    {"draw_sprite", [](BITMAP *c, BITMAP *s) { draw_sprite(c, s, -200, 420); }},
    {"stretch_sprite", [](BITMAP *c, BITMAP *s) { stretch_sprite(c, s, 900, 350, 500, 300); }},
    {"masked_stretch_blit",
     [](BITMAP *c, BITMAP *s) { masked_stretch_blit(s, c, 64, 64, 256, 128, 1000, 700, 640, 400); }},
    {"textout_ex (no background)",
     [](BITMAP *c, BITMAP *) {
         textout_ex(c, font, "Jewelward above 4 GB", 20, 960, makecol(255, 255, 255), -1);
     }},
    {"textout_ex (background)",
     [](BITMAP *c, BITMAP *) {
         textout_ex(c, font, "No saved Found", canvasW - 60, 980, makecol(244, 238, 220),
                    makecol(26, 30, 48));
     }},
    {"rectfill", [](BITMAP *c, BITMAP *) { rectfill(c, 300, 930, 420, 1100, makecol(222, 178, 74)); }},
    {"rect", [](BITMAP *c, BITMAP *) { rect(c, 450, 930, 560, 1000, makecol(255, 0, 0)); }},
    {"floodfill", [](BITMAP *c, BITMAP *) { floodfill(c, 500, 960, makecol(0, 255, 0)); }},
    // The hurt flash: the blender's colour, then the lit sprite, once whole and
    // once cut by the canvas's right edge.
    {"set_trans_blender + draw_lit_sprite",
     [](BITMAP *c, BITMAP *s) {
         set_trans_blender(255, 24, 24, 0);
         draw_lit_sprite(c, s, 200, 100, 150);
     }},
    {"set_trans_blender + draw_lit_sprite (clipped)",
     [](BITMAP *c, BITMAP *s) {
         set_trans_blender(40, 200, 90, 0);
         draw_lit_sprite(c, s, canvasW - 300, 600, 220);
     }},
};

// The reference scene is drawn step by step in lockstep with the high one.
void drawBoth(Bitmaps &low, Bitmaps &high, int depth)
{
    clear_to_color(low.canvas, 0);
    clear_to_color(high.canvas, 0);
    for (const Step &step : steps) {
        step.draw(low.canvas, low.sprite);
        blit(high.canvas, high.before, 0, 0, 0, 0, canvasW, canvasH);
        step.draw(high.canvas, high.sprite);
        char what[120];
        std::snprintf(what, sizeof what, "%s drew nothing above 4 GB", step.name);
        check(!samePixels(high.canvas, high.before), what, depth);
        std::snprintf(what, sizeof what, "%s above 4 GB differs from below", step.name);
        check(samePixels(high.canvas, low.canvas), what, depth);
    }
}

// The mixer reads a sample and writes its output; both above 4 GB must give
// the same output as below.
constexpr int mixFrames = 4096, sampleFrames = 1 << 20, mixRate = 44100;

SAMPLE *makeSample()
{
    SAMPLE *s = create_sample(16, TRUE, mixRate, sampleFrames);
    if (!s)
        return nullptr;
    auto *data = static_cast<uint16_t *>(s->data);
    for (int i = 0; i < 2 * sampleFrames; ++i) // unsigned 16-bit stereo: a ramp per channel
        data[i] = uint16_t(0x8000 + ((i * 97) % 20000) - 10000);
    return s;
}

void mix(const SAMPLE *s, uint16_t *out)
{
    int voices = 1;
    _mixer_init(mixFrames * 2, mixRate, TRUE, TRUE, &voices);
    _phys_voice[0].vol = 255 << 12;
    _phys_voice[0].pan = 128 << 12;
    _phys_voice[0].freq = mixRate << 12;
    _mixer_init_voice(0, s);
    _mixer_start_voice(0);
    _mix_some_samples(uintptr_t(out), 0, TRUE);
    _mixer_release_voice(0);
    _mixer_exit();
}

} // namespace

int main()
{
    if (allegro_init() != 0) {
        std::printf("FAIL: allegro_init\n");
        return 2;
    }
    const int depths[] = {16, 24, 32};
    Bitmaps low[3];
    for (int i = 0; i < 3; ++i) {
        set_color_depth(depths[i]);
        low[i] = makeBitmaps();
    }
    std::vector<uint16_t> lowOut(mixFrames * 2, 0);
    SAMPLE *lowSample = makeSample();
    if (!lowSample) {
        std::printf("FAIL: no sample\n");
        return 1;
    }
    mix(lowSample, lowOut.data());

    for (int i = 0; i < 3; ++i) {
        const int depth = depths[i];
        set_color_depth(depth);
        reserveLowMemory(); // again: what was freed since may lie low
        Bitmaps high = makeBitmaps();
        if (!high.canvas || !high.sprite || !high.before) {
            check(false, "no bitmap above 4 GB could be made", depth);
            continue;
        }
        // else the test would prove nothing
        check(above4G(high.canvas->line[0]) && above4G(high.sprite->line[0]), "bitmaps lie above 4 GB",
              depth);
        check(!above4G(low[i].canvas->line[0]), "the reference bitmaps lie below 4 GB", depth);
        drawBoth(low[i], high, depth);
        destroy(high);
        destroy(low[i]);
    }

    reserveLowMemory();
    SAMPLE *highSample = makeSample();
    auto *highOut = static_cast<uint16_t *>(
        VirtualAlloc(nullptr, mixFrames * 2 * sizeof(uint16_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!highSample || !highOut) {
        check(false, "no sample or mixing buffer above 4 GB could be made", 16);
    } else {
        check(above4G(highSample->data) && above4G(highOut), "sample and mixing buffer lie above 4 GB", 16);
        mix(highSample, highOut);
        int loud = 0;
        for (int i = 0; i < mixFrames * 2; ++i)
            loud += lowOut[i] != 0x8000;
        check(loud > mixFrames, "the mixer's reference output is sound, not silence", 16);
        check(std::memcmp(highOut, lowOut.data(), lowOut.size() * sizeof(uint16_t)) == 0,
              "the mixer's output above 4 GB differs from below", 16);
    }
    std::printf("%s\n", failures ? "high-address drawing: FAILED" : "high-address drawing: ok");
    return failures ? 1 : 0;
}
END_OF_MAIN()
