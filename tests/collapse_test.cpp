// Edge collapse: every refusal rule, the sphere case, the re-created
// triangles in their own slots, the undo of a degenerate result, and a
// random chain of collapses checked after every step.
#include <random>
#include "meshfile_fixture.h"

namespace {

using CollapseTest = MeshTest;

// Two fans sharing the edge K-R, inside a ring centred between them:
//
//            o1 (top, shared)             K has kFan ring neighbours on the
//         L .. \    / .. P                left arc plus R: kFan + 1 edges
//        /      \  /      \               (o1 and o2 included in the arc);
//       L    K ------- R   P              R likewise with rFan on the right.
//        \      /  \      /               o1 and o2 get `pad` extra triangles
//         L .. /    \ .. P                outward, so their triangle counts
//            o2 (bottom, shared)          are 3 + pad.
struct DoubleFan {
    i32 k, r, o1, o2;
    i32 edge;  // slot of the edge K-R
};

i32 Ring(f32 angleDegrees, f32 radius) {
    f32 a = angleDegrees * 0.017453292f;
    return SlotOf(AddVertex(5 + radius * std::cos(a), 0, radius * std::sin(a)));
}

void Fan(i32 centre, const std::vector<i32>& arc) {
    for (size_t i = 0; i + 1 < arc.size(); i++)
        ASSERT_TRUE(AddTriangle(&vertices[centre], &vertices[arc[i + 1]], &vertices[arc[i]]));
}

// Closes the border at corner c (between its border neighbours a and b)
// with `pad` outward triangles.
void Pad(i32 c, i32 a, i32 b, i32 pad, f32 angle) {
    i32 previous = a;
    for (i32 n = 1; n < pad; n++) {
        i32 x = Ring(angle + 10.0f * (f32)(n - pad / 2), 45);
        ASSERT_TRUE(AddTriangle(&vertices[c], &vertices[previous], &vertices[x]));
        previous = x;
    }
    if (pad > 0) {
        ASSERT_TRUE(AddTriangle(&vertices[c], &vertices[previous], &vertices[b]));
    }
}

DoubleFan MakeDoubleFan(i32 kEdges, i32 rEdges, i32 pad1, i32 pad2) {
    DoubleFan f;
    f.k = SlotOf(AddVertex(0, 0, 0));
    f.r = SlotOf(AddVertex(10, 0, 0));
    f.o1 = Ring(90, 30);
    f.o2 = Ring(-90, 30);
    i32 left = kEdges - 1, right = rEdges - 1;  // ring neighbours, o1 and o2 included
    std::vector<i32> leftArc{f.o1}, rightArc{f.o2};
    for (i32 i = 1; i < left - 1; i++) leftArc.push_back(Ring(90 + 180.0f * (f32)i / (f32)(left - 1), 30));
    leftArc.push_back(f.o2);
    for (i32 i = 1; i < right - 1; i++) rightArc.push_back(Ring(-90 + 180.0f * (f32)i / (f32)(right - 1), 30));
    rightArc.push_back(f.o1);
    Fan(f.k, leftArc);
    Fan(f.r, rightArc);
    // K first on the shared side: the edge K-R is created here with K as vertex1.
    AddTriangle(&vertices[f.k], &vertices[f.r], &vertices[f.o1]);
    AddTriangle(&vertices[f.r], &vertices[f.k], &vertices[f.o2]);
    Pad(f.o1, rightArc[rightArc.size() - 2], leftArc[1], pad1, 90);
    Pad(f.o2, leftArc[leftArc.size() - 2], rightArc[1], pad2, -90);
    Edge* e = FindEdge(&vertices[f.k], &vertices[f.k], &vertices[f.r]);
    f.edge = e ? SlotOf(e) : -1;
    return f;
}

// Collapse of the fixture's K-R edge, arranged so K is the kept end.
Vertex* CollapseKR(const DoubleFan& f) {
    Edge& e = edges[f.edge];
    EXPECT_EQ(e.vertex1, &vertices[f.k]);
    return CollapseEdge(&e, 0);
}

// ---------------------------------------------------------------- refusals

TEST_F(CollapseTest, BorderEdgeIsRefusedAndLogged) {
    TestLog log;
    Quad q = MakeQuad();
    Counters before = ReadCounters();
    Edge* border = FindEdge(&vertices[q.a], &vertices[q.a], &vertices[q.b]);
    ASSERT_TRUE(border);
    EXPECT_EQ(CollapseEdge(border, 0), nullptr);
    EXPECT_EQ(ReadCounters(), before);
    EXPECT_EQ(log.Count("*** tried to collapse outer edge, not allowed"), 1);
}

TEST_F(CollapseTest, OppositeCornerWithFourTrianglesIsRefusedWithFiveCollapsed) {
    {
        DoubleFan f = MakeDoubleFan(6, 6, 1, 2);
        ASSERT_EQ(vertices[f.o1].triangleCount, 4);
        ASSERT_EQ(vertices[f.o2].triangleCount, 5);
        Counters before = ReadCounters();
        EXPECT_EQ(CollapseKR(f), nullptr);
        EXPECT_EQ(ReadCounters(), before);
    }
    ResetAllocation();
    DoubleFan f = MakeDoubleFan(6, 6, 2, 2);
    ASSERT_EQ(vertices[f.o1].triangleCount, 5);
    i32 trianglesBefore = liveTriangleCount;
    EXPECT_EQ(CollapseKR(f), &vertices[f.k]);
    EXPECT_EQ(liveTriangleCount, trianglesBefore - 2);
    EXPECT_EQ(vertices[f.o1].triangleCount, 4);
}

TEST_F(CollapseTest, BusyEdgeIsRefusedAtNineteenEdgesAndCollapsedAtEighteen) {
    {
        TestLog log;
        DoubleFan f = MakeDoubleFan(12, 11, 2, 2);
        ASSERT_EQ(vertices[f.k].edgeCount, 12);
        ASSERT_EQ(vertices[f.r].edgeCount, 11);
        Counters before = ReadCounters();
        EXPECT_EQ(CollapseKR(f), nullptr);
        EXPECT_EQ(ReadCounters(), before);
        EXPECT_EQ(log.Count("*** tried to collapse busy edge, won't"), 1);
    }
    ResetAllocation();
    DoubleFan f = MakeDoubleFan(12, 10, 2, 2);
    ASSERT_EQ(vertices[f.r].edgeCount, 10);
    Vertex* kept = CollapseKR(f);
    ASSERT_EQ(kept, &vertices[f.k]);
    EXPECT_EQ(kept->edgeCount, 18);
}

TEST_F(CollapseTest, MirrorLineVertexNeverMergesWithAnOffLineOne) {
    DoubleFan f = MakeDoubleFan(6, 6, 2, 2);
    vertices[f.k].onMirrorLine = 1;
    Counters before = ReadCounters();
    EXPECT_EQ(CollapseKR(f), nullptr);
    EXPECT_EQ(ReadCounters(), before);
    vertices[f.r].onMirrorLine = 1;
    EXPECT_NE(CollapseKR(f), nullptr) << "two mirror-line vertices may merge";
}

TEST_F(CollapseTest, NullEdgeAndDeepRecursionAreRefusedWithoutStopping) {
    TestLog log;
    DoubleFan f = MakeDoubleFan(6, 6, 2, 2);
    Counters before = ReadCounters();
    EXPECT_EQ(CollapseEdge(nullptr, 0), nullptr);
    EXPECT_EQ(log.Count("### collapse with null edge!"), 1);
    EXPECT_EQ(CollapseEdge(&edges[f.edge], 11), nullptr);
    EXPECT_EQ(log.Count("*** bailing recursive collapse"), 1);
    EXPECT_EQ(ReadCounters(), before);
}

// A neighbour of R already at 24 edges cannot take the edge to K that the
// re-created triangles need: refused before anything is removed.
TEST_F(CollapseTest, NeighbourWithoutRoomForTheNewEdgeRefusesTheCollapse) {
    DoubleFan f = MakeDoubleFan(6, 6, 2, 2);
    // The right-arc vertex after o2: give it an outward fan up to 24 edges.
    Vertex& r = vertices[f.r];
    i32 busy = -1;
    for (i32 i = 0; i < r.edgeCount && busy < 0; i++) {
        Vertex* w = r.edges[i]->vertex1 == &r ? r.edges[i]->vertex2 : r.edges[i]->vertex1;
        i32 slot = SlotOf(w);
        if (slot != f.k && slot != f.o1 && slot != f.o2) busy = slot;
    }
    ASSERT_GE(busy, 0);
    i32 previous = SlotOf(AddVertex(50, 5, 0));
    while (vertices[busy].edgeCount < MAX_VERTEX_EDGES) {
        i32 next = SlotOf(AddVertex(50, 5, (f32)vertices[busy].edgeCount));
        ASSERT_TRUE(AddTriangle(&vertices[busy], &vertices[previous], &vertices[next]));
        previous = next;
    }
    MeshRecordSnapshot before = SnapshotRecords();
    EXPECT_EQ(CollapseKR(f), nullptr);
    EXPECT_TRUE(SnapshotRecords() == before);
}

// K and R both joined to x by two triangles each (fins off the double fan):
// merging them would leave one edge K-x holding four triangles.
TEST_F(CollapseTest, EndsSharingANeighbourBesidesTheOppositeCornersAreRefused) {
    DoubleFan f = MakeDoubleFan(6, 6, 2, 2);
    i32 x = SlotOf(AddVertex(5, 20, 0));
    for (i32 end : {f.k, f.r}) {
        i32 p1 = SlotOf(AddVertex(5, 30, -5)), p2 = SlotOf(AddVertex(5, 30, 5));
        ASSERT_TRUE(AddTriangle(&vertices[end], &vertices[x], &vertices[p1]));
        ASSERT_TRUE(AddTriangle(&vertices[x], &vertices[end], &vertices[p2]));
    }
    MeshRecordSnapshot before = SnapshotRecords();
    EXPECT_EQ(CollapseKR(f), nullptr);
    EXPECT_TRUE(SnapshotRecords() == before);
}

// ---------------------------------------------------------------- the collapse

// The start sphere away from the six octahedron corners: ends and opposite
// corners all with 6 edges.
Edge* RegularSphereEdge() {
    for (i32 i = 0; i < edgeCapacity; i++) {
        Edge& e = edges[i];
        if (!e.active || !e.triangle1 || !e.triangle2) continue;
        bool regular = e.vertex1->edgeCount == 6 && e.vertex2->edgeCount == 6;
        for (Triangle* t : {e.triangle1, e.triangle2})
            for (Vertex* c : t->vertices) regular = regular && c->edgeCount == 6;
        if (regular) return &e;
    }
    return nullptr;
}

TEST_F(CollapseTest, SphereCollapseRemovesTwoTrianglesThreeEdgesOneVertex) {
    BuildSphere();
    Edge* e = RegularSphereEdge();
    ASSERT_TRUE(e);
    Vertex* k = e->vertex1;
    Vertex* r = e->vertex2;
    Vec3 midpoint = (k->refPosition + r->refPosition) * 0.5f;
    k->mask = 1;
    r->mask = 0;
    // Every triangle of R other than the edge's two is re-created in its own slot.
    std::vector<i32> recreatedSlots;
    for (i32 i = 0; i < r->triangleCount; i++)
        if (r->triangles[i] != e->triangle1 && r->triangles[i] != e->triangle2)
            recreatedSlots.push_back(SlotOf(r->triangles[i]));
    i32 v = liveVertexCount, ed = liveEdgeCount, t = liveTriangleCount;
    ASSERT_EQ(CollapseEdge(e, 0), k);
    EXPECT_EQ(liveTriangleCount, t - 2);
    EXPECT_EQ(liveEdgeCount, ed - 3);
    EXPECT_EQ(liveVertexCount, v - 1);
    EXPECT_FALSE(r->active);
    EXPECT_EQ(k->refPosition.x, midpoint.x);
    EXPECT_EQ(k->refPosition.y, midpoint.y);
    EXPECT_EQ(k->refPosition.z, midpoint.z);
    EXPECT_EQ(k->mask, 0.5f);
    EXPECT_EQ(k->edgeCount, 8);
    for (i32 slot : recreatedSlots) {
        EXPECT_TRUE(triangles[slot].active);
        EXPECT_EQ(triangles[slot].vertices[0], k) << "re-created around the kept end";
    }
}

// All corners on one spot (an imported mesh with duplicated positions): the
// result has zero-area triangles, so the collapse is undone, not fatal.
TEST_F(CollapseTest, OverlappingCornersUndoTheCollapseExactly) {
    TestLog log;
    DoubleFan f = MakeDoubleFan(6, 6, 2, 2);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].position = vertices[i].refPosition = V3(1, 2, 3);
    MeshRecordSnapshot before = SnapshotRecords();
    EXPECT_EQ(CollapseKR(f), nullptr);
    EXPECT_TRUE(SnapshotRecords() == before) << "triangles back in their slots, windings and positions kept";
    EXPECT_NE(log.Text().find("two vertices overlapping!"), std::string::npos);
}

// A closed surface keeps V - E + T = 2 through every successful collapse.
TEST_F(CollapseTest, RandomCollapsesKeepTheSphereClosedAndConsistent) {
    u32 seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    BuildSphere();
    i32 collapsed = 0;
    for (i32 step = 0; step < 600; step++) {
        i32 slot = (i32)(rng() % (u32)edgeCapacity);
        while (!edges[slot].active) slot = (slot + 1) % edgeCapacity;
        i32 t = liveTriangleCount;
        Vertex* kept = CollapseEdge(&edges[slot], 0);
        if (kept) {
            collapsed++;
            ASSERT_TRUE(kept->active);
            ASSERT_EQ(liveTriangleCount, t - 2);
            ASSERT_LE(kept->edgeCount, 18);
        }
        ASSERT_EQ(liveVertexCount - liveEdgeCount + liveTriangleCount, 2) << "step " << step;
        char report[2048];
        ASSERT_TRUE(CheckMesh(report, sizeof report)) << "step " << step << ": " << report;
    }
    EXPECT_GT(collapsed, 0);
}

}  // namespace
