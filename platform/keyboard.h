// The keyboard as a table of held keys by scan code, read once per frame.
// OVInput keeps the scan codes the frame logic uses (PC set-1 make codes,
// extended keys + 0x80) and answers from SDL's keyboard state; while the
// window does not have the keyboard focus every key reads as released. A key
// down at any moment since the last poll reads as held, so a press and
// release between two polls counts once.
#pragma once
#include "base/base.h"

struct SDL_Window;

struct OVInput {
    SDL_Window* window;  // keys count only while this window has the focus
    u8 keys[256];        // last state by scan code; bit 7 set = held
    u8 pressed[256];     // by scan code: went down since the poll before
    u8 valid;            // set by the constructor and by every poll

    explicit OVInput(SDL_Window* owner);
    ~OVInput();
    // Reads the state of every key; without the focus, all read released.
    void Poll();
    bool IsKeyDown(i32 scanCode) const;
};

extern OVInput* keyboard;  // created by StartKeyboard, null before and after

// Records a key press event (SDL scan code) for the next poll.
void NoteKeyPressed(i32 sdlScanCode);
// Creates the keyboard object for the main window and installs the frame's
// input poll (keys, then the tablet's queue) as PollInputDevices.
void StartKeyboard();
void StopKeyboard();
