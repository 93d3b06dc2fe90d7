// View control: turns the pointer, wheel and held keys into changes of the
// view state (base/view.h) once per frame, called by FrameLogic. Main thread.
#pragma once
#include "base/base.h"

// Written by ViewControl alone (and put back by ResetViewControl):
extern f32 zoomBlend;   // per-frame blend of zoom towards zoomTarget; 1.0 = settled
extern i32 prevWheel;   // mouseWheel as seen last frame
extern u8 numpadLatch;  // keypad plus or minus was held last frame
extern i32 prevFrameMouseX, prevFrameMouseY;  // frameMouseX/Y (base/input.h) one frame earlier

// Keypad and wheel steps, drag zoom, zoom smoothing, pointer bookkeeping,
// the interface press edge, rotate or pan, and the view axes, in that order.
void ViewControl();
// Screen axes in model space from viewPitch and viewYaw.
void UpdateViewAxes();
// Light direction from the pointer (while L is held).
void SetLightFromPointer();
// View-control bookkeeping back to start values (start-up, tests).
void ResetViewControl();
