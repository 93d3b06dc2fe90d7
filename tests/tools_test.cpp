// The brushes against their own rules on a tiny hand-made tent, MASK and
// REDUCE DETAIL, the tool skeleton's refinement, and brushes off the mesh.
#include "base/view.h"
#include "meshfile_fixture.h"
#include "tools/surfacepasses.h"

namespace {

// The tent: apex (0, 4, 0) in slot 0 over a closed ring of six at radius 3 in
// y = 0, slots 1..6 from r1 = (0, 0, 3) on through +x: every spoke 5 long,
// rim edges 3, the ring's coordinates cancel exactly, normals +y by hand. The
// apex is the only inner vertex; r1's neighbours r2 and r6 come after it in
// slot order, so in-place passes reach r1 with them unmoved.
void MakeTent(f32 mask) {
    const f32 s = 2.5980762f;  // 3 sin 60
    const Vec3 ring[6] = {{0, 0, 3},  {s, 0, 1.5f},   {s, 0, -1.5f},
                          {0, 0, -3}, {-s, 0, -1.5f}, {-s, 0, 1.5f}};
    CheckAndReset();
    AddVertex(0, 4, 0);
    for (Vec3 p : ring) AddVertex(p.x, p.y, p.z);
    for (i32 k = 1; k <= 6; k++) AddTriangle(&vertices[0], &vertices[k], &vertices[k % 6 + 1]);
    for (i32 i = 0; i <= 6; i++) vertices[i].normal = {0, 1, 0}, vertices[i].mask = mask;
    maskView = mask < 1;
    brush.cullValid = 0;
}

// The falloff shapes the tools use: sin(pi/2 u) and SmoothStep.
f32 Sine(f32 u) { return std::sin(1.57075f * u); }
f32 Ease(f32 t) { return (1 - std::cos(3.1415f * t)) / 2; }

class ToolTest : public SculptTest {
protected:
    void SetUp() override {
        SculptTest::SetUp();
        detailBias = 0;  // no refinement unless a test asks for it: slots stay put
    }
};

enum TentSetup { PLAIN, R1_ON_MIRROR_LINE, APEX_REFERENCE_LOW, SYMMETRIC };

// One step with the brush on the apex, radius 10: where the apex and r1 land.
// Ring vertices lie 5 from the centre, so u = 1 - 1.3 x 5 / reach, with the
// reach 10 or (x 1.5 for INFLATE, FLATTEN, PINCH) 15. With every mask at 0.5
// in mask mode each move shrinks by 0.5 to the power maskPower (0: not run).
TEST_F(ToolTest, OneStepOfEachBrushMovesTheTentByItsRule) {
    const f32 u10 = 1 - 1.3f * 5 / 10, u15 = 1 - 1.3f * 5 / 15;
    const f32 ay = 4 - 4 * (5.0f / 6) * 0.8f;  // SMOOTH: apex to the ring's mean, f = 5 / 6
    const f32 smooth = 0.8f * Sine(u10), inflate = 15 * Sine(u15) * u15 * 0.02f;
    const f32 pinch = u15 * u15 * 0.1f, crease = std::pow(u10, 6.0f) * 0.35f, cz = 3 - 3 * crease;
    // CREASE's target: the plane at 4 / 2.5 (symmetric: 4 / 3.5, as r2, r3,
    // r5 and r6 count twice), R / 6 below it, or 1.4 R / 6 above inverted.
    const f32 groove = 4 / 2.5f - 10.0f / 6, ridge = 4 / 2.5f + 10.0f / 6 * 1.4f;
    const f32 mirrored = 4 / 3.5f - 10.0f / 6;
    auto twice = [](f32 t, f32 k) { return t * (2 * k - k * k); };  // INFLATE's two half steps
    struct {
        const char* what;
        ToolFn tool;
        f32 strength, apexY, r1Y, r1Z;  // apex and r1 stay on x = 0, the apex on z = 0
        i32 maskPower;
        TentSetup setup = PLAIN;
    } rows[] = {
        {"SMOOTH", SmoothTool, 1, ay, 0, 3 - 1.5f * smooth, 1},
        {"SMOOTH inverted", SmoothTool, -1, ay, 0, 3 - 1.5f * smooth, 1},
        {"SMOOTH, r1 on the line", SmoothTool, 1, ay, ay / 3 * smooth, 3 - 2 * smooth, 0,
         R1_ON_MIRROR_LINE},
        {"INFLATE", InflateTool, 1, 4.3f, inflate, 3, 1},
        {"INFLATE inverted", InflateTool, -1, 3.7f, -inflate, 3, 1},
        {"INFLATE symmetric", InflateTool, 1, 4 + twice(15 * Sine(0.5f), 0.01f),
         twice(15 * Sine(u15 / 2), u15 / 2 * 0.02f), 3, 0, SYMMETRIC},
        {"PINCH", PinchTool, 1, 4, 4 * pinch, 3 - 3 * pinch, 1},
        {"PINCH inverted", PinchTool, -1, 4, -4 * pinch, 3 + 3 * pinch, 1},
        {"FLATTEN", FlattenTool, 1, 4 - 8.0f / 3 * 0.25f, 0, 3, 1},
        {"FLATTEN inverted", FlattenTool, -1, 4 + 8.0f / 3 * 0.25f, -1.0f / 3 * Ease(u15), 3, 1},
        {"FLATTEN symmetric", FlattenTool, 1, 4 - (4 - 12.0f / 13) * 0.25f, 0, 3, 1, SYMMETRIC},
        {"CREASE", CreaseTool, 1, 4 + (groove - 4) * 0.35f, groove * crease, cz, 3},
        {"CREASE inverted", CreaseTool, -1, 4 + (ridge - 4) * 0.35f, ridge * crease, cz, 3},
        {"CREASE symmetric", CreaseTool, 1, 4 + (mirrored - 4) * 0.35f, mirrored * crease, cz, 3,
         SYMMETRIC},
        {"DRAW", DrawTool, 1, 4 + 7 * 0.06f, 11 * 0.06f * Ease(u10), 3, 1},
        {"DRAW inverted", DrawTool, -1, 4 - 13 * 0.06f, -9 * 0.06f * Ease(u10), 3, 1},
        {"DRAW symmetric", DrawTool, 1, 4 + 7 * 0.06f, 11 * 0.06f * Ease(u10), 3, 1, SYMMETRIC},
        // The apex's reference 40 below: the plane drops to -10, its target
        // to 0, under the apex: a vertex beyond its target is not pulled back.
        {"DRAW, apex above its target", DrawTool, 1, 4, 0, 3, 1, APEX_REFERENCE_LOW},
    };
    auto expectAt = [](i32 slot, Vec3 want) {
        Vec3 p = vertices[slot].position;
        EXPECT_LT(Length(p - want), 1e-5f) << "slot " << slot << ": " << p.x << " " << p.y << " "
                                           << p.z << " instead of " << want.y << " " << want.z;
    };
    for (auto row : rows) {
        for (f32 mask : {1.0f, 0.5f}) {
            if (mask < 1 && !row.maskPower) continue;
            SCOPED_TRACE(::testing::Message() << row.what << ", mask " << mask);
            MakeTent(mask);
            vertices[1].onMirrorLine = row.setup == R1_ON_MIRROR_LINE || row.setup == SYMMETRIC;
            vertices[0].onMirrorLine = vertices[4].onMirrorLine = row.setup == SYMMETRIC;
            symmetry = row.setup == SYMMETRIC;
            if (row.setup == APEX_REFERENCE_LOW) vertices[0].refPosition.y = -40;
            PlaceBrush({0, 4, 0}, 10, row.strength);
            row.tool(brush);
            f32 share = std::pow(mask, (f32)row.maskPower);
            expectAt(0, {0, 4 + (row.apexY - 4) * share, 0});
            expectAt(1, {0, row.r1Y * share, 3 + (row.r1Z - 3) * share});
            EXPECT_EQ(brush.radius, 10) << "the reach is handed back";
        }
    }
}

// Strokes from the apex, radius 10, each step after the first moving GRAB's
// centre from the anchor or the cursor from the pivot (pixels, y down; screen
// right is +x, down -y). With every mask 0 all go back to refPosition.
TEST_F(ToolTest, TransformStrokesCarryTheRegionFromItsReference) {
    const f32 atan10 = 1.4711277f * 15, wS = Sine(0.85f) * Sine(0.85f);
    const f32 wR = std::pow(Sine(1.5f * (1 - 1.3f * 5 / 17)), 2.0f);
    struct {
        const char* what;
        ToolFn tool;
        std::vector<Vec3> steps;
        Vec3 want;               // where r1 ends
        bool nearPlane = false;  // symmetry on, tent 0.05 R off the plane, view turned about z
    } rows[] = {
        {"GRAB back", GrabTool, {{4, 1}, {0, 0}}, {0, 0, 3}},
        {"GRAB 10 R away", GrabTool, {{150, 0}}, {atan10 * Ease(1 - 1.3f * 5 / 15), 0, 3}},
        // Right, a quarter circle clockwise, back inside, out on the left.
        {"ROTATE", RotateTool, {{99, 0}, {0, 99}, {9, 9}, {-99, 0}}, {-4 * wR, 4 * wR, 3}},
        {"SCALE", ScaleTool, {{200, 200}}, {0, 2 * wS, 3}},
        // r1's x move -1.92 shrinks by 0.05 / (0.05 + 0.1).
        {"SCALE x 1/3", ScaleTool, {{200, 0}}, {0.75f - 0.64f * wS, -2.56f * wS, 3}, true},
    };
    const Vec3 pivot = {300, 200, 0};
    for (const auto& row : rows) {
        for (f32 mask : {1.0f, 0.0f}) {
            MakeTent(mask);
            symmetry = row.nearPlane;
            viewRight = row.nearPlane ? Vec3{0.6f, 0.8f, 0} : Vec3{1, 0, 0};
            viewDown = row.nearPlane ? Vec3{0.8f, -0.6f, 0} : Vec3{0, -1, 0};
            viewToward = {0, 0, 1};  // frames of other suites may have turned the view
            for (i32 i = 0; i <= 6; i++) {
                vertices[i].position.x = vertices[i].refPosition.x += row.nearPlane ? 0.75f : 0;
                vertices[i].position += Vec3{1, 1, 1} * (1 - mask);
            }
            brush.anchor = vertices[0].refPosition, brush.strokeStartScreenPos = pivot;
            for (size_t step = 0; step <= row.steps.size(); step++) {
                Vec3 move = step == 0 ? Vec3{0, 0, 0} : row.steps[step - 1];
                PlaceBrush(vertices[0].refPosition + move * (row.tool == GrabTool), 10, 1);
                brush.screenPos = pivot + move;
                brush.strokeStart = step == 0;
                row.tool(brush);
            }
            EXPECT_LT(Length(vertices[1].position - row.want), mask ? 1e-4f : INFINITY) << row.what;
            for (i32 i = 0; i <= 6 && !mask; i++)
                EXPECT_EQ(Length(vertices[i].position - vertices[i].refPosition), 0) << row.what;
        }
    }
    viewRight = {1, 0, 0}, viewDown = {0, -1, 0};  // the start view's again
}

// MASK moves the mask toward 1.1 (inverted -0.1) at 0.3 |S|^1.5 sin^2(pi/2 u)
// per step, clamped to 0..1, not weighted by mask mode, and leaves alone
// what lies at or beyond R / 1.3.
TEST_F(ToolTest, MaskStepPaintsByItsRateAndClampsToZeroToOne) {
    const f32 u10 = 1 - 1.3f * 5 / 10, w = 0.6f * 0.3f * Sine(u10) * Sine(u10);
    struct {
        f32 strength, radius, apex, r1;
    } rows[] = {
        {1, 10, 0.5f + 0.6f * 0.3f, 0.5f + w},
        {-1, 10, 0.5f - 0.6f * 0.3f, 0.5f - w},
        {2, 10, 1, 0.5f + w * std::pow(2.0f, 1.5f)},
        {-2, 10, 0, 0.5f - w * std::pow(2.0f, 1.5f)},
        {1, 6, 0.5f + 0.6f * 0.3f * Sine(1) * Sine(1), 0.5f},
    };
    for (auto row : rows) {
        MakeTent(0.5f);
        PlaceBrush({0, 4, 0}, row.radius, row.strength);
        MaskTool(brush);
        EXPECT_NEAR(vertices[0].mask, row.apex, 1e-5f) << row.strength << " " << row.radius;
        EXPECT_NEAR(vertices[1].mask, row.r1, 1e-5f) << row.strength << " " << row.radius;
        EXPECT_EQ(Length(vertices[0].position - Vec3{0, 4, 0}), 0);
    }
}

// The vertex of the subdivided start sphere nearest to +z, where REDUCE DETAIL brushes.
Vec3 SpherePole() {
    BuildSphere();
    SubdivideAll();
    Vec3 best = Vec3{0, 0, 0};
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && vertices[i].position.z > best.z) best = vertices[i].position;
    return best;
}

// REDUCE DETAIL's stroke of `steps` steps, each with the frame's upkeep.
void ReduceStroke(Vec3 centre, f32 strength, i32 steps) {
    PlaceBrush(centre, 50, strength);
    brush.cullValid = 0;
    for (i32 step = 0; step < steps; step++) {
        brush.strokeStart = step == 0;
        ReduceDetailTool(brush);
        RefinementCycle();
        ExpectMeshConsistent();
    }
}

// The first step only measures: the reference is the mean length of the
// edges at every vertex in reach (shared ones twice) times 0.5 S + 0.4.
TEST_F(ToolTest, ReduceDetailMeasuresFirstThenThinsTheRegion) {
    Vec3 pole = SpherePole();
    MeshRecordSnapshot before = SnapshotRecords();
    PlaceBrush(pole, 50, 1.9735f);
    brush.strokeStart = 1;
    ReduceDetailTool(brush);
    EXPECT_TRUE(SnapshotRecords() == before);
    double sum = 0;
    i32 count = 0, triangleCount = liveTriangleCount;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        f32 d = Length(v.position - pole);
        if (!v.active || !v.inBrush || d > 50 || 1 - 1.3f * d / 50 <= 0) continue;
        for (i32 k = 0; k < v.edgeCount; k++, count++) sum += v.edges[k]->length;
    }
    ASSERT_GT(count, 0);
    EXPECT_NEAR(reduceReferenceLength, (f32)(sum / count) * (0.5f * 1.9735f + 0.4f), 1e-3f);
    ReduceStroke(pole, 1.9735f, 40);
    EXPECT_LT(liveTriangleCount, triangleCount);
    EXPECT_EQ(liveVertexCount - liveEdgeCount + liveTriangleCount, 2) << "still a closed surface";
}

// An inverted stroke's reference is negative; one whose first step measured
// no edge (far from the surface) has none: neither may collapse anything.
TEST_F(ToolTest, ReduceStrokeWithoutAPositiveReferenceCollapsesNothing) {
    Vec3 pole = SpherePole();
    i32 before = liveTriangleCount;
    ReduceStroke(pole, -1.9735f, 20);
    EXPECT_LT(reduceReferenceLength, 0.0f);
    reduceReferenceLength = 100;  // a stale reference from an earlier stroke
    ReduceStroke(Vec3{0, 0, 5000}, 1.9735f, 1);
    brush.center = pole;
    brush.cullValid = 0;
    for (i32 step = 0; step < 10; step++) ReduceDetailTool(brush);
    EXPECT_EQ(liveTriangleCount, before);
}

// A brush off the mesh, or with a zero or broken radius (which would divide
// every falloff by zero), leaves mesh and radius alone.
TEST_F(ToolTest, BrushOffTheMeshOrWithUnusableRadiusChangesNothing) {
    BuildPlane();
    detailBias = 1.3f;
    std::vector<Vec3> before = TakePositions();
    const std::pair<Vec3, f32> places[] = {
        {{0, 500, 0}, 20}, {{0, 0, 0}, 0}, {{0, 0, 0}, -5}, {{0, 0, 0}, NAN}};
    for (auto [centre, radius] : places) {
        for (ToolFn tool :
             {DrawTool, SmoothTool, InflateTool, FlattenTool, PinchTool, CreaseTool}) {
            brush.cullValid = 0;
            PlaceBrush(centre, radius, 1);
            tool(brush);
            EXPECT_TRUE(brush.radius == radius || (std::isnan(radius) && std::isnan(brush.radius)));
        }
    }
    EXPECT_EQ(liveTriangleCount, 512);
    EXPECT_TRUE(Unmoved(before));
}

// SMOOTH and REDUCE DETAIL never refine; DRAW does, and MASK paints on
// refined geometry too.
TEST_F(ToolTest, RefiningToolsSplitAndSmoothReduceDetailNeverDo) {
    BuildSphere();
    RunParallel(ClearChangedJob);
    detailBias = 1.3f;
    i32 before = liveTriangleCount;
    PlaceBrush({0, 0, -100}, 40, 1);
    for (i32 tool : {TOOL_SMOOTH, TOOL_REDUCE_DETAIL})
        EndToolStep(brush, BeginToolStep(brush, tool));
    EXPECT_EQ(liveTriangleCount, before);
    EndToolStep(brush, BeginToolStep(brush, TOOL_DRAW));
    EXPECT_GT(liveTriangleCount, before);
    EXPECT_TRUE(brush.cullValid && brush.cullCenter.z == -100) << "the step culls at the brush";
    before = liveTriangleCount;
    PlaceBrush({0, 0, 100}, 40, 1);
    brush.cullValid = 0;
    MaskTool(brush);
    EXPECT_GT(liveTriangleCount, before);
}

// A split that reuses a freed slot lists it twice. A DRAW stroke with the
// upkeep after each step must still treat every vertex once, whichever
// thread meets each entry, and the normals and the relaxation must not
// depend on how the threads divide the list: run on all threads, on the
// calling thread alone, and on all threads with a third of the vertex list
// appended again, the stroke ends bit for bit alike.
TEST_F(ToolTest, StrokeEndsAlikeOnAnyThreadsWithVerticesListedTwice) {
    const std::pair<i32, bool> runs[] = {{1, false}, {0, false}, {1, true}};  // threads, twice
    std::vector<Vec3> ends[3];
    const i32 movesFrom = parallelMovesFrom;
    parallelMovesFrom = 1;  // every pass's moves on the workers
    for (i32 run = 0; run < 3; run++) {
        CheckAndReset();
        BuildSphere();
        RunParallel(ClearChangedJob);
        detailBias = 1.3f;
        mtNormals = mtBeautify = runs[run].first;
        PlaceBrush({0, 0, 100}, 30, 1);
        brush.cullValid = 0;
        for (i32 step = 0; step < 4; step++) {
            DrawTool(brush);
            SlotList& list = workset.vertices;
            for (i32 i = list.count - 1; i >= 0 && runs[run].second; i -= 3)
                AppendSlot(list, list.items[i]);
            RefinementCycle();
        }
        ends[run] = TakePositions();
        for (i32 i = 0; i < vertexCapacity; i++)
            if (vertices[i].active) ends[run].push_back(vertices[i].normal);
    }
    parallelMovesFrom = movesFrom;
    for (i32 run : {1, 2})
        EXPECT_TRUE(ends[run].size() == ends[0].size() &&
                    !memcmp(ends[run].data(), ends[0].data(), ends[0].size() * sizeof(Vec3)))
            << (run == 1 ? "calling thread alone" : "listed twice");
}

}  // namespace
