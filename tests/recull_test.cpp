// Culling through the grid against the whole-mesh scan: seeded strokes of
// every surface, mask and reduce-detail brush, where each recull must leave
// the flags and lists a scan leaves, the stroke end must leave no vertex off
// its reference, and the brushes must move what they move with the wide cube.
#include <random>
#include "mesh_fixture.h"

static bool operator==(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

namespace {

const i32 strokeTools[] = {TOOL_DRAW,  TOOL_SMOOTH, TOOL_INFLATE, TOOL_FLATTEN,
                           TOOL_PINCH, TOOL_CREASE, TOOL_MASK,    TOOL_REDUCE_DETAIL};

// The start sphere at 8192 triangles, settled as the frame logic leaves it.
void SettledSphere() {
    ResetAllocation();
    BuildSphere();
    SubdivideAll();
    CollectAll(workset);
    UpdateNormals();
    RunParallel(EdgeLengthJob);
    RunParallel(ClearChangedJob);
    CatchUpRefPositions();
}

bool InCube(const Brush& b, Vec3 p, f32 widen) {
    Vec3 d = p - b.cullCenter;
    f32 h = b.cullHalfSize + widen;
    return std::fabs(d.x) < h && std::fabs(d.y) < h && std::fabs(d.z) < h;
}

// What the scan of every slot gives: flags by the cube, lists by the flags.
void ExpectScanResult(const Brush& b, u32 seed, i32 step) {
    std::vector<i32> lists[3];
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        ASSERT_EQ(v.inBrush, InCube(b, v.position, 0)) << "seed " << seed << " step " << step;
        if (v.inBrush || v.changed) lists[0].push_back(i);
    }
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active && edges[i].changed) lists[1].push_back(i);
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (!t.active) continue;
        ASSERT_EQ(t.inBrush, InCube(b, t.center, t.radius)) << "seed " << seed << " step " << step;
        if (t.inBrush || t.changed) lists[2].push_back(i);
    }
    const SlotList* got[3] = {&workset.vertices, &workset.edges, &workset.triangles};
    for (i32 k = 0; k < 3; k++)
        ASSERT_EQ(std::vector<i32>(got[k]->items, got[k]->items + got[k]->count), lists[k])
            << "list " << k << " seed " << seed << " step " << step;
}

// A stroke wandering over the sphere; check runs after every recull.
template <typename Check>
void Stroke(i32 tool, u32 seed, i32 steps, bool refine, Check check) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<f32> turn(-0.12f, 0.12f);
    Vec3 at = Normalized(Vec3{0.3f, 0.5f, 0.8f});
    const f32 sphereRadius = Length(vertices[0].position);
    ResetBrush();
    brush.radius = 12 + turn(random) * 40;
    brush.strength = random() % 2 ? 0.766f : -0.766f;
    brush.strokeStart = strokeActive = 1;
    for (i32 step = 0; step < steps; step++) {
        at = Normalized(at + Vec3{turn(random), turn(random), turn(random)});
        brush.center = brush.anchor = at * sphereRadius;
        brush.cullCenterNow = brush.center;
        Vec3 before = brush.cullCenter;
        u8 wasValid = brush.cullValid;
        UpdateBrushCulling(brush, brush.center, brush.radius * toolRadiusFactor[tool], true);
        if (!wasValid || Length(brush.cullCenter - before) > 0) check(step);
        ApplyTool(brush, tool);
        if (refine) RefinementCycle();
        brush.strokeStart = 0;
    }
    strokeActive = 0;
    CatchUpRefPositions();
}

TEST_F(MeshTest, GridRecullGivesTheWholeMeshScanAndStrokeEndCatchesUpEveryVertex) {
    for (i32 tool : strokeTools) {
        const u32 seed = TestSeed(1200 + tool);
        SettledSphere();
        SetSymmetry(tool % 2);  // half the brushes on the cut half, mirrored
        gridMinVertices = tool % 3 ? 0 : GRID_MIN_VERTICES;  // some on the small-mesh scan
        CatchUpRefPositions();
        Stroke(tool, seed, 40, true, [&](i32 step) { ExpectScanResult(brush, seed, step); });
        for (i32 i = 0; i < vertexCapacity; i++) {
            const Vertex& v = vertices[i];
            ASSERT_TRUE(!v.active || v.refPosition == v.position)
                << "tool " << tool << " seed " << seed << " vertex " << i;
        }
        ExpectMeshConsistent();
        SetSymmetry(0);
    }
    gridMinVertices = 0;
}

// The mean length of the edges within reach of where the stroke ended.
f32 MeanEdgeUnderBrush() {
    f32 sum = 0;
    i32 count = 0;
    for (i32 i = 0; i < edgeCapacity; i++) {
        const Edge& e = edges[i];
        if (!e.active) continue;
        Vec3 mid = (e.vertex1->position + e.vertex2->position) * 0.5f;
        if (Length(mid - brush.center) < 2 * brush.radius) {
            sum += e.length;
            count++;
        }
    }
    return count ? sum / (f32)count : 0;
}

// Same steps on the same mesh with the two cubes: without refinement they
// move the same vertices by the same amounts; refined strokes end with edges
// under the brush within 5 % of each other in length. (Where splits compete,
// their order follows the reculls, which come more often with the narrow
// cube, so refined meshes are compared by their edges.)
TEST_F(MeshTest, NarrowCubeMovesWhatTheWideCubeMoves) {
    for (i32 tool : strokeTools) {
        const u32 seed = TestSeed(1300 + tool);
        std::vector<Vec3> moved[2];
        f32 meanEdge[2];
        for (u8 narrow : {0, 1}) {
            narrowPasses = narrow;
            SettledSphere();
            detailBias = 0;
            Stroke(tool, seed, 6, false, [](i32) {});
            for (i32 i = 0; i < vertexCapacity; i++) moved[narrow].push_back(vertices[i].position);
            SettledSphere();
            detailBias = 1.3f;
            Stroke(tool, seed, 40, true, [](i32) {});
            meanEdge[narrow] = MeanEdgeUnderBrush();
        }
        EXPECT_TRUE(moved[0] == moved[1]) << "tool " << tool << " seed " << seed;
        EXPECT_NEAR(meanEdge[1], meanEdge[0], 0.05f * meanEdge[0])
            << "tool " << tool << " seed " << seed;
    }
}

}  // namespace
