// game_loop.cpp - title iterations, game set-up and the tick of play.

#include "game/game_loop.h"

#include <cstdio>
#include <cstring>

#include "actors/draw_actors.h"
#include "actors/roster.h"
#include "actors/wander.h"
#include "combat/attack.h"
#include "combat/contact.h"
#include "combat/feedback.h"
#include "combat/hero_stats.h"
#include "combat/hurt_flash.h"
#include "core/message_box.h"
#include "core/music.h"
#include "core/sound_effects.h"
#include "game/hero_control.h"
#include "persist/save_file.h"
#include "sprites/overlay.h"
#include "world/walk_grids.h"

// The screen-sized part of the picture at the camera becomes the frame; where
// it runs past the picture's edge the frame keeps the previous pixels. A view
// wholly off the picture (a saved camera far outside) copies nothing.
static void copyView(BITMAP *picture, BITMAP *frame, int32_t camX, int32_t camY)
{
    if (camX >= picture->w || camY >= picture->h || camX <= -screenWidth || camY <= -screenHeight)
        return;
    blit(picture, frame, camX, camY, 0, 0, screenWidth, screenHeight);
}

// A fresh press at this test: the key is held and went up since it last acted.
static bool freshPress(int scancode, bool &releasedSinceLastUse)
{
    if (!key[scancode]) {
        releasedSinceLastUse = true;
        return false;
    }
    return releasedSinceLastUse;
}

static bool enterPressed(ShellState &state)
{
    return freshPress(KEY_ENTER, state.enterReleased);
}

static void advanceStory(ShellState &state, int32_t fromStage, const char *picture)
{
    if (state.titleStage == fromStage && enterPressed(state)) {
        replaceBackdrop(state, picture);
        playEffect(sfxPage);
        state.titleStage = fromStage + 1;
        state.enterReleased = false;
    }
}

TitleResult titleIteration(ShellState &state, SaveFiles &saves, BITMAP *dest)
{
    advanceSoundEffects(state.cameraX, state.cameraY);
    advanceStory(state, 0, "bitmap1.bmp");
    // One resume attempt per F2 press: a held key would raise the message box
    // of a missing save again the moment it is closed.
    if (state.titleStage == 0 && freshPress(KEY_F2, state.f2Released)) {
        state.f2Released = false;
        if (resumeGame(state, saves) == ResumeResult::resumed)
            return TitleResult::ended;
    }
    advanceStory(state, 1, "bitmap2.bmp");
    advanceStory(state, 2, "bitmap3.bmp");
    if (state.titleStage == 3 && enterPressed(state)) {
        destroy_bitmap(state.backdrop);
        state.backdrop = nullptr;
        stopMusic(state.titleTrack);
        replaceBackdrop(state, "worldMap.bmp");
        playEffect(sfxPage);
        playMusic(state.homeTrack, musicVolumeFull, musicPanCentre, musicFrequencyNormal, 33);
        state.titleStage = titleStageEnded;
        state.enterReleased = false;
        return TitleResult::ended;
    }
    copyView(state.backdrop, state.backBuffer, state.cameraX, state.cameraY);
    blit(state.backBuffer, dest, 0, 0, 0, 0, screenWidth, screenHeight);
    return quitHeld() ? TitleResult::quit : TitleResult::stay;
}

void setUpGame(ShellState &state)
{
    setUpEnemies(state.backdrop->h, state.backdrop->w);
    setUpHero(state);
    loadOverlay();
}

// F1 saves in every tick it is held. How it went is told once per press: a
// save made shows "Saved" for two seconds with its own soft sound; a failure
// says why, on the frame for two seconds and on standard error, and play goes on.
static void saveAndTell(ShellState &state, SaveFiles &saves)
{
    const SaveResult result = saveGame(state, saves);
    if (result.saved) {
        if (state.savedTold)
            return;
        state.savedTold = true;
        state.noticeText = savedNoticeText;
        state.noticeTicks = saveNoticeTicks;
        playEffect(sfxSaved);
        return;
    }
    if (state.saveFailureTold)
        return;
    state.saveFailureTold = true;
    state.noticeText = saveFailureText(result);
    state.noticeTicks = saveNoticeTicks;
    std::fprintf(stderr, "%s (%s)\n", state.noticeText, std::strerror(result.error));
}

// The notice of a save, over the bottom of the frame. What it covers
// is kept in `noticeUnder` and put back once the frame has been copied out:
// where the view runs past the picture's edge the frame's old pixels show
// again next tick, and the notice must not stay among them after its time.
constexpr int noticeScale = 2, noticeLineHeight = 8 * noticeScale + 4, noticeMaxLines = 3;
constexpr int noticeMaxChars = 38;
constexpr int noticeMaxHeight = noticeMaxLines * noticeLineHeight + 16; // pixels
static BITMAP *noticeUnder = nullptr; // screenWidth x noticeMaxHeight, made at the first notice

// The frame rows a notice covers (count 0: none drawn), in pixels.
struct CoveredRows {
    int top = 0, count = 0;
};

// Drawn while noticeTicks is above 0; the tick counts it down.
static CoveredRows drawSaveNotice(const ShellState &state, BITMAP *frame)
{
    CoveredRows covered;
    if (state.noticeTicks <= 0 || !state.noticeText)
        return covered;
    if (!noticeUnder)
        noticeUnder = create_bitmap(screenWidth, noticeMaxHeight);
    if (!noticeUnder)
        return covered; // no memory for it: standard error has told already
    char lines[noticeMaxLines][64];
    const int count = wrapMessage(state.noticeText, noticeMaxChars, lines, noticeMaxLines);
    const int height = count * noticeLineHeight + 16;
    const int top = screenHeight - 24 - height;
    blit(frame, noticeUnder, 0, top, 0, 0, screenWidth, height);
    // A save made is told calmly in green, a failure in red.
    const bool saved = state.noticeText == savedNoticeText;
    rectfill(frame, 8, top, screenWidth - 9, top + height - 1,
             saved ? makecol(12, 40, 20) : makecol(40, 12, 12));
    rect(frame, 8, top, screenWidth - 9, top + height - 1,
         saved ? makecol(120, 220, 140) : makecol(236, 120, 84));
    for (int i = 0; i < count; ++i)
        drawTextScaled(frame, lines[i], screenWidth / 2, top + 10 + i * noticeLineHeight, noticeScale,
                       saved ? makecol(210, 255, 200) : makecol(255, 226, 170));
    covered.top = top;
    covered.count = height;
    return covered;
}

void runTick(ShellState &state, SaveFiles &saves, BITMAP *dest)
{
    Character &hero = state.hero;
    advanceSoundEffects(state.cameraX, state.cameraY);
    // The victory theme, once the fanfare has had its time.
    if (state.victoryThemeWait > 0 && --state.victoryThemeWait == 0)
        playMusic(state.victoryTrack, musicVolumeFull, musicPanCentre, musicFrequencyNormal, 1);
    if (!key[KEY_F1])
        state.saveFailureTold = state.savedTold = false;
    if (hero.attacking) {
        // Keys wait out the swing, but an F1 asked for now is not forgotten.
        if (key[KEY_F1])
            state.saveAsked = true;
        hero.animateAttack();
    } else {
        if (key[KEY_RIGHT])
            handleArrowKey(state, wanderRight);
        if (key[KEY_LEFT])
            handleArrowKey(state, wanderLeft);
        if (key[KEY_DOWN])
            handleArrowKey(state, wanderDown);
        if (key[KEY_UP])
            handleArrowKey(state, wanderUp);
        if (key[KEY_F1] || state.saveAsked)
            saveAndTell(state, saves);
        state.saveAsked = false;
        if (key[KEY_RSHIFT])
            heal();
        if (key[KEY_ENTER]) {
            hero.startAttack();
            resolveAttack(hero.facing, hero.x, hero.y, hero.width, hero.height);
        }
        if (heroStats.life < 1)
            gameOverReaction(state);
        if (isVictory())
            victoryReaction(state);
    }
    const int64_t centreX = int64_t(hero.x) + hero.width / 2;
    const int64_t centreY = int64_t(hero.y) + hero.height / 2;
    applyContact(centreX, centreY);
    pickUpJewels(centreX, centreY);

    BITMAP *frame = state.backBuffer;
    copyView(state.backdrop, frame, state.cameraX, state.cameraY);
    drawHero(hero, frame, state.cameraX, state.cameraY);
    wanderEnemies(state.backdrop->h, state.backdrop->w);
    drawEnemies(state.cameraX, state.cameraY, frame);
    drawVillagersAndJewels(state.cameraX, state.cameraY, frame);
    updateDying(state.cameraX, state.cameraY, frame);
    if (state.backdropName && std::strcmp(state.backdropName, "worldMap.bmp") == 0)
        drawOverlay(frame, state.cameraX, state.cameraY); // over the figures standing behind
    drawFeedback(state.cameraX, state.cameraY, frame);
    drawHud(frame);
    const CoveredRows covered = drawSaveNotice(state, frame);
    blit(frame, dest, 0, 0, 0, 0, screenWidth, screenHeight);
    if (covered.count > 0)
        blit(noticeUnder, frame, 0, 0, 0, covered.top, screenWidth, covered.count);
    // The counts of what the frame showed move on once it is out.
    if (state.noticeTicks > 0)
        --state.noticeTicks;
    advanceFeedback();
}
