// Edge splits and refinement under the brush: what a split creates, every
// refusal, growth mid-split, the retry after a neighbour split, the passes.
#include "mesh_fixture.h"

namespace {

// Triangles (a, b, c) and, unless on the border, (b, a, d) on the edge a-b of
// length 1, both facing +y, with c above and d below the edge.
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

// A split with brush radius 1: edges shorter than 1 / 12 never split.
Vertex* Split(Edge* e) { return Tesselate(e, MIN_EDGE_PER_RADIUS); }

void RefineUnder(Vec3 center, f32 radius) {
    PlaceBrush(center, radius, 1);
    brush.cullValid = 0;
    UpdateBrushCulling(brush, brush.center, brush.radius, strokeActive);
    TesselateForBrush(brush.center, brush.radius, 1);
}

}  // namespace

class TessellateTest : public SculptTest {};

TEST_F(TessellateTest, SplitReplacesEachTriangleByTwoAndAveragesTheNewVertex) {
    for (bool inner : {true, false}) {
        SCOPED_TRACE(inner ? "inner edge" : "border edge");
        CheckAndReset();
        Diamond m = MakeDiamond(inner);
        Vertex* four[4] = {m.a, m.b, m.c, m.d};
        for (i32 i = 0; i < (inner ? 4 : 3); i++) {
            four[i]->refPosition = four[i]->position + Vec3{0, 4.0f * (f32)(i + 1), 0};
            four[i]->mask = 0.25f * (f32)i;
        }
        m.a->savedPosition = {0, 2, 0};
        m.b->savedPosition = {1, 4, 0};
        m.a->savedNormal = {0, 1, 0};
        m.b->savedNormal = inner ? Vec3{1, 0, 0} : Vec3{0, -1, 0};  // opposed: no direction, +x
        m.a->onMirrorLine = 1;
        m.b->onMirrorLine = inner;  // the new vertex is on the line only with both ends
        Counters before = ReadCounters();
        i32 slotAbc = SlotOf(m.abc), n = inner ? 2 : 1;
        Vertex* nv = Split(m.ab);
        ASSERT_NE(nv, nullptr);
        EXPECT_EQ(liveVertexCount - before.v, 1);
        EXPECT_EQ(liveEdgeCount - before.e, n + 1);
        EXPECT_EQ(liveTriangleCount - before.t, n);
        EXPECT_EQ(nv->triangleCount, 2 * n);
        EXPECT_EQ(m.c->edgeCount, 3);  // the opposite corner gains one edge, the ends keep theirs
        EXPECT_EQ(m.a->edgeCount, 1 + n);
        const Triangle& reused = triangles[slotAbc];  // the new triangles take the old slots
        EXPECT_TRUE(reused.active && std::count(reused.vertices, reused.vertices + 3, nv) == 1);
        // On a flat patch the curve is the chord, and every new triangle faces +y.
        EXPECT_NEAR(Length(nv->position - Vec3{0.5f, 0, 0}), 0, 1e-6f);
        EXPECT_NEAR(nv->normal.y, 1.0f, 1e-6f);
        for (i32 k = 0; k < nv->triangleCount; k++) EXPECT_GT(nv->triangles[k]->normal.y, 0.99f);
        // Reference and mask over the ends and opposite corners, saved state over
        // the ends: (4 + 8 + 12 + 16) / 4 inside, (4 + 8) / 2 on the border.
        EXPECT_NEAR(nv->refPosition.x, 0.5f, 1e-6f);
        EXPECT_NEAR(nv->refPosition.y, inner ? 10.0f : 6.0f, 1e-5f);
        EXPECT_NEAR(nv->mask, inner ? 0.375f : 0.125f, 1e-6f);
        EXPECT_NEAR(nv->savedPosition.y, 3.0f, 1e-6f);
        EXPECT_NEAR(nv->savedNormal.x, inner ? 0.70710677f : 1.0f, 1e-6f);
        EXPECT_EQ(nv->onMirrorLine, inner);
    }
}

// |ab| = 1: a radius of 12.01 refuses it, and a zero-length edge has no
// direction whatever the radius; 12 x 0.083333336 in floats equals 1 and splits.
TEST_F(TessellateTest, EdgeOfExactlyATwelfthOfTheRadiusSplitsAndShorterOrZeroDoesNot) {
    Diamond m = MakeDiamond();
    Counters before = ReadCounters();
    EXPECT_EQ(Tesselate(m.ab, 12.01f * MIN_EDGE_PER_RADIUS), nullptr);
    m.b->position = m.a->position;
    EXPECT_EQ(Tesselate(m.ab, 0), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    m.b->position = {1, 0, 0};
    EXPECT_NE(Tesselate(m.ab, 12 * MIN_EDGE_PER_RADIUS), nullptr);
}

// A quad facing -x: splitting the border edge c-d of (a, c, d) re-creates a
// half over the diagonal, which (a, b, c) made running c to a, against this
// triangle's winding. Both halves must still face -x.
TEST_F(TessellateTest, SplitHalvesFaceTheWayTheirTriangleDid) {
    Vertex *a = AddVertex(0, 0, 0), *b = AddVertex(0, 0, 10);
    Vertex *c = AddVertex(0, 10, 10), *d = AddVertex(0, 10, 0);
    AddTriangle(a, b, c);
    AddTriangle(a, c, d);
    CollectAll(workset);
    UpdateNormals();
    ASSERT_NE(Split(FindEdge(c, c, d)), nullptr);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) { EXPECT_LT(triangles[i].normal.x, -0.99f) << "triangle " << i; }
}

// Flaps raise the opposite corner c to the given edge count. A border edge
// has no valence check of its own: a full corner there must not end the
// program or leave the triangle removed, and refinement must go on past it.
TEST_F(TessellateTest, OppositeCornerSplitsAtEighteenEdgesAndRefusesAtNineteenOrWhenFull) {
    TestLog log;
    log.Mute();
    struct Case {
        bool inner;
        i32 edges;
    };
    Diamond m;
    for (Case k : {Case{true, 18}, Case{true, 19}, Case{false, MAX_VERTEX_EDGES}}) {
        SCOPED_TRACE(::testing::Message() << k.edges << " edges");
        CheckAndReset();
        m = MakeDiamond(k.inner);
        for (i32 i = 0; i < (k.edges - 2) / 2; i++) {  // far flaps facing +y: nothing folds
            Vertex* p = AddVertex(50 + (f32)i, 0, 50);
            AddTriangle(m.c, AddVertex(50 + (f32)i, 0, 51), p);
        }
        Vertex* z = AddVertex(40, 0, 40);  // sharing a flap's edge adds one more
        if (k.edges % 2) AddTriangle(m.c, m.c->edges[2]->vertex2, z);
        CollectAll(workset);
        UpdateNormals();
        ASSERT_EQ(m.c->edgeCount, k.edges);
        Counters before = ReadCounters();
        Vertex* nv = Split(m.ab);
        EXPECT_EQ(nv != nullptr, k.edges == 18);
        EXPECT_EQ(m.c->edgeCount, std::max(k.edges, 19));
        EXPECT_EQ(log.Count("*** Edge doesn't want to split! nedges=19"), k.edges == 18 ? 0 : 1);
        // A full corner on a border edge: refused before anything changes.
        EXPECT_EQ(log.Count("### Tesselate requested bad triangle"), k.edges > 19 ? 1 : 0);
        if (!nv) {
            EXPECT_TRUE(ReadCounters() == before);
            EXPECT_EQ(m.ab->triangle1, m.abc);
        }
    }
    AddTriangle(AddVertex(-3, 0, 2), AddVertex(0, 0, 5), AddVertex(3, 0, 2));  // wants refining
    CollectAll(workset);
    UpdateNormals();
    i32 trianglesBefore = liveTriangleCount;
    RefineUnder({0, 0, 1}, 4);
    EXPECT_GT(liveTriangleCount, trianglesBefore);
    EXPECT_TRUE(m.abc->active && m.ab->triangle1 == m.abc);  // the refused split kept it whole
}

// a-b is short for its triangle (a, b, c): the long side b-c, shared with
// (c, b, d), splits first. That removes (a, b, c) and with it a-b, which had
// no other triangle; the retry must not split whatever took a-b's slot.
TEST_F(TessellateTest, RetryAfterTheNeighbourSplitOnlySplitsTheSameEdge) {
    struct Case {
        bool caFirst, abSlotNext, splits;
        const char* what;
    };
    for (Case k : {Case{false, false, false, "a-b re-created elsewhere"},
                   Case{true, true, false, "c-a took a-b's slot"},
                   Case{false, true, true, "a-b re-created in its own slot"}}) {
        SCOPED_TRACE(k.what);
        CheckAndReset();
        // b-c a little longer than c-a; the corner order decides which pair the
        // neighbour split re-creates first.
        Vertex *a = AddVertex(0, 0, 0), *b = AddVertex(1, 0, 0);
        Vertex *c = AddVertex(0.45f, 0, -2.2f), *d = AddVertex(2, 0, -1.5f);
        ASSERT_NE(k.caFirst ? AddTriangle(c, a, b) : AddTriangle(a, b, c), nullptr);
        AddTriangle(c, b, d);
        i32 abSlot = SlotOf(FindEdge(a, a, b)), trianglesBefore = liveTriangleCount;
        CollectAll(workset);
        UpdateNormals();
        if (k.abSlotNext) edgeCursor = abSlot;
        EXPECT_EQ(Split(&edges[abSlot]) != nullptr, k.splits);
        EXPECT_GT(liveTriangleCount, trianglesBefore);  // the neighbour split happened
        EXPECT_EQ(FindEdge(a, a, b) == nullptr, k.splits);
        const Edge& e = edges[abSlot];
        auto joins = [&](Vertex* v) { return e.vertex1 == v || e.vertex2 == v; };
        if (k.caFirst) { EXPECT_TRUE(e.active && e.triangle1 && joins(c) && joins(a)); }
    }
}

TEST_F(TessellateTest, BrushRefinesOnlyTrianglesTooCoarseForItsRadius) {
    BuildSphere();
    detailBias = 0;  // refinement off: nothing at all changes
    std::vector<Vec3> positions = TakePositions();
    RefineUnder({0, 0, 100}, 5);
    EXPECT_EQ(liveTriangleCount, 2048);
    EXPECT_TRUE(Unmoved(positions));
    detailBias = 1.3f;
    RefineUnder({0, 0, 100}, 200);  // perimeter limit 77, triangles about 36
    EXPECT_EQ(liveTriangleCount, 2048);
    Vec3 c = {0, 0, 100};
    RefineUnder(c, 8);
    EXPECT_GT(liveTriangleCount, 2048);
    f32 maxPerimeter = (1 / detailBias) / 2 * brush.radius;
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (t.active && Length(c - t.center) <= brush.radius + t.radius) {
            EXPECT_LE(TriangleCircumference(&t), maxPerimeter * 1.0001f) << "triangle " << i;
        }
    }
}

// One huge triangle under a tiny brush would take some 30 passes to refine:
// a step stops after 20, and the next step carries on.
TEST_F(TessellateTest, RunawayRefinementStopsAfterTwentyPasses) {
    AddTriangle(AddVertex(-1000, 0, -1000), AddVertex(0, 0, 1000), AddVertex(1000, 0, -1000));
    CollectAll(workset);
    UpdateNormals();
    detailBias = 2;
    RefineUnder({0, 0, 0}, 2);
    i32 afterOneStep = liveTriangleCount;
    bool coarseLeft = false;
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (t.active && Length(t.center) <= brush.radius + t.radius)
            coarseLeft |= TriangleCircumference(&t) > brush.radius;  // 4 x the limit
    }
    EXPECT_TRUE(coarseLeft);
    EXPECT_LT(afterOneStep, 400);
    UpdateNormals();
    TesselateForBrush(brush.center, brush.radius, 1);
    EXPECT_GT(liveTriangleCount, afterOneStep);
}

// The split point follows both end normals: on the sphere it lies well
// outside the chord, close to the surface.
TEST_F(TessellateTest, SplitPointFollowsTheCurvedSurface) {
    BuildSphere();
    Edge* e = nullptr;
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active && (!e || edges[i].length > e->length)) e = &edges[i];
    f32 chordError = 100 - Length((e->vertex1->position + e->vertex2->position) * 0.5f);
    Vertex* v = Split(e);
    ASSERT_NE(v, nullptr);
    EXPECT_GT(chordError, 0.05f);
    EXPECT_LT(std::fabs(100 - Length(v->position)), chordError * 0.1f);
    EXPECT_NEAR(Length(v->normal), 1.0f, 1e-5f);
    EXPECT_GT(Dot(v->normal, Normalized(v->position)), 0.999f);
}
