// Edge collapse: every refusal rule either side of its limit, the sphere
// case, and the undo of a degenerate result.
#include "meshfile_fixture.h"

namespace {

using CollapseTest = MeshTest;

// Two fans in a ring sharing the edge K-R: K has kEdges edges (its left arc,
// the shared top o1 and bottom o2, and R), R likewise rEdges on the right.
// o1 and o2 get `pad` extra triangles outward (3 + pad triangles each);
// p is the right arc's vertex after o2.
struct DoubleFan {
    i32 k, r, o1, o2, p, edge;
};

i32 Ring(f32 degrees, f32 radius) {
    f32 a = degrees * 0.017453292f;
    return SlotOf(AddVertex(5 + radius * std::cos(a), 0, radius * std::sin(a)));
}
void Tri(i32 a, i32 b, i32 c) {
    ASSERT_TRUE(AddTriangle(&vertices[a], &vertices[b], &vertices[c]));
}

// Closes the border at corner c, between its border neighbours a and b.
void Pad(i32 c, i32 a, i32 b, i32 pad, f32 angle) {
    for (i32 n = 1; n < pad; n++) {
        i32 x = Ring(angle + 10.0f * (f32)(n - pad / 2), 45);
        Tri(c, a, x);
        a = x;
    }
    if (pad > 0) Tri(c, a, b);
}

DoubleFan MakeDoubleFan(i32 kEdges, i32 rEdges, i32 pad1) {
    i32 k = SlotOf(AddVertex(0, 0, 0)), r = SlotOf(AddVertex(10, 0, 0));
    DoubleFan f{k, r, Ring(90, 30), Ring(-90, 30)};
    std::vector<i32> left{f.o1}, right{f.o2};
    for (i32 i = 1; i < kEdges - 2; i++) left.push_back(Ring(90 + 180.0f * i / (kEdges - 2), 30));
    for (i32 i = 1; i < rEdges - 2; i++) right.push_back(Ring(180.0f * i / (rEdges - 2) - 90, 30));
    left.push_back(f.o2);
    right.push_back(f.o1);
    for (size_t i = 0; i + 1 < left.size(); i++) Tri(f.k, left[i + 1], left[i]);
    for (size_t i = 0; i + 1 < right.size(); i++) Tri(f.r, right[i + 1], right[i]);
    Tri(f.k, f.r, f.o1);  // K first: the edge K-R is created with K as vertex1
    Tri(f.r, f.k, f.o2);
    Pad(f.o1, right[right.size() - 2], left[1], pad1, 90);
    Pad(f.o2, left[left.size() - 2], right[1], 2, -90);
    f.p = right[1];
    f.edge = SlotOf(FindEdge(&vertices[f.k], &vertices[f.k], &vertices[f.r]));
    return f;
}

// Collapse of the fixture's K-R edge, arranged so K is the kept end.
Vertex* CollapseKR(const DoubleFan& f) {
    EXPECT_EQ(edges[f.edge].vertex1, &vertices[f.k]);
    return CollapseEdge(&edges[f.edge]);
}

TEST_F(CollapseTest, BorderEdgeIsRefusedAndChangesNothing) {
    TestLog log;
    Quad q = MakeQuad();
    Counters before = ReadCounters();
    EXPECT_EQ(CollapseEdge(FindEdge(&vertices[q.a], &vertices[q.a], &vertices[q.b])), nullptr);
    EXPECT_EQ(log.Count("*** tried to collapse outer edge, not allowed"), 1);
    EXPECT_EQ(ReadCounters(), before);
}

TEST_F(CollapseTest, NullEdgeIsRefusedAndLogged) {
#if TESSA_ASSERTS
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CollapseEdge(nullptr), "collapse with null edge");  // the caller's fault
#else
    TestLog log;
    EXPECT_EQ(CollapseEdge(nullptr), nullptr);
    EXPECT_EQ(log.Count("### collapse with null edge!"), 1);
#endif
}

enum Extra { NONE, K_ON_MIRROR_LINE, BOTH_ON_MIRROR_LINE, BUSY_NEIGHBOUR, FINS };

// Each rule on either side of its limit; a refusal changes nothing at all.
TEST_F(CollapseTest, EachRefusalRuleHoldsExactlyAtItsLimit) {
    struct {
        i32 kEdges, rEdges, pad1;
        Extra extra;
        bool refused;
        const char* why;
    } cases[] = {
        {6, 6, 1, NONE, true, "opposite corner o1 with 4 triangles"},
        {6, 6, 2, NONE, false, "opposite corner o1 with 5 triangles"},
        {12, 11, 2, NONE, true, "19 edges on the kept end"},
        {12, 10, 2, NONE, false, "18 edges on the kept end"},
        {6, 6, 2, K_ON_MIRROR_LINE, true, "a mirror-line vertex with an off-line one"},
        {6, 6, 2, BOTH_ON_MIRROR_LINE, false, "two mirror-line vertices"},
        {6, 6, 2, BUSY_NEIGHBOUR, true, "a neighbour of R with no room for the edge to K"},
        {6, 6, 2, FINS, true, "K and R joined to x by two fins each: K-x would hold four"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.why);
        ResetAllocation();
        DoubleFan f = MakeDoubleFan(c.kEdges, c.rEdges, c.pad1);
        ASSERT_EQ(vertices[f.k].edgeCount, c.kEdges);
        ASSERT_EQ(vertices[f.r].edgeCount, c.rEdges);
        ASSERT_EQ(vertices[f.o1].triangleCount, 3 + c.pad1);
        vertices[f.k].onMirrorLine = c.extra == K_ON_MIRROR_LINE || c.extra == BOTH_ON_MIRROR_LINE;
        vertices[f.r].onMirrorLine = c.extra == BOTH_ON_MIRROR_LINE;
        if (c.extra == BUSY_NEIGHBOUR) {  // an outward fan up to the edge limit
            i32 last = SlotOf(AddVertex(50, 5, 0));
            while (vertices[f.p].edgeCount < MAX_VERTEX_EDGES) {
                i32 next = SlotOf(AddVertex(50, 5, (f32)vertices[f.p].edgeCount));
                Tri(f.p, last, next);
                last = next;
            }
        }
        if (c.extra == FINS) {
            i32 x = SlotOf(AddVertex(5, 20, 0));
            for (i32 end : {f.k, f.r}) {
                Tri(end, x, SlotOf(AddVertex(5, 30, -5)));
                Tri(x, end, SlotOf(AddVertex(5, 30, 5)));
            }
        }
        Counters counters = ReadCounters();
        MeshRecordSnapshot before = SnapshotRecords();
        Vertex* kept = CollapseKR(f);
        if (c.refused) {
            EXPECT_EQ(kept, nullptr);
            EXPECT_EQ(ReadCounters(), counters);
            EXPECT_TRUE(SnapshotRecords() == before);
        } else {
            ASSERT_EQ(kept, &vertices[f.k]);
            EXPECT_EQ(liveTriangleCount, counters.t - 2);
            EXPECT_EQ(kept->edgeCount, c.kEdges + c.rEdges - 4);
            EXPECT_EQ(vertices[f.o1].triangleCount, 2 + c.pad1);
        }
        ExpectMeshConsistent();
    }
}

// The start sphere away from the six octahedron corners: ends and opposite
// corners all with 6 edges.
Edge* RegularSphereEdge() {
    for (i32 i = 0; i < edgeCapacity; i++) {
        Edge& e = edges[i];
        if (!e.active || !e.triangle1 || !e.triangle2) continue;
        bool regular = true;
        for (Triangle* t : {e.triangle1, e.triangle2})
            for (Vertex* c : t->vertices) regular = regular && c->edgeCount == 6;
        if (regular) return &e;
    }
    return nullptr;
}

// The kept end moves to the midpoint and then half way to the mean of its
// new neighbours, which have not moved yet; reference and mask average.
TEST_F(CollapseTest, SphereCollapseRemovesTwoTrianglesThreeEdgesOneVertex) {
    BuildSphere();
    Edge* e = RegularSphereEdge();
    ASSERT_TRUE(e);
    Vertex* k = e->vertex1;
    Vertex* r = e->vertex2;
    Vec3 midpoint = (k->refPosition + r->refPosition) * 0.5f;
    Vec3 middle = (k->position + r->position) * 0.5f;
    std::vector<Vec3> positions = TakePositions();
    k->mask = 1;
    r->mask = 0;
    // Every triangle of R other than the edge's two is re-created in its own slot.
    std::vector<i32> recreated;
    for (i32 i = 0; i < r->triangleCount; i++)
        if (r->triangles[i] != e->triangle1 && r->triangles[i] != e->triangle2)
            recreated.push_back(SlotOf(r->triangles[i]));
    Counters before = ReadCounters();
    ASSERT_EQ(CollapseEdge(e), k);
    EXPECT_EQ(liveTriangleCount, before.t - 2);
    EXPECT_EQ(liveEdgeCount, before.e - 3);
    EXPECT_EQ(liveVertexCount, before.v - 1);
    EXPECT_FALSE(r->active);
    EXPECT_EQ(memcmp(&k->refPosition, &midpoint, 12), 0);
    EXPECT_EQ(k->mask, 0.5f);
    ASSERT_EQ(k->edgeCount, 8);
    Vec3 mean = {0, 0, 0};
    for (i32 i = 0; i < 8; i++) {
        Vertex* w = k->edges[i]->vertex1 == k ? k->edges[i]->vertex2 : k->edges[i]->vertex1;
        mean += positions[(size_t)SlotOf(w)] * 0.125f;
    }
    EXPECT_LT(Length(k->position - (middle + (mean - middle) * 0.5f)), 1e-4f);
    for (i32 slot : recreated) {
        EXPECT_TRUE(triangles[slot].active);
        EXPECT_EQ(triangles[slot].vertices[0], k) << "re-created around the kept end";
    }
}

// All corners on one spot (an imported mesh with duplicated positions): the
// result has zero-area triangles, so the collapse is undone, not fatal.
TEST_F(CollapseTest, OverlappingCornersUndoTheCollapseExactly) {
    TestLog log;
    DoubleFan f = MakeDoubleFan(6, 6, 2);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].position = vertices[i].refPosition = Vec3{1, 2, 3};
    MeshRecordSnapshot before = SnapshotRecords();
    EXPECT_EQ(CollapseKR(f), nullptr);
    EXPECT_TRUE(SnapshotRecords() == before)
        << "triangles back in their slots, windings and positions kept";
    EXPECT_NE(log.Text().find("two vertices overlapping!"), std::string::npos);
}

}  // namespace
