// Input state: written by the window layer (platform/) or by tests, read
// once per frame by the frame logic. Each block names its writer; the main
// loop clears the per-pass event flags. Plain globals, main thread.
#pragma once
#include "base/base.h"

// ---- pointer, logical client pixels from the top left (the event handler)
extern i32 mouseX, mouseY;                     // -1000 = off the window
extern i32 mouseDownX, mouseDownY;             // position of the last button press
extern u8 mouseLeft, mouseRight, mouseMiddle;  // button held
extern i32 mouseWheel;  // +1 per forward wheel event, -1 per backward; never reset

// ---- window events (the event handler sets them, the main loop clears them)
extern volatile u8 quitRequested;  // a close request (window or signal): ends the main loop
extern u8 windowResized;           // a size event this loop pass
extern u8 typedChar;               // last typed character this pass

// ---- pen: pressure 0..255 while the pen is near (the tablet reader, by the
// rules of tools/pen.h)
extern u8 penInProximity;
extern i32 tabletPressure;

// ---- keyboard: held keys by scan code (PC set-1 codes; extended keys + 0x80)
enum ScanCode {
    KEY_ESCAPE = 1,
    KEY_BACKSPACE = 14,
    KEY_TAB = 15,
    KEY_E = 18,
    KEY_Y = 21,
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
// 1 = went down since the last frame, so a new press of a command key fires
// even right after a command frame; written by PollInputDevices (or tests).
extern u8 keysPressed[256];
// Refreshes keysHeld and drains the pen's queue. Called at the start of every
// frame; platform/ installs the real one, headless runs keep a no-op.
extern void (*PollInputDevices)();

// ---- per-frame input summary: FrameLogic right after the poll, but for the
// pointer, which the view control takes
extern u8 shiftHeld, ctrlHeld, altHeld, spaceHeld;  // left or right key held
extern i32 frameMouseX, frameMouseY;  // pointer this frame; x = -1000 when it reads (0, 0)
extern f32 penPressure;               // 0..1 for this frame; 1 without a pen
