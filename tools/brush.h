// The one brush record and the stroke state that the mesh passes read.
// The brush engine (UpdateBrush, ApplyTool) writes these each frame.
#pragma once
#include "app/base.h"

enum Tool {
    TOOL_DRAW, TOOL_SMOOTH, TOOL_GRAB, TOOL_INFLATE, TOOL_FLATTEN, TOOL_PINCH,
    TOOL_MASK, TOOL_CREASE, TOOL_ROTATE, TOOL_SCALE, TOOL_REDUCE_DETAIL, TOOL_COUNT
};

struct Brush {
    Vec3 center;               // on the surface, model units; x >= 0 with symmetry on
    Vec3 anchor;               // center at the start of the stroke
    Vec3 cullCenterNow;        // centre the culling uses this step
    Vec3 cullCenter;           // centre of the last full culling
    f32 cullHalfSize;          // half side of the culling cube, 4 x radius
    u8 cullValid;              // culling cube valid; cleared every frame without a stroke
    u8 brushHit;               // the centre ray hit the surface this frame
    f32 depth;                 // depth of the last hit, model units
    u8 mirrored;               // the hit lay at x < 0 and center.x was negated
    Vec3 screenPos;            // cursor (x, y, 0) this frame, window pixels
    Vec3 strokeStartScreenPos; // screenPos when the stroke started
    u8 strokeStart;            // 1 only during the first step of a stroke
    f32 radius;                // model units, start value 40
    f32 strength;              // signed; negative = inverted stroke
};

extern Brush brush;
extern i32 currentTool;   // tool id of the next brush step
extern i32 previousTool;  // tool to return to when mask mode is left
extern u8 maskView;       // mask mode: deforming tools weight by each vertex's mask
extern u8 strokeActive;  // a stroke is in progress (set and cleared by UpdateBrush)

// Start values: centre (0,0,0), normal up, radius 40, strength 1, flags 0.
void ResetBrush();
