// The brush engine through whole frames: radius and strength, the need for a
// hit, inversion and pen pressure, what ends a stroke, mirrored hits, resizing.
#include "frame_fixture.h"

using BrushEngineTest = FrameTest;
// Settings 0.5: strength (0.5 + 0.3)^2 x 1.15 + 0.03; radius at depth 400
// 400 x 0.002 x 60 x ((0.5 + 0.3)^2 x 1.4 + 0.03).
const f32 DEFAULT_STRENGTH = 0.766f, DEFAULT_RADIUS = 48 * 0.926f;

// A press on the background starts nothing and leaves the brush where it
// was; on the surface it starts a stroke whose first frame alone is its
// start, and choosing another tool mid-stroke keeps the stroke going.
TEST_F(BrushEngineTest, StrokeNeedsAHitAndStartsWithOneFirstStep) {
    ShowSphereUnderCursor();
    Frame();
    Vec3 placed = brush.center;
    ShowBackground();
    mouseLeft = 1;
    Frames(3);
    EXPECT_FALSE(strokeActive || brush.brushHit || modified);
    EXPECT_EQ(brush.center.z, placed.z);
    EXPECT_NEAR(brush.depth, 400, 0.05f);
    ShowSphereUnderCursor();
    Frame();
    EXPECT_TRUE(strokeActive && brush.strokeStart && std::fabs(brush.anchor.z + 100) < 0.1f);
    EXPECT_NEAR(brush.radius, DEFAULT_RADIUS, 0.05f);
    EXPECT_NEAR(brush.strength, DEFAULT_STRENGTH, 1e-4f);
    Type('b');
    EXPECT_TRUE(strokeActive && !brush.strokeStart && currentTool == TOOL_SMOOTH);
}

// Right button or Shift inverts; pen pressure (128 of 255) scales the
// strength only with the left button.
TEST_F(BrushEngineTest, RightButtonOrShiftInvertsAndPressureScalesOnlyTheLeftButton) {
    struct {
        u8 left, right, shift, pen;
        f32 strength;
    } cases[] = {
        {1, 0, 0, 0, DEFAULT_STRENGTH},  {0, 1, 0, 0, -DEFAULT_STRENGTH},
        {1, 0, 1, 0, -DEFAULT_STRENGTH}, {1, 0, 0, 1, DEFAULT_STRENGTH * 128 / 255},
        {0, 1, 0, 1, -DEFAULT_STRENGTH},
    };
    ShowSphereUnderCursor();
    tabletPressure = 128;
    for (auto c : cases) {
        keysHeld[KEY_LSHIFT] = c.shift, penInProximity = c.pen;
        mouseLeft = c.left, mouseRight = c.right;
        Frame();
        EXPECT_TRUE(strokeActive);
        EXPECT_NEAR(brush.strength, c.strength, 1e-4f) << +c.left << +c.shift << +c.pen;
        mouseLeft = mouseRight = 0;
        Frame();
        EXPECT_FALSE(strokeActive);
    }
}

// Releasing or Alt ends the stroke and copies positions to refPosition.
// Space turns the view, which cuts the stroke without that copy: the
// reference catches up when the mesh settles. The pointer over the
// interface, or a press that began there, starts nothing.
TEST_F(BrushEngineTest, EndingAStrokeRefreshesReferenceAndCuttingItWaitsForTheSettle) {
    for (i32 key : {-1, (i32)KEY_LALT, (i32)KEY_RALT, (i32)KEY_SPACE}) {
        ShowSphereUnderCursor();
        mouseLeft = 1;
        Frame();
        ASSERT_TRUE(strokeActive);
        // What a tool step would have done: move a vertex in the brush's cube.
        i32 slot = 0;
        while (!vertices[workset.vertices.items[slot]].inBrush) slot++;
        Vertex& v = vertices[workset.vertices.items[slot]];
        v.position.x += 1;
        const f32 moved = v.position.x;  // the frame's relaxation may move it on
        if (key < 0)
            mouseLeft = 0;
        else
            keysHeld[key] = 1;
        if (key == KEY_SPACE) mouseX += 5;
        Frame();
        EXPECT_FALSE(strokeActive) << key;
        EXPECT_TRUE(key != KEY_SPACE || !brush.brushHit) << "turning the view drops the hit";
        EXPECT_EQ(v.refPosition.x == moved, key != KEY_SPACE) << key;
        Frames(30);
        EXPECT_TRUE(meshSettled);
        EXPECT_EQ(v.refPosition.x, v.position.x) << key;
        ResetFrameGlobals();
    }
    ShowSphereUnderCursor();
    mouseLeft = guiCaptured = 1;
    Frames(2);
    EXPECT_FALSE(strokeActive || brush.brushHit);
    guiCaptured = 0, pointerOverGui = 1;
    Frame();
    EXPECT_FALSE(strokeActive);
}

TEST_F(BrushEngineTest, AltResizingKeepsThePopupAndSizesFromTheLastDepth) {
    ShowSphereUnderCursor();
    Frame();
    mouseX = 300, mouseY = 200;
    Frame();
    EXPECT_EQ(popupCenter[0], 300);
    keysHeld[KEY_LALT] = 1;
    mouseX = 360, toolSize[currentTool] = 1;
    Frame();
    EXPECT_TRUE(brushResizing && popupCenter[0] == 300 && popupCenter[1] == 200);
    EXPECT_NEAR(brush.radius, brush.depth * 0.12f * (1.3f * 1.3f * 1.4f + 0.03f), 1e-3f);
    EXPECT_NEAR(brush.strength, DEFAULT_STRENGTH, 1e-4f);
    keysHeld[KEY_LCTRL] = 1;  // Alt with Ctrl is a zoom drag, not resizing
    Frame();
    EXPECT_FALSE(brushResizing);
    EXPECT_EQ(popupCenter[0], 360);
}

TEST_F(BrushEngineTest, HitOnTheMirroredHalfWorksOnTheStoredHalf) {
    symmetry = 1;  // only the brush placement reads it here
    ShowSphereUnderCursor();
    for (i32 x : {525, 425}) {  // screen right is model -x at yaw 180
        mouseX = x;
        Frame();
        EXPECT_EQ(brush.mirrored, x > 475) << x;
        EXPECT_GT(brush.center.x, 0) << x;
    }
}

TEST_F(BrushEngineTest, RotateAndScaleStrokesKeepTheirCentre) {
    for (i32 tool : {TOOL_ROTATE, TOOL_SCALE}) {
        ShowSphereUnderCursor();
        currentTool = previousTool = tool;
        mouseLeft = 1;
        Frame();
        Vec3 c = brush.center;
        mouseX += 30;
        Frame();
        EXPECT_TRUE(brush.center.x == c.x && brush.screenPos.x == (f32)mouseX) << tool;
        EXPECT_EQ(brush.strokeStartScreenPos.x, (f32)mouseX - 30) << "the pivot stays put";
        mouseLeft = 0, mouseX -= 30;
        Frame();
    }
}
