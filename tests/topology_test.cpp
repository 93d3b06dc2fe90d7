// Topology edits and normals: refusals that must change nothing, edge
// sharing and removal, the adjacency limits, triangle flips, vertex
// normals, beautify on a border, the checker itself, and a seeded random
// chain of edits checked after every step.
#include <random>
#include "mesh_fixture.h"

static Vertex* V(i32 slot) { return &vertices[slot]; }
static Triangle* T(i32 slot) { return &triangles[slot]; }

// ================================================================ AddTriangle

TEST_F(MeshTest, AddTriangleWithARepeatedCornerIsRefusedAndChangesNothing) {
    Vertex* a = AddVertex(0, 0, 0);
    Vertex* b = AddVertex(1, 0, 0);
    TestLog log;
    Counters before = ReadCounters();
    EXPECT_EQ(AddTriangle(a, a, b), nullptr);
    EXPECT_EQ(AddTriangle(a, b, b), nullptr);
    EXPECT_EQ(AddTriangle(b, a, b, 7), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    EXPECT_EQ(log.Count("### tried to create invalid triangle!"), 3);
    EXPECT_EQ(a->triangleCount + a->edgeCount + b->triangleCount + b->edgeCount, 0);
}

TEST_F(MeshTest, TrianglesSharingADiagonalMakeFiveEdges) {
    Quad q = MakeQuad();
    EXPECT_EQ(liveEdgeCount, 5);
    EXPECT_EQ(liveTriangleCount, 2);
    Edge* diagonal = FindEdge(V(q.a), V(q.c), V(q.a));
    ASSERT_NE(diagonal, nullptr);
    EXPECT_EQ(FindEdge(V(q.c), V(q.a), V(q.c)), diagonal);
    EXPECT_EQ(diagonal->triangle1, T(q.t1));
    EXPECT_EQ(diagonal->triangle2, T(q.t2));
    EXPECT_EQ(T(q.t2)->edges[0], diagonal);  // edge k joins corners k and k + 1
    EXPECT_EQ(V(q.a)->edgeCount, 3);
    EXPECT_FLOAT_EQ(T(q.t1)->circumference, 20 + 10 * std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(T(q.t1)->normal.y, 1);
}

TEST_F(MeshTest, DegenerateTriangleGetsAFiniteNormal) {
    Triangle* t = AddTriangle(AddVertex(0, 0, 0), AddVertex(1, 0, 0), AddVertex(2, 0, 0));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->normal.x, 1.0f);  // no direction: +x rather than NaN
    EXPECT_FLOAT_EQ(t->radius, 1);
}

TEST_F(MeshTest, ThirdTriangleOnOneEdgeIsRefused) {
    // Linked only from its corners, it would keep the edge after the other two
    // went and point at a freed (later reused) edge record.
    Quad q = MakeQuad();
    Vertex* e = AddVertex(5, 5, -5);
    TestLog log;
    Counters before = ReadCounters();
    EXPECT_EQ(AddTriangle(V(q.a), V(q.c), e), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    EXPECT_EQ(log.Lines().back().substr(0, 3), "***");
    EXPECT_NE(AddTriangle(V(q.c), V(q.b), e), nullptr);  // b-c has room for one more
}

// ================================================================ adjacency limits

TEST_F(MeshTest, TwentyFifthTriangleAtAVertexIsRefused) {
    i32 centre = MakeFan(24, 24);  // closed: 24 triangles, 24 edges at the centre
    ASSERT_EQ(V(centre)->triangleCount, 24);
    ASSERT_EQ(V(centre)->edgeCount, 24);
    // Any 25th triangle needs a 25th edge or a third triangle on a spoke.
    Triangle* first = V(centre)->triangles[0];
    Vertex* outsider = AddVertex(0, 0, 50);
    TestLog log;
    Counters before = ReadCounters();
    EXPECT_EQ(AddTriangle(first->vertices[0], first->vertices[2], first->vertices[1]), nullptr);
    EXPECT_EQ(AddTriangle(first->vertices[0], first->vertices[1], outsider), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    EXPECT_EQ(V(centre)->triangleCount, 24);
    EXPECT_EQ(log.Lines().back().substr(0, 3), "***");
}

TEST_F(MeshTest, TwentyFifthEdgeAtAVertexIsRefused) {
    i32 centre = MakeFan(23, 24);  // open: 23 triangles, 24 spokes
    ASSERT_EQ(V(centre)->edgeCount, 24);
    Vertex* spoke23 = V(centre + 24);
    Vertex* spoke0 = V(centre + 1);
    Vertex* outsider = AddVertex(0, 0, 50);
    Counters before = ReadCounters();
    EXPECT_EQ(AddTriangle(V(centre), outsider, spoke23), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    // Closing the fan needs no new edge at the centre: accepted, the 24th triangle.
    EXPECT_NE(AddTriangle(V(centre), spoke0, spoke23), nullptr);
    EXPECT_EQ(V(centre)->triangleCount, 24);
    EXPECT_EQ(V(centre)->edgeCount, 24);
}

// ================================================================ RemoveTriangle

TEST_F(MeshTest, RemovingALoneTriangleFreesEdgesAndLooseVertices) {
    Triangle* t = AddTriangle(AddVertex(0, 0, 0), AddVertex(1, 0, 0), AddVertex(0, 0, -1));
    i32 slot = SlotOf(t);
    i32 worksetTriangles = workset.triangles.count;
    EXPECT_EQ(RemoveTriangle(t, true), slot);
    EXPECT_EQ(liveVertexCount + liveEdgeCount + liveTriangleCount + displayTriangleCount, 0);
    EXPECT_EQ(t->active, 0);
    ASSERT_EQ(workset.triangles.count, worksetTriangles + 1);  // the renderer must drop it
    EXPECT_EQ(workset.triangles.items[worksetTriangles], slot);
}

TEST_F(MeshTest, RemovingALoneTriangleCanKeepItsVertices) {
    Triangle* t = AddTriangle(AddVertex(0, 0, 0), AddVertex(1, 0, 0), AddVertex(0, 0, -1));
    RemoveTriangle(t, false);
    EXPECT_EQ(liveVertexCount, 3);
    EXPECT_EQ(liveEdgeCount, 0);
    for (i32 i = 0; i < 3; i++) {
        EXPECT_EQ(V(i)->active, 1);
        EXPECT_EQ(V(i)->triangleCount + V(i)->edgeCount, 0);
    }
}

TEST_F(MeshTest, RemovingOneOfTwoLeavesTheSharedEdgeAsBorder) {
    Quad q = MakeQuad();
    Edge* diagonal = FindEdge(V(q.a), V(q.a), V(q.c));
    RemoveTriangle(T(q.t2), true);
    EXPECT_EQ(liveEdgeCount, 3);
    EXPECT_EQ(liveVertexCount, 3);  // d went with it, a and c stay
    EXPECT_EQ(V(q.d)->active, 0);
    EXPECT_EQ(diagonal->active, 1);
    EXPECT_EQ(diagonal->triangle1, T(q.t1));
    EXPECT_EQ(diagonal->triangle2, nullptr);
}

// ================================================================ AlignTriangle

TEST_F(MeshTest, AlignTriangleKeepsATriangleFacingTheDirection) {
    Quad q = MakeQuad();
    Triangle copy = *T(q.t1);
    AlignTriangle(T(q.t1), Vec3{0.1f, 1, 0});
    EXPECT_EQ(memcmp(&copy, T(q.t1), sizeof copy), 0);
}

TEST_F(MeshTest, AlignTriangleFlipsInPlaceAgainstTheDirection) {
    Quad q = MakeQuad();
    Triangle* t = T(q.t1);
    AlignTriangle(t, Vec3{0, -1, 0});
    EXPECT_EQ(t->active, 1);
    EXPECT_EQ(t->index, q.t1);
    EXPECT_EQ(t->vertices[0], V(q.c));
    EXPECT_EQ(t->vertices[2], V(q.a));
    EXPECT_FLOAT_EQ(t->normal.y, -1);
    EXPECT_EQ(liveTriangleCount, 2);
    EXPECT_EQ(liveEdgeCount, 5);
    const f32 nan = std::nanf("");
    AlignTriangle(t, Vec3{nan, nan, nan});  // no usable direction also flips
    EXPECT_FLOAT_EQ(t->normal.y, 1);
}

// ================================================================ normals

TEST_F(MeshTest, OpposedTrianglesGiveTheFirstTrianglesNormal) {
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
    EXPECT_EQ(lone->normal.y, 1.0f);
    EXPECT_EQ(lone->folded, 0);
}

TEST_F(MeshTest, UpdateNormalsTurnsBackAFlippedTriangle) {
    MakeStrip(12);
    Triangle* t = T(5);
    Vertex* a = t->vertices[0];
    Vertex* b = t->vertices[1];
    Vertex* c = t->vertices[2];
    AddTriangle(c, b, a, RemoveTriangle(t, false));
    ASSERT_LT(t->normal.y, 0);
    CollectAll(workset);
    UpdateNormals();
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) { EXPECT_FLOAT_EQ(triangles[i].normal.y, 1) << "triangle " << i; }
    EXPECT_EQ(t->active, 1);
}

// ================================================================ beautify

TEST_F(MeshTest, BeautifyNeverMovesABorderVertex) {
    BuildPlane();
    std::mt19937 random(7);
    std::uniform_real_distribution<f32> jitter(-6, 6);
    std::vector<Vec3> start((size_t)vertexCapacity);
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        bool border = std::fabs(v.position.x) == 150 || std::fabs(v.position.z) == 150;
        if (!border) { v.position.x += jitter(random); v.position.z += jitter(random); }
        start[(size_t)i] = v.position;
        MarkChanged(&v, 1);
    }
    CollectAll(workset);
    i32 moved = 0;
    for (i32 pass = 0; pass < 5; pass++) { Beautify(); UpdateNormals(); }
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        bool border = std::fabs(start[(size_t)i].x) == 150 || std::fabs(start[(size_t)i].z) == 150;
        bool same = memcmp(&v.position, &start[(size_t)i], sizeof(Vec3)) == 0;
        if (border) { EXPECT_TRUE(same) << "border vertex " << i; }
        moved += !same;
    }
    EXPECT_GT(moved, 100);
}

// ================================================================ the checker

TEST_F(MeshTest, CheckerNamesEachKindOfBrokenLink) {
    Quad q = MakeQuad();
    char report[512];
    Vertex* a = V(q.a);
    std::swap(a->triangles[0], a->triangles[1]);
    EXPECT_TRUE(CheckMesh(report, sizeof report)) << report;  // order is free
    a->triangleCount--;
    EXPECT_FALSE(CheckMesh(report, sizeof report));
    EXPECT_NE(strstr(report, "missing from corner"), nullptr) << report;
    a->triangleCount++;
    liveEdgeCount++;
    EXPECT_FALSE(CheckMesh(report, sizeof report));
    EXPECT_NE(strstr(report, "live edge count"), nullptr) << report;
    liveEdgeCount--;
    Edge* diagonal = FindEdge(a, a, V(q.c));
    Edge* twin = AddEdge(a, V(q.c));  // a second edge over the same pair
    twin->triangle1 = diagonal->triangle1;
    EXPECT_FALSE(CheckMesh(report, sizeof report));
    EXPECT_NE(strstr(report, "two edges"), nullptr) << report;
    twin->triangle1 = nullptr;  // undo: the twin is the last entry of both lists
    a->edgeCount--;
    V(q.c)->edgeCount--;
    twin->active = 0;
    liveEdgeCount--;
    EXPECT_TRUE(CheckMesh(report, sizeof report)) << report;
}

// ================================================================ random chain

// One random edit: add a vertex or triangle, remove a triangle (with or
// without its loose vertices), flip one, or relax a vertex.
static void RandomEdit(std::mt19937& random, std::vector<i32>& pool) {
    auto pick = [&](i32 n) { return (i32)(random() % (u32)n); };
    std::erase_if(pool, [](i32 s) { return !vertices[s].active; });
    std::vector<i32> live;
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) live.push_back(i);
    i32 op = pick(10);
    if (op < 2 || pool.size() < 3) {
        pool.push_back(SlotOf(AddVertex((f32)pick(100), (f32)pick(100), (f32)pick(100))));
    } else if (op < 6) {
        i32 s[3] = {pool[(size_t)pick((i32)pool.size())], pool[(size_t)pick((i32)pool.size())],
                    pool[(size_t)pick((i32)pool.size())]};
        AddTriangle(V(s[0]), V(s[1]), V(s[2]), -1);  // refusals are part of the test
    } else if (op < 8 && !live.empty()) {
        RemoveTriangle(T(live[(size_t)pick((i32)live.size())]), op == 6);
    } else if (op == 8 && !live.empty()) {
        AlignTriangle(T(live[(size_t)pick((i32)live.size())]), Vec3{0, -1, 0});
    } else {
        RelaxVertex(V(pool[(size_t)pick((i32)pool.size())]), 0.5f);
    }
}

TEST_F(MeshTest, RandomEditsKeepTheMeshConsistent) {
    for (u32 seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        ResetAllocation();
        // Nearly full storage, so the chain also grows the vertex array.
        while (liveVertexCount < 19990) AddVertex(-1000, 0, 0);
        std::mt19937 random(seed);
        std::vector<i32> pool;
        for (i32 step = 0; step < 300; step++) {
            RandomEdit(random, pool);
            char report[1024];
            ASSERT_TRUE(CheckMesh(report, sizeof report)) << "step " << step << "\n" << report;
        }
        EXPECT_EQ(vertexCapacity, 30000);
        EXPECT_GT(liveTriangleCount, 0);
    }
}
