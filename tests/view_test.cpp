// View control through whole frames: wheel and keypad steps, latches and
// clamps, zoom smoothing, rotate and pan, the light, and the view axes.
#include "frame_fixture.h"

using ViewControlTest = FrameTest;

TEST_F(ViewControlTest, WheelStepsAllCountAndKeypadStepsOncePerPressPlusWinning) {
    mouseWheel += 5;  // five wheel events within one frame
    Frame();
    EXPECT_NEAR(zoomTarget, std::pow(1.2f, 5), 1e-4f);
    mouseWheel -= 2;
    Frame();
    EXPECT_NEAR(zoomTarget, std::pow(1.2f, 5) * 0.8333333f * 0.8333333f, 1e-4f);
    zoomTarget = 1;
    Press({KEY_KP_PLUS, KEY_KP_MINUS}, 5);
    EXPECT_NEAR(zoomTarget, 1.44f, 1e-5f) << "held: one press of two steps, and minus ignored";
    Frame();
    Press({KEY_KP_MINUS});
    EXPECT_NEAR(zoomTarget, 1.44f * 0.8333333f * 0.8333333f, 1e-5f);
    zoomTarget = 1;
    keysHeld[KEY_LCTRL] = mouseLeft = 1;
    mouseY += 50;  // a Ctrl+Alt+left drag of 50 pixels is one zoom step; without Alt none
    Frame();
    EXPECT_EQ(zoomTarget, 1.0f);
    keysHeld[KEY_LALT] = 1;
    mouseY += 50;
    Frame();
    EXPECT_NEAR(zoomTarget, 1.2f, 1e-5f);
}

TEST_F(ViewControlTest, ToolSizeAndStrengthStepsNeverLeaveZeroToOne) {
    toolSize[currentTool] = 0.5f;
    Press({KEY_LSHIFT, KEY_KP_PLUS}, 10);
    EXPECT_NEAR(toolSize[currentTool], 0.6f, 1e-6f) << "Shift+keypad: one tenth per press";
    EXPECT_EQ(zoomTarget, 1.0f);
    toolSize[currentTool] = 0.95f;
    keysHeld[KEY_RSHIFT] = 1;
    for (i32 wheel : {1, 3}) {
        mouseWheel += wheel;
        Frame();
        EXPECT_EQ(toolSize[currentTool], 1.0f);
    }
    keysHeld[KEY_RSHIFT] = 0;
    keysHeld[KEY_RCTRL] = 1;
    toolStrength[currentTool] = 0.05f;
    mouseWheel -= 4;
    Frame();
    EXPECT_TRUE(toolStrength[currentTool] == 0 && toolSize[currentTool] == 1);
}

TEST_F(ViewControlTest, SettledZoomAcceleratesAgainFromOneTenth) {
    Frames(40);
    ASSERT_EQ(zoomBlend, 1.0f);
    mouseWheel++;
    Frame();
    EXPECT_NEAR(zoom, 1 + 0.2f * 0.1f, 1e-5f) << "blend 0.1";
    Frame();
    EXPECT_NEAR(zoomBlend, 0.2f, 1e-6f);
    Frames(40);
    EXPECT_NEAR(zoom, 1.2f, 0.012f);
}

// A drag of (20, 10) pixels rotates by a third of a degree per pixel, slower
// when zoomed in but never faster when zoomed out, or pans half a unit per pixel.
TEST_F(ViewControlTest, DragChoiceFollowsButtonsAndKeysAtItsRate) {
    struct {
        u8 left, right, middle, space, shift;
        f32 zoom, yaw;  // yaw turned; NAN: pans instead
    } cases[] = {
        {0, 0, 1, 0, 0, 1, 20.0f / 3},
        {0, 0, 1, 0, 0, 4, 5.0f / 3},
        {0, 0, 1, 0, 0, 0.5f, 20.0f / 3},
        {0, 0, 1, 1, 0, 1, NAN},
        {0, 0, 1, 0, 1, 1, NAN},
        {1, 0, 0, 1, 0, 1, 20.0f / 3},
        {1, 0, 0, 1, 1, 1, NAN},
        {0, 1, 0, 1, 0, 1, NAN},
        {1, 1, 0, 1, 0, 1, 20.0f / 3},
        {1, 0, 0, 0, 0, 1, 0},
        {0, 1, 0, 0, 0, 1, 0},  // the right button alone strokes, it never drags
    };
    for (auto c : cases) {
        ResetFrameGlobals();
        zoom = zoomTarget = c.zoom;
        Frame();
        mouseLeft = c.left, mouseRight = c.right, mouseMiddle = c.middle;
        keysHeld[KEY_SPACE] = c.space, keysHeld[KEY_LSHIFT] = c.shift;
        mouseX += 20, mouseY += 10;
        Frame();
        bool pans = std::isnan(c.yaw);
        EXPECT_NEAR(viewYaw, 180 + (pans ? 0 : c.yaw), 1e-4f) << +c.left << +c.right << +c.middle;
        EXPECT_TRUE(viewOffset.x == (pans ? -10 : 0) && viewOffset.y == (pans ? 5 : 0));
    }
}

// Pointer (0, 0) is how the window reports "off the window"; a press
// raises the interface's press edge on its first frame only.
TEST_F(ViewControlTest, PointerAtOriginReadsOffWindowAndPressEdgeLastsOneFrame) {
    Frame();
    mouseX = mouseY = 0;
    mouseLeft = 1;
    FrameLogic();
    EXPECT_TRUE(frameMouseX == -1000 && guiPointer.x == -1000 && prevFrameMouseX == 475);
    EXPECT_TRUE(guiButtonPressed);
    guiButtonPressed = 0;
    FrameLogic();
    EXPECT_TRUE(!guiButtonPressed && guiButtonHeld);
}

TEST_F(ViewControlTest, LightFollowsPointerOnlyWhileLHeld) {
    mouseX = 950;
    mouseY = 0;
    keysHeld[KEY_L] = 1;
    Frame();
    EXPECT_TRUE(lightWeights[0] == 2 && lightWeights[1] == 2 && lightWeights[2] == 1);
    keysHeld[KEY_L] = mouseX = 0;
    Frame();
    EXPECT_EQ(lightWeights[0], 2);
}

TEST_F(ViewControlTest, ViewAxesAreOrthonormalAndMatchTheScreen) {
    viewYaw = 90;
    Frame();  // every frame derives the axes from the angles
    Vec3 framed = viewRight;
    UpdateViewAxes();
    EXPECT_TRUE(framed.x == viewRight.x && framed.z == viewRight.z && viewRight.x != 1);
    for (f32 pitch : {0.0f, 30.0f, -75.0f}) {
        for (f32 yaw : {0.0f, 180.0f, 47.0f}) {
            viewPitch = pitch, viewYaw = yaw;
            UpdateViewAxes();
            SCOPED_TRACE(testing::Message() << "pitch " << pitch << " yaw " << yaw);
            EXPECT_NEAR(Length(viewRight) + Length(viewDown), 2, 1e-5f);
            EXPECT_NEAR(std::fabs(Dot(viewRight, viewDown)) + std::fabs(Dot(viewDown, viewToward)),
                        0, 1e-5f);
            // The ray through the window centre runs against viewToward, and
            // screen right and down agree with its drift across the window.
            Vec3 a = ProjectToViewPlane(475, 325, {0, 0, 0}, viewToward);
            Vec3 b = ProjectToViewPlane(475, 325, viewToward * 50, viewToward);
            EXPECT_NEAR(Dot(Normalized(a - b), viewToward), -1, 1e-4f);
            Vec3 right = ProjectToViewPlane(575, 325, {0, 0, 0}, viewToward) - a;
            Vec3 down = ProjectToViewPlane(475, 425, {0, 0, 0}, viewToward) - a;
            EXPECT_GT(Dot(Normalized(right), viewRight), 0.999f);
            EXPECT_GT(Dot(Normalized(down), viewDown), 0.999f);
        }
    }
}
