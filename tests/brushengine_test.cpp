// The brush engine through whole frames: radius and strength numbers, the
// stroke's need for a hit, inversion, pen pressure, what ends a stroke and
// the refPosition copy that follows, mirrored hits, the GRAB drag plane,
// the pop-up anchor while resizing, and the tool dispatch.
#include "app/pen.h"
#include "app/settings.h"
#include "frame_fixture.h"
#include "tools/tools.h"

using BrushEngineTest = FrameTest;

TEST(BrushNumbers, RadiusAndStrengthFollowTheirCurves) {
    EXPECT_NEAR(BrushRadius(1, 0) / 0.12f, 0.156f, 1e-5f);
    EXPECT_NEAR(BrushRadius(1, 0.5f) / 0.12f, 0.926f, 1e-5f);
    EXPECT_NEAR(BrushRadius(1, 1) / 0.12f, 2.396f, 1e-5f);
    EXPECT_NEAR(BrushRadius(400, 0.5f), 400 * 0.12f * 0.926f, 1e-3f);
    EXPECT_NEAR(BrushStrength(0), 0.1335f, 1e-5f);
    EXPECT_NEAR(BrushStrength(0.5f), 0.766f, 1e-5f);
    EXPECT_NEAR(BrushStrength(1), 1.9735f, 1e-5f);
}

TEST_F(BrushEngineTest, PressOnBackgroundStartsNoStrokeAndKeepsTheBrush) {
    ShowSphereUnderCursor();
    Frame();
    Vec3 placed = brush.center;
    f32 depth = brush.depth;
    ShowBackground();
    mouseLeft = 1;
    Frames(3);
    EXPECT_FALSE(strokeActive);
    EXPECT_FALSE(brush.brushHit);
    EXPECT_EQ(brush.center.z, placed.z);
    EXPECT_EQ(brush.depth, depth);
    EXPECT_FALSE(modified);
    mouseLeft = 0;
}

TEST_F(BrushEngineTest, LeftPressOnSurfaceStartsStrokeWithOneFirstStep) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frame();
    EXPECT_TRUE(strokeActive);
    EXPECT_TRUE(brush.strokeStart);
    EXPECT_NEAR(brush.anchor.z, -100, 0.1f);
    EXPECT_NEAR(brush.radius, BrushRadius(400, 0.5f), 0.05f);
    EXPECT_NEAR(brush.strength, 0.766f, 1e-4f);
    Frame();
    EXPECT_TRUE(strokeActive);
    EXPECT_FALSE(brush.strokeStart);
    mouseLeft = 0;
}

TEST_F(BrushEngineTest, RightButtonOrShiftInvertsStrength) {
    ShowSphereUnderCursor();
    mouseRight = 1;
    Frame();
    EXPECT_TRUE(strokeActive);
    EXPECT_NEAR(brush.strength, -0.766f, 1e-4f);
    mouseRight = 0;
    Frame();
    EXPECT_FALSE(strokeActive);
    keysHeld[KEY_LSHIFT] = 1;
    mouseLeft = 1;
    Frame();
    EXPECT_TRUE(strokeActive);
    EXPECT_NEAR(brush.strength, -0.766f, 1e-4f);
    mouseLeft = 0;
}

TEST_F(BrushEngineTest, PenPressureScalesStrengthOnlyWithTheLeftButton) {
    ShowSphereUnderCursor();
    penInProximity = 1;
    tabletPressure = 128;
    mouseLeft = 1;
    Frame();
    EXPECT_NEAR(brush.strength, 0.766f * 128 / 255, 1e-4f);
    mouseLeft = 0;
    mouseRight = 1;
    Frame();
    EXPECT_NEAR(brush.strength, -0.766f, 1e-4f);
    mouseRight = 0;
}

TEST_F(BrushEngineTest, HoveringPenGivesNoStrengthAndMouseClickGivesFull) {
    ShowSphereUnderCursor();
    penInProximity = 1;
    tabletPressure = 0;  // pen near the tablet, tip up
    mouseLeft = 1;
    Frame();
    EXPECT_EQ(brush.strength, 0.0f);
    mouseLeft = 0;
    Frame();
    PenMouseDown();  // a mouse click while the pen reports nothing
    mouseLeft = 1;
    Frame();
    EXPECT_NEAR(brush.strength, 0.766f, 1e-4f);
    mouseLeft = 0;
}

TEST_F(BrushEngineTest, ReleasingEndsTheStrokeAndRefreshesReference) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frame();
    Vertex& v = vertices[5];
    v.position.y += 3;  // what a tool step would have done
    mouseLeft = 0;
    Frame();
    EXPECT_FALSE(strokeActive);
    EXPECT_EQ(v.refPosition.y, v.position.y);
}

TEST_F(BrushEngineTest, AltMidStrokeEndsItAndRefreshesReference) {
    for (i32 key : {KEY_LALT, KEY_RALT}) {
        ShowSphereUnderCursor();
        mouseLeft = 1;
        Frame();
        ASSERT_TRUE(strokeActive);
        Vertex& v = vertices[7];
        v.position.x += 1;
        keysHeld[key] = 1;
        Frame();
        EXPECT_FALSE(strokeActive) << key;
        EXPECT_EQ(v.refPosition.x, v.position.x) << key;
        keysHeld[key] = 0;
        mouseLeft = 0;
        Frame();
    }
}

// Space with the left button held turns the view, which cuts the stroke
// without the stroke-end copy: the reference catches up when the mesh settles.
TEST_F(BrushEngineTest, SpaceMidStrokeCutsItAndSettlingRefreshesReference) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frame();
    ASSERT_TRUE(strokeActive);
    Vertex& v = vertices[7];
    v.position.x += 1;
    keysHeld[KEY_SPACE] = 1;
    Frame();
    EXPECT_FALSE(strokeActive);
    EXPECT_NE(v.refPosition.x, v.position.x);
    Frames(30);
    EXPECT_TRUE(meshSettled);
    EXPECT_EQ(v.refPosition.x, v.position.x);
    keysHeld[KEY_SPACE] = 0;
    mouseLeft = 0;
}

TEST_F(BrushEngineTest, PointerOverInterfaceBlocksStrokes) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    guiCaptured = 1;
    Frames(2);
    EXPECT_FALSE(strokeActive);
    EXPECT_FALSE(brush.brushHit);
    guiCaptured = 0;
    pointerOverGui = 1;
    Frame();
    EXPECT_FALSE(strokeActive);
    mouseLeft = 0;
}

TEST_F(BrushEngineTest, AltResizingKeepsThePopupWhereItBegan) {
    ShowSphereUnderCursor();
    Frame();
    mouseX = 300;
    mouseY = 200;
    Frame();
    EXPECT_EQ(popupCenter[0], 300);
    keysHeld[KEY_LALT] = 1;
    mouseX = 360;
    Frame();
    EXPECT_TRUE(brushResizing);
    EXPECT_EQ(popupCenter[0], 300);
    EXPECT_EQ(popupCenter[1], 200);
    keysHeld[KEY_LCTRL] = 1;  // Alt with Ctrl is a zoom drag, not resizing
    Frame();
    EXPECT_FALSE(brushResizing);
    EXPECT_EQ(popupCenter[0], 360);
}

TEST_F(BrushEngineTest, ResizingRecomputesRadiusFromTheLastDepth) {
    ShowSphereUnderCursor();
    Frame();
    keysHeld[KEY_LALT] = 1;
    toolSize[currentTool] = 1;
    Frame();
    EXPECT_NEAR(brush.radius, BrushRadius(brush.depth, 1), 1e-3f);
    EXPECT_NEAR(brush.strength, 0.766f, 1e-4f);
}

TEST_F(BrushEngineTest, HitOnTheMirroredHalfWorksOnTheStoredHalf) {
    symmetry = 1;  // only the brush placement reads it here
    ShowSphereUnderCursor();
    mouseX = 525;  // screen right is model -x at yaw 180
    Frame();
    EXPECT_TRUE(brush.mirrored);
    EXPECT_GT(brush.center.x, 0);
    mouseX = 425;
    Frame();
    EXPECT_FALSE(brush.mirrored);
    EXPECT_GT(brush.center.x, 0);
}

TEST_F(BrushEngineTest, GrabDragFollowsTheCursorInTheViewPlane) {
    ShowSphereUnderCursor();
    currentTool = previousTool = TOOL_GRAB;
    mouseLeft = 1;
    Frame();
    ASSERT_TRUE(strokeActive);
    grabDragging = 1;  // GRAB's first step sets it
    ShowBackground();  // the drag must not need the surface any more
    mouseX += 40;
    mouseY -= 25;
    FrameLogic();
    EXPECT_TRUE(brush.brushHit);
    EXPECT_NEAR(Dot(brush.center - brush.anchor, viewToward), 0, 1e-3f);
    EXPECT_GT(Length(brush.center - brush.anchor), 10);
    mouseLeft = 0;
    Frame();
    EXPECT_FALSE(grabDragging);
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
        EXPECT_EQ(brush.center.x, c.x) << tool;
        EXPECT_EQ(brush.screenPos.x, (f32)mouseX) << tool;
        mouseLeft = 0;
        Frame();
        mouseX -= 30;
    }
}

TEST_F(BrushEngineTest, ChangingToolMidStrokeKeepsTheStroke) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frame();
    Type('b');
    EXPECT_TRUE(strokeActive);
    EXPECT_FALSE(brush.strokeStart);
    EXPECT_EQ(currentTool, TOOL_SMOOTH);
    mouseLeft = 0;
}

TEST(ApplyToolDispatch, IdsOutsideTheToolRangeDoNothing) {
    Brush b = brush;
    ApplyTool(b, -1);
    ApplyTool(b, TOOL_COUNT);
    ApplyTool(b, 99);
    EXPECT_EQ(b.radius, brush.radius);
}
