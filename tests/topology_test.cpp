// Topology edits and normals: refusals that must change nothing, edge
// sharing and removal, the adjacency limits, triangle flips, vertex normals,
// beautify on a border, the checker itself, and a seeded random edit chain.
#include <random>
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

TEST_F(MeshTest, TrianglesSharingADiagonalMakeFiveEdges) {
    Quad q = MakeQuad();
    EXPECT_EQ(liveEdgeCount, 5);
    Edge* diagonal = FindEdge(V(q.a), V(q.c), V(q.a));
    ASSERT_NE(diagonal, nullptr);
    EXPECT_EQ(FindEdge(V(q.c), V(q.a), V(q.c)), diagonal);
    EXPECT_EQ(diagonal->triangle1, T(q.t1));
    EXPECT_EQ(diagonal->triangle2, T(q.t2));
    EXPECT_EQ(T(q.t2)->edges[0], diagonal);  // edge k joins corners k and k + 1
    EXPECT_EQ(V(q.a)->edgeCount, 3);
    EXPECT_FLOAT_EQ(T(q.t1)->circumference, 20 + 10 * std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(T(q.t1)->normal.y, 1);
    Triangle* flat = AddTriangle(AddVertex(0, 9, 0), AddVertex(1, 9, 0), AddVertex(2, 9, 0));
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat->normal.x, 1.0f);  // a degenerate triangle has no direction: +x rather than NaN
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

// A vertex never has more triangles than edges (each edge holds two), so the
// 24-edge limit is the one a new triangle meets first.
TEST_F(MeshTest, TwentyFifthEdgeAtAVertexIsRefused) {
    i32 centre = MakeFan(23, 24);  // open: 23 triangles, 24 spokes
    ASSERT_EQ(V(centre)->edgeCount, 24);
    Vertex* outsider = AddVertex(0, 0, 50);
    Counters before = ReadCounters();
    EXPECT_EQ(AddTriangle(V(centre), outsider, V(centre + 24)), nullptr);
    EXPECT_TRUE(ReadCounters() == before);
    // Closing the fan needs no new edge at the centre: the 24th triangle is accepted.
    EXPECT_NE(AddTriangle(V(centre), V(centre + 1), V(centre + 24)), nullptr);
    EXPECT_EQ(V(centre)->triangleCount + V(centre)->edgeCount, 48);
}

TEST_F(MeshTest, RemovingALoneTriangleFreesItsEdgesAndOnlyAskedForVertices) {
    for (bool withVertices : {true, false}) {
        CheckAndReset();
        Triangle* t = AddTriangle(AddVertex(0, 0, 0), AddVertex(1, 0, 0), AddVertex(0, 0, -1));
        i32 slot = SlotOf(t), listed = workset.triangles.count;
        EXPECT_EQ(RemoveTriangle(t, withVertices), slot);
        EXPECT_EQ(liveEdgeCount + liveTriangleCount + displayTriangleCount, 0);
        EXPECT_EQ(liveVertexCount, withVertices ? 0 : 3);
        for (i32 i = 0; i < 3; i++) {
            EXPECT_EQ(V(i)->active, !withVertices);
            EXPECT_EQ(V(i)->triangleCount + V(i)->edgeCount, 0);
        }
        ASSERT_EQ(workset.triangles.count, listed + 1);  // the renderer must drop it
        EXPECT_EQ(workset.triangles.items[listed], slot);
    }
}

TEST_F(MeshTest, RemovingOneOfTwoLeavesTheSharedEdgeAsBorder) {
    Quad q = MakeQuad();
    Edge* diagonal = FindEdge(V(q.a), V(q.a), V(q.c));
    RemoveTriangle(T(q.t2), true);
    EXPECT_EQ(liveEdgeCount, 3);
    EXPECT_EQ(liveVertexCount, 3);  // d went with it, a and c stay
    EXPECT_EQ(V(q.d)->active, 0);
    EXPECT_EQ(diagonal->triangle1, T(q.t1));
    EXPECT_EQ(diagonal->triangle2, nullptr);
}

TEST_F(MeshTest, AlignTriangleFlipsInPlaceOnlyAgainstTheDirection) {
    Quad q = MakeQuad();
    Triangle* t = T(q.t1);
    Triangle copy = *t;
    AlignTriangle(t, Vec3{0.1f, 1, 0});
    EXPECT_EQ(memcmp(&copy, t, sizeof copy), 0);
    AlignTriangle(t, Vec3{0, -1, 0});
    EXPECT_EQ(t->index, q.t1);
    EXPECT_EQ(t->vertices[0], V(q.c));
    EXPECT_EQ(t->vertices[2], V(q.a));
    EXPECT_FLOAT_EQ(t->normal.y, -1);
    EXPECT_EQ(liveTriangleCount + liveEdgeCount, 7);
    const f32 nan = std::nanf("");
    AlignTriangle(t, Vec3{nan, nan, nan});  // no usable direction also flips
    EXPECT_FLOAT_EQ(t->normal.y, 1);
}

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
    Vertex *a = t->vertices[0], *b = t->vertices[1], *c = t->vertices[2];
    AddTriangle(c, b, a, RemoveTriangle(t, false));
    ASSERT_LT(t->normal.y, 0);
    CollectAll(workset);
    UpdateNormals();
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) { EXPECT_FLOAT_EQ(triangles[i].normal.y, 1) << "triangle " << i; }
}

TEST_F(MeshTest, BeautifyNeverMovesABorderVertex) {
    BuildPlane();
    std::mt19937 random(7);
    std::uniform_real_distribution<f32> jitter(-6, 6);
    std::vector<Vec3> start((size_t)vertexCapacity);
    auto onBorder = [](Vec3 p) { return std::fabs(p.x) == 150 || std::fabs(p.z) == 150; };
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        if (!onBorder(v.position)) v.position += Vec3{jitter(random), 0, jitter(random)};
        start[(size_t)i] = v.position;
        MarkChanged(&v, 1);
    }
    CollectAll(workset);
    for (i32 pass = 0; pass < 5; pass++) Beautify(), UpdateNormals();
    i32 moved = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        bool same = memcmp(&vertices[i].position, &start[(size_t)i], sizeof(Vec3)) == 0;
        if (onBorder(start[(size_t)i])) { EXPECT_TRUE(same) << "border vertex " << i; }
        moved += !same;
    }
    EXPECT_GT(moved, 100);
}

TEST_F(MeshTest, CheckerNamesEachKindOfBrokenLink) {
    Quad q = MakeQuad();
    char report[512];
    Vertex *a = V(q.a), *c = V(q.c);
    std::swap(a->triangles[0], a->triangles[1]);
    EXPECT_TRUE(CheckMesh(report, sizeof report)) << report;  // order is free
    auto expectReport = [&](const char* words) {
        EXPECT_FALSE(CheckMesh(report, sizeof report));
        EXPECT_NE(strstr(report, words), nullptr) << report;
    };
    a->triangleCount--;
    expectReport("missing from corner");
    a->triangleCount++;
    liveEdgeCount++;
    expectReport("live edge count");
    liveEdgeCount--;
    Edge* twin = AddEdge(a, c);  // a second edge over the same pair
    twin->triangle1 = FindEdge(a, a, c)->triangle1;
    expectReport("two edges");
    // Undo for the TearDown check: the twin is the last entry of both lists.
    twin->triangle1 = nullptr;
    a->edgeCount--;
    c->edgeCount--;
    twin->active = 0;
    liveEdgeCount--;
}

// One random edit: add a vertex or triangle (refusals included), remove a
// triangle with or without its loose vertices, flip one, or relax a vertex.
static void RandomEdit(std::mt19937& random, std::vector<i32>& pool) {
    auto pick = [&](const std::vector<i32>& from) { return from[random() % from.size()]; };
    std::erase_if(pool, [](i32 s) { return !vertices[s].active; });
    std::vector<i32> live;
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) live.push_back(i);
    u32 op = random() % 10;
    if (op < 2 || pool.size() < 3) {
        f32 p[3] = {(f32)(random() % 100), (f32)(random() % 100), (f32)(random() % 100)};
        pool.push_back(SlotOf(AddVertex(p[0], p[1], p[2])));
    } else if (op < 6) {
        i32 s[3] = {pick(pool), pick(pool), pick(pool)};
        // A repeated corner is the caller's fault (an assert), not a refusal.
        if (s[0] != s[1] && s[1] != s[2] && s[0] != s[2])
            AddTriangle(V(s[0]), V(s[1]), V(s[2]), -1);
    } else if (op < 8 && !live.empty()) {
        RemoveTriangle(T(pick(live)), op == 6);
    } else if (op == 8 && !live.empty()) {
        AlignTriangle(T(pick(live)), Vec3{0, -1, 0});
    } else {
        RelaxVertex(V(pick(pool)), 0.5f);
    }
}

TEST_F(MeshTest, RandomEditsKeepTheMeshConsistent) {
    for (u32 seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        CheckAndReset();
        while (liveVertexCount < 19990) AddVertex(-1000, 0, 0);  // the chain also grows the array
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
