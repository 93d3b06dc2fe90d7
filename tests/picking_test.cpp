// Picking from a synthetic depth patch: where the patch is read near the
// window's corners and edges, which sample a position reads, the depth
// formula, zoom, misses, and the plane projection GRAB drags in. The round
// trip projects a model point the way the renderer does and picks it back.
#include <cmath>
#include "app/settings.h"
#include "app/view.h"
#include "frame_fixture.h"
#include "tools/picking.h"

class PickingTest : public ::testing::Test {
protected:
    void SetUp() override {
        windowWidth = 950;
        windowHeight = 650;
        ResetView();
        FillDepthPatch(1.0f);
    }
    // Every sample holds its own index, so a pick tells which one it read.
    void NumberSamples() {
        for (i32 i = 0; i < 100; i++) depthPatch[i] = (f32)i / 1000;
    }
    i32 SampleRead(f32 x, f32 y) {
        Vec3 p;
        f32 depth = 0;
        EXPECT_TRUE(Raycast(x, y, p, depth));
        f32 eye = depth * zoom;
        f32 s = (3005 - 30000 / eye) / 2995 / 2 + 0.5f;  // the depth formula, inverted
        return (i32)std::lround(s * 1000);
    }
};

TEST_F(PickingTest, CursorLandsOnColumnFiveRowFive) {
    cursorPos[0] = 475;
    cursorPos[1] = 325;
    PlaceDepthPatch();
    EXPECT_EQ(depthPatchOrigin[0], 470);
    EXPECT_EQ(depthPatchOrigin[1], 319);
    NumberSamples();
    EXPECT_EQ(SampleRead(475, 325), 55);
    EXPECT_EQ(SampleRead(479, 321), 9 * 10 + 9);  // four pixels right and up
    EXPECT_EQ(SampleRead(471, 329), 1 * 10 + 1);
}

TEST_F(PickingTest, BottomLeftCornerClampsOriginToZero) {
    cursorPos[0] = 2;
    cursorPos[1] = 647;
    PlaceDepthPatch();
    EXPECT_EQ(depthPatchOrigin[0], 0);
    EXPECT_EQ(depthPatchOrigin[1], 0);
    NumberSamples();
    EXPECT_EQ(SampleRead(2, 647), 2 * 10 + 2);  // row = height - y - 1
    EXPECT_EQ(SampleRead(-30, 700), 0);         // outside: clamped to the first sample
}

TEST_F(PickingTest, TopRightEdgeShiftsThePatchInward) {
    cursorPos[0] = 948;
    cursorPos[1] = 1;
    PlaceDepthPatch();
    EXPECT_EQ(depthPatchOrigin[0], 940);
    EXPECT_EQ(depthPatchOrigin[1], 640);
    NumberSamples();
    EXPECT_EQ(SampleRead(948, 1), 8 * 10 + 8);
    EXPECT_EQ(SampleRead(960, -5), 99);  // beyond the window: the patch's last sample
}

TEST_F(PickingTest, DepthFormulaSpansNearToFarAndBackgroundMisses) {
    cursorPos[0] = 475;
    cursorPos[1] = 325;
    PlaceDepthPatch();
    Vec3 p;
    f32 depth = 0;
    FillDepthPatch(0.0f);  // before the first frame the patch is zeros: the near plane
    ASSERT_TRUE(Raycast(475, 325, p, depth));
    EXPECT_NEAR(depth, 5, 1e-3f);
    FillDepthPatch(WindowDepthForEye(400));
    ASSERT_TRUE(Raycast(475, 325, p, depth));
    EXPECT_NEAR(depth, 400, 0.05f);
    // yaw 180 turns the model's -z side to the viewer: the front of the sphere.
    EXPECT_NEAR(p.x, 0, 0.02f);
    EXPECT_NEAR(p.y, 0, 1e-4f);
    EXPECT_NEAR(p.z, -100, 0.05f);
    FillDepthPatch(WindowDepthForEye(2890));
    EXPECT_TRUE(Raycast(475, 325, p, depth));
    FillDepthPatch(WindowDepthForEye(2920));
    EXPECT_FALSE(Raycast(475, 325, p, depth));
}

TEST_F(PickingTest, MissLeavesPointAndDepthUntouched) {
    Vec3 p = {1, 2, 3};
    f32 depth = 77;
    FillDepthPatch(1.0f);
    EXPECT_FALSE(Raycast(475, 325, p, depth));
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.z, 3);
    EXPECT_EQ(depth, 77);
}

TEST_F(PickingTest, DoublingZoomHalvesDepthForTheSameSample) {
    cursorPos[0] = 475;
    cursorPos[1] = 325;
    PlaceDepthPatch();
    FillDepthPatch(WindowDepthForEye(400));
    Vec3 p;
    f32 depth1 = 0, depth2 = 0;
    Raycast(475, 325, p, depth1);
    zoom = 2;
    Raycast(475, 325, p, depth2);
    EXPECT_NEAR(depth2, depth1 / 2, 1e-3f);
}

// The renderer's transform: eye = zoom x pitch(yaw(p)) - viewOffset, then
// the perspective projection, in the program's degree factor.
static bool ProjectLikeRenderer(Vec3 p, f32& x, f32& y, f32& s) {
    f32 w = viewYaw * 0.017452778f, a = viewPitch * 0.017452778f;
    Vec3 q = {p.x * std::cos(w) + p.z * std::sin(w), p.y, p.z * std::cos(w) - p.x * std::sin(w)};
    Vec3 r = {q.x, q.y * std::cos(a) - q.z * std::sin(a), q.y * std::sin(a) + q.z * std::cos(a)};
    Vec3 eye = r * zoom - viewOffset;
    if (eye.z >= -5) return false;
    f32 f = 1 / std::tan(fieldOfView * 0.008726389f);
    f32 half = (f32)(windowHeight / 2);
    x = (f32)(windowWidth / 2) + eye.x / -eye.z * f * half;
    y = half - eye.y / -eye.z * f * half;
    s = WindowDepthForEye(-eye.z);
    return true;
}

TEST_F(PickingTest, PickRecoversTheProjectedPointAtAnyZoomAndAngle) {
    Vec3 points[] = {{0, 0, -100}, {40, -30, -80}, {-70, 60, 20}};
    struct { f32 zoom, pitch, yaw; } views[] = {{1, 0, 180}, {2, 0, 180}, {0.7f, 35, 120}, {3, -20, 10}};
    for (auto v : views) {
        ResetView();
        zoom = v.zoom;
        viewPitch = v.pitch;
        viewYaw = v.yaw;
        for (Vec3 p : points) {
            f32 x, y, s;
            if (!ProjectLikeRenderer(p, x, y, s)) continue;
            cursorPos[0] = x;
            cursorPos[1] = y;
            PlaceDepthPatch();
            FillDepthPatch(s);
            Vec3 hit;
            f32 depth = 0;
            ASSERT_TRUE(Raycast(x, y, hit, depth));
            EXPECT_LT(Length(hit - p), 0.05f * 500 / zoom / 100)
                << "zoom " << v.zoom << " pitch " << v.pitch << " yaw " << v.yaw;
        }
    }
}

TEST_F(PickingTest, PlaneParallelToTheRayReturnsThePlanePoint) {
    // Through the window centre at pitch 0 the ray has y exactly 0.
    Vec3 planePoint = {3, 4, 5};
    Vec3 q = ProjectToViewPlane(475, 325, planePoint, {0, 1, 0});
    EXPECT_EQ(q.x, 3);
    EXPECT_EQ(q.y, 4);
    EXPECT_EQ(q.z, 5);
}

TEST_F(PickingTest, ProjectionLandsOnThePlaneAndUnderTheCursor) {
    viewPitch = 20;
    viewYaw = 150;
    zoom = 1.5f;
    UpdateViewAxes();
    Vec3 planePoint = {10, -20, 30};
    Vec3 q = ProjectToViewPlane(600, 200, planePoint, viewToward);
    EXPECT_NEAR(Dot(q - planePoint, viewToward), 0, 1e-3f);
    f32 x, y, s;
    ASSERT_TRUE(ProjectLikeRenderer(q, x, y, s));
    EXPECT_NEAR(x, 600, 0.05f);
    EXPECT_NEAR(y, 200, 0.05f);
}
