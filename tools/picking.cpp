// Picking math: where the depth patch is read, the view ray through a window
// position, Raycast and ProjectToViewPlane. The ray inverts the renderer's
// model-view (translate by -viewOffset, scale by zoom, pitch about x, yaw
// about y) and its perspective (fieldOfView, near 5, far 3000).
// Reads the view globals and the depth patch; writes nothing else.
#include "tools/picking.h"
#include <cmath>
#include "base/log.h"
#include "base/settings.h"
#include "base/view.h"
#include "parallel/parallel.h"
#include "tools/brush.h"

f32 depthPatch[DEPTH_PATCH_SIZE * DEPTH_PATCH_SIZE];
i32 depthPatchOrigin[2];
f32 cursorPos[2];

static const f32 HIT_LIMIT = 2900;  // eye units; the far plane (3000) is background

static i32 Round(f32 v) { return (i32)std::lround(v); }

static i32 Clamp(i32 v, i32 low, i32 high) {
    if (v < low) v = low;  // lower bound first: a tiny window ends at high
    if (v > high) v = high;
    return v;
}

void PlaceDepthPatch() {
    i32 x0 = Round(cursorPos[0]) - 5;
    i32 y0 = windowHeight - Round(cursorPos[1]) - 6;
    depthPatchOrigin[0] = Clamp(x0, 0, windowWidth - DEPTH_PATCH_SIZE);
    depthPatchOrigin[1] = Clamp(y0, 0, windowHeight - DEPTH_PATCH_SIZE);
}

// View-space pitch then yaw: the inverse of the renderer's rotation.
static Vec3 ToModelRotation(Vec3 v) {
    f32 p = viewPitch * DEGREES, w = viewYaw * DEGREES;
    f32 cp = std::cos(p), sp = std::sin(p), cw = std::cos(w), sw = std::sin(w);
    Vec3 a = {v.x, v.y * cp + v.z * sp, v.z * cp - v.y * sp};
    return {a.x * cw - a.z * sw, a.y, a.z * cw + a.x * sw};
}

// Eye-space direction through (x, y) with z = -1. Both screen components are
// divided by the half height, so the aspect ratio comes out right.
static Vec3 EyeDirection(f32 x, f32 y) {
    f32 t = std::tan(fieldOfView * (DEGREES / 2));  // half the vertical field
    i32 halfW = windowWidth / 2, halfH = windowHeight / 2;
    f32 h = halfH > 0 ? (f32)halfH : 1.0f;  // a 1-pixel-high window has no half
    return {(x - (f32)halfW) / h * t, ((f32)halfH - y) / h * t, -1};
}

static Vec3 RayOrigin() { return ToModelRotation(viewOffset) * (1 / zoom); }

static f32 PatchSample(f32 x, f32 y) {
    i32 column = Clamp(Round(x) - depthPatchOrigin[0], 0, DEPTH_PATCH_SIZE - 1);
    i32 row = Clamp(windowHeight - Round(y) - depthPatchOrigin[1] - 1, 0, DEPTH_PATCH_SIZE - 1);
    return depthPatch[row * DEPTH_PATCH_SIZE + column];
}

bool Raycast(f32 x, f32 y, Vec3& point, f32& depth) {
    ProfileBegin(PROF_RAYCAST);
    f32 s = PatchSample(x, y);
    // Window depth back to eye distance for near 5, far 3000:
    // 2 far near / ((far + near) - (far - near) z_ndc).
    f32 eye = 30000 / (3005 - 2995 * (2 * s - 1));
    f32 depthValue = eye / zoom;
    Vec3 origin = RayOrigin();
    Vec3 direction = ToModelRotation(EyeDirection(x, y));
    bool hit = zoom * depthValue <= HIT_LIMIT;
    if (hit) {
        depth = depthValue;
        point = origin + direction * depthValue;  // z = -1 reaches the depth plane
    }
    ProfileEnd();
    return hit;
}

Vec3 ProjectToViewPlane(f32 x, f32 y, Vec3 planePoint, Vec3 planeNormal) {
    Vec3 origin = RayOrigin();
    Vec3 direction = ToModelRotation(Normalized(EyeDirection(x, y)));
    f32 denom = -Dot(direction, planeNormal);
    if (denom == 0) return planePoint;
    f32 s = Dot(origin - planePoint, planeNormal) / denom;
    return origin + direction * s;
}
