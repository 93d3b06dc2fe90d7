// Edge splits and refinement under the brush: what one split creates and
// carries over, every reason a split is refused (and that a refusal changes
// nothing), the retry after a neighbour split, and refinement on the sphere.
#include <random>
#include "sculpt_fixture.h"
#include "tools/surfacepasses.h"

namespace {

//        c
//       / \        two triangles (a, b, c) and (b, a, d) on the edge a-b,
//      a---b       both facing +y; |ab| = 1
//       \ /
//        d
struct Diamond {
    Vertex *a, *b, *c, *d;
    Triangle *abc, *bad;
    Edge* ab;
};

Diamond MakeDiamond(bool withLowerTriangle = true) {
    Diamond m = {};
    m.a = AddVertex(0, 0, 0);
    m.b = AddVertex(1, 0, 0);
    m.c = AddVertex(0.5f, 0, -0.866f);
    m.abc = AddTriangle(m.a, m.b, m.c);
    if (withLowerTriangle) {
        m.d = AddVertex(0.5f, 0, 0.866f);
        m.bad = AddTriangle(m.b, m.a, m.d);
    }
    m.ab = FindEdge(m.a, m.a, m.b);
    CollectAll(workset);
    UpdateNormals();
    return m;
}

struct Counts {
    i32 v, e, t;
};
Counts Live() { return {liveVertexCount, liveEdgeCount, liveTriangleCount}; }

// A triangle (center, p, q) hanging off center alone, far from everything:
// each adds two edges to center.
void AddFlaps(Vertex* center, i32 count) {
    for (i32 i = 0; i < count; i++) {
        Vertex* p = AddVertex(50 + (f32)i, 0, 50);
        Vertex* q = AddVertex(50 + (f32)i, 0, 51);
        AddTriangle(center, q, p);  // facing +y like the rest: nothing folds
    }
}

}  // namespace

class TessellateTest : public SculptTest {};

// ================================================================ one split

TEST_F(TessellateTest, CubicBezierRunsThroughItsEndsAndBlendsTheControls) {
    Vec3 p0 = {0, 0, 0}, c1 = {1, 2, 0}, c2 = {3, 2, 0}, p3 = {4, 0, 0};
    Vec3 start = CubicBezier(p0, c1, c2, p3, 0), end = CubicBezier(p0, c1, c2, p3, 1);
    Vec3 mid = CubicBezier(p0, c1, c2, p3, 0.5f);
    EXPECT_EQ(start.x, 0); EXPECT_EQ(start.y, 0);
    EXPECT_EQ(end.x, 4); EXPECT_EQ(end.y, 0);
    EXPECT_FLOAT_EQ(mid.x, 2);    // (0 + 3 * 1 + 3 * 3 + 4) / 8
    EXPECT_FLOAT_EQ(mid.y, 1.5f); // (3 * 2 + 3 * 2) / 8
}

TEST_F(TessellateTest, InnerSplitReplacesTwoTrianglesByFourInTheirSlots) {
    Diamond m = MakeDiamond();
    brush.radius = 1;
    Counts before = Live();
    i32 slotAbc = SlotOf(m.abc), slotBad = SlotOf(m.bad);
    Vertex* nv = Tesselate(m.ab);
    ASSERT_NE(nv, nullptr);
    EXPECT_EQ(liveVertexCount, before.v + 1);
    EXPECT_EQ(liveEdgeCount, before.e + 3);
    EXPECT_EQ(liveTriangleCount, before.t + 2);
    EXPECT_EQ(m.c->edgeCount, 3);  // opposite corners gain one edge each
    EXPECT_EQ(m.d->edgeCount, 3);
    EXPECT_EQ(m.a->edgeCount, 3);  // the ends keep theirs
    EXPECT_EQ(m.b->edgeCount, 3);
    for (i32 slot : {slotAbc, slotBad}) {
        const Triangle& t = triangles[slot];
        ASSERT_TRUE(t.active);
        EXPECT_TRUE(t.vertices[0] == nv || t.vertices[1] == nv || t.vertices[2] == nv);
    }
    // On a flat patch the curve is the chord; every new triangle faces +y.
    EXPECT_NEAR(nv->position.x, 0.5f, 1e-6f);
    EXPECT_NEAR(nv->position.y, 0.0f, 1e-6f);
    EXPECT_NEAR(nv->normal.y, 1.0f, 1e-6f);
    for (i32 k = 0; k < nv->triangleCount; k++) EXPECT_GT(nv->triangles[k]->normal.y, 0.99f);
}

TEST_F(TessellateTest, BorderSplitReplacesOneTriangleByTwo) {
    Diamond m = MakeDiamond(false);
    brush.radius = 1;
    Counts before = Live();
    Vertex* nv = Tesselate(m.ab);
    ASSERT_NE(nv, nullptr);
    EXPECT_EQ(liveVertexCount, before.v + 1);
    EXPECT_EQ(liveEdgeCount, before.e + 2);
    EXPECT_EQ(liveTriangleCount, before.t + 1);
    EXPECT_EQ(nv->triangleCount, 2);
}

TEST_F(TessellateTest, NewVertexAveragesReferenceMaskAndSavedState) {
    Diamond m = MakeDiamond();
    Vertex* four[4] = {m.a, m.b, m.c, m.d};
    for (i32 i = 0; i < 4; i++) {
        four[i]->refPosition = four[i]->position + Vec3{0, 4.0f * (f32)(i + 1), 0};
        four[i]->mask = 0.25f * (f32)i;
    }
    m.a->savedPosition = {0, 2, 0};
    m.b->savedPosition = {1, 4, 0};
    m.a->savedNormal = {0, 1, 0};
    m.b->savedNormal = {1, 0, 0};
    brush.radius = 1;
    Vertex* nv = Tesselate(m.ab);
    ASSERT_NE(nv, nullptr);
    // Reference and mask over both ends and both opposite corners.
    EXPECT_NEAR(nv->refPosition.x, 0.5f, 1e-6f);
    EXPECT_NEAR(nv->refPosition.y, 10.0f, 1e-5f);  // (4 + 8 + 12 + 16) / 4
    EXPECT_NEAR(nv->mask, 0.375f, 1e-6f);          // (0 + .25 + .5 + .75) / 4
    // Saved state over the ends only.
    EXPECT_NEAR(nv->savedPosition.y, 3.0f, 1e-6f);
    EXPECT_NEAR(nv->savedNormal.x, 0.70710677f, 1e-6f);
    EXPECT_NEAR(nv->savedNormal.y, 0.70710677f, 1e-6f);
}

TEST_F(TessellateTest, BorderSplitAveragesOverTheEndsOnly) {
    Diamond m = MakeDiamond(false);
    m.a->mask = 1;
    m.c->mask = 1;  // the opposite corner does not count on a border edge
    brush.radius = 1;
    Vertex* nv = Tesselate(m.ab);
    ASSERT_NE(nv, nullptr);
    EXPECT_NEAR(nv->mask, 0.5f, 1e-6f);
}

TEST_F(TessellateTest, SavedNormalOfOpposedEndsFallsBackToX) {
    Diamond m = MakeDiamond();
    m.a->savedNormal = {0, 1, 0};
    m.b->savedNormal = {0, -1, 0};
    brush.radius = 1;
    Vertex* nv = Tesselate(m.ab);
    ASSERT_NE(nv, nullptr);
    EXPECT_EQ(nv->savedNormal.x, 1.0f);
}

TEST_F(TessellateTest, EdgeOfExactlyATwelfthOfTheRadiusSplitsAndShorterDoesNot) {
    Diamond m = MakeDiamond();
    brush.radius = 12.01f;  // |ab| = 1 < 12.01 / 12
    Counts before = Live();
    EXPECT_EQ(Tesselate(m.ab), nullptr);
    EXPECT_EQ(liveTriangleCount, before.t);
    EXPECT_EQ(liveVertexCount, before.v);
    brush.radius = 12;  // |ab| = 12 x 0.083333336 in floats: equality splits
    EXPECT_NE(Tesselate(m.ab), nullptr);
}

TEST_F(TessellateTest, ZeroLengthEdgeIsNeverSplit) {
    Diamond m = MakeDiamond();
    m.b->position = m.a->position;
    brush.radius = 0;
    Counts before = Live();
    EXPECT_EQ(Tesselate(m.ab), nullptr);
    EXPECT_EQ(liveVertexCount, before.v);
    m.b->position = {1, 0, 0};
}

TEST_F(TessellateTest, MirrorLineNeedsBothEnds) {
    Diamond m = MakeDiamond();
    brush.radius = 1;
    m.a->onMirrorLine = 1;
    Vertex* half = Tesselate(m.ab);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->onMirrorLine, 0);
    Edge* ac = FindEdge(m.a, m.a, m.c);
    ASSERT_NE(ac, nullptr);
    m.c->onMirrorLine = 1;
    Vertex* both = Tesselate(ac);
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(both->onMirrorLine, 1);
}

// ================================================================ refusals

// The opposite corner c of the edge a-b gets 18 or 19 edges from flaps.
static void RaiseOppositeCorner(const Diamond& m, i32 edgeCount) {
    AddFlaps(m.c, (edgeCount - 2) / 2);
    if (edgeCount % 2) {
        Vertex* z = AddVertex(40, 0, 40);
        AddTriangle(m.c, m.c->edges[2]->vertex2, z);  // shares a flap's edge: one more
    }
    CollectAll(workset);
    UpdateNormals();
}

TEST_F(TessellateTest, OppositeCornerWithEighteenEdgesSplitsToNineteen) {
    Diamond m = MakeDiamond();
    RaiseOppositeCorner(m, 18);
    ASSERT_EQ(m.c->edgeCount, 18);
    brush.radius = 1;
    EXPECT_NE(Tesselate(m.ab), nullptr);
    EXPECT_EQ(m.c->edgeCount, 19);
}

TEST_F(TessellateTest, OppositeCornerWithNineteenEdgesRefusesTheSplit) {
    Diamond m = MakeDiamond();
    RaiseOppositeCorner(m, 19);
    ASSERT_EQ(m.c->edgeCount, 19);
    brush.radius = 1;
    Counts before = Live();
    EXPECT_EQ(Tesselate(m.ab), nullptr);
    EXPECT_EQ(m.c->edgeCount, 19);
    EXPECT_EQ(liveTriangleCount, before.t);
    EXPECT_EQ(liveEdgeCount, before.e);
    EXPECT_EQ(liveVertexCount, before.v);
}

// A border edge has no valence check of its own: a full opposite corner must
// not end the program or leave the triangle removed.
TEST_F(TessellateTest, FullOppositeCornerOnBorderEdgeRefusesAndKeepsTheMesh) {
    Diamond m = MakeDiamond(false);
    AddFlaps(m.c, 11);
    ASSERT_EQ(m.c->edgeCount, MAX_VERTEX_EDGES);
    CollectAll(workset);
    UpdateNormals();
    brush.radius = 1;
    Counts before = Live();
    EXPECT_EQ(Tesselate(m.ab), nullptr);
    EXPECT_EQ(liveTriangleCount, before.t);
    EXPECT_EQ(liveEdgeCount, before.e);
    EXPECT_EQ(liveVertexCount, before.v);
    EXPECT_TRUE(m.abc->active);
    EXPECT_EQ(m.ab->triangle1, m.abc);
}

TEST_F(TessellateTest, RefinementGoesOnPastARefusedBorderSplit) {
    Diamond m = MakeDiamond(false);
    AddFlaps(m.c, 11);
    // A second, unguarded triangle under the brush that wants refining.
    Vertex* p = AddVertex(-3, 0, 2);
    Vertex* q = AddVertex(0, 0, 5);
    Vertex* r = AddVertex(3, 0, 2);
    AddTriangle(p, q, r);
    CollectAll(workset);
    UpdateNormals();
    PlaceBrush({0, 0, 1}, 4, 1);
    brush.cullValid = 0;
    UpdateBrushCulling(brush);
    Counts before = Live();
    TesselateForBrush(brush, 1);
    EXPECT_TRUE(m.abc->active);  // could not split: kept whole
    EXPECT_EQ(m.ab->triangle1, m.abc);
    EXPECT_GT(liveTriangleCount, before.t);
}

TEST_F(TessellateTest, DetailBiasZeroChangesNothing) {
    BuildSphere();
    detailBias = 0;
    PlaceBrush({0, 0, 100}, 5, 1);
    brush.cullValid = 0;
    UpdateBrushCulling(brush);
    Counts before = Live();
    std::vector<Vec3> positions = TakePositions();
    TesselateForBrush(brush, 1);
    EXPECT_EQ(liveTriangleCount, before.t);
    EXPECT_EQ(liveVertexCount, before.v);
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        EXPECT_EQ(vertices[i].position.z, positions[(size_t)i].z) << "vertex " << i;
    }
}

// ================================================================ growth inside a split

// Any creation may move an array. Fill one array until the split's own
// creations must grow it, then check that the split still wires everything
// to the moved records.
static void FillVerticesToCapacity() {
    while (liveVertexCount < vertexCapacity) AddVertex(90, 90, 90);
}

// A strip of small triangles far away: each adds one vertex, two edges and
// one triangle.
static void AddStripUntil(bool (*full)()) {
    // Held as slots: each AddVertex may move the vertex array.
    i32 p = SlotOf(AddVertex(-90, 0, -90));
    i32 q = SlotOf(AddVertex(-90, 0, -89));
    for (i32 i = 0; !full(); i++) {
        i32 r = SlotOf(AddVertex(-89 + 0.001f * (f32)i, 0, (i % 2) ? -89.0f : -90.0f));
        AddTriangle(&vertices[p], &vertices[q], &vertices[r]);
        p = q;
        q = r;
    }
}

static void ExpectSplitAfterFilling(void (*fill)()) {
    Diamond m = MakeDiamond();
    i32 a = SlotOf(m.a), b = SlotOf(m.b), c = SlotOf(m.c), d = SlotOf(m.d);
    i32 ab = SlotOf(m.ab);
    fill();
    brush.radius = 1;
    Vertex* nv = Tesselate(&edges[ab]);
    ASSERT_NE(nv, nullptr);
    EXPECT_EQ(nv->triangleCount, 4);
    for (i32 corner : {a, b, c, d}) EXPECT_NE(FindEdge(nv, nv, &vertices[corner]), nullptr);
}

TEST_F(TessellateTest, SplitWiresTheNewVertexAfterTheVertexArrayGrew) {
    ExpectSplitAfterFilling(FillVerticesToCapacity);
}

TEST_F(TessellateTest, SplitWiresItsTrianglesAfterTheTriangleArrayGrew) {
    ExpectSplitAfterFilling([] { AddStripUntil([] { return liveTriangleCount >= triangleCapacity - 1; }); });
}

TEST_F(TessellateTest, SplitWiresItsEdgesAfterTheEdgeArrayGrew) {
    ExpectSplitAfterFilling([] { AddStripUntil([] { return liveEdgeCount >= edgeCapacity - 2; }); });
}

// ================================================================ the neighbour first

//   a-b is short for its triangle (a, b, c): the long side b-c, shared with
//   (c, b, d), splits first. That removes (a, b, c), and with it a-b, which
//   had no other triangle.
//
//        c
//       /|\         .
//      / | \        .
//     a--b  d
struct Sliver {
    Vertex *a, *b, *c, *d;
    i32 abSlot;
};

static Sliver MakeSliver(bool abSecondInEdgeOrder) {
    Sliver s;
    s.a = AddVertex(0, 0, 0);
    s.b = AddVertex(1, 0, 0);
    s.c = AddVertex(0.45f, 0, -2.2f);  // b-c a little longer than c-a
    s.d = AddVertex(2, 0, -1.5f);
    // Triangle corner order decides which pair is re-created first.
    Triangle* t = abSecondInEdgeOrder ? AddTriangle(s.c, s.a, s.b) : AddTriangle(s.a, s.b, s.c);
    AddTriangle(s.c, s.b, s.d);
    s.abSlot = SlotOf(FindEdge(s.a, s.a, s.b));
    EXPECT_NE(t, nullptr);
    CollectAll(workset);
    UpdateNormals();
    return s;
}

TEST_F(TessellateTest, RetryOnARemovedEdgeReturnsNull) {
    Sliver s = MakeSliver(false);
    brush.radius = 1;
    Counts before = Live();
    EXPECT_EQ(Tesselate(&edges[s.abSlot]), nullptr);
    EXPECT_GT(liveTriangleCount, before.t);  // the neighbour split did happen
    EXPECT_NE(FindEdge(s.a, s.a, s.b), nullptr);
}

TEST_F(TessellateTest, RetryLeavesTheRemovedEdgesSlotAloneWhenAnotherEdgeTookIt) {
    Sliver s = MakeSliver(true);
    brush.radius = 1;
    // The first edge re-created by the neighbour split (c-a) lands in a-b's slot.
    edgeCursor = s.abSlot;
    EXPECT_EQ(Tesselate(&edges[s.abSlot]), nullptr);
    const Edge& reused = edges[s.abSlot];
    ASSERT_TRUE(reused.active);
    bool joinsCA = (reused.vertex1 == s.c && reused.vertex2 == s.a) ||
                   (reused.vertex1 == s.a && reused.vertex2 == s.c);
    EXPECT_TRUE(joinsCA);
    EXPECT_NE(reused.triangle1, nullptr);
}

TEST_F(TessellateTest, RetrySplitsTheSameEdgeWhenItWasRecreatedInPlace) {
    Sliver s = MakeSliver(false);
    brush.radius = 1;
    edgeCursor = s.abSlot;  // a-b is re-created first, into its own slot
    Vertex* v = Tesselate(&edges[s.abSlot]);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(FindEdge(s.a, s.a, s.b), nullptr);  // a-b itself is gone: split
}

// ================================================================ under the brush

TEST_F(TessellateTest, LargeBrushOnStartSphereRefinesNothing) {
    BuildSphere();
    PlaceBrush({0, 0, 100}, 200, 1);  // perimeter limit 77, triangles about 36
    brush.cullValid = 0;
    UpdateBrushCulling(brush);
    TesselateForBrush(brush, 1);
    EXPECT_EQ(liveTriangleCount, 2048);
}

TEST_F(TessellateTest, SmallBrushLeavesNoCoarseTriangleInItsSphere) {
    BuildSphere();
    Vec3 c = {0, 0, 100};
    PlaceBrush(c, 8, 1);
    brush.cullValid = 0;
    UpdateBrushCulling(brush);
    TesselateForBrush(brush, 1);
    EXPECT_GT(liveTriangleCount, 2048);
    f32 maxPerimeter = (1 / detailBias) / 2 * brush.radius;
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active || Length(c - t.center) > brush.radius + t.radius) continue;
        EXPECT_LE(TriangleCircumference(&t), maxPerimeter * 1.0001f) << "triangle " << i;
    }
}

// One huge triangle under a tiny brush would take some 30 passes to refine:
// a step stops after 20, and the next step carries on.
TEST_F(TessellateTest, RunawayRefinementStopsAfterTwentyPasses) {
    Vertex* a = AddVertex(-1000, 0, -1000);
    Vertex* b = AddVertex(0, 0, 1000);
    Vertex* c = AddVertex(1000, 0, -1000);
    AddTriangle(a, b, c);
    CollectAll(workset);
    UpdateNormals();
    detailBias = 2;
    PlaceBrush({0, 0, 0}, 2, 1);
    brush.cullValid = 0;
    UpdateBrushCulling(brush);
    TesselateForBrush(brush, 1);
    i32 afterOneStep = liveTriangleCount;
    f32 maxPerimeter = brush.radius / 4;
    bool coarseLeft = false;
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active || Length(t.center) > brush.radius + t.radius) continue;
        coarseLeft |= TriangleCircumference(&t) > 4 * maxPerimeter;
    }
    EXPECT_TRUE(coarseLeft);
    EXPECT_LT(afterOneStep, 400);
    UpdateNormals();
    TesselateForBrush(brush, 1);
    EXPECT_GT(liveTriangleCount, afterOneStep);
}

// The split point follows both end normals: on the sphere it lies well
// outside the chord, close to the surface.
TEST_F(TessellateTest, SplitPointFollowsTheCurvedSurface) {
    BuildSphere();
    Edge* e = nullptr;
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active && (!e || edges[i].length > e->length)) e = &edges[i];
    Vec3 chordMid = (e->vertex1->position + e->vertex2->position) * 0.5f;
    brush.radius = 1;
    Vertex* v = Tesselate(e);
    ASSERT_NE(v, nullptr);
    f32 chordError = 100 - Length(chordMid);
    EXPECT_GT(chordError, 0.05f);
    EXPECT_LT(std::fabs(100 - Length(v->position)), chordError * 0.1f);
    EXPECT_NEAR(Length(v->normal), 1.0f, 1e-5f);
    EXPECT_GT(Dot(v->normal, Normalized(v->position)), 0.999f);
}

// A closed surface stays closed whatever gets split: V - E + T = 2 and every
// edge keeps two triangles.
TEST_F(TessellateTest, RandomSplitsKeepTheSphereClosed) {
    BuildSphere();
    u32 seed = 1234;
    std::mt19937 rng(seed);
    brush.radius = 2;
    for (i32 step = 0; step < 20000; step++) {
        i32 slot = (i32)(rng() % (u32)edgeCapacity);
        if (!edges[slot].active) continue;
        Tesselate(&edges[slot]);
        if (step % 100 == 0) UpdateNormals();
    }
    ASSERT_GT(liveTriangleCount, 6000) << "seed " << seed;
    EXPECT_EQ(liveVertexCount - liveEdgeCount + liveTriangleCount, 2) << "seed " << seed;
    for (i32 i = 0; i < edgeCapacity; i++) {
        if (!edges[i].active) continue;
        EXPECT_TRUE(edges[i].triangle1 && edges[i].triangle2) << "edge " << i << " seed " << seed;
    }
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        EXPECT_LE(vertices[i].edgeCount, 19) << "vertex " << i;
    }
}

// ================================================================ relaxation

TEST_F(TessellateTest, BeautifyNeverMovesABorderVertex) {
    BuildPlane();
    // Shove everything sideways so every vertex wants to move back.
    std::vector<u8> border((size_t)vertexCapacity, 0);
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        border[(size_t)i] = HasOpenEdge(v);
        v.position.x += 1.5f * (f32)(i * 7 % 5 - 2);
        MarkChanged(&v, 1);
    }
    CollectAll(workset);
    UpdateNormals();
    std::vector<Vec3> before = TakePositions();
    for (i32 pass = 0; pass < 5; pass++) Beautify();
    i32 borderCount = 0, moved = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        bool same = v.position.x == before[(size_t)i].x && v.position.z == before[(size_t)i].z;
        if (border[(size_t)i]) {
            borderCount++;
            EXPECT_TRUE(same) << "vertex " << i;
        } else {
            moved += !same;
        }
    }
    EXPECT_EQ(borderCount, 64);
    EXPECT_GT(moved, 0);
}
