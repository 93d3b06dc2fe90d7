// Keyboard state for the frame logic: OVInput polls SDL's key table once per
// frame and files it under the scan codes the frame logic uses, then
// keysHeld (base/input.h) gets the result. The poll installed here also
// drains the tablet's queue, so the frame sees one consistent input state.
#include "platform/keyboard.h"
#include <SDL2/SDL.h>
#include <cstring>
#include <new>
#include "base/input.h"
#include "base/log.h"
#include "platform/tablet.h"
#include "platform/window.h"

OVInput* keyboard;

// Our codes are PC set-1 make codes; keys sent with the E0 prefix add 0x80.
// Each row lists consecutive codes from its first one.
static SDL_Scancode sdlCodes[256];

static void MapRun(i32 first, const SDL_Scancode* run, i32 count) {
    for (i32 i = 0; i < count; i++) sdlCodes[first + i] = run[i];
}

static void MapLetters(i32 first, const char* letters) {
    for (i32 i = 0; letters[i]; i++)
        sdlCodes[first + i] = (SDL_Scancode)(SDL_SCANCODE_A + (letters[i] - 'A'));
}

static void BuildScanCodeTable() {
    for (SDL_Scancode& c : sdlCodes) c = SDL_SCANCODE_UNKNOWN;
    sdlCodes[0x01] = SDL_SCANCODE_ESCAPE;
    for (i32 i = 0; i < 10; i++) sdlCodes[0x02 + i] = (SDL_Scancode)(SDL_SCANCODE_1 + i);
    const SDL_Scancode row1[] = {SDL_SCANCODE_MINUS, SDL_SCANCODE_EQUALS, SDL_SCANCODE_BACKSPACE,
                                 SDL_SCANCODE_TAB};
    MapRun(0x0C, row1, 4);
    MapLetters(0x10, "QWERTYUIOP");
    const SDL_Scancode row2[] = {SDL_SCANCODE_LEFTBRACKET, SDL_SCANCODE_RIGHTBRACKET,
                                 SDL_SCANCODE_RETURN, SDL_SCANCODE_LCTRL};
    MapRun(0x1A, row2, 4);
    MapLetters(0x1E, "ASDFGHJKL");
    const SDL_Scancode row3[] = {SDL_SCANCODE_SEMICOLON, SDL_SCANCODE_APOSTROPHE,
                                 SDL_SCANCODE_GRAVE, SDL_SCANCODE_LSHIFT, SDL_SCANCODE_BACKSLASH};
    MapRun(0x27, row3, 5);
    MapLetters(0x2C, "ZXCVBNM");
    const SDL_Scancode row4[] = {SDL_SCANCODE_COMMA,  SDL_SCANCODE_PERIOD,      SDL_SCANCODE_SLASH,
                                 SDL_SCANCODE_RSHIFT, SDL_SCANCODE_KP_MULTIPLY, SDL_SCANCODE_LALT,
                                 SDL_SCANCODE_SPACE,  SDL_SCANCODE_CAPSLOCK};
    MapRun(0x33, row4, 8);
    for (i32 i = 0; i < 10; i++) sdlCodes[0x3B + i] = (SDL_Scancode)(SDL_SCANCODE_F1 + i);
    const SDL_Scancode keypad[] = {
        SDL_SCANCODE_NUMLOCKCLEAR, SDL_SCANCODE_SCROLLLOCK, SDL_SCANCODE_KP_7,
        SDL_SCANCODE_KP_8,         SDL_SCANCODE_KP_9,       SDL_SCANCODE_KP_MINUS,
        SDL_SCANCODE_KP_4,         SDL_SCANCODE_KP_5,       SDL_SCANCODE_KP_6,
        SDL_SCANCODE_KP_PLUS,      SDL_SCANCODE_KP_1,       SDL_SCANCODE_KP_2,
        SDL_SCANCODE_KP_3,         SDL_SCANCODE_KP_0,       SDL_SCANCODE_KP_PERIOD};
    MapRun(0x45, keypad, 15);
    sdlCodes[0x56] = SDL_SCANCODE_NONUSBACKSLASH;
    sdlCodes[0x57] = SDL_SCANCODE_F11;
    sdlCodes[0x58] = SDL_SCANCODE_F12;
    // Extended keys.
    sdlCodes[0x9C] = SDL_SCANCODE_KP_ENTER;
    sdlCodes[0x9D] = SDL_SCANCODE_RCTRL;
    sdlCodes[0xB5] = SDL_SCANCODE_KP_DIVIDE;
    sdlCodes[0xB7] = SDL_SCANCODE_PRINTSCREEN;
    sdlCodes[0xB8] = SDL_SCANCODE_RALT;
    const SDL_Scancode navigation[] = {SDL_SCANCODE_HOME, SDL_SCANCODE_UP, SDL_SCANCODE_PAGEUP};
    MapRun(0xC7, navigation, 3);
    sdlCodes[0xCB] = SDL_SCANCODE_LEFT;
    sdlCodes[0xCD] = SDL_SCANCODE_RIGHT;
    const SDL_Scancode block[] = {SDL_SCANCODE_END, SDL_SCANCODE_DOWN, SDL_SCANCODE_PAGEDOWN,
                                  SDL_SCANCODE_INSERT, SDL_SCANCODE_DELETE};
    MapRun(0xCF, block, 5);
    sdlCodes[0xDB] = SDL_SCANCODE_LGUI;
    sdlCodes[0xDC] = SDL_SCANCODE_RGUI;
    sdlCodes[0xDD] = SDL_SCANCODE_APPLICATION;
}

OVInput::OVInput(SDL_Window* owner) : window(owner), valid(1) {
    LogPrint("Init OVInput");
    memset(keys, 0, sizeof keys);
    BuildScanCodeTable();
}

OVInput::~OVInput() { LogPrint("Destroy OVInput"); }

// Keys down at some moment since the last poll (held then, or pressed
// since), by SDL scan code: a press and release between two frames still
// reads as held for one frame, and so does a chord whose Ctrl went down
// before one poll and whose S came and went before the next.
static u8 pressedSincePoll[SDL_NUM_SCANCODES];
// Keys that went down since the last poll: new presses.
static u8 newSincePoll[SDL_NUM_SCANCODES];

void NoteKeyPressed(i32 sdlScanCode) {
    if (sdlScanCode <= 0 || sdlScanCode >= SDL_NUM_SCANCODES) return;
    pressedSincePoll[sdlScanCode] = newSincePoll[sdlScanCode] = 1;
}

void OVInput::Poll() {
    memset(keys, 0, sizeof keys);
    memset(pressed, 0, sizeof pressed);
    valid = 1;
    // A key held while another window has the focus is not ours; a press
    // our window was sent is, even if the focus has gone since.
    bool focused = window && SDL_GetKeyboardFocus() == window;
    i32 count = 0;
    const u8* state = SDL_GetKeyboardState(&count);
    for (i32 i = 0; i < 256; i++) {
        SDL_Scancode c = sdlCodes[i];
        if (c == SDL_SCANCODE_UNKNOWN) continue;
        if (pressedSincePoll[c] || (focused && c < count && state[c])) keys[i] = 0x80;
        pressed[i] = newSincePoll[c];
    }
    memset(newSincePoll, 0, sizeof newSincePoll);
    for (i32 c = 0; c < SDL_NUM_SCANCODES; c++)
        pressedSincePoll[c] = focused && c < count && state[c];
}

bool OVInput::IsKeyDown(i32 scanCode) const {
    if (!valid || scanCode < 0 || scanCode > 255) return false;
    return (keys[scanCode] & 0x80) != 0;
}

static void PollKeyboardAndTablet() {
    if (keyboard) {
        keyboard->Poll();
        for (i32 i = 0; i < 256; i++) keysHeld[i] = keyboard->IsKeyDown(i);
        memcpy(keysPressed, keyboard->pressed, sizeof keysPressed);
    } else {
        memset(keysHeld, 0, sizeof keysHeld);  // no keyboard object: nothing is held
        memset(keysPressed, 0, sizeof keysPressed);
    }
    LatchButtonPresses();
    PollTablet();
}

void StartKeyboard() {
    if (!keyboard) keyboard = new (std::nothrow) OVInput(mainWindow);
    PollInputDevices = PollKeyboardAndTablet;
}

void StopKeyboard() {
    delete keyboard;
    keyboard = nullptr;
}
