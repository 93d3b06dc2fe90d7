// The skeleton every tool step shares: the reach it works in and hands back,
// refinement only for the tools that refine, where it culls, which vertices
// count as in reach, and mask mode's weighting.
#include "base/settings.h"
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
    }
    void TearDown() override {
        strokeActive = maskView = 0;
        MeshTest::TearDown();
    }
    void Step(i32 tool) { EndToolStep(brush, BeginToolStep(brush, tool)); }
};

TEST_F(ToolStepTest, RefiningToolsSplitAndSmoothNeverDoes) {
    i32 before = liveTriangleCount;
    Step(TOOL_SMOOTH);
    Step(TOOL_REDUCE_DETAIL);
    EXPECT_EQ(liveTriangleCount, before);
    Step(TOOL_DRAW);
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
    Step(TOOL_GRAB);
    brush.center = {0, 30, -95};  // dragged away, the culling stays put
    Step(TOOL_GRAB);
    EXPECT_EQ(brush.cullCenter.y, 0);
    Step(TOOL_DRAW);
    EXPECT_EQ(brush.cullCenterNow.y, 30);
}

TEST_F(ToolStepTest, MaskModeWeightsByTheMask) {
    Vertex v = vertices[0];
    v.mask = 0.25f;
    EXPECT_EQ(MaskedWeight(v, 0.8f), 0.8f);
    maskView = 1;
    EXPECT_FLOAT_EQ(MaskedWeight(v, 0.8f), 0.2f);
    v.mask = 0;
    EXPECT_EQ(MaskedWeight(v, 0.8f), 0);
}
