// Input state: written by the window layer's event handler (platform/) or by
// tests, read once per frame by the frame logic. Plain globals, main thread.
#pragma once
#include "app/base.h"

// ---- pointer (logical client pixels, origin top left)
extern i32 mouseX, mouseY;          // -1000 = off the window
extern i32 mouseDownX, mouseDownY;  // position of the last button press
extern u8 mouseLeft, mouseRight, mouseMiddle;  // button held
extern i32 mouseWheel;              // +1 per forward wheel event, -1 per backward; never reset

// ---- pen (tablet): pressure 0..255 while the pen is in proximity
extern u8 penInProximity;
extern i32 tabletPressure;

// ---- frame statistics (written by the window layer's frame pacing)
extern f32 framesPerSecond;
extern f32 sleepsPerFrame;
extern f32 frameFactor;                 // 30 / fps: GUI animations scale by it
extern f32 brushApplicationsPerSecond;
extern i32 brushApplicationCount;       // counted by the frame logic per ApplyTool
