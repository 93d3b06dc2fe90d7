// Record storage: slot order and reuse, growth with every link rebased,
// ManageMemory's threshold, and the culling and threaded workset rebuild.
#include "mesh_fixture.h"

// A fresh storage hands out slots from 0; a freed slot is found again by the
// circular search before anything grows, and forgets what it held.
TEST_F(MeshTest, SlotsComeInOrderAndAFreedOneIsReusedCleanBeforeGrowing) {
    for (i32 slot = 0; slot < 3; slot++) EXPECT_EQ(SlotOf(AddVertex(0, 0, 0)), slot);
    ASSERT_EQ(workset.vertices.count, 3);
    EXPECT_EQ(workset.vertices.items[2], 2);
    EXPECT_EQ(workset.edges.count + workset.triangles.count, 0);
    while (liveVertexCount < 20000) AddVertex(0, 0, 0);
    Vertex* v = &vertices[123];
    v->mask = 0.5f;
    v->edgeCount = 7;
    v->active = 0;
    liveVertexCount--;
    ASSERT_EQ(AddVertex(4, 5, 6), v);
    EXPECT_EQ(vertexCapacity, 20000);
    EXPECT_TRUE(v->mask == 0 && v->edgeCount == 0 && v->refPosition.z == 6);
    EXPECT_EQ(v->inBrush, 1);  // new geometry lies under the brush that made it
}

// A split of the quad's diagonal into a full array, so that the split's own
// creations grow it: the shortage is logged once, the array grows to 30000
// with its render arrays and workset list, and the split and the checker
// (next round and at the end) find every link following the moved records.
TEST_F(MeshTest, GrowthOfEachArrayMidSplitKeepsEveryLinkOnTheMovedRecords) {
    struct {
        const char* kind;
        const i32* capacity;
        void (*fill)();
    } cases[] = {
        {"vertex", &vertexCapacity,
         [] {
             while (liveVertexCount < 20000) AddVertex(5, 5, 5);
         }},
        {"edge", &edgeCapacity, [] { MakeStrip(9672); }},           // 48 + 601 + 5 + 19345 edges
        {"triangle", &triangleCapacity, [] { MakeStrip(19674); }},  // full, grows the others too
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.kind);
        CheckAndReset();
        MakeFan(24, 24);  // full lists: growth must rebase exactly the entries in use
        MakeStrip(300);
        Quad q = MakeQuad();
        c.fill();
        fullRebuild = 0;
        TestLog log;
        Vertex* nv = Tesselate(FindEdge(&vertices[q.a], &vertices[q.a], &vertices[q.c]), 0);
        // The split makes room before it starts: no search runs a full circle.
        EXPECT_EQ(log.Count(std::string("*** ran out of ") + c.kind + " storage, allocate more"),
                  0);
        EXPECT_EQ(*c.capacity, 30000);
        ASSERT_NE(nv, nullptr);
        EXPECT_EQ(nv->triangleCount, 4);
        for (i32 corner : {q.a, q.b, q.c, q.d})
            EXPECT_NE(FindEdge(nv, nv, &vertices[corner]), nullptr) << corner;
        EXPECT_EQ(fullRebuild, c.kind[0] != 'e') << "the renderer must rebuild grown arrays";
    }
    EXPECT_GE(workset.vertices.capacity, vertexCapacity);
    // The render arrays follow the new capacities (the sanitizer builds catch a short one).
    positionArray[vertexCapacity - 1] = normalArray[vertexCapacity - 1] = Vec3{};
    colorArray[vertexCapacity - 1] = savedPositionArray[vertexCapacity - 1] = Vec3{};
    savedNormalArray[vertexCapacity - 1] = Vec3{};
    indexArray[triangleCapacity - 1] = IndexTriple{};
}

TEST_F(MeshTest, ManageMemoryGrowsOnlyPastEightyPercentAfterAChange) {
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
    EXPECT_EQ(edgeCapacity + triangleCapacity, 2 * 20000);
}

// Radius 10 around (1, 2, 3): the box of the whole-mesh scan is the centre
// +- 40, strictly inside, and a triangle counts when its bounding sphere
// reaches into it.
TEST_F(MeshTest, CullingBoxExcludesItsOwnFacesAndWidensByEachTrianglesRadius) {
    narrowPasses = 0;
    std::vector<Vertex*> onFaces;
    for (i32 axis = 0; axis < 3; axis++)
        for (f32 side : {-40.0f, 40.0f}) {
            f32 p[3] = {1, 2, 3};
            p[axis] += side;
            onFaces.push_back(AddVertex(p[0], p[1], p[2]));
        }
    Vertex* inside = AddVertex(40.99f, 41.99f, -36.99f);
    // Centres at x 41.33 and 42.33, radius 0.745: the first reaches the face at 41.
    Triangle* reaching = AddTriangle(AddVertex(41, 2, 3), AddVertex(42, 2, 3), AddVertex(41, 2, 2));
    Triangle* clear = AddTriangle(AddVertex(42, 2, 3), AddVertex(43, 2, 3), AddVertex(42, 2, 2));
    Brush b{};
    b.center = Vec3{1, 2, 3};
    b.radius = 10;
    strokeActive = 0;
    RunParallel(ClearChangedJob);  // so the workset holds only what lies in the box
    UpdateBrushCulling(b, b.center, b.radius, strokeActive);
    EXPECT_EQ(b.cullHalfSize, 40.0f);
    for (Vertex* v : onFaces) EXPECT_EQ(v->inBrush, 0) << "vertex " << SlotOf(v);
    EXPECT_EQ(inside->inBrush, 1);
    EXPECT_EQ(workset.vertices.count, 1);
    EXPECT_TRUE(reaching->inBrush && !clear->inBrush);
    EXPECT_EQ(reaching->vertices[0]->inBrush, 0);  // its corner lies on the face
    EXPECT_EQ(workset.triangles.count, 1);
    // A stroke keeps the cube while it still holds the brush (centre within
    // 3 radii of the cube's), and reculls around the brush once it does not.
    for (f32 move : {30.0f, 30.5f}) {
        b.cullCenterNow = Vec3{1 + move, 2, 3};
        UpdateBrushCulling(b, b.center, b.radius, true);
        EXPECT_EQ(b.cullCenter.x, move > 30 ? 1 + move : 1) << move;
    }
}

// The workset's lists, and the lists a plain scan of the flags gives, in slot order.
using Lists = std::vector<std::vector<i32>>;
static std::vector<i32> Items(const SlotList& l) { return {l.items, l.items + l.count}; }
static Lists TakeWorkset() {
    return {Items(workset.vertices), Items(workset.edges), Items(workset.triangles)};
}
static Lists ScanFlags() {
    Lists w(3);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && (vertices[i].inBrush || vertices[i].changed)) w[0].push_back(i);
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active && edges[i].changed) w[1].push_back(i);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active && (triangles[i].inBrush || triangles[i].changed))
            w[2].push_back(i);
    return w;
}
static std::vector<u8> TakeInBrush() {
    std::vector<u8> flags;
    for (i32 i = 0; i < vertexCapacity; i++) flags.push_back(vertices[i].inBrush);
    for (i32 i = 0; i < triangleCapacity; i++) flags.push_back(triangles[i].inBrush);
    return flags;
}

TEST_F(MeshTest, ThreadedWorksetRebuildListsEverySlotInSlotOrder) {
    // Past the first growth of every array, so a cut between two threads' slot
    // ranges runs through the culling box and through holes and changed runs.
    MakeStrip(24000);
    for (i32 i = 0; i < triangleCapacity; i += 97)
        if (triangles[i].active) RemoveTriangle(&triangles[i], true);
    RunParallel(ClearChangedJob);
    for (i32 i = 0; i < vertexCapacity; i += 7) vertices[i].changed = 1;  // holes included
    for (i32 i = 0; i < edgeCapacity; i += 5) edges[i].changed = 1;
    for (i32 i = 0; i < triangleCapacity; i += 3) triangles[i].changed = 1;
    strokeActive = 0;
    Brush far{}, near{};
    far.center = Vec3{-5000, 0, 0};
    near.center = Vec3{5000, 0, 0};  // the box spans x 1000 .. 9000 of 0 .. 12001
    far.radius = near.radius = 1000;
    auto cull = [](Brush& b) { UpdateBrushCulling(b, b.center, b.radius, strokeActive); };
    mtCulling = 0;
    cull(far);
    cull(near);
    const std::vector<u8> inBrush = TakeInBrush();
    const Lists expected = ScanFlags();
    ASSERT_EQ(TakeWorkset(), expected);
    ASSERT_GT(expected[0].size(), 0u);
    ASSERT_LT(expected[0].size(), (size_t)liveVertexCount);
    mtCulling = 1;
    const i32 poolThreads = threadCount;
    for (i32 n = 1; n <= std::min(poolThreads, 4); n++) {
        threadCount = n;  // fewer threads than the pool runs: the rest stay idle
        far.cullValid = near.cullValid = 0;
        cull(far);  // flip the flags away, so the recull must write them back
        EXPECT_NE(TakeInBrush(), inBrush);
        cull(near);
        EXPECT_EQ(TakeInBrush(), inBrush) << n << " threads";
        EXPECT_EQ(TakeWorkset(), expected) << n << " threads";
        workset.vertices.count = workset.edges.count = workset.triangles.count = 0;
        UpdateWorkset();
        EXPECT_EQ(TakeWorkset(), expected) << n << " threads, rebuild alone";
    }
    threadCount = poolThreads;
    // A list emptied of all room is grown by the rebuild itself.
    free(workset.edges.items);
    workset.edges = SlotList{};
    UpdateWorkset();
    EXPECT_EQ(Items(workset.edges), expected[1]);
}
