// MASK, the mask fill, and REDUCE DETAIL: the first-step numbers, clamping,
// the measuring step that never edits, and long strokes that thin a refined
// region with the checker passing after every step.
#include "meshfile_fixture.h"
#include "tools/tools.h"

namespace {

const f32 DEFAULT_STRENGTH = 0.766f;  // setting 0.5: (0.5 + 0.3)^2 x 1.15 + 0.03
const f32 STRONGEST = 1.9735f;        // setting 1

class MaskToolTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        detailBias = 0;  // no refinement unless a test asks for it
        ResetBrush();
    }
    void TearDown() override {
        strokeActive = 0;
        MeshTest::TearDown();
    }
    // A stroke of `steps` steps at centre, each followed by the frame logic's
    // upkeep (normals, relaxation, lengths); `check` runs the checker after each.
    void Stroke(void (*tool)(Brush&), Vec3 centre, f32 radius, f32 strength, i32 steps,
                bool check = false) {
        brush.center = centre;
        brush.radius = radius;
        brush.strength = strength;
        brush.cullValid = 0;
        strokeActive = 1;
        for (i32 step = 0; step < steps; step++) {
            brush.strokeStart = step == 0;
            tool(brush);
            UpdateNormals();
            Beautify();
            EdgeLengthJob(0, 1);
            char report[2048];
            if (check) {
                ASSERT_TRUE(CheckMesh(report, sizeof report)) << "step " << step << ": " << report;
            }
        }
        strokeActive = 0;
    }
};

i32 CentreVertex() {
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && Length(vertices[i].position) < 0.001f) return i;
    return -1;
}
// The vertex of the start sphere nearest to +z, where the tests brush.
Vec3 SpherePole() {
    Vec3 best = Vec3{0, 0, 0};
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && vertices[i].position.z > best.z) best = vertices[i].position;
    return best;
}

TEST_F(MaskToolTest, FirstMaskStepAtTheCentreIsAbout022) {
    BuildPlane();
    i32 c = CentreVertex();
    ASSERT_GE(c, 0);
    maskView = 1;  // mask mode never weights MASK's own painting
    Stroke(MaskTool, Vec3{0, 0, 0}, 40, DEFAULT_STRENGTH, 1);
    maskView = 0;
    EXPECT_NEAR(vertices[c].mask, 0.3f * std::pow(DEFAULT_STRENGTH, 1.5f) * 1.1f, 1e-4f);
    EXPECT_NEAR(vertices[c].mask, 0.22f, 0.005f);
    // Nothing changes at or beyond R / 1.3 (30.8): the grid's second ring is at 37.5.
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        EXPECT_EQ(vertices[i].mask > 0, Length(vertices[i].position) < 40 / 1.3f) << "vertex " << i;
    }
}

// With refinement on, so MASK also paints on the vertices its stroke adds.
TEST_F(MaskToolTest, MaskReachesOneAndInvertedMaskClampsAtZero) {
    BuildPlane();
    i32 c = CentreVertex(), before = liveTriangleCount;
    detailBias = 1.3f;
    Stroke(MaskTool, Vec3{0, 0, 0}, 40, DEFAULT_STRENGTH, 40);
    EXPECT_GT(liveTriangleCount, before);
    EXPECT_EQ(vertices[c].mask, 1.0f) << "the overshooting target reaches 1 in finite steps";
    f32 previous = vertices[c].mask;
    brush.strength = -DEFAULT_STRENGTH;
    for (i32 step = 0; step < 40; step++) {
        MaskTool(brush);
        ASSERT_GE(vertices[c].mask, 0.0f);
        ASSERT_LE(vertices[c].mask, previous) << "an inverted stroke only lowers";
        previous = vertices[c].mask;
    }
    EXPECT_EQ(vertices[c].mask, 0.0f);
}

TEST_F(MaskToolTest, FillOrClearMaskFillsLowMasksAndClearsAnyOther) {
    BuildSphere();
    auto allMasks = [](f32 value) {
        for (i32 i = 0; i < vertexCapacity; i++)
            if (vertices[i].active && vertices[i].mask != value) return false;
        return true;
    };
    FillOrClearMask();
    EXPECT_TRUE(allMasks(1));
    FillOrClearMask();
    EXPECT_TRUE(allMasks(0));
    vertices[7].mask = 0.5f;
    FillOrClearMask();
    EXPECT_TRUE(allMasks(0)) << "one vertex at 0.5 clears all";
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.1f;
    FillOrClearMask();
    EXPECT_TRUE(allMasks(1)) << "0.1 still counts as empty";
}

TEST_F(MaskToolTest, ReduceDetailFirstStepOnlyMeasures) {
    BuildSphere();
    SubdivideAll();
    Vec3 pole = SpherePole();
    MeshRecordSnapshot before = SnapshotRecords();
    brush.center = pole;
    brush.radius = 40;
    brush.strength = STRONGEST;
    brush.strokeStart = strokeActive = 1;
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

// An inverted stroke's reference is negative; one whose first step measured
// no edge (far from the surface) has none: neither may collapse anything.
TEST_F(MaskToolTest, ReduceStrokeWithoutAPositiveReferenceCollapsesNothing) {
    BuildSphere();
    SubdivideAll();
    i32 before = liveTriangleCount;
    Stroke(ReduceDetailTool, SpherePole(), 40, -STRONGEST, 20);
    EXPECT_LT(reduceReferenceLength, 0.0f);
    EXPECT_EQ(liveTriangleCount, before);
    reduceReferenceLength = 100;  // a stale reference from an earlier stroke
    Stroke(ReduceDetailTool, Vec3{0, 0, 5000}, 40, STRONGEST, 1);
    brush.center = SpherePole();
    brush.cullValid = 0;
    strokeActive = 1;
    for (i32 step = 0; step < 10; step++) ReduceDetailTool(brush);
    EXPECT_EQ(liveTriangleCount, before);
}

TEST_F(MaskToolTest, LongReduceStrokeThinsARefinedRegionConsistently) {
    BuildSphere();
    SubdivideAll();
    i32 before = liveTriangleCount;
    Stroke(ReduceDetailTool, SpherePole(), 50, STRONGEST, 40, true);
    EXPECT_LT(liveTriangleCount, before);
    EXPECT_EQ(liveVertexCount - liveEdgeCount + liveTriangleCount, 2) << "still a closed surface";
}

}  // namespace
