// The six surface brushes against the numbers they promise: how far DRAW,
// INFLATE and CREASE go, which side FLATTEN and PINCH act on, what SMOOTH
// keeps in place, mask weighting, the symmetric blend, and brushes that
// must leave the mesh alone.
#include "sculpt_fixture.h"
#include "tools/surfacepasses.h"

namespace {

// A fresh start plane (300 x 300 at y = 0, edges 18.75; the last mesh checked
// first) under a brush at the origin, with refinement off so slots stay put
// and every move can be traced.
void FlatPlane(f32 radius = 40, f32 strength = 1) {
    CheckAndReset();
    detailBias = 0;
    BuildPlane();
    brush.cullValid = 0;
    PlaceBrush({0, 0, 0}, radius, strength);
}

Vertex& At(Vec3 p) { return vertices[NearestVertex(p)]; }

// DRAW steps with the cursor held over whichever vertex near the brush is
// highest (lowest when inverted): relaxation may slide a traced vertex off
// the top of a tall bump, differently from run to run in parallel.
void DrawFollowingTheTop(i32 count) {
    for (i32 i = 0; i < count; i++) {
        i32 top = -1;
        f32 sign = brush.strength < 0 ? -1.0f : 1.0f;
        for (i32 k = 0; k < vertexCapacity; k++) {
            const Vertex& v = vertices[k];
            Vec3 d = v.position - brush.center;
            if (!v.active || d.x * d.x + d.z * d.z > 0.25f * brush.radius * brush.radius) continue;
            if (top < 0 || sign * v.position.y > sign * vertices[top].position.y) top = k;
        }
        if (top >= 0) brush.center = vertices[top].position;
        DrawTool(brush);
        FrameUpkeep();
    }
}

std::pair<f32, f32> YRange() {
    f32 lo = 1e30f, hi = -1e30f;
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        lo = std::fmin(lo, vertices[i].position.y);
        hi = std::fmax(hi, vertices[i].position.y);
    }
    return {lo, hi};
}

}  // namespace

class SurfaceTest : public SculptTest {};

TEST_F(SurfaceTest, DrawMovesAFlatPatchTowardOneRadiusAndNeverBeyond) {
    const f32 r = 60;
    for (f32 strength : {1.0f, -1.0f}) {
        SCOPED_TRACE(strength);
        FlatPlane(r, strength);
        for (i32 i = 0; i < 150; i++) {
            DrawFollowingTheTop(1);
            auto [lo, hi] = YRange();
            ASSERT_LE(strength > 0 ? hi : -lo, r * 1.001f) << "step " << i;
            ASSERT_LE(strength > 0 ? -lo : hi, 0.0f) << "step " << i;  // never the other way
        }
        EXPECT_GT(strength * At({0, strength * r, 0}).position.y, 0.95f * r);
    }
}

TEST_F(SurfaceTest, SecondDrawStrokeBuildsOnTheRaisedSurface) {
    const f32 r = 60;
    FlatPlane(r, 1);
    // A bump this tall on so coarse a mesh makes relaxation chaotic: threads
    // that slide neighbours in a different order can fold the top, and then
    // the second stroke has no outward normal to push along.
    mtBeautify = 0;
    DrawFollowingTheTop(100);
    EndTestStroke();
    DrawFollowingTheTop(100);
    EXPECT_GT(YRange().second, 1.3f * r);
}

// One step at the centre: DRAW moves 0.1 x rate (0.6 |S|^1.3) x SmoothStep(1)
// of one radius, INFLATE 2 % toward the point 1.5 radii out (in when
// inverted); both times the mask.
TEST_F(SurfaceTest, OneStepMovesTheCentreByTheToolsRateTimesTheMask) {
    const std::pair<ToolFn, f32> rises[] = {{DrawTool, 0.06f * 40},
                                            {InflateTool, 0.02f * 60 * std::sin(1.57075f)}};
    for (f32 mask : {1.0f, 0.5f}) {
        for (f32 strength : {1.0f, -1.0f}) {
            for (auto [tool, rise] : rises) {
                FlatPlane(40, strength);
                for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = mask;
                maskView = mask < 1;
                tool(brush);
                EXPECT_NEAR(At({0, 0, 0}).position.y, strength * mask * rise, 1e-4f)
                    << "mask " << mask << " strength " << strength;
                EXPECT_EQ(brush.radius, 40);
            }
        }
    }
}

// Threads sum their shares in thread order and move only their own stride:
// the result must not depend on how the work was split.
TEST_F(SurfaceTest, ParallelDrawMatchesSerialDraw) {
    std::vector<Vec3> result[2];
    mtBeautify = 0;  // parallel relaxation takes neighbours as they fall: not repeatable
    for (i32 run = 0; run < 2; run++) {
        CheckAndReset();
        BuildSphere();
        mtDraw = run;
        brush.cullValid = 0;
        PlaceBrush({0, 0, 100}, 15, 1.5f);
        for (i32 i = 0; i < 5; i++) {
            DrawTool(brush);
            UpdateNormals();
            RunMaybeParallel(EdgeLengthJob, 0);
        }
        result[run] = TakePositions();
    }
    ASSERT_EQ(result[0].size(), result[1].size());
    for (size_t i = 0; i < result[0].size(); i++)
        EXPECT_LT(Length(result[0][i] - result[1][i]), 1e-3f) << "vertex " << i;
}

// A raised fan: centre (0, 1, 0) over six rim vertices at y = 0 and horizontal
// distance a, so every spoke is sqrt(a^2 + 1) long. SMOOTH pulls the centre
// down by rate 0.8 x weight sin(1.57075) x min(1, 5 / (spoke + 1)).
TEST_F(SurfaceTest, SmoothIsFullStrengthUpToEdgesOfFourUnitsThenFiveOverLengthPlusOne) {
    for (f32 spoke : {4.0f, 9.0f}) {
        CheckAndReset();
        f32 a = std::sqrt(spoke * spoke - 1);
        Vertex* centre = AddVertex(0, 1, 0);
        for (f32 k = 0; k < 6; k++) {
            f32 angle = 1.0471976f * k;
            AddVertex(a * std::cos(angle), 0, a * std::sin(angle));
        }
        for (i32 k = 1; k <= 6; k++) AddTriangle(centre, &vertices[k % 6 + 1], &vertices[k]);
        CollectAll(workset);
        UpdateNormals();
        PlaceBrush({0, 1, 0}, spoke, 1);
        SmoothTool(brush);
        f32 factor = std::fmin(1, 5 / (spoke + 1));
        EXPECT_NEAR(centre->position.y, 1 - factor * 0.8f * std::sin(1.57075f), 1e-5f) << spoke;
    }
}

// A zigzag in y along a line of vertices, smoothed: a border vertex may slide
// only along the border, a mirror-line vertex must stay at x = 0.
TEST_F(SurfaceTest, SmoothKeepsBorderVerticesOnTheBorderAndMirrorLineVerticesOnThePlane) {
    for (bool seam : {false, true}) {
        SCOPED_TRACE(seam ? "mirror line" : "border");
        FlatPlane();
        if ((symmetry = seam)) CutToHalf();
        std::vector<i32> line;
        for (i32 i = 0; i < vertexCapacity; i++) {
            Vertex& v = vertices[i];
            if (!v.active || (seam ? !v.onMirrorLine : v.position.z != -150)) continue;
            line.push_back(i);
            f32 along = seam ? v.position.z : v.position.x;
            v.position.y = std::lround(along / 18.75f) % 2 ? 3.0f : -3.0f;
        }
        CollectAll(workset);
        UpdateNormals();
        RunMaybeParallel(EdgeLengthJob, 0);
        PlaceBrush({0, 0, seam ? 0.0f : -150.0f}, 60, 1);
        for (i32 i = 0; i < 10; i++) SmoothTool(brush);
        f32 zigzag = 0;
        for (i32 i : line) {
            Vec3 p = vertices[i].position;
            EXPECT_NEAR(seam ? p.x : p.z + 150, 0.0f, seam ? 0.0f : 1e-4f) << "vertex " << i;
            if (std::fabs(seam ? p.z : p.x) < 20) zigzag = std::fmax(zigzag, std::fabs(p.y));
        }
        EXPECT_EQ(line.size(), 17u);
        EXPECT_LT(zigzag, 2.0f);  // smoothed along the line
    }
}

// Vertices near the centre alternate 4 above and 4 below the plane y = 0.
// FLATTEN lowers those above and leaves those below; inverted, it pushes
// both sides away from the plane.
TEST_F(SurfaceTest, FlattenActsOnlyAboveThePlaneAndInvertedPushesBothSidesAway) {
    for (f32 strength : {1.0f, -1.0f}) {
        SCOPED_TRACE(strength);
        FlatPlane(40, strength);
        for (i32 i = 0; i < vertexCapacity; i++) {
            Vertex& v = vertices[i];
            if (!v.active || Length(v.position) > 80) continue;
            v.position.y = v.refPosition.y = (i % 2) ? 4.0f : -4.0f;
        }
        CollectAll(workset);
        UpdateNormals();
        std::vector<Vec3> before = TakePositions();
        FlattenTool(brush);
        i32 lowered = 0;
        for (i32 i = 0; i < vertexCapacity; i++) {
            const Vertex& v = vertices[i];
            f32 was = before[(size_t)i].y;
            if (!v.active || Length(v.position) > 45 || was == 0) continue;
            if (strength > 0 && was < 0) { EXPECT_EQ(v.position.y, was) << "vertex " << i; }
            if (strength < 0) { EXPECT_GE(v.position.y * was, was * was) << "vertex " << i; }
            lowered += v.position.y < was;
        }
        if (strength > 0)
            EXPECT_GT(lowered, 3);
        else
            EXPECT_GT(std::fabs(At({0, 0, 0}).position.y), 4.0f);
    }
}

TEST_F(SurfaceTest, PinchPullsTowardTheCentreAndInvertedPushesAway) {
    for (f32 strength : {1.0f, -1.0f}) {
        SCOPED_TRACE(strength);
        FlatPlane(40, strength);
        std::vector<Vec3> before = TakePositions();
        PinchTool(brush);
        i32 moved = 0;
        for (i32 i = 0; i < vertexCapacity; i++) {
            f32 was = Length(before[(size_t)i]);
            if (!vertices[i].active || was == 0 || was >= 1.5f * 40 / 1.3f) continue;
            EXPECT_LT(strength * Length(vertices[i].position), strength * was) << "vertex " << i;
            moved++;
        }
        EXPECT_GT(moved, 8);
    }
}

// CREASE settles a sixth of the radius deep, inverted 1.4 sixths high.
TEST_F(SurfaceTest, CreaseCutsASixthOfTheRadiusDeepAndInvertedRisesOnePointFourSixths) {
    for (f32 strength : {1.0f, -1.0f}) {
        FlatPlane(60, strength);
        Vertex& centre = At({0, 0, 0});
        for (i32 i = 0; i < 60; i++) {
            brush.center = centre.position;  // the pick follows the groove
            CreaseTool(brush);
        }
        EXPECT_NEAR(centre.position.y, strength > 0 ? -10.0f : 1.4f * 10, 1e-3f) << strength;
    }
}

TEST_F(SurfaceTest, MaskedVerticesStayPutWhileRefinementGoesOn) {
    for (const SurfaceTool& tool : surfaceTools) {
        CheckAndReset();
        BuildPlane();
        maskView = 1;
        brush.cullValid = 0;
        PlaceBrush({10, 0, 10}, 40, 1);
        std::vector<Vec3> before = TakePositions();
        i32 trianglesBefore = liveTriangleCount, verticesBefore = liveVertexCount;
        tool.fn(brush);
        for (size_t i = 0; i < (size_t)verticesBefore; i++)  // a fresh build fills slots from 0
            EXPECT_EQ(Length(vertices[i].position - before[i]), 0) << tool.name << " vertex " << i;
        EXPECT_EQ(liveTriangleCount > trianglesBefore, tool.id != TOOL_SMOOTH) << tool.name;
    }
}

// A brush off the mesh, or with a zero or broken radius (which would divide
// every falloff by zero), leaves mesh and radius alone.
TEST_F(SurfaceTest, BrushOffTheMeshOrWithUnusableRadiusChangesNothing) {
    BuildPlane();
    i32 trianglesBefore = liveTriangleCount;
    std::vector<Vec3> before = TakePositions();
    const std::pair<Vec3, f32> places[] = {
        {{0, 500, 0}, 20}, {{0, 0, 0}, 0}, {{0, 0, 0}, -5}, {{0, 0, 0}, NAN}};
    for (auto [centre, radius] : places) {
        for (const SurfaceTool& tool : surfaceTools) {
            brush.cullValid = 0;
            PlaceBrush(centre, radius, 1);
            tool.fn(brush);
            bool same = brush.radius == radius || (std::isnan(radius) && std::isnan(brush.radius));
            EXPECT_TRUE(same) << tool.name;
        }
    }
    EXPECT_EQ(liveTriangleCount, trianglesBefore);
    std::vector<Vec3> after = TakePositions();
    for (size_t i = 0; i < before.size(); i++) EXPECT_EQ(Length(after[i] - before[i]), 0) << i;
}

// With the centre on the plane (k = 0.5) a seam vertex gets half the direct
// and half the mirrored pull: exactly what the whole mesh gives it without
// symmetry. A vertex off the seam gets k (w + w'') of it.
TEST_F(SurfaceTest, SymmetricDrawOnThePlaneCountsEachHalfOnce) {
    const f32 r = 40;
    FlatPlane(r, 1);
    DrawTool(brush);
    std::vector<Vec3> whole = TakePositions();
    FlatPlane(r, 1);
    symmetry = 1;
    CutToHalf();
    DrawTool(brush);
    i32 compared = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        f32 t = 1.3f * Length(v.refPosition) / r;
        if (!v.active || !(t < 1)) continue;
        f32 w = SmoothStep(1 - t);
        f32 wm = SmoothStep(1 - 1.3f * Length(MirrorX(v.refPosition)) / r);
        f32 full = whole[(size_t)i].y;  // the same slot holds the same vertex
        EXPECT_NEAR(v.position.y, full * 0.5f * (w + wm) / w, 1e-4f) << "vertex " << i;
        if (v.onMirrorLine) { EXPECT_NEAR(v.position.y, full, 1e-4f) << "vertex " << i; }
        compared++;
    }
    EXPECT_GT(compared, 5);
}
