// Record storage: slot order after a reset, growth of each array with every
// link following the moved records, ManageMemory's threshold, and the brush
// culling box that fills the workset.
#include <map>
#include "mesh_fixture.h"
#include "tools/brush.h"

// Every live record's links as slot numbers, keyed by kind and slot, so a link
// that growth failed to rebase shows up as a different number.
using Links = std::map<std::pair<char, i32>, std::vector<i32>>;
template <typename T>
static i32 S(const T* p) {
    return p ? SlotOf(p) : -1;
}

static Links TakeLinks() {
    Links m;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        std::vector<i32>& l = m[{'v', i}] = {S(v.mirror)};
        for (i32 k = 0; k < v.edgeCount; k++) l.push_back(SlotOf(v.edges[k]));
        for (i32 k = 0; k < v.triangleCount; k++) l.push_back(-2 - SlotOf(v.triangles[k]));
    }
    for (i32 i = 0; i < edgeCapacity; i++)
        if (const Edge& e = edges[i]; e.active)
            m[{'e', i}] = {S(e.vertex1), S(e.vertex2), S(e.triangle1), S(e.triangle2)};
    for (i32 i = 0; i < triangleCapacity; i++)
        if (const Triangle& t = triangles[i]; t.active)
            m[{'t', i}] = {S(t.vertices[0]), S(t.vertices[1]), S(t.vertices[2]),
                           S(t.edges[0]),    S(t.edges[1]),    S(t.edges[2])};
    return m;
}

// Adds one record to a full array: the shortage is logged once, the array
// grows to 30000, and records that existed before link exactly as before.
template <typename Add>
static void ExpectGrowthKeepsLinks(const char* kind, const i32& capacity, Add add) {
    Links before = TakeLinks();
    TestLog log;
    add();
    EXPECT_EQ(log.Count(std::string("*** ran out of ") + kind + " storage, allocate more"), 1);
    EXPECT_EQ(capacity, 30000);
    Links after = TakeLinks();
    i32 relinked = 0;
    for (const auto& [key, links] : before)
        if (after[key] != links && ++relinked < 4) ADD_FAILURE() << key.first << key.second;
    EXPECT_EQ(relinked, 0);
}

static Triangle* AddLoneTriangle(f32 x) {
    return AddTriangle(AddVertex(x, 0, 0), AddVertex(x + 1, 0, 0), AddVertex(x, 0, -1));
}

TEST_F(MeshTest, ResetAllocationHandsOutSlotsFromZeroAgain) {
    MakeStrip(50);
    ResetAllocation();
    EXPECT_EQ(liveVertexCount + liveEdgeCount + liveTriangleCount + displayTriangleCount, 0);
    EXPECT_EQ(vertexCapacity + edgeCapacity + triangleCapacity, 3 * 20000);
    for (i32 slot = 0; slot < 3; slot++) EXPECT_EQ(SlotOf(AddVertex(0, 0, 0)), slot);
    ASSERT_EQ(workset.vertices.count, 3);
    EXPECT_EQ(workset.vertices.items[2], 2);
    EXPECT_EQ(workset.edges.count + workset.triangles.count, 0);
}

TEST_F(MeshTest, ReusedVertexSlotForgetsItsStaleContents) {
    Vertex* v = AddVertex(1, 2, 3);
    v->mask = 0.5f;
    v->edgeCount = 7;
    v->active = 0;
    liveVertexCount--;
    vertexCursor = SlotOf(v);
    ASSERT_EQ(AddVertex(4, 5, 6), v);
    EXPECT_EQ(v->mask, 0.0f);
    EXPECT_EQ(v->edgeCount, 0);
    EXPECT_EQ(v->inBrush, 1);  // new geometry lies under the brush that made it
    EXPECT_EQ(v->refPosition.z, 6.0f);
}

TEST_F(MeshTest, VertexGrowthKeepsEveryLinkOnTheMovedVertices) {
    MakeStrip(300);
    vertices[3].mirror = &vertices[4];
    while (liveVertexCount < 20000) AddVertex(5, 5, 5);
    Vertex* extra = nullptr;
    ExpectGrowthKeepsLinks("vertex", vertexCapacity, [&] { extra = AddVertex(7, 7, 7); });
    EXPECT_EQ(SlotOf(extra), 20000);
    EXPECT_EQ(extra->position.x, 7.0f);
    ASSERT_EQ(workset.vertices.count, 20001);
    EXPECT_EQ(workset.vertices.items[19999], 19999);
    EXPECT_GE(workset.vertices.capacity, vertexCapacity);
    // The render arrays follow the new capacity (the sanitizer builds catch a short one).
    positionArray[29999] = normalArray[29999] = colorArray[29999] = Vec3{};
    savedPositionArray[29999] = savedNormalArray[29999] = Vec3{};
    EXPECT_EQ(fullRebuild, 1);
}

TEST_F(MeshTest, EdgeGrowthInsideAddTriangleKeepsEveryLink) {
    MakeStrip(9998);       // 19997 edges
    AddLoneTriangle(-10);  // 20000: full
    ASSERT_EQ(liveEdgeCount, 20000);
    Triangle* t = nullptr;
    ExpectGrowthKeepsLinks("edge", edgeCapacity, [&] { t = AddLoneTriangle(-20); });
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(liveEdgeCount, 20003);
    for (Edge* e : t->edges) EXPECT_TRUE(e >= edges && e < edges + 30000 && e->triangle1 == t);
}

TEST_F(MeshTest, TriangleGrowthKeepsEveryLinkOnTheMovedTriangles) {
    MakeStrip(20000);  // grows vertices once and edges twice on the way
    ASSERT_EQ(liveTriangleCount, 20000);
    Vertex* a = nullptr;
    Triangle* t = nullptr;
    ExpectGrowthKeepsLinks("triangle", triangleCapacity, [&] {
        a = AddVertex(-1, 0, 0);
        Vertex* b = AddVertex(-2, 0, 0);
        t = AddTriangle(a, b, AddVertex(-1, 0, -1));
    });
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(SlotOf(t), 20000);
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
    EXPECT_EQ(edgeCapacity + triangleCapacity, 2 * 20000);
}

TEST_F(MeshTest, SearchWrapsToAFreedSlotBeforeGrowing) {
    while (liveVertexCount < 20000) AddVertex(0, 0, 0);
    vertices[123].active = 0;
    liveVertexCount--;
    EXPECT_EQ(SlotOf(AddVertex(1, 1, 1)), 123);
    EXPECT_EQ(vertexCapacity, 20000);
}

TEST_F(MeshTest, CullingBoxExcludesItsOwnFaces) {
    // Radius 10 around (1, 2, 3): the box is the centre +- 40; one vertex per face.
    std::vector<Vertex*> onFaces;
    for (i32 axis = 0; axis < 3; axis++)
        for (f32 side : {-40.0f, 40.0f}) {
            f32 p[3] = {1, 2, 3};
            p[axis] += side;
            onFaces.push_back(AddVertex(p[0], p[1], p[2]));
        }
    Vertex* inside = AddVertex(40.99f, 41.99f, -36.99f);
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
}

TEST_F(MeshTest, CullingWidensTheBoxByEachTrianglesRadius) {
    // Centres at x 40.33 and 41.33, radius 0.745, box face at 40.
    Triangle* reaching = AddLoneTriangle(40);
    Triangle* clear = AddLoneTriangle(41);
    Brush b{};
    b.radius = 10;
    UpdateBrushCulling(b, b.center, b.radius, strokeActive);
    EXPECT_EQ(reaching->inBrush, 1);
    EXPECT_EQ(clear->inBrush, 0);
    EXPECT_EQ(reaching->vertices[0]->inBrush, 0);  // its corner lies on the face
}

// The workset as a plain scan of the flags would list it, in slot order.
struct WorksetLists {
    std::vector<i32> v, e, t;
    bool operator==(const WorksetLists&) const = default;
};
static std::vector<i32> Items(const SlotList& l) { return {l.items, l.items + l.count}; }
static WorksetLists TakeWorkset() {
    return {Items(workset.vertices), Items(workset.edges), Items(workset.triangles)};
}
static WorksetLists ScanFlags() {
    WorksetLists w;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && (vertices[i].inBrush || vertices[i].changed)) w.v.push_back(i);
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active && edges[i].changed) w.e.push_back(i);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active && (triangles[i].inBrush || triangles[i].changed)) w.t.push_back(i);
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
    Brush far{};
    far.center = Vec3{-5000, 0, 0};
    far.radius = 1000;
    Brush near{};
    near.center = Vec3{5000, 0, 0};  // the box spans x 1000 .. 9000 of 0 .. 12001
    near.radius = 1000;

    mtCulling = 0;
    UpdateBrushCulling(far, far.center, far.radius, strokeActive);
    UpdateBrushCulling(near, near.center, near.radius, strokeActive);
    const std::vector<u8> inBrush = TakeInBrush();
    const WorksetLists expected = ScanFlags();
    ASSERT_EQ(TakeWorkset(), expected);
    ASSERT_GT(expected.v.size(), 0u);
    ASSERT_LT(expected.v.size(), (size_t)liveVertexCount);

    mtCulling = 1;
    const i32 poolThreads = threadCount;
    for (i32 n = 1; n <= std::min(poolThreads, 4); n++) {
        threadCount = n;  // fewer threads than the pool runs: the rest stay idle
        far.cullValid = near.cullValid = 0;
        UpdateBrushCulling(
            far, far.center, far.radius,
            strokeActive);  // flip the flags away, so the recull must write them back
        EXPECT_NE(TakeInBrush(), inBrush);
        UpdateBrushCulling(near, near.center, near.radius, strokeActive);
        EXPECT_EQ(TakeInBrush(), inBrush) << n << " threads";
        EXPECT_EQ(TakeWorkset(), expected) << n << " threads";
        workset.vertices.count = workset.edges.count = workset.triangles.count = 0;
        UpdateWorkset();
        EXPECT_EQ(TakeWorkset(), expected) << n << " threads, rebuild alone";
    }
    threadCount = poolThreads;

    // A list with no room grows as appending would grow it.
    SlotList appended{};
    for (i32 slot : expected.e) AppendSlot(appended, slot);
    free(workset.edges.items);
    workset.edges = SlotList{};
    UpdateWorkset();
    EXPECT_EQ(Items(workset.edges), expected.e);
    EXPECT_EQ(workset.edges.capacity, appended.capacity);
    free(appended.items);
}
