// The skeleton every tool step shares: the reach it works in, refinement
// only for the tools that refine, the radius handed back, where it culls,
// which vertices count as in reach, and mask mode's weighting.
#include "app/settings.h"
#include "mesh_fixture.h"
#include "tools/tools.h"

class ToolStepTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        ClearAllSlots();
        BuildSphere();
        RunParallel(ClearChangedJob);
        ResetBrush();
        maskView = 0;
        strokeActive = 1;
        brush.center = brush.anchor = {0, 0, -100};
        brush.radius = 40;
    }
    void TearDown() override {
        strokeActive = 0;
        maskView = 0;
        MeshTest::TearDown();
    }
};

TEST_F(ToolStepTest, RefiningToolsSplitAndSmoothNeverDoes) {
    i32 before = liveTriangleCount;
    f32 saved = BeginToolStep(brush, TOOL_SMOOTH);
    EndToolStep(brush, saved);
    EXPECT_EQ(liveTriangleCount, before);
    saved = BeginToolStep(brush, TOOL_REDUCE_DETAIL);
    EndToolStep(brush, saved);
    EXPECT_EQ(liveTriangleCount, before);
    saved = BeginToolStep(brush, TOOL_DRAW);
    EndToolStep(brush, saved);
    EXPECT_GT(liveTriangleCount, before);
}

TEST_F(ToolStepTest, ReachGrowsByTheToolFactorAndIsHandedBack) {
    for (i32 tool = 0; tool < TOOL_COUNT; tool++) {
        brush.cullValid = 0;
        f32 saved = BeginToolStep(brush, tool);
        EXPECT_FLOAT_EQ(brush.radius, 40 * toolRadiusFactor[tool]) << tool;
        EXPECT_FLOAT_EQ(brush.cullHalfSize, 4 * brush.radius) << tool;
        EndToolStep(brush, saved);
        EXPECT_EQ(brush.radius, 40) << tool;
    }
    EXPECT_FLOAT_EQ(toolRadiusFactor[TOOL_ROTATE], 1.7f);
    EXPECT_FLOAT_EQ(toolTesselateFactor[TOOL_PINCH], 1.5f);
}

TEST_F(ToolStepTest, TransformToolsCullAroundTheAnchor) {
    f32 saved = BeginToolStep(brush, TOOL_GRAB);
    EndToolStep(brush, saved);
    brush.center = {0, 30, -95};  // dragged away, the culling stays put
    saved = BeginToolStep(brush, TOOL_GRAB);
    EndToolStep(brush, saved);
    EXPECT_EQ(brush.cullCenter.y, 0);
    saved = BeginToolStep(brush, TOOL_DRAW);
    EndToolStep(brush, saved);
    EXPECT_EQ(brush.cullCenterNow.y, 30);
}

TEST_F(ToolStepTest, ReachEndsAtRadiusOverOnePointThree) {
    f32 saved = BeginToolStep(brush, TOOL_DRAW);
    f32 reach = brush.radius;
    i32 inside = 0;
    for (i32 i = 0; i < workset.vertices.count; i++) {
        Vertex& v = vertices[workset.vertices.items[i]];
        f32 d;
        bool in = VertexInReach(v, brush.center, reach, false, d);
        if (in) {
            inside++;
            EXPECT_LT(d, reach / 1.3f);
            EXPECT_GT(FalloffU(d, reach), 0);
        } else if (v.active && v.inBrush) {
            EXPECT_LE(FalloffU(Length(v.position - brush.center), reach), 0);
        }
    }
    EndToolStep(brush, saved);
    EXPECT_GT(inside, 0);
    Vertex probe = vertices[0];
    probe.inBrush = 1;
    probe.position = {0, 0, 0};
    probe.refPosition = brush.center;
    f32 d;
    EXPECT_FALSE(VertexInReach(probe, brush.center, 40, false, d));
    EXPECT_TRUE(VertexInReach(probe, brush.center, 40, true, d));  // transform tools measure the reference
    probe.inBrush = 0;
    EXPECT_FALSE(VertexInReach(probe, brush.center, 40, true, d));
}

TEST_F(ToolStepTest, MaskModeFreezesMaskedVertices) {
    Vertex v = vertices[0];
    v.mask = 0.25f;
    EXPECT_EQ(MaskedWeight(v, 0.8f), 0.8f);
    maskView = 1;
    EXPECT_FLOAT_EQ(MaskedWeight(v, 0.8f), 0.2f);
    v.mask = 0;
    EXPECT_EQ(MaskedWeight(v, 0.8f), 0);
}
