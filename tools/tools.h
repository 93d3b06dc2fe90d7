// The sculpting tools: one routine per tool id, each one brush step on the
// mesh (cull, refine, move the vertices in range, mark them changed), and
// the shared pieces they are built from.
#pragma once
#include "base/base.h"
#include "tools/brush.h"

// (1 - cos(3.1415 t)) / 2 on 0..1, clamped outside: the shared falloff.
f32 SmoothStep(f32 t);

void DrawTool(Brush& b);
void SmoothTool(Brush& b);
void GrabTool(Brush& b);
void InflateTool(Brush& b);
void FlattenTool(Brush& b);
void PinchTool(Brush& b);
void MaskTool(Brush& b);
void CreaseTool(Brush& b);
void RotateTool(Brush& b);
void ScaleTool(Brush& b);
void ReduceDetailTool(Brush& b);

// Edge length REDUCE DETAIL works with during the current stroke (model
// units); 0 = not measured yet. Written by ReduceDetailTool.
extern f32 reduceReferenceLength;
// ROTATE's angle state, written by RotateTool alone and reset at the first
// step of each stroke (kept after it ends):
extern f32 rotateAngle;      // radians turned about the view axis
extern f32 rotateAngleRef;   // cursor angle (radians) where the current tracking began
extern f32 rotateAngleBase;  // radians frozen when the cursor last came within 50 pixels
extern u8 rotateTracking;    // the cursor is beyond 50 pixels and the angle follows it
// Backspace in mask mode: every mask to 1 when all are at most 0.1, else to 0.
void FillOrClearMask();

// ---- the skeleton every tool step shares (toolstep.cpp)
// Radius factor per tool id (the reach is radius x factor) and refinement
// factor per tool id (0 = the tool never refines).
extern const f32 toolRadiusFactor[TOOL_COUNT];
extern const f32 toolTesselateFactor[TOOL_COUNT];
// The start of every tool step: enlarge the radius by the tool's factor, cull
// around center (the anchor for GRAB, SCALE and ROTATE), refine under the
// brush. Returns the radius to hand back to EndToolStep on every exit.
f32 BeginToolStep(Brush& b, i32 tool);
void EndToolStep(Brush& b, f32 savedRadius);
// Falloff argument u = 1 - 1.3 d / R: positive only inside R / 1.3, so every
// weight is zero at and beyond that distance.
inline f32 FalloffU(f32 d, f32 reach) { return 1 - 1.3f * d / reach; }
// Whether a point at distance d from the centre is in the brush's reach,
// with its falloff argument u (written either way).
inline bool InFalloff(f32 d, f32 reach, f32& u) {
    u = FalloffU(d, reach);
    return d <= reach && u > 0;
}
// An active vertex inside the culling box: the only ones a step may move.
inline bool Brushable(const Vertex& v) { return v.active && v.inBrush; }
// A weight with mask mode applied: frozen vertices (mask 0) do not move.
f32 MaskedWeight(const Vertex& v, f32 weight);
