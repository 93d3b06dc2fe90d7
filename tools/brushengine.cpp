// Brush engine: each frame places the brush on the surface under the cursor,
// sizes it from the picked depth and the current tool's settings, signs its
// strength, and starts or ends strokes; while a stroke runs, ApplyTool hands
// one step to the current tool's routine.
// Writes brush, strokeActive, lastHitValid, brushResizing, cursorPos and the
// pop-up anchor; never touches GL.
#include "base/guistate.h"
#include "base/input.h"
#include "base/settings.h"
#include "base/view.h"
#include "mesh/history.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "tools/picking.h"
#include "tools/tools.h"

u8 grabDragging;
u8 lastHitValid;
u8 brushResizing;

f32 BrushRadius(f32 depth, f32 size) {
    f32 s = size + 0.3f;
    return depth * 0.002f * 60 * (s * s * 1.4f + 0.03f);
}

f32 BrushStrength(f32 setting) {
    f32 g = setting + 0.3f;
    return g * g * 1.15f + 0.03f;
}

static void SizeBrush() {
    brush.radius = BrushRadius(brush.depth, toolSize[currentTool]);
    brush.strength = BrushStrength(toolStrength[currentTool]);
}

void CancelStroke() {
    strokeActive = 0;
    grabDragging = 0;
    brush.cullValid = 0;
    brush.brushHit = 0;
}

void EndStroke() {
    strokeActive = 0;
    // Every vertex the stroke moved, not just the workset: the next stroke
    // builds on this surface.
    CatchUpRefPositions();
}

static void PlaceCenter() {
    if (grabDragging) {
        // GRAB drags its anchor in the plane through it that faces the viewer.
        brush.brushHit = 1;
        Vec3 p = brush.anchor;
        if (brush.mirrored) p.x = -p.x;
        brush.center = ProjectToViewPlane((f32)mouseX, (f32)mouseY, p, viewToward);
        if (brush.mirrored) brush.center.x = -brush.center.x;
        return;
    }
    // ROTATE and SCALE work from the anchor and the cursor's screen offset.
    if (strokeActive && (currentTool == TOOL_ROTATE || currentTool == TOOL_SCALE)) return;
    brush.mirrored = 0;
    brush.brushHit = lastHitValid = Raycast((f32)mouseX, (f32)mouseY, brush.center, brush.depth);
    if (brush.brushHit && symmetry && brush.center.x < 0) {
        // Only the x >= 0 half is stored: work on the mirror image of the hit.
        brush.mirrored = 1;
        brush.center.x = -brush.center.x;
    }
}

static void DecideStroke() {
    bool wantStroke = mouseLeft && !shiftHeld;
    if (mouseRight || (mouseLeft && shiftHeld)) {
        brush.strength = -brush.strength;
        wantStroke = true;
    }
    if (strokeActive) {
        if (!wantStroke) EndStroke();
        return;
    }
    if (!wantStroke || !brush.brushHit) return;  // a press on the background starts nothing
    BeginHistoryStep();  // the stroke and the settling after it undo as one step
    brush.anchor = brush.center;
    brush.strokeStartScreenPos = brush.screenPos;
    brush.strokeStart = 1;
    strokeActive = 1;
}

static void PlaceBrushAndDecideStroke() {
    brush.strokeStart = 0;
    if (altHeld && !ctrlHeld) {
        brushResizing = 1;
        pointerOverGui = 1;
        SizeBrush();
    } else {
        brushResizing = 0;
        popupCenter[0] = frameMouseX;
        popupCenter[1] = frameMouseY;
    }
    if (pointerOverGui || guiCaptured || spaceHeld || altHeld) {
        if (strokeActive) EndStroke();
        brush.brushHit = 0;
        return;
    }
    if (mouseMiddle) return;  // the middle button only moves the camera
    brush.screenPos = {(f32)mouseX, (f32)mouseY, 0};
    cursorPos[0] = (f32)mouseX;
    cursorPos[1] = (f32)mouseY;
    PlaceCenter();
    SizeBrush();
    if (mouseLeft) brush.strength *= penPressure;
    DecideStroke();
}

void UpdateBrush() {
    PlaceBrushAndDecideStroke();
    // Between strokes nothing drags, and the next stroke culls afresh.
    if (!strokeActive) {
        grabDragging = 0;
        brush.cullValid = 0;
    }
}

// Indexed by tool id.
static void (*const toolRoutines[TOOL_COUNT])(Brush&) = {
    DrawTool, SmoothTool, GrabTool,   InflateTool, FlattenTool,      PinchTool,
    MaskTool, CreaseTool, RotateTool, ScaleTool,   ReduceDetailTool,
};

void ApplyTool(Brush& b, i32 tool) {
    if (tool < 0 || tool >= TOOL_COUNT) return;
    ProfileBegin(PROF_APPLYTOOL);
    toolRoutines[tool](b);
    ProfileEnd();
}
