// Record storage: slot order after a reset, growth of each array with every
// link following the moved records, ManageMemory's threshold, and the brush
// culling box that fills the workset.
#include "mesh_fixture.h"
#include "tools/brush.h"

// Every record's links as slot numbers (empty entry = inactive slot), so a
// link that growth failed to rebase shows up as a different number.
struct MeshLinks {
    std::vector<std::vector<i32>> vertexLinks, edgeLinks, triangleLinks;
};

template <typename T>
static i32 SlotOrNone(const T* p) { return p ? SlotOf(p) : -1; }

static MeshLinks TakeLinks() {
    MeshLinks m;
    m.vertexLinks.resize((size_t)vertexCapacity);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        std::vector<i32>& l = m.vertexLinks[(size_t)i];
        l.push_back(SlotOrNone(v.mirror));
        for (i32 k = 0; k < v.edgeCount; k++) l.push_back(SlotOf(v.edges[k]));
        l.push_back(-2);
        for (i32 k = 0; k < v.triangleCount; k++) l.push_back(SlotOf(v.triangles[k]));
    }
    m.edgeLinks.resize((size_t)edgeCapacity);
    for (i32 i = 0; i < edgeCapacity; i++) {
        const Edge& e = edges[i];
        if (e.active)
            m.edgeLinks[(size_t)i] = {SlotOrNone(e.vertex1), SlotOrNone(e.vertex2),
                                      SlotOrNone(e.triangle1), SlotOrNone(e.triangle2)};
    }
    m.triangleLinks.resize((size_t)triangleCapacity);
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (t.active)
            m.triangleLinks[(size_t)i] = {SlotOf(t.vertices[0]), SlotOf(t.vertices[1]), SlotOf(t.vertices[2]),
                                          SlotOf(t.edges[0]), SlotOf(t.edges[1]), SlotOf(t.edges[2])};
    }
    return m;
}

// Records that existed before must link exactly as before; new ones are free to differ.
static void ExpectLinksKept(const MeshLinks& before, const MeshLinks& after) {
    auto compare = [](const std::vector<std::vector<i32>>& b, const std::vector<std::vector<i32>>& a,
                      const char* kind) {
        ASSERT_GE(a.size(), b.size());
        i32 mismatches = 0;
        for (size_t i = 0; i < b.size(); i++)
            if (!b[i].empty() && a[i] != b[i] && ++mismatches < 4) ADD_FAILURE() << kind << " " << i << " relinked";
        EXPECT_EQ(mismatches, 0) << kind;
    };
    compare(before.vertexLinks, after.vertexLinks, "vertex");
    compare(before.edgeLinks, after.edgeLinks, "edge");
    compare(before.triangleLinks, after.triangleLinks, "triangle");
}

static Triangle* AddLoneTriangle(f32 x) {
    Vertex* a = AddVertex(x, 0, 0);
    Vertex* b = AddVertex(x + 1, 0, 0);
    Vertex* c = AddVertex(x, 0, -1);
    return AddTriangle(a, b, c);
}

// ================================================================ reset

TEST_F(MeshTest, ResetAllocationHandsOutSlotsFromZeroAgain) {
    MakeStrip(50);
    ResetAllocation();
    EXPECT_EQ(liveVertexCount + liveEdgeCount + liveTriangleCount + displayTriangleCount, 0);
    EXPECT_EQ(vertexCapacity, 20000);
    EXPECT_EQ(edgeCapacity, 20000);
    EXPECT_EQ(triangleCapacity, 20000);
    for (i32 expected = 0; expected < 3; expected++) EXPECT_EQ(SlotOf(AddVertex(0, 0, 0)), expected);
    EXPECT_EQ(liveVertexCount, 3);
    ASSERT_EQ(workset.vertices.count, 3);
    EXPECT_EQ(workset.vertices.items[2], 2);
    EXPECT_EQ(workset.edges.count + workset.triangles.count, 0);
}

TEST_F(MeshTest, NewVertexStartsInBrushUnmaskedAndUnlinked) {
    Vertex* v = AddVertex(1, 2, 3);
    v->mask = 0.5f;
    v->edgeCount = 7;  // stale contents of a reused slot
    v->active = 0;
    liveVertexCount--;
    vertexCursor = SlotOf(v);
    Vertex* again = AddVertex(4, 5, 6);
    ASSERT_EQ(again, v);
    EXPECT_EQ(again->mask, 0.0f);
    EXPECT_EQ(again->edgeCount + again->triangleCount, 0);
    EXPECT_EQ(again->inBrush, 1);
    EXPECT_EQ(again->changed, 1);
    EXPECT_EQ(again->refPosition.z, 6.0f);
    EXPECT_EQ(again->eventTag.code, EVENT_NOTHING);
}

// ================================================================ growth

TEST_F(MeshTest, VertexGrowthKeepsEveryLinkOnTheMovedVertices) {
    MakeStrip(300);
    vertices[3].mirror = &vertices[4];
    while (liveVertexCount < 20000) AddVertex(5, 5, 5);
    MeshLinks before = TakeLinks();
    TestLog log;
    Vertex* extra = AddVertex(7, 7, 7);
    EXPECT_EQ(log.Count("*** ran out of vertex storage, allocate more"), 1);
    EXPECT_EQ(log.Count("AllocateVertices 20000->30000"), 1);
    EXPECT_EQ(vertexCapacity, 30000);
    EXPECT_EQ(SlotOf(extra), 20000);
    EXPECT_EQ(extra->position.x, 7.0f);
    ExpectLinksKept(before, TakeLinks());
    // The worklist kept its entries, and the render arrays follow the new capacity.
    ASSERT_EQ(workset.vertices.count, 20001);
    EXPECT_EQ(workset.vertices.items[19999], 19999);
    EXPECT_GE(workset.vertices.capacity, vertexCapacity);
    positionArray[29999] = normalArray[29999] = colorArray[29999] = Vec3{};
    savedPositionArray[29999] = savedNormalArray[29999] = Vec3{};
    EXPECT_EQ(fullRebuild, 1);
}

TEST_F(MeshTest, EdgeGrowthInsideAddTriangleKeepsEveryLink) {
    MakeStrip(9998);  // 19997 edges
    AddLoneTriangle(-10);  // 20000 edges: the array is full
    ASSERT_EQ(liveEdgeCount, 20000);
    MeshLinks before = TakeLinks();
    TestLog log;
    Triangle* t = AddLoneTriangle(-20);  // its first edge finds no slot
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(log.Count("*** ran out of edge storage, allocate more"), 1);
    EXPECT_EQ(edgeCapacity, 30000);
    EXPECT_EQ(liveEdgeCount, 20003);
    ExpectLinksKept(before, TakeLinks());
    for (Edge* e : t->edges) EXPECT_TRUE(e >= edges && e < edges + edgeCapacity && e->triangle1 == t);
}

TEST_F(MeshTest, TriangleGrowthKeepsEveryLinkOnTheMovedTriangles) {
    MakeStrip(20000);  // grows vertices once and edges twice on the way
    ASSERT_EQ(liveTriangleCount, 20000);
    MeshLinks before = TakeLinks();
    Vertex* a = AddVertex(-1, 0, 0);
    Vertex* b = AddVertex(-2, 0, 0);
    Vertex* c = AddVertex(-1, 0, -1);
    TestLog log;
    Triangle* t = AddTriangle(a, b, c);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(log.Count("*** ran out of triangle storage, allocate more"), 1);
    EXPECT_EQ(log.Count("s=19999"), 1);
    EXPECT_EQ(triangleCapacity, 30000);
    EXPECT_EQ(SlotOf(t), 20000);
    ExpectLinksKept(before, TakeLinks());
    EXPECT_EQ(a->triangles[0], t);
    indexArray[29999] = IndexTriple{};
}

TEST_F(MeshTest, ManageMemoryGrowsOnlyPastEightyPercent) {
    while (liveVertexCount < 16000) AddVertex(0, 0, 0);
    meshChanged = 1;
    ManageMemory();
    EXPECT_EQ(vertexCapacity, 20000);
    AddVertex(0, 0, 0);
    meshChanged = 0;  // nothing changed since the last frame: no work
    ManageMemory();
    EXPECT_EQ(vertexCapacity, 20000);
    meshChanged = 1;
    ManageMemory();
    EXPECT_EQ(vertexCapacity, 30000);
    EXPECT_EQ(edgeCapacity, 20000);
    EXPECT_EQ(triangleCapacity, 20000);
}

TEST_F(MeshTest, SearchWrapsToAFreedSlotBeforeGrowing) {
    while (liveVertexCount < 20000) AddVertex(0, 0, 0);
    vertices[123].active = 0;
    liveVertexCount--;
    EXPECT_EQ(SlotOf(AddVertex(1, 1, 1)), 123);
    EXPECT_EQ(vertexCapacity, 20000);
}

// ================================================================ brush culling

TEST_F(MeshTest, CullingBoxExcludesItsOwnFaces) {
    // Radius 10 around (1, 2, 3) gives the box centre +- 40; one vertex per face.
    std::vector<Vertex*> onFaces;
    for (i32 axis = 0; axis < 3; axis++) {
        for (f32 side : {-40.0f, 40.0f}) {
            f32 p[3] = {1, 2, 3};
            p[axis] += side;
            onFaces.push_back(AddVertex(p[0], p[1], p[2]));
        }
    }
    Vertex* inside = AddVertex(40.99f, 41.99f, -36.99f);
    Vertex* outside = AddVertex(1, 43, 3);
    Brush b{};
    b.center = Vec3{1, 2, 3};
    b.radius = 10;
    strokeActive = 0;
    RunParallel(ClearChangedJob);  // so the workset holds only what lies in the box
    UpdateBrushCulling(b);
    EXPECT_EQ(b.cullHalfSize, 40.0f);
    EXPECT_EQ(b.cullValid, 1);
    for (Vertex* v : onFaces) EXPECT_EQ(v->inBrush, 0) << "vertex " << SlotOf(v);
    EXPECT_EQ(inside->inBrush, 1);
    EXPECT_EQ(outside->inBrush, 0);
    EXPECT_EQ(workset.vertices.count, 1);
}

TEST_F(MeshTest, CullingWidensTheBoxByEachTrianglesRadius) {
    // Centres at x 40.33 and 41.33, radius 0.745, box face at 40.
    Triangle* reaching = AddLoneTriangle(40);
    Triangle* clear = AddLoneTriangle(41);
    Brush b{};
    b.radius = 10;
    UpdateBrushCulling(b);
    EXPECT_EQ(reaching->inBrush, 1);
    EXPECT_EQ(clear->inBrush, 0);
    EXPECT_EQ(reaching->vertices[0]->inBrush, 0);  // its corner lies on the face
}
