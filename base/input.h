// Input state: written by the window layer's event handler (platform/) or by
// tests, read once per frame by the frame logic. Plain globals, main thread.
#pragma once
#include "base/base.h"

// ---- pointer (logical client pixels, origin top left)
extern i32 mouseX, mouseY;                     // -1000 = off the window
extern i32 mouseDownX, mouseDownY;             // position of the last button press
extern u8 mouseLeft, mouseRight, mouseMiddle;  // button held
extern i32 mouseWheel;  // +1 per forward wheel event, -1 per backward; never reset

// ---- window events (written by the window layer's event handler)
extern volatile u8 quitRequested;  // set by a close request (window or signal); ends the main loop
extern u8 windowResized;           // set by a size event; cleared at the start of every loop pass
extern u8 typedChar;               // last typed character; cleared after every FrameLogic pass

// ---- pen (tablet): pressure 0..255 while the pen is in proximity
extern u8 penInProximity;
extern i32 tabletPressure;

// ---- keyboard: held keys by scan code (PC set-1 codes; extended keys + 0x80)
enum ScanCode {
    KEY_ESCAPE = 1,
    KEY_BACKSPACE = 14,
    KEY_TAB = 15,
    KEY_E = 18,
    KEY_O = 24,
    KEY_LCTRL = 29,
    KEY_S = 31,
    KEY_K = 37,
    KEY_L = 38,
    KEY_LSHIFT = 42,
    KEY_Z = 44,
    KEY_RSHIFT = 54,
    KEY_LALT = 56,
    KEY_SPACE = 57,
    KEY_F4 = 62,
    KEY_KP_MINUS = 74,
    KEY_KP_PLUS = 78,
    KEY_RCTRL = 157,
    KEY_RALT = 184,
};
extern u8 keysHeld[256];  // 1 = held; written by PollInputDevices (or tests)
// Refreshes keysHeld and drains the pen's queue. Called at the start of every
// frame; platform/ installs the real one, headless runs keep a no-op.
extern void (*PollInputDevices)();

// ---- per-frame input summary: written by FrameLogic right after the poll
extern u8 shiftHeld, ctrlHeld, altHeld, spaceHeld;  // left or right key held
extern i32 frameMouseX,
    frameMouseY;         // pointer this frame, x = -1000 when it reads (0, 0); by ViewControl
extern f32 penPressure;  // 0..1 for this frame; 1 without a pen
