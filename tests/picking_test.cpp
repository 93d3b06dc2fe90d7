// Picking from a synthetic depth patch: the patch at the window's edges, the
// depth formula, zoom, misses, and the plane projection.
#include "frame_fixture.h"

class PickingTest : public ::testing::Test {
protected:
    void SetUp() override {
        windowWidth = 950;
        windowHeight = 650;
        ResetView();
        FillDepthPatch(1.0f);
    }
    void PlaceAt(f32 x, f32 y) { cursorPos[0] = x, cursorPos[1] = y, PlaceDepthPatch(); }
    // With every sample holding its own index, which one a pick at (x, y) read.
    i32 SampleRead(f32 x, f32 y) {
        for (i32 i = 0; i < 100; i++) depthPatch[i] = (f32)i / 1000;
        Vec3 p;
        f32 depth = 0;
        EXPECT_TRUE(Raycast(x, y, p, depth));
        f32 s = (3005 - 30000 / (depth * zoom)) / 2995 / 2 + 0.5f;  // the depth formula, inverted
        return (i32)std::lround(s * 1000);
    }
};

// The 10 x 10 patch puts the cursor on column 5, row 5 (rows count up from
// the window's bottom), shifted inward at the edges; reads outside clamp.
TEST_F(PickingTest, PatchClampsAtCornersAndEdgesAndReadsTheRightSample) {
    struct {
        f32 cx, cy;
        i32 originX, originY;
        f32 x, y;
        i32 sample;
    } cases[] = {
        {475, 325, 470, 319, 475, 325, 55}, {475, 325, 470, 319, 479, 321, 99},
        {475, 325, 470, 319, 471, 329, 11}, {2, 647, 0, 0, 2, 647, 22},
        {2, 647, 0, 0, -30, 700, 0},        {948, 1, 940, 640, 948, 1, 88},
        {948, 1, 940, 640, 960, -5, 99},
    };
    for (auto c : cases) {
        PlaceAt(c.cx, c.cy);
        EXPECT_TRUE(depthPatchOrigin[0] == c.originX && depthPatchOrigin[1] == c.originY) << c.cx;
        EXPECT_EQ(SampleRead(c.x, c.y), c.sample) << c.x << ", " << c.y;
    }
}

TEST_F(PickingTest, DepthFormulaSpansNearToFarHalvesWithDoubledZoomAndMissesBeyond) {
    PlaceAt(475, 325);
    Vec3 p;
    f32 depth = 0;
    FillDepthPatch(0.0f);  // before the first frame the patch is zeros: the near plane
    ASSERT_TRUE(Raycast(475, 325, p, depth));
    EXPECT_NEAR(depth, 5, 1e-3f);
    FillDepthPatch(WindowDepthForEye(400));
    ASSERT_TRUE(Raycast(475, 325, p, depth));
    EXPECT_NEAR(depth, 400, 0.05f);
    // yaw 180 turns the model's -z side to the viewer: the front of the sphere.
    EXPECT_LT(Length(p - Vec3{0, 0, -100}), 0.05f);
    zoom = 2;
    ASSERT_TRUE(Raycast(475, 325, p, depth));
    EXPECT_NEAR(depth, 200, 0.05f);
    zoom = 1;
    FillDepthPatch(WindowDepthForEye(2890));
    EXPECT_TRUE(Raycast(475, 325, p, depth));
    for (f32 s : {WindowDepthForEye(2920), 1.0f}) {
        p = {1, 2, 3};
        depth = 77;
        FillDepthPatch(s);
        EXPECT_FALSE(Raycast(475, 325, p, depth));
        EXPECT_TRUE(p.x == 1 && p.y == 2 && p.z == 3 && depth == 77)
            << "a miss leaves both untouched";
    }
    windowHeight = 1;  // a window with no half height still gives a usable ray
    FillDepthPatch(WindowDepthForEye(400));
    ASSERT_TRUE(Raycast(480, 0, p, depth));
    EXPECT_TRUE(IsFinite(p));
}

// The renderer's transform: eye = zoom x pitch(yaw(p)) - viewOffset, then
// the perspective projection, in the program's degree factor.
static void ProjectLikeRenderer(Vec3 p, f32& x, f32& y) {
    f32 w = viewYaw * 0.017452778f, a = viewPitch * 0.017452778f;
    Vec3 q = {p.x * std::cos(w) + p.z * std::sin(w), p.y, p.z * std::cos(w) - p.x * std::sin(w)};
    Vec3 r = {q.x, q.y * std::cos(a) - q.z * std::sin(a), q.y * std::sin(a) + q.z * std::cos(a)};
    Vec3 eye = r * zoom - viewOffset;
    f32 f = 1 / std::tan(fieldOfView * 0.008726389f);
    f32 half = (f32)(windowHeight / 2);
    x = (f32)(windowWidth / 2) + eye.x / -eye.z * f * half;
    y = half - eye.y / -eye.z * f * half;
}

// The projection lands on the plane under the cursor; a plane parallel to
// the ray (through the window centre at pitch 0 it has y exactly 0) gives
// back the plane point.
TEST_F(PickingTest, ProjectionLandsOnThePlaneUnderTheCursorOrReturnsAParallelPlanesPoint) {
    Vec3 q = ProjectToViewPlane(475, 325, {3, 4, 5}, {0, 1, 0});
    EXPECT_TRUE(q.x == 3 && q.y == 4 && q.z == 5);
    viewPitch = 20;
    viewYaw = 150;
    zoom = 1.5f;
    UpdateViewAxes();
    Vec3 planePoint = {10, -20, 30};
    q = ProjectToViewPlane(600, 200, planePoint, viewToward);
    EXPECT_NEAR(Dot(q - planePoint, viewToward), 0, 1e-3f);
    f32 x, y;
    ProjectLikeRenderer(q, x, y);
    EXPECT_LT(std::hypot(x - 600, y - 200), 0.05f);
}
