// The six surface brushes against the numbers they promise: how far DRAW,
// INFLATE and CREASE go, which side FLATTEN and PINCH act on, what SMOOTH
// keeps in place, mask weighting, the symmetric blend, and that no step
// breaks the mesh or the brush record.
#include "sculpt_fixture.h"
#include "tools/surfacepasses.h"

namespace {

// The start plane (300 x 300 at y = 0, edges 18.75) with refinement off, so
// vertex slots stay put and every move can be traced.
void FlatPlane() {
    detailBias = 0;
    BuildPlane();
}

Vertex& At(Vec3 p) { return vertices[NearestVertex(p)]; }

void Steps(ToolFn tool, i32 count, bool upkeep) {
    for (i32 i = 0; i < count; i++) {
        tool(brush);
        if (upkeep) FrameUpkeep();
    }
}

// A cursor held still over the top of a bump picks the bump's top each frame.
void StepsFollowing(const Vertex& picked, i32 count) {
    for (i32 i = 0; i < count; i++) {
        brush.center = picked.position;
        DrawTool(brush);
        FrameUpkeep();
    }
}

// Like StepsFollowing, but over whichever vertex near the brush is highest:
// relaxation may slide a traced vertex off the top of a tall bump, and in
// parallel it does so differently from run to run.
void StepsFollowingHighest(i32 count) {
    for (i32 i = 0; i < count; i++) {
        i32 highest = -1;
        for (i32 k = 0; k < vertexCapacity; k++) {
            const Vertex& v = vertices[k];
            Vec3 d = v.position - brush.center;
            if (!v.active || d.x * d.x + d.z * d.z > 0.25f * brush.radius * brush.radius) continue;
            if (highest < 0 || v.position.y > vertices[highest].position.y) highest = k;
        }
        if (highest >= 0) brush.center = vertices[highest].position;
        DrawTool(brush);
        FrameUpkeep();
    }
}

f32 MaxY() {
    f32 m = -1e30f;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) m = std::fmax(m, vertices[i].position.y);
    return m;
}

f32 MinY() {
    f32 m = 1e30f;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) m = std::fmin(m, vertices[i].position.y);
    return m;
}

}  // namespace

class SurfaceTest : public SculptTest {};

// ================================================================ DRAW

TEST_F(SurfaceTest, DrawRaisesAFlatPatchTowardOneRadiusAndNeverBeyond) {
    FlatPlane();
    const f32 r = 60;
    PlaceBrush({0, 0, 0}, r, 1);
    Vertex& top = At({0, 0, 0});
    for (i32 i = 0; i < 150; i++) {
        StepsFollowing(top, 1);
        ASSERT_LE(MaxY(), r * 1.001f) << "step " << i;
    }
    EXPECT_GT(top.position.y, 0.95f * r);
}

TEST_F(SurfaceTest, SecondDrawStrokeBuildsOnTheRaisedSurface) {
    FlatPlane();
    const f32 r = 60;
    PlaceBrush({0, 0, 0}, r, 1);
    // A bump this tall on so coarse a mesh makes relaxation chaotic: threads
    // that slide neighbours in a different order can fold the top, and then
    // the second stroke has no outward normal to push along.
    mtBeautify = 0;
    StepsFollowingHighest(100);
    EndTestStroke();
    StepsFollowingHighest(100);
    EXPECT_GT(MaxY(), 1.3f * r);
}

TEST_F(SurfaceTest, InvertedDrawLowersAndRaisesNothing) {
    FlatPlane();
    const f32 r = 60;
    PlaceBrush({0, 0, 0}, r, -1);
    Vertex& bottom = At({0, 0, 0});
    for (i32 i = 0; i < 100; i++) {
        StepsFollowing(bottom, 1);
        ASSERT_LE(MaxY(), 0.0f) << "step " << i;
    }
    EXPECT_LT(bottom.position.y, -0.9f * r);
    EXPECT_GE(MinY(), -r * 1.001f);
}

TEST_F(SurfaceTest, DrawStepMovesTheCentreBySixPercentAtFullStrength) {
    FlatPlane();
    PlaceBrush({0, 0, 0}, 40, 1);
    Vertex& top = At({0, 0, 0});
    DrawTool(brush);
    // 0.1 x rate (0.6 |S|^1.3) x SmoothStep(1) of one radius.
    EXPECT_NEAR(top.position.y, 0.06f * 40, 1e-4f);
}

TEST_F(SurfaceTest, MaskScalesTheDrawWeight) {
    FlatPlane();
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.5f;
    maskView = 1;
    PlaceBrush({0, 0, 0}, 40, 1);
    Vertex& top = At({0, 0, 0});
    DrawTool(brush);
    EXPECT_NEAR(top.position.y, 0.5f * 0.06f * 40, 1e-4f);
}

// Threads sum their shares in thread order and move only their own stride:
// the result must not depend on how the work was split.
TEST_F(SurfaceTest, ParallelDrawMatchesSerialDraw) {
    std::vector<Vec3> result[2];
    mtBeautify = 0;  // parallel relaxation takes neighbours as they fall: not repeatable
    for (i32 run = 0; run < 2; run++) {
        ResetAllocation();
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
    for (size_t i = 0; i < result[0].size(); i++) {
        EXPECT_NEAR(result[0][i].x, result[1][i].x, 1e-3f) << "vertex " << i;
        EXPECT_NEAR(result[0][i].y, result[1][i].y, 1e-3f) << "vertex " << i;
        EXPECT_NEAR(result[0][i].z, result[1][i].z, 1e-3f) << "vertex " << i;
    }
}

// ================================================================ SMOOTH

//        rim (6 vertices at y = 0, horizontal distance a)
//      /  |  \        .
//   ---- centre (0, 1, 0) ----     every spoke ell = sqrt(a^2 + 1) long
static Vertex* MakeRaisedFan(f32 a) {
    Vertex* centre = AddVertex(0, 1, 0);
    Vertex* rim[6];
    for (i32 k = 0; k < 6; k++) {
        f32 angle = 1.0471976f * (f32)k;
        rim[k] = AddVertex(a * std::cos(angle), 0, a * std::sin(angle));
    }
    for (i32 k = 0; k < 6; k++) AddTriangle(centre, rim[(k + 1) % 6], rim[k]);
    CollectAll(workset);
    UpdateNormals();
    return centre;
}

TEST_F(SurfaceTest, SmoothIsFullStrengthUpToEdgesOfFourUnits) {
    Vertex* centre = MakeRaisedFan(std::sqrt(15.0f));  // spokes exactly 4
    PlaceBrush({0, 1, 0}, 4, 1);
    SmoothTool(brush);
    // factor min(1, 5 / (4 + 1)) = 1, weight sin(1.57075), rate 0.8
    EXPECT_NEAR(centre->position.y, 1 - 0.8f * std::sin(1.57075f), 1e-5f);
}

TEST_F(SurfaceTest, SmoothWeakensOnLongEdges) {
    Vertex* centre = MakeRaisedFan(std::sqrt(80.0f));  // spokes exactly 9
    PlaceBrush({0, 1, 0}, 9, 1);
    SmoothTool(brush);
    // factor 5 / (9 + 1) = 0.5
    EXPECT_NEAR(centre->position.y, 1 - 0.5f * 0.8f * std::sin(1.57075f), 1e-5f);
}

TEST_F(SurfaceTest, SmoothKeepsBorderVerticesOnTheBorder) {
    FlatPlane();
    std::vector<i32> border;
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active || v.position.z != -150) continue;
        border.push_back(i);
        i32 column = (i32)std::lround(v.position.x / 18.75f);
        v.position.y = (column % 2) ? 3.0f : -3.0f;  // a zigzag along the border
    }
    CollectAll(workset);
    UpdateNormals();
    RunMaybeParallel(EdgeLengthJob, 0);
    PlaceBrush({0, 0, -150}, 60, 1);
    Steps(SmoothTool, 10, false);
    f32 zigzag = 0;
    for (i32 i : border) {
        const Vertex& v = vertices[i];
        EXPECT_NEAR(v.position.z, -150.0f, 1e-4f) << "vertex " << i;
        if (std::fabs(v.position.x) < 20) zigzag = std::fmax(zigzag, std::fabs(v.position.y));
    }
    EXPECT_LT(zigzag, 2.0f);  // smoothed along the border
}

TEST_F(SurfaceTest, SmoothKeepsMirrorLineVerticesOnThePlane) {
    FlatPlane();
    symmetry = 1;
    CutToHalf();
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (v.active && v.onMirrorLine) v.position.y = std::lround(v.position.z / 18.75f) % 2 ? 3.0f : -3.0f;
    }
    CollectAll(workset);
    PlaceBrush({0, 0, 0}, 60, 1);
    Steps(SmoothTool, 10, false);
    i32 seam = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active || !v.onMirrorLine) continue;
        seam++;
        EXPECT_EQ(v.position.x, 0.0f) << "vertex " << i;
    }
    EXPECT_EQ(seam, 17);
}

// ================================================================ INFLATE

TEST_F(SurfaceTest, InflateMovesTwoPercentTowardThePointOneRadiusOut) {
    FlatPlane();
    PlaceBrush({0, 0, 0}, 40, 1);
    Vertex& top = At({0, 0, 0});
    InflateTool(brush);
    f32 R = 1.5f * 40;
    EXPECT_NEAR(top.position.y, 0.02f * R * std::sin(1.57075f), 1e-4f);
    EXPECT_EQ(brush.radius, 40);
}

TEST_F(SurfaceTest, InvertedInflateDeflates) {
    FlatPlane();
    PlaceBrush({0, 0, 0}, 40, -1);
    Steps(InflateTool, 20, true);
    EXPECT_LT(At({0, 0, 0}).position.y, -1.0f);
    EXPECT_LE(MaxY(), 1e-4f);
}

// ================================================================ FLATTEN

// Vertices near the centre alternate 4 above and 4 below the plane y = 0.
static void Corrugate() {
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active || Length(v.position) > 80) continue;
        v.position.y = v.refPosition.y = (i % 2) ? 4.0f : -4.0f;
    }
    CollectAll(workset);
    UpdateNormals();
}

TEST_F(SurfaceTest, FlattenLowersWhatIsAboveAndLeavesWhatIsBelow) {
    FlatPlane();
    Corrugate();
    std::vector<Vec3> before = TakePositions();
    PlaceBrush({0, 0, 0}, 40, 1);
    FlattenTool(brush);
    i32 lowered = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active || Length(v.position) > 45) continue;
        f32 was = before[(size_t)i].y;
        if (was < 0) {
            EXPECT_EQ(v.position.y, was) << "vertex " << i;
        }
        if (was > 0 && v.position.y < was) lowered++;
    }
    EXPECT_GT(lowered, 3);
}

TEST_F(SurfaceTest, InvertedFlattenPushesBothSidesAway) {
    FlatPlane();
    Corrugate();
    std::vector<Vec3> before = TakePositions();
    PlaceBrush({0, 0, 0}, 40, -1);
    const Vertex& centre = At({0, 0, 0});
    FlattenTool(brush);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active || Length(v.position) > 45) continue;
        f32 was = before[(size_t)i].y;
        if (was > 0) {
            EXPECT_GE(v.position.y, was) << "vertex " << i;
        }
        if (was < 0) {
            EXPECT_LE(v.position.y, was) << "vertex " << i;
        }
    }
    EXPECT_GT(std::fabs(centre.position.y), 4.0f);
}

// ================================================================ PINCH

static void ExpectDistancesFromCentre(f32 strength) {
    std::vector<Vec3> before = TakePositions();
    PlaceBrush({0, 0, 0}, 40, strength);
    PinchTool(brush);
    f32 R = 1.5f * 40;
    i32 moved = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        f32 was = Length(before[(size_t)i]);
        if (!v.active || was == 0 || was >= R / 1.3f) continue;
        f32 now = Length(v.position);
        if (strength > 0) EXPECT_LT(now, was) << "vertex " << i;
        else EXPECT_GT(now, was) << "vertex " << i;
        moved++;
    }
    EXPECT_GT(moved, 8);
}

TEST_F(SurfaceTest, PinchPullsTowardTheCentre) {
    FlatPlane();
    ExpectDistancesFromCentre(1);
}

TEST_F(SurfaceTest, InvertedPinchPushesAway) {
    FlatPlane();
    ExpectDistancesFromCentre(-1);
}

// ================================================================ CREASE

TEST_F(SurfaceTest, CreaseCutsASixthOfTheRadiusDeep) {
    FlatPlane();
    PlaceBrush({0, 0, 0}, 60, 1);
    Vertex& centre = At({0, 0, 0});
    for (i32 i = 0; i < 60; i++) {
        brush.center = centre.position;  // the pick follows the groove
        CreaseTool(brush);
    }
    EXPECT_NEAR(centre.position.y, -60.0f / 6, 1e-3f);
}

TEST_F(SurfaceTest, InvertedCreaseRisesToOnePointFourSixthsOfTheRadius) {
    FlatPlane();
    PlaceBrush({0, 0, 0}, 60, -1);
    Vertex& centre = At({0, 0, 0});
    for (i32 i = 0; i < 60; i++) {
        brush.center = centre.position;  // the pick follows the groove
        CreaseTool(brush);
    }
    EXPECT_NEAR(centre.position.y, 1.4f * 60 / 6, 1e-3f);
}

// ================================================================ every tool

TEST_F(SurfaceTest, MaskedVerticesStayPutWhileRefinementGoesOn) {
    for (const SurfaceTool& tool : surfaceTools) {
        ResetAllocation();
        BuildPlane();
        maskView = 1;
        brush.cullValid = 0;
        PlaceBrush({10, 0, 10}, 40, 1);
        std::vector<Vec3> before = TakePositions();
        i32 trianglesBefore = liveTriangleCount;
        i32 verticesBefore = liveVertexCount;  // slots 0 .. count - 1 on a fresh build
        tool.fn(brush);
        for (size_t i = 0; i < (size_t)verticesBefore; i++) {
            EXPECT_EQ(vertices[i].position.x, before[i].x) << tool.name << " vertex " << i;
            EXPECT_EQ(vertices[i].position.y, before[i].y) << tool.name << " vertex " << i;
        }
        if (tool.id != TOOL_SMOOTH) EXPECT_GT(liveTriangleCount, trianglesBefore) << tool.name;
        else EXPECT_EQ(liveTriangleCount, trianglesBefore) << tool.name;
        ExpectMeshConsistent();
    }
}

TEST_F(SurfaceTest, BrushAwayFromTheMeshMovesNothing) {
    FlatPlane();
    std::vector<Vec3> before = TakePositions();
    for (const SurfaceTool& tool : surfaceTools) {
        brush.cullValid = 0;
        PlaceBrush({0, 500, 0}, 20, 1);
        tool.fn(brush);
        EXPECT_EQ(brush.radius, 20) << tool.name;
    }
    std::vector<Vec3> after = TakePositions();
    for (size_t i = 0; i < before.size(); i++) EXPECT_EQ(after[i].y, before[i].y) << "vertex " << i;
}

// A zero or broken radius would divide every falloff by zero.
TEST_F(SurfaceTest, UnusableRadiusLeavesMeshAndRadiusAlone) {
    BuildPlane();
    i32 trianglesBefore = liveTriangleCount;
    std::vector<Vec3> before = TakePositions();
    for (f32 radius : {0.0f, -5.0f, NAN}) {
        for (const SurfaceTool& tool : surfaceTools) {
            brush.cullValid = 0;
            PlaceBrush({0, 0, 0}, radius, 1);
            tool.fn(brush);
            if (std::isnan(radius)) EXPECT_TRUE(std::isnan(brush.radius)) << tool.name;
            else EXPECT_EQ(brush.radius, radius) << tool.name;
        }
    }
    EXPECT_EQ(liveTriangleCount, trianglesBefore);
    std::vector<Vec3> after = TakePositions();
    for (size_t i = 0; i < before.size(); i++) EXPECT_EQ(after[i].y, before[i].y) << "vertex " << i;
}

// ================================================================ symmetry

// With the centre on the plane (k = 0.5) a seam vertex gets half the direct
// and half the mirrored pull: exactly what the whole mesh gives it without
// symmetry. A vertex off the seam gets k (w + w'') of it.
TEST_F(SurfaceTest, SymmetricDrawOnThePlaneCountsEachHalfOnce) {
    const f32 r = 40;
    FlatPlane();
    PlaceBrush({0, 0, 0}, r, 1);
    DrawTool(brush);
    std::vector<Vec3> whole = TakePositions();
    ResetAllocation();
    FlatPlane();
    symmetry = 1;
    CutToHalf();
    brush.cullValid = 0;
    PlaceBrush({0, 0, 0}, r, 1);
    DrawTool(brush);
    i32 compared = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        f32 d = Length(v.refPosition);
        f32 t = 1.3f * d / r;
        if (!(t < 1)) continue;
        f32 w = SmoothStep(1 - t);
        f32 wm = SmoothStep(1 - 1.3f * Length(MirrorX(v.refPosition)) / r);
        f32 full = whole[(size_t)i].y;  // the same slot holds the same vertex
        EXPECT_NEAR(v.position.y, full * 0.5f * (w + wm) / w, 1e-4f) << "vertex " << i;
        if (v.onMirrorLine) {
            EXPECT_NEAR(v.position.y, full, 1e-4f) << "vertex " << i;
        }
        compared++;
    }
    EXPECT_GT(compared, 5);
}
