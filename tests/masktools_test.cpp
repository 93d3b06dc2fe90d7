// MASK, the mask fill, and REDUCE DETAIL: the first-step numbers, clamping,
// the measuring step that never edits, and long strokes that thin a refined
// region with the checker passing after every step.
#include "meshfile_fixture.h"
#include "tools/tools.h"

namespace {

// Strength for settings 0.5 and pressure 1: (0.5 + 0.3)^2 x 1.15 + 0.03.
const f32 DEFAULT_STRENGTH = 0.766f;
// Strength setting 1: (1 + 0.3)^2 x 1.15 + 0.03.
const f32 STRONGEST = 1.9735f;

class MaskToolTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        detailBias = 0;  // no refinement unless a test asks for it
        ResetBrush();
        strokeActive = 0;
    }
    void TearDown() override {
        strokeActive = 0;
        MeshTest::TearDown();
    }
    // A stroke at centre: the first step, then `steps` - 1 more.
    void Stroke(void (*tool)(Brush&), Vec3 centre, f32 radius, f32 strength, i32 steps) {
        brush.center = centre;
        brush.radius = radius;
        brush.strength = strength;
        brush.cullValid = 0;
        strokeActive = 1;
        for (i32 step = 0; step < steps; step++) {
            brush.strokeStart = step == 0;
            tool(brush);
            AfterStep();
        }
        strokeActive = 0;
    }
    // The frame logic's upkeep after a brush step: normals, relaxation, lengths.
    static void AfterStep() {
        UpdateNormals();
        Beautify();
        EdgeLengthJob(0, 1);
    }
    static i32 CentreVertex() {
        for (i32 i = 0; i < vertexCapacity; i++)
            if (vertices[i].active && Length(vertices[i].position) < 0.001f) return i;
        return -1;
    }
};

// ---------------------------------------------------------------- MASK

TEST_F(MaskToolTest, FirstMaskStepAtTheCentreIsAbout022) {
    BuildPlane();
    i32 c = CentreVertex();
    ASSERT_GE(c, 0);
    maskView = 1;  // mask mode never weights MASK's own painting
    Stroke(MaskTool, V3(0, 0, 0), 40, DEFAULT_STRENGTH, 1);
    EXPECT_NEAR(vertices[c].mask, 0.3f * std::pow(DEFAULT_STRENGTH, 1.5f) * 1.1f, 1e-4f);
    EXPECT_NEAR(vertices[c].mask, 0.22f, 0.005f);
    // Nothing changes at or beyond R / 1.3 (30.8): the grid's second ring is at 37.5.
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        f32 d = Length(v.position);
        if (d >= 40 / 1.3f) EXPECT_EQ(v.mask, 0.0f) << "vertex at distance " << d;
        else EXPECT_GT(v.mask, 0.0f) << "vertex at distance " << d;
    }
    maskView = 0;
}

TEST_F(MaskToolTest, MaskReachesOneAndInvertedMaskClampsAtZero) {
    BuildPlane();
    i32 c = CentreVertex();
    Stroke(MaskTool, V3(0, 0, 0), 40, DEFAULT_STRENGTH, 40);
    EXPECT_EQ(vertices[c].mask, 1.0f) << "the overshooting target reaches 1 in finite steps";
    f32 previous = vertices[c].mask;
    brush.center = V3(0, 0, 0);
    brush.strength = -DEFAULT_STRENGTH;
    for (i32 step = 0; step < 40; step++) {
        MaskTool(brush);
        ASSERT_GE(vertices[c].mask, 0.0f);
        ASSERT_LE(vertices[c].mask, previous) << "an inverted stroke only lowers";
        previous = vertices[c].mask;
    }
    EXPECT_EQ(vertices[c].mask, 0.0f);
}

TEST_F(MaskToolTest, MaskPaintsOnRefinedGeometry) {
    BuildPlane();
    detailBias = 1.3f;
    i32 before = liveTriangleCount;
    Stroke(MaskTool, V3(0, 0, 0), 40, DEFAULT_STRENGTH, 1);
    EXPECT_GT(liveTriangleCount, before);
}

TEST_F(MaskToolTest, FillOrClearMaskFillsLowMasksAndClearsAnyOther) {
    BuildSphere();
    FillOrClearMask();
    auto allMasks = [](f32 value) {
        for (i32 i = 0; i < vertexCapacity; i++)
            if (vertices[i].active && vertices[i].mask != value) return false;
        return true;
    };
    EXPECT_TRUE(allMasks(1));
    FillOrClearMask();
    EXPECT_TRUE(allMasks(0));
    vertices[7].mask = 0.5f;
    FillOrClearMask();
    EXPECT_TRUE(allMasks(0)) << "one vertex at 0.5 clears all";
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.1f;
    FillOrClearMask();
    EXPECT_EQ(vertices[0].mask, 1.0f) << "0.1 still counts as empty";
}

// ---------------------------------------------------------------- REDUCE DETAIL

// The vertex of the start sphere nearest to +z, where the tests brush.
Vec3 SpherePole() {
    Vec3 best = V3(0, 0, 0);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && vertices[i].position.z > best.z) best = vertices[i].position;
    return best;
}

TEST_F(MaskToolTest, ReduceDetailFirstStepOnlyMeasures) {
    BuildSphere();
    SubdivideAll();
    Vec3 pole = SpherePole();
    MeshRecordSnapshot before = SnapshotRecords();
    brush.center = pole;
    brush.radius = 40;
    brush.strength = STRONGEST;
    brush.strokeStart = 1;
    strokeActive = 1;
    ReduceDetailTool(brush);
    EXPECT_TRUE(SnapshotRecords() == before);
    // The reference is the mean incident edge length in reach times 0.5 S + 0.4.
    double sum = 0;
    i32 count = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        f32 d = Length(v.position - pole);
        if (!v.active || !v.inBrush || d > 40 || 1 - 1.3f * d / 40 <= 0) continue;
        for (i32 k = 0; k < v.edgeCount; k++, count++) sum += v.edges[k]->length;
    }
    ASSERT_GT(count, 0);
    EXPECT_NEAR(reduceReferenceLength, (f32)(sum / count) * (0.5f * STRONGEST + 0.4f), 1e-3f);
}

TEST_F(MaskToolTest, InvertedStrongReduceStrokeCollapsesNothing) {
    BuildSphere();
    SubdivideAll();
    i32 before = liveTriangleCount;
    Stroke(ReduceDetailTool, SpherePole(), 40, -STRONGEST, 20);
    EXPECT_LT(reduceReferenceLength, 0.0f);
    EXPECT_EQ(liveTriangleCount, before);
}

TEST_F(MaskToolTest, StrokeThatMeasuredNoEdgeCollapsesNothing) {
    BuildSphere();
    SubdivideAll();
    i32 before = liveTriangleCount;
    Stroke(ReduceDetailTool, V3(0, 0, 5000), 40, STRONGEST, 1);  // far from the surface
    brush.center = SpherePole();
    brush.cullValid = 0;
    strokeActive = 1;
    for (i32 step = 0; step < 10; step++) ReduceDetailTool(brush);
    strokeActive = 0;
    EXPECT_EQ(liveTriangleCount, before);
}

TEST_F(MaskToolTest, LongReduceStrokeThinsARefinedRegionConsistently) {
    BuildSphere();
    SubdivideAll();
    i32 before = liveTriangleCount;
    brush.center = SpherePole();
    brush.radius = 50;
    brush.strength = STRONGEST;
    brush.cullValid = 0;
    strokeActive = 1;
    for (i32 step = 0; step < 40; step++) {
        brush.strokeStart = step == 0;
        ReduceDetailTool(brush);
        AfterStep();
        char report[2048];
        ASSERT_TRUE(CheckMesh(report, sizeof report)) << "step " << step << ": " << report;
    }
    strokeActive = 0;
    EXPECT_LT(liveTriangleCount, before);
    EXPECT_EQ(liveVertexCount - liveEdgeCount + liveTriangleCount, 2) << "still a closed surface";
}

}  // namespace
