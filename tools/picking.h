// Picking: from a window position to a point on the sculpted surface, using
// the depth values the last drawn frame left under the cursor (no ray-triangle
// tests). The renderer reads the patch back (FetchZBuffer in render/); all the
// math here is GL-free so tests can feed a synthetic patch.
#pragma once
#include "base/base.h"

enum { DEPTH_PATCH_SIZE = 10 };

// Window depth 0 (near) .. 1 (far), rows from the bottom; written by FetchZBuffer.
extern f32 depthPatch[DEPTH_PATCH_SIZE * DEPTH_PATCH_SIZE];
// GL window pixel (y up) of the first sample; set by PlaceDepthPatch.
extern i32 depthPatchOrigin[2];
extern f32 cursorPos[2];  // pixels, y down: where the next read-back centres; set by UpdateBrush

// Origin of the next read-back: the cursor on column 5, row 5, shifted
// inward near the window's edges. Stores and returns depthPatchOrigin.
void PlaceDepthPatch();
// The surface point under window position (x, y). On a hit writes point and
// depth (model units) and returns true; on a miss writes neither.
bool Raycast(f32 x, f32 y, Vec3& point, f32& depth);
// The point where the ray through (x, y) meets the plane; the plane point
// itself when the ray runs parallel to the plane.
Vec3 ProjectToViewPlane(f32 x, f32 y, Vec3 planePoint, Vec3 planeNormal);
