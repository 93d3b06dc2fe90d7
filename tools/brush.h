// The one brush record, the tool selection and the stroke state that the
// brush engine (UpdateBrush, ApplyTool) and the tools work with; each
// declaration says who writes it.
#pragma once
#include "base/base.h"
#include "mesh/mesh.h"

// ---- profiler sections of picking and the tools (the two ray and sphere
// intersection sections are kept for their numbers; no code enters them)
enum {
    PROF_INTERSECTSPHERETRI = 5,
    PROF_INTERSECTRAYTRI = 7,
    PROF_RAYCAST = 8,
    PROF_APPLYTOOL = 11
};
inline constexpr ProfileSectionName toolProfileSections[] = {
    {PROF_INTERSECTSPHERETRI, "intersectspheretri"},
    {PROF_INTERSECTRAYTRI, "intersectraytri"},
    {PROF_RAYCAST, "raycast"},
    {PROF_APPLYTOOL, "applytool"},
};

enum Tool {
    TOOL_DRAW,
    TOOL_SMOOTH,
    TOOL_GRAB,
    TOOL_INFLATE,
    TOOL_FLATTEN,
    TOOL_PINCH,
    TOOL_MASK,
    TOOL_CREASE,
    TOOL_ROTATE,
    TOOL_SCALE,
    TOOL_REDUCE_DETAIL,
    TOOL_COUNT
};

// The culling cube (cullCenterNow, cullCenter, cullHalfSize, cullValid) comes
// from BrushCulling, the part the mesh's culling pass works on.
struct Brush : BrushCulling {
    Vec3 center;     // on the surface, model units; x >= 0 with symmetry on
    Vec3 anchor;     // center at the start of the stroke
    u8 brushHit;     // the centre ray hit the surface this frame
    f32 depth;       // depth of the last hit, model units
    u8 mirrored;     // the hit lay at x < 0 and center.x was negated
    Vec3 screenPos;  // cursor (x, y, 0) this frame, window pixels
    // screenPos when the stroke started: ROTATE's pivot, SCALE's origin
    Vec3 strokeStartScreenPos;
    u8 strokeStart;  // 1 only during the first step of a stroke
    f32 radius;      // model units, start value 40
    f32 strength;    // signed; negative = inverted stroke
};

// Placed and sized by the brush engine; a tool step scales its radius and
// sets its culling centre for the step's length, and the mesh's culling pass
// keeps the culling cube.
extern Brush brush;
// The tool selection, written by the frame commands (app/framecommands.cpp):
extern i32 currentTool;   // tool id of the next brush step
extern i32 previousTool;  // tool to return to when mask mode is left
extern u8 maskView;       // mask mode: deforming tools weight by each vertex's mask
extern u8 strokeActive;   // a stroke is in progress; written by the brush engine alone

// Start values: centre (0,0,0), radius 40, strength 1, no stroke, flags 0.
void ResetBrush();
extern u8 grabDragging;   // GRAB drags its anchor in a screen-parallel plane; by the brush engine
extern u8 lastHitValid;   // the last cast's brushHit, kept for the cursor ring; by the engine
extern u8 brushResizing;  // Alt held (without Ctrl): the pop-up edits size and strength;
                          // set by the brush engine each frame

// ---- brush engine (brushengine.cpp)
// Radius in model units from the picked depth and a size setting 0..1; the
// brush covers the same share of the screen at any distance or zoom.
f32 BrushRadius(f32 depth, f32 size);
// Unsigned strength from a strength setting 0..1.
f32 BrushStrength(f32 setting);
// The per-frame brush step: places the brush, sets radius and strength from
// the current tool and the pen, and starts or ends the stroke. Reads the
// pointer, the frame's held keys and penPressure (base/input.h).
void UpdateBrush();
// Ends a running stroke: every active vertex's refPosition = position.
void EndStroke();
// Ends it without that copy (the view moved, or the mesh was replaced): the
// next settle refreshes refPosition, and the next stroke needs a new hit.
void CancelStroke();
// One brush step of the given tool id; ids outside the tool range do nothing.
void ApplyTool(Brush& b, i32 tool);
