// message_box.cpp - the game's own message box, drawn on its screen.

#include "core/message_box.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/quit_request.h"

int32_t messagesAnswered = 0;
char lastMessage[512] = "";

namespace
{

constexpr int textScale = 2;               // font pixels drawn as 2 x 2 squares
constexpr int glyphPixels = 8 * textScale; // one character cell, screen pixels
constexpr int maxLineChars = 34;           // 34 x 16 = 544 pixels of text
constexpr int maxLines = 12;
constexpr int lineHeight = glyphPixels + 6; // pixels
constexpr int boxPadding = 24;              // pixels around the text
constexpr int buttonWidth = 112, buttonHeight = 36;
constexpr int pollMilliseconds = 10;

const int answerKeys[] = {KEY_ENTER, KEY_ESC, KEY_SPACE};
constexpr int answerKeyCount = 3;

BITMAP *textScratch = nullptr; // one line of 8 x 8 text before it is scaled

// Left-button presses seen by the mouse callback while a box is open, with
// where the last one happened. Sampling mouse_b every poll misses a click
// whose press and release fall between two polls; the press event does not.
volatile int32_t leftPresses = 0;
volatile int pressX = 0, pressY = 0; // screen pixels
void (*callerMouseCallback)(int flags) = nullptr;

void onMouseEvent(int flags)
{
    if (flags & MOUSE_FLAG_LEFT_DOWN) {
        pressX = mouse_x;
        pressY = mouse_y;
        leftPresses = leftPresses + 1;
    }
    if (callerMouseCallback)
        callerMouseCallback(flags);
}
END_OF_FUNCTION(onMouseEvent)

struct Rect {
    int left, top, right, bottom;
};

void pollInput()
{
    if (keyboard_needs_poll())
        poll_keyboard();
    if (mouse_needs_poll())
        poll_mouse();
}

bool anyAnswerHeld()
{
    for (int k : answerKeys)
        if (key[k])
            return true;
    return (mouse_b & 1) != 0;
}

// The panel, the text and the OK button; returns the button's rectangle.
Rect drawBox(const char lines[][64], int lineCount)
{
    int widest = 0;
    for (int i = 0; i < lineCount; ++i)
        widest = std::max(widest, int(std::strlen(lines[i])) * glyphPixels);
    const int w = std::max(widest, buttonWidth) + 2 * boxPadding;
    const int h = lineCount * lineHeight + buttonHeight + 3 * boxPadding;
    const int left = (SCREEN_W - w) / 2, top = (SCREEN_H - h) / 2;
    const int shade = makecol(8, 8, 16), panel = makecol(26, 30, 48), gold = makecol(222, 178, 74);
    const int ink = makecol(244, 238, 220);

    rectfill(screen, left + 6, top + 6, left + w + 5, top + h + 5, shade); // drop shadow
    rectfill(screen, left, top, left + w - 1, top + h - 1, panel);
    rect(screen, left, top, left + w - 1, top + h - 1, gold);
    rect(screen, left + 3, top + 3, left + w - 4, top + h - 4, gold);
    for (int i = 0; i < lineCount; ++i)
        drawTextScaled(screen, lines[i], SCREEN_W / 2, top + boxPadding + i * lineHeight, textScale, ink);

    Rect button;
    button.left = (SCREEN_W - buttonWidth) / 2;
    button.top = top + h - boxPadding - buttonHeight;
    button.right = button.left + buttonWidth - 1;
    button.bottom = button.top + buttonHeight - 1;
    rectfill(screen, button.left, button.top, button.right, button.bottom, gold);
    rect(screen, button.left - 2, button.top - 2, button.right + 2, button.bottom + 2, ink);
    drawTextScaled(screen, "OK", SCREEN_W / 2, button.top + (buttonHeight - glyphPixels) / 2, textScale,
                   panel);
    return button;
}

bool inside(const Rect &r, int x, int y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

} // namespace

int wrapMessage(const char *text, int width, char lines[][64], int maxLineCount)
{
    if (width > 63)
        width = 63;
    int count = 0, length = 0;
    char line[64] = "";
    auto flush = [&] {
        if (count < maxLineCount) {
            std::memcpy(lines[count], line, size_t(length) + 1);
            ++count;
        }
        length = 0;
        line[0] = '\0';
    };
    const char *p = text;
    while (*p) {
        if (*p == '\n') {
            flush();
            ++p;
            continue;
        }
        if (*p == ' ') {
            ++p;
            continue;
        }
        int wordLength = 0;
        while (p[wordLength] && p[wordLength] != ' ' && p[wordLength] != '\n')
            ++wordLength;
        while (wordLength > 0) {
            const int room = width - length - (length > 0 ? 1 : 0);
            if (wordLength <= room || (length == 0 && room > 0)) {
                const int take = std::min(wordLength, room);
                if (length > 0)
                    line[length++] = ' ';
                std::memcpy(line + length, p, size_t(take));
                length += take;
                line[length] = '\0';
                p += take;
                wordLength -= take;
                if (wordLength > 0)
                    flush(); // a word longer than a line is cut
            } else {
                flush();
            }
        }
    }
    if (length > 0)
        flush();
    return count;
}

void drawTextScaled(BITMAP *dest, const char *text, int centreX, int y, int scale, int colour)
{
    if (!textScratch)
        textScratch = create_bitmap(64 * 8, 8);
    if (!textScratch)
        return; // no memory for the text: the frame goes on without it
    const int length = std::min(int(std::strlen(text)), 63);
    char shown[64];
    std::memcpy(shown, text, size_t(length));
    shown[length] = '\0';
    clear_to_color(textScratch, bitmap_mask_color(textScratch));
    textout_ex(textScratch, font, shown, 0, 0, colour, -1);
    const int w = length * 8;
    masked_stretch_blit(textScratch, dest, 0, 0, w, 8, centreX - w * scale / 2, y, w * scale, 8 * scale);
}

void showMessage(const char *text)
{
    std::snprintf(lastMessage, sizeof lastMessage, "%s", text);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    if (!screen || !gfx_driver) {
        // No screen mode yet: nothing grabs the keyboard, the library's box works.
        allegro_message("%s\n", text);
        return;
    }

    char lines[maxLines][64];
    const int lineCount = wrapMessage(text, maxLineChars, lines, maxLines);
    const Rect button = drawBox(lines, lineCount);
    show_mouse(screen);

    // A key held when the box opened (the F2 that raised it, an ENTER held
    // since) must go up before it can answer.
    bool armed[answerKeyCount];
    for (int i = 0; i < answerKeyCount; ++i)
        armed[i] = !key[answerKeys[i]];
    bool mouseArmed = !(mouse_b & 1);
    LOCK_FUNCTION(onMouseEvent);
    LOCK_VARIABLE(leftPresses);
    LOCK_VARIABLE(pressX);
    LOCK_VARIABLE(pressY);
    callerMouseCallback = mouse_callback;
    mouse_callback = onMouseEvent;
    int32_t pressesSeen = leftPresses;
    for (bool answered = false; !answered;) {
        rest(pollMilliseconds);
        pollInput();
        for (int i = 0; i < answerKeyCount; ++i) {
            if (!key[answerKeys[i]])
                armed[i] = true;
            else if (armed[i])
                answered = true;
        }
        if (!(mouse_b & 1))
            mouseArmed = true;
        else if (mouseArmed && inside(button, mouse_x, mouse_y))
            answered = true;
        if (leftPresses != pressesSeen) { // a press since the last poll, however short
            pressesSeen = leftPresses;
            if (inside(button, pressX, pressY))
                answered = true;
        }
        if (closeRequested)
            answered = true; // the loop acts on the close button next
    }
    // The answer acts on nothing else: wait for it to go up.
    while (anyAnswerHeld() && !closeRequested) {
        rest(pollMilliseconds);
        pollInput();
    }
    mouse_callback = callerMouseCallback;
    show_mouse(nullptr);
    ++messagesAnswered;
}
