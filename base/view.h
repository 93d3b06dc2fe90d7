// View state: where the camera looks from and how the model is lit. The
// view control writes it every frame, and the commands that replace the mesh
// put it back to the start view; the renderer and picking read it.
#pragma once
#include "base/base.h"

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
