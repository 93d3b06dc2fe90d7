// Topology edits and normals: refusals, edge sharing and removal, flips,
// vertex normals, relaxation, and the checker's report for each broken link.
#include "mesh_fixture.h"

static Vertex* V(i32 slot) { return &vertices[slot]; }
static Triangle* T(i32 slot) { return &triangles[slot]; }

TEST_F(MeshTest, AddTriangleWithARepeatedCornerIsRefusedAndChangesNothing) {
    Vertex* a = AddVertex(0, 0, 0);
    Vertex* b = AddVertex(1, 0, 0);
#if TESSA_ASSERTS
    // A repeated corner is a fault of the calling code: it stops right there.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(AddTriangle(a, a, b), "tried to create invalid triangle");
#else
    TestLog log;
    Counters before = ReadCounters();
    EXPECT_EQ(AddTriangle(a, a, b), nullptr);
    EXPECT_EQ(AddTriangle(a, b, b), nullptr);
    EXPECT_EQ(AddTriangle(b, a, b, 7), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    EXPECT_EQ(log.Count("### tried to create invalid triangle!"), 3);
    EXPECT_EQ(a->triangleCount + a->edgeCount + b->triangleCount + b->edgeCount, 0);
#endif
}

// A third triangle on one edge would be linked from its corners only and
// outlive the edge; a 25th edge would overrun the vertex's fixed list. A
// vertex never has more triangles than edges, so the edge limit comes first.
TEST_F(MeshTest, AdjacencyLimitsRefuseTrianglesAndChangeNothing) {
    const char* sides = "*** edge already holds two triangles, triangle refused";
    const char* room = "*** vertex has no room for another triangle or edge, triangle refused";
    struct {
        const char* what;
        bool fan;  // else the quad; slots of the corners follow
        i32 a, b, c;
        const char* refusal;  // null: accepted
    } cases[] = {
        {"third triangle on the diagonal", false, 0, 2, 4, sides},
        {"second triangle on a border edge", false, 2, 1, 4, nullptr},
        {"25th edge at the fan centre", true, 0, 26, 24, room},
        {"closing the fan needs no new edge at the centre", true, 0, 1, 24, nullptr},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        CheckAndReset();
        if (c.fan) {
            MakeFan(23, 24);  // open: 23 triangles, 24 spokes
            AddVertex(0, 0, 50);
            AddVertex(0, 0, 60);
        } else {
            MakeQuad();
            AddVertex(5, 5, -5);
        }
        TestLog log;
        log.Mute();
        Counters before = ReadCounters();
        Triangle* t = AddTriangle(V(c.a), V(c.b), V(c.c));
        EXPECT_EQ(t == nullptr, c.refusal != nullptr);
        if (c.refusal) {
            EXPECT_TRUE(ReadCounters() == before);
            EXPECT_EQ(log.Count(c.refusal), 1);
        }
    }
    EXPECT_EQ(V(0)->triangleCount + V(0)->edgeCount, 48);
}

// Removal frees the edges no other triangle holds and, when asked, the
// vertices left without any; the slot goes to the workset for the renderer.
TEST_F(MeshTest, RemovingTrianglesFreesOnlyWhatNothingElseUses) {
    for (bool withVertices : {true, false}) {
        CheckAndReset();
        Quad q = MakeQuad();
        i32 listed = workset.triangles.count;
        EXPECT_EQ(RemoveTriangle(T(q.t2), withVertices), q.t2);
        EXPECT_EQ(liveEdgeCount, 3);
        EXPECT_EQ(liveVertexCount, withVertices ? 3 : 4);  // only d is left without triangles
        EXPECT_EQ(V(q.d)->active, !withVertices);
        EXPECT_EQ(workset.triangles.items[listed], q.t2);
    }
}

TEST_F(MeshTest, AlignTriangleFlipsInPlaceOnlyAgainstTheDirection) {
    Quad q = MakeQuad();
    Triangle* t = T(q.t1);
    Triangle copy = *t;
    AlignTriangle(t, Vec3{0.1f, 1, 0});
    EXPECT_EQ(memcmp(&copy, t, sizeof copy), 0);
    AlignTriangle(t, Vec3{0, -1, 0});
    EXPECT_EQ(t->vertices[0], V(q.c));
    EXPECT_EQ(t->vertices[2], V(q.a));
    EXPECT_FLOAT_EQ(t->normal.y, -1);
    const f32 nan = std::nanf("");
    AlignTriangle(t, Vec3{nan, nan, nan});  // no usable direction also flips
    EXPECT_FLOAT_EQ(t->normal.y, 1);
}

TEST_F(MeshTest, OpposedTrianglesGiveTheFirstOnesNormalAndAFlatOnePlusX) {
    Vertex* a = AddVertex(0, 0, 0);
    Vertex* b = AddVertex(1, 0, 0);
    Vertex* c = AddVertex(0, 0, -1);
    AddTriangle(a, c, b);  // facing down
    AddTriangle(a, b, c);  // same corners facing up: the sum is zero
    UpdateNormal(a);
    EXPECT_EQ(a->folded, 1);
    EXPECT_EQ(a->normal.y, -1.0f);
    Vertex* lone = AddVertex(5, 5, 5);
    UpdateNormal(lone);
    EXPECT_TRUE(lone->normal.y == 1 && !lone->folded);
    Triangle* flat = AddTriangle(AddVertex(0, 9, 0), AddVertex(1, 9, 0), AddVertex(2, 9, 0));
    EXPECT_EQ(flat->normal.x, 1.0f);  // a degenerate triangle has no direction: +x rather than NaN
}

TEST_F(MeshTest, UpdateNormalsTurnsBackAFlippedTriangle) {
    MakeStrip(12);
    Triangle* t = T(5);
    Vertex *a = t->vertices[0], *b = t->vertices[1], *c = t->vertices[2];
    AddTriangle(c, b, a, RemoveTriangle(t, false));
    ASSERT_LT(t->normal.y, 0);
    CollectAll(workset);
    UpdateNormals();
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) { EXPECT_FLOAT_EQ(triangles[i].normal.y, 1) << "triangle " << i; }
}

// A flat closed fan of radius 10 with its centre pushed 1 along x. Beautify
// slides an inner vertex 0.9 of the way to its neighbours' mean within the
// tangent plane, stops below 4 % of the mean edge length, never moves a
// border vertex, and calls the mesh settled after three quiet passes.
TEST_F(MeshTest, RelaxationMovesByItsFactorsAndSettlesAfterThreeQuietPasses) {
    i32 c = MakeFan(6, 6);
    vertices[c].position.x = 1;
    CollectAll(workset);
    UpdateNormals();
    std::vector<Vec3> start = TakePositions();
    quietBeautifyPasses = meshSettled = 0;
    Beautify();
    EXPECT_NEAR(vertices[c].position.x, 0.1f, 1e-5f);
    EXPECT_EQ(vertices[c].position.y, 0.0f);
    for (i32 i = 1; i <= 6; i++) EXPECT_EQ(memcmp(&vertices[i].position, &start[i], 12), 0) << i;
    for (i32 pass = 1; pass <= 3; pass++) {
        EXPECT_EQ(quietBeautifyPasses, pass - 1);
        EXPECT_FALSE(meshSettled) << pass;
        Beautify();  // 0.1 is below 0.04 x 10: the centre stays
    }
    EXPECT_TRUE(meshSettled);
    EXPECT_NEAR(vertices[c].position.x, 0.1f, 1e-5f);
    RelaxVertex(&vertices[c], 0.5f);
    EXPECT_NEAR(vertices[c].position.x, 0.05f, 1e-5f);
    // Only the pull's part across the normal moves: a lifted centre slides
    // sideways, never along its own normal.
    vertices[c].position = {1, 2, 0};
    RunParallel(ClearChangedJob);
    MarkChanged(&vertices[c], 1);
    for (i32 k = 0; k < vertices[c].triangleCount; k++)
        EXPECT_TRUE(vertices[c].triangles[k]->changed) << "its triangles need new normals";
    UpdateNormals();
    Vec3 before = vertices[c].position, normal = vertices[c].normal;
    Beautify();
    Vec3 moved = vertices[c].position - before;
    EXPECT_GT(Length(moved), 0.5f);
    EXPECT_NEAR(Dot(moved, normal), 0, 1e-4f);
}

// Each row breaks one link of a fresh quad (slot 100 of every array is
// free); the checker must fail and name it.
TEST_F(MeshTest, CheckerNamesEveryKindOfBrokenLink) {
    struct Fault {
        const char* words;
        void (*breakLink)();
    } faults[] = {
        {"vertex 1: position not finite", [] { V(1)->position.y = NAN; }},
        {"vertex 1: normal not finite", [] { V(1)->normal.z = INFINITY; }},
        {"vertex 1: triangle count -1", [] { V(1)->triangleCount = -1; }},
        {"vertex 1: edge count -1", [] { V(1)->edgeCount = -1; }},
        {"vertex 0: lists a free triangle", [] { V(0)->triangles[1] = T(100); }},
        {"vertex 1: lists triangle 1 that does not use it", [] { V(1)->triangles[0] = T(1); }},
        {"vertex 0: lists triangle 0 twice", [] { V(0)->triangles[1] = T(0); }},
        {"vertex 0: lists a free edge", [] { V(0)->edges[0] = &edges[100]; }},
        {"vertex 0: lists edge 1 that does not end at it", [] { V(0)->edges[0] = &edges[1]; }},
        {"vertex 0: lists edge 2 twice", [] { V(0)->edges[0] = &edges[2]; }},
        {"two edges to vertex", [] { AddEdge(edges[0].vertex1, edges[0].vertex2); }},
        {"edge 0: end outside the vertex array", [] { edges[0].vertex2 = nullptr; }},
        {"edge 0: end is a free vertex", [] { edges[0].vertex1 = V(100); }},
        {"edge 0: both ends are vertex 1", [] { edges[0].vertex1 = V(1); }},
        {"edge 4: missing from an end's edge list", [] { V(0)->edgeCount--; }},
        {"edge 0: active without triangles", [] { edges[0].triangle1 = nullptr; }},
        {"edge 2: holds one triangle twice", [] { edges[2].triangle2 = T(0); }},
        {"edge 0: holds a free triangle", [] { edges[0].triangle2 = T(100); }},
        {"edge 0: holds triangle 1 that does not use it", [] { edges[0].triangle2 = T(1); }},
        {"triangle 1: corner 2 is a free vertex", [] { T(1)->vertices[2] = V(100); }},
        {"triangle 0: corners 0 and 1 are the same vertex", [] { T(0)->vertices[1] = V(0); }},
        {"triangle 1: missing from corner 2's triangle list", [] { V(3)->triangleCount--; }},
        {"triangle 0: edge 1 is a free edge", [] { T(0)->edges[1] = &edges[100]; }},
        {"triangle 0: edge 0 does not join corners 0 and 1", [] { T(0)->edges[0] = &edges[3]; }},
        {"triangle 0: edge 2 does not hold it", [] { edges[2].triangle1 = T(1); }},
        {"triangle 1: normal not finite", [] { T(1)->normal.x = NAN; }},
        {"live vertex count 5, active vertices 4", [] { liveVertexCount++; }},
        {"live edge count 4, active edges 5", [] { liveEdgeCount--; }},
        {"live triangle count 3, active triangles 2", [] { liveTriangleCount++; }},
        {"display triangle count 1, live 2", [] { displayTriangleCount--; }},
        {"a free-slot cursor lies outside its array", [] { edgeCursor = -1; }},
        {"a free-slot cursor lies outside its array", [] { triangleCursor = triangleCapacity; }},
        {"a free-slot cursor lies outside its array", [] { vertexCursor = vertexCapacity; }},
        {"a free-slot cursor lies outside its array", [] { edgeCursor = edgeCapacity; }},
    };
    for (const Fault& f : faults) {
        ResetAllocation();
        MakeQuad();
        char report[1024];
        ASSERT_TRUE(CheckMesh(report, sizeof report)) << report;
        EXPECT_STREQ(report, "");
        f.breakLink();
        EXPECT_FALSE(CheckMesh(report, sizeof report)) << f.words;
        EXPECT_FALSE(CheckMesh()) << f.words;
        EXPECT_NE(strstr(report, f.words), nullptr) << f.words << " missing from:\n" << report;
    }
    ResetAllocation();
}
