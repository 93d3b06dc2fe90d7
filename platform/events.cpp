// The window's event handler: SDL events become the plain input globals
// (base/input.h, app/app.h, base/settings.h) that the frame logic polls once
// per frame. Nothing is acted on here except the viewport on resize and a
// render during expose storms. Every event reaches the tablet first.
//
//   SDL event                    effect
//   window moved                 windowX, windowY = the new position
//   window size changed          windowResized = 1; Resize (a height of 0 becomes 1)
//   window exposed               paintCount + 1; from the third on, RenderFrame
//   window close                 quitRequested = 1 (the window stays; the loop ends)
//   quit (last window, SIGTERM)  PumpWindowEvents stops pumping and reports it
//   text input                   typedChar = the character (below 256 only)
//   mouse motion                 pointerTracking = 1; mouseX, mouseY = scaled position
//   button down (left/right/mid) its flag = 1; mouseDownX, mouseDownY = scaled position
//   button up                    its flag = 0 (a press since the last frame still
//                                counts in that frame: LatchButtonPresses)
//   key down                     noted for the next keyboard poll (NoteKeyPressed)
//   wheel                        mouseWheel -1 backwards, +1 forwards: one step per
//                                event whatever its size; sideways scrolling ignored
//   window leave                 all three button flags = 0; pointerTracking = 0
#include <SDL2/SDL.h>
#include <cmath>
#include "base/input.h"
#include "base/settings.h"
#include "platform/keyboard.h"
#include "platform/tablet.h"
#include "platform/window.h"

i32 paintCount;
u8 pointerTracking;

// Window coordinates scaled to the viewport: the identity while the
// viewport equals the client area, which differs only while windowWidth and
// windowHeight hold configured values the window has not yet confirmed.
static void ScaledPosition(i32 x, i32 y, i32* outX, i32* outY) {
    i32 clientWidth = windowWidth, clientHeight = windowHeight;
    if (mainWindow) SDL_GetWindowSize(mainWindow, &clientWidth, &clientHeight);
    if (clientWidth <= 0 || clientHeight <= 0) {
        *outX = x;
        *outY = y;
        return;
    }
    *outX = (i32)std::lround((double)x / clientWidth * windowWidth);
    *outY = (i32)std::lround((double)y / clientHeight * windowHeight);
}

// The first character of UTF-8 text, when it fits the byte typedChar holds.
static bool FirstCharacter(const char* text, u8* out) {
    const u8* s = (const u8*)text;
    if (s[0] == 0) return false;
    if (s[0] < 0x80) {
        *out = s[0];
        return true;
    }
    if ((s[0] & 0xE0) == 0xC0 && (s[1] & 0xC0) == 0x80) {
        u32 code = ((u32)(s[0] & 0x1F) << 6) | (s[1] & 0x3F);
        if (code < 256) {
            *out = (u8)code;
            return true;
        }
    }
    return false;
}

// Buttons held now, and pressed since the last LatchButtonPresses: bit 0
// left, 1 right, 2 middle.
static u8 buttonsDown, buttonsPressed;

static u8 ButtonBit(u8 button) {
    return button == SDL_BUTTON_LEFT ? 1 : button == SDL_BUTTON_RIGHT ? 2 : 4;
}

void LatchButtonPresses() {
    u8 held = buttonsDown | buttonsPressed;
    mouseLeft = held & 1;
    mouseRight = (held >> 1) & 1;
    mouseMiddle = (held >> 2) & 1;
    buttonsPressed = 0;
}

static u8* ButtonFlag(u8 button) {
    switch (button) {
    case SDL_BUTTON_LEFT: return &mouseLeft;
    case SDL_BUTTON_RIGHT: return &mouseRight;
    case SDL_BUTTON_MIDDLE: return &mouseMiddle;
    default: return nullptr;
    }
}

static void HandleWindowChange(const SDL_WindowEvent& w) {
    switch (w.event) {
    case SDL_WINDOWEVENT_MOVED:
        windowX = w.data1;
        windowY = w.data2;
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        windowResized = 1;
        Resize(w.data1, w.data2);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        // Rendering is the main loop's job; only a storm of exposes without a
        // loop pass in between (the loop is held up) renders here.
        if (++paintCount > 2) RenderFrame();
        break;
    case SDL_WINDOWEVENT_CLOSE: quitRequested = 1; break;
    case SDL_WINDOWEVENT_LEAVE:
        // A button released outside the window must not stay held.
        mouseLeft = mouseRight = mouseMiddle = 0;
        buttonsDown = buttonsPressed = 0;
        pointerTracking = 0;
        break;
    default: break;
    }
}

void HandleWindowEvent(const SDL_Event& event) {
    TabletHandleEvent(event);
    switch (event.type) {
    case SDL_WINDOWEVENT: HandleWindowChange(event.window); break;
    case SDL_TEXTINPUT: {
        u8 c;
        if (FirstCharacter(event.text.text, &c)) typedChar = c;
        break;
    }
    case SDL_MOUSEMOTION:
        pointerTracking = 1;
        ScaledPosition(event.motion.x, event.motion.y, &mouseX, &mouseY);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (u8* flag = ButtonFlag(event.button.button)) {
            *flag = 1;
            buttonsDown |= ButtonBit(event.button.button);
            buttonsPressed |= ButtonBit(event.button.button);
            ScaledPosition(event.button.x, event.button.y, &mouseDownX, &mouseDownY);
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (u8* flag = ButtonFlag(event.button.button)) {
            *flag = 0;
            buttonsDown &= (u8)~ButtonBit(event.button.button);
        }
        break;
    case SDL_KEYDOWN:
        if (!event.key.repeat) NoteKeyPressed(event.key.keysym.scancode);
        break;
    case SDL_MOUSEWHEEL: {
        i32 delta = event.wheel.y;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
        if (delta != 0) mouseWheel += delta < 0 ? -1 : 1;
        break;
    }
    default: break;
    }
}

bool PumpWindowEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            TabletHandleEvent(event);
            return false;
        }
        HandleWindowEvent(event);
    }
    return true;
}
