// View state: where the camera looks from and how the model is lit. The
// view control in the frame logic writes it; the renderer and picking read it.
#pragma once
#include "app/base.h"

extern Vec3 viewOffset;  // eye-space translation of the model, (0, 0, 500) at start
extern f32 zoom;         // uniform model scale
extern f32 zoomTarget;   // zoom the view is moving towards
extern f32 viewYaw;      // degrees, rotation about y
extern f32 viewPitch;    // degrees, rotation about x
extern f32 fieldOfView;  // degrees, 35
extern Vec3 viewRight, viewDown, viewToward;  // screen axes in model space
extern f32 lightWeights[3];                   // light direction weights, (0, 0.4, 1.0) at start

// Start values of the view (start-up and the new-mesh commands).
void ResetView();

// ---- view control: turns the pointer, wheel and held keys into view changes
// once per frame (FrameLogic). All main thread.
extern f32 zoomBlend;                 // per-frame blend of zoom towards zoomTarget; 1.0 = settled
extern i32 prevWheel;                 // mouseWheel as seen last frame
extern u8 numpadLatch;                // keypad plus or minus was held last frame
extern i32 frameMouseX, frameMouseY;  // pointer this frame; x = -1000 when it reads (0, 0)
extern i32 prevFrameMouseX, prevFrameMouseY;  // the same, one frame earlier

// Keypad and wheel steps, drag zoom, zoom smoothing, pointer bookkeeping,
// the interface press edge, rotate or pan, and the view axes, in that order.
void ViewControl();
// Screen axes in model space from viewPitch and viewYaw.
void UpdateViewAxes();
// Light direction from the pointer (while L is held).
void SetLightFromPointer();
// View-control bookkeeping back to start values (start-up, tests).
void ResetViewControl();
