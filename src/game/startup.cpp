// startup.cpp - start-up and shutdown in their fixed order.

#include "game/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "actors/roster.h"
#include "assets/data_check.h"
#include "combat/hero_stats.h"
#include "core/failure.h"
#include "core/music.h"
#include "core/platform.h"
#include "core/sound_effects.h"
#include "game/game_loop.h"
#include "sprites/overlay.h"

static void onCloseButton()
{
    closeRequested = true; // acted on by the loops, as ESC would be
}

// Opening the sound device can block: ALSA's PulseAudio plugin waits 30 s for
// a server that accepts the connection and never answers, and the screen
// stays black meanwhile. So a child process opens the sound first, during the
// start-up below, and the sound is started only if the child got through
// within soundWaitSeconds of the start; else the game starts without sound.
// A child, because the wait inside the sound library cannot be cut short: a
// thread stuck there could not be stopped, a child can.
constexpr int soundWaitSeconds = 4;
static int soundProbe = -1;
static int64_t soundProbeStarted = 0; // monotonic nanoseconds

static void tryTheSound()
{
    if (allegro_init() == 0)
        install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, nullptr);
}

static bool soundAnswers()
{
    if (soundProbe < 0)
        return true; // no probe on this system: the sound starts unbounded
    const ProbeEnd end =
        awaitProbe(soundProbe, soundProbeStarted + int64_t(soundWaitSeconds) * 1'000'000'000);
    soundProbe = -1;
    if (end == ProbeEnd::timedOut)
        std::fprintf(stderr, "Jewelward starts without sound: the sound system did not answer within %d s.\n",
                     soundWaitSeconds);
    else if (end == ProbeEnd::crashed)
        std::fprintf(stderr, "Jewelward starts without sound: the sound system crashed when tried.\n");
    return end == ProbeEnd::finished;
}

// The picture is 640 x 480 whatever the screen: on a smaller one the player
// sees only its middle, so say why.
static void warnOfSmallScreen()
{
    int width = 0, height = 0;
    if (get_desktop_resolution(&width, &height) == 0 && (width < screenWidth || height < screenHeight))
        std::fprintf(stderr,
                     "Jewelward needs a screen of at least %d x %d pixels; this one is %d x %d, so only "
                     "the middle of the picture shows.\n",
                     screenWidth, screenHeight, width, height);
}

void startUp()
{
    // Before the library starts its threads, which a child must not inherit.
    soundProbeStarted = monotonicNanoseconds();
    soundProbe = startProbe(tryTheSound);

    // Without a system driver (no display at all) every later library call,
    // even the desktop's colour depth, reads through a null driver: stop here.
    if (allegro_init() != 0) {
        char text[512];
        std::snprintf(text, sizeof text, "Jewelward cannot start: %s",
                      allegro_error[0] ? allegro_error : "no display could be opened.");
        failWithMessage(text);
    }
    // A palette desktop (8 bits) or an unknown depth gets 32-bit colour: the
    // pictures are true colour and magenta must stay the transparent colour.
    const int depth = desktop_color_depth();
    set_color_depth(depth >= 15 ? depth : 32);

    const std::string badFiles = checkDataFiles("");
    if (!badFiles.empty())
        failWithMessage(("Jewelward cannot start: these data files are unusable.\n" + badFiles).c_str());

    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, screenWidth, screenHeight, 0, 0) != 0 &&
        set_gfx_mode(GFX_AUTODETECT_WINDOWED, screenWidth, screenHeight, 0, 0) != 0) {
        failWithMessage(allegro_error);
    }
    set_window_title("Jewelward");
    set_close_button_callback(onCloseButton);
    warnOfSmallScreen();

    install_timer();
    install_keyboard();
    install_mouse();
}

void bringUpGame(ShellState &state, bool withSound)
{
    // First, while little else is held: its atlas is large for a moment.
    loadOverlay();
    setUpHud();
    setUpVillagersAndJewels();
    state.hero = Character{};
    if (withSound && soundAnswers()) {
        set_volume_per_voice(voiceVolumeHalvings);
        install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, nullptr);
    }
    state.titleTrack = loadCheckedMusic("BGM_00009.wav");
    state.homeTrack = loadCheckedMusic("BGM_00012.wav");
    state.southWestTrack = loadCheckedMusic("BGM_00006.wav");
    state.eastTrack = loadCheckedMusic("BGM_00001.wav");
    state.victoryTrack = loadCheckedMusic("BGM_victory.wav");
    for (int i = 0; i < soundEffectCount; ++i)
        setSoundEffectSample(SoundEffect(i), loadCheckedMusic(soundEffects[i].file));
    playMusic(state.titleTrack, musicVolumeFull, musicPanCentre, musicFrequencyNormal, 3);
    state.resumedFromSave = false;
    state.titleStage = 0;
    state.musicZone = zoneHome;
    state.cameraX = 0;
    state.cameraY = 0;
    replaceBackdrop(state, "Main Menu.bmp");
    state.backBuffer = create_bitmap(screenWidth, screenHeight);
    if (!state.backBuffer)
        failOutOfMemory("the back buffer");
    clear_bitmap(state.backBuffer);
    set_keyboard_rate(100, 0);
}

void shutDown()
{
    clear_keybuf();
}

static void releaseBitmaps(ShellState &state)
{
    destroy_bitmap(state.backdrop);
    state.backdrop = nullptr;
    destroy_bitmap(state.backBuffer);
    state.backBuffer = nullptr;
}

void endOnTitle(ShellState &state)
{
    releaseBitmaps(state);
    shutDown();
    std::exit(1);
}

void endInPlay(ShellState &state)
{
    releaseBitmaps(state);
    shutDown();
}
