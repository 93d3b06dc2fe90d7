// Record storage: the three arrays, their free-slot search, growth with
// every link rebased, and the whole-storage reset. Owns the arrays, the
// capacities, counters, cursors and the render-side arrays' sizes.
#include <malloc.h>
#include <sys/mman.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "mesh/history.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

Vertex* vertices;
Edge* edges;
Triangle* triangles;
i32 vertexCapacity, edgeCapacity, triangleCapacity;
i32 liveVertexCount, liveEdgeCount, liveTriangleCount, displayTriangleCount;
i32 vertexCursor, edgeCursor, triangleCursor;
GeometrySet workset;

Vec3* positionArray;
Vec3* normalArray;
Vec3* colorArray;
Vec3* savedPositionArray;
Vec3* savedNormalArray;
IndexTriple* indexArray;

u8 arraysDirty, fullRebuild, colorsDirty, meshChanged, savedArraysDirty, bumpShading;

// Growth that cannot get memory has no way to keep the mesh: stop before
// anything writes through a null array, with the reason in the log.
[[noreturn]] void OutOfMemory(const char* what, i32 records) {
    LogBeginVerbose(1);
    LogPrint("### out of memory allocating %i %s records, stopping", records, what);
    fprintf(stderr, "out of memory allocating %i %s records\n", records, what);
    exit(EXIT_FAILURE);
}

// Large arrays in huge pages where the system gives them on request: the
// first pass over a fresh array of a million records then takes hundreds of
// page faults instead of hundreds of thousands.
static void AdviseHugePages(void* p, size_t bytes) {
    const uintptr_t huge = (uintptr_t)2 << 20;
    uintptr_t begin = ((uintptr_t)p + huge - 1) & ~(huge - 1);
    uintptr_t end = ((uintptr_t)p + bytes) & ~(huge - 1);
    if (end > begin) madvise((void*)begin, end - begin, MADV_HUGEPAGE);
}

template <typename T>
static T* AllocRecords(i32 count, const char* what) {
    T* p = (T*)calloc((size_t)count, sizeof(T));  // zeroed: every record inactive
    if (!p) OutOfMemory(what, count);
    AdviseHugePages(p, (size_t)count * sizeof(T));
    return p;
}

// The render arrays with one entry per vertex slot.
static Vec3** const renderVertexArrays[] = {&positionArray, &normalArray, &colorArray,
                                            &savedPositionArray, &savedNormalArray};

static void RaiseRebuildFlags() { arraysDirty = colorsDirty = meshChanged = fullRebuild = 1; }

// Fresh render arrays are zeroed, so the renderer has to refill every slot.
static void AllocRenderVertexArrays() {
    for (Vec3** array : renderVertexArrays) {
        free(*array);
        *array = AllocRecords<Vec3>(vertexCapacity, "render vertex");
    }
    RaiseRebuildFlags();
}

static void AllocRenderIndexArray() {
    free(indexArray);
    indexArray = AllocRecords<IndexTriple>(triangleCapacity, "render index");
    RaiseRebuildFlags();
}

void FreeAllocation() {
    ClearHistory();  // its records name slots of these arrays
    free(vertices);
    free(edges);
    free(triangles);
    vertices = nullptr;
    edges = nullptr;
    triangles = nullptr;
    for (Vec3** array : renderVertexArrays) {
        free(*array);
        *array = nullptr;
    }
    free(indexArray);
    indexArray = nullptr;
    for (SlotList* l : {&workset.vertices, &workset.edges, &workset.triangles}) {
        free(l->items);
        *l = SlotList{};
    }
    FreeBrushIndex();
}

void ResetAllocation() {
    // Record arrays are freed at every growth. By default the allocator raises
    // its mmap threshold after such a free, so the next arrays come from the
    // heap and their freed space stays with the process for good; a fixed
    // threshold keeps large blocks in mmap, given back to the system when
    // freed, so a long session holds what its sculpture needs and no more.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    FreeAllocation();
    vertexCapacity = edgeCapacity = triangleCapacity = INITIAL_CAPACITY;
    liveVertexCount = liveEdgeCount = liveTriangleCount = displayTriangleCount = 0;
    vertices = AllocRecords<Vertex>(vertexCapacity, "vertex");
    edges = AllocRecords<Edge>(edgeCapacity, "edge");
    triangles = AllocRecords<Triangle>(triangleCapacity, "triangle");
    vertexCursor = edgeCursor = triangleCursor = 0;
    ResetGeometrySet(workset);
    AllocRenderVertexArrays();
    AllocRenderIndexArray();
}

void ClearAllSlots() {
    ClearHistory();  // a whole new mesh follows
    InvalidateBrushIndex();
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].active = 0;
    for (i32 i = 0; i < edgeCapacity; i++) edges[i].active = 0;
    for (i32 i = 0; i < triangleCapacity; i++) triangles[i].active = 0;
    vertexCursor = edgeCursor = triangleCursor = 0;
}

// ================================================================ growth

template <typename T>
static inline void Rebase(T*& p, const T* oldBase, T* newBase) {
    if (p) p = newBase + (p - oldBase);
}

// Copies the records into an array half as large again; the new tail is inactive.
template <typename T>
static T* GrowArray(T* old, i32 oldCapacity, i32 newCapacity, const char* what) {
    T* grown = AllocRecords<T>(newCapacity, what);
    memcpy(grown, old, sizeof(T) * (size_t)oldCapacity);
    return grown;
}

static void GrowSlotList(SlotList& list, i32 arrayCapacity) {
    if (list.capacity > arrayCapacity) return;
    i32 capacity = arrayCapacity + arrayCapacity / 2;
    i32* items = (i32*)realloc(list.items, sizeof(i32) * (size_t)capacity);
    if (!items) OutOfMemory("workset", capacity);
    list.items = items;
    list.capacity = capacity;
}

// The growth every record array shares: the array to newCap records, its
// links rebased by rebaseLinks (given the old capacity: the tail of the new
// array holds no records yet), the old array freed and the workset list
// widened to match. What each type refreshes afterwards stays with the caller.
template <typename T>
static void GrowRecords(const char* name, const char* what, T*& array, i32& capacity,
                        SlotList& list,
                        void (*rebaseLinks)(const T* old, T* grown, i32 oldCapacity), i32 newCap) {
    i32 oldCap = capacity;
    LogPrint("%s %i->%i", name, oldCap, newCap);
    T* old = array;
    T* grown = GrowArray(old, oldCap, newCap, what);
    rebaseLinks(old, grown, oldCap);
    free(old);
    array = grown;
    capacity = newCap;
    GrowSlotList(list, newCap);
}

static void RebaseVertexLinks(const Vertex* old, Vertex* grown, i32 oldCapacity) {
    for (i32 i = 0; i < edgeCapacity; i++) {
        if (!edges[i].active) continue;
        Rebase(edges[i].vertex1, old, grown);
        Rebase(edges[i].vertex2, old, grown);
    }
    for (i32 i = 0; i < triangleCapacity; i++) {
        if (!triangles[i].active) continue;
        for (Vertex*& v : triangles[i].vertices) Rebase(v, old, grown);
    }
    for (i32 i = 0; i < oldCapacity; i++)
        if (grown[i].active && grown[i].mirror) Rebase(grown[i].mirror, old, grown);
}

static bool GrowVertices(i32 newCap) {
    GrowRecords("AllocateVertices", "vertex", vertices, vertexCapacity, workset.vertices,
                RebaseVertexLinks, newCap);
    AllocRenderVertexArrays();
    return true;
}

bool AllocateVertices() { return GrowVertices(vertexCapacity * 3 / 2); }

// One adjacency list of every active vertex, named by its member and the
// member that counts it: the edges or the triangles.
template <typename T, size_t N>
static void RebaseVertexLists(T* (Vertex::*list)[N], i32 Vertex::*count, const T* old, T* grown) {
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        for (i32 k = 0; k < v.*count; k++) Rebase((v.*list)[k], old, grown);
    }
}

static void RebaseEdgeLinks(const Edge* old, Edge* grown, i32) {
    for (i32 i = 0; i < triangleCapacity; i++) {
        if (!triangles[i].active) continue;
        for (Edge*& e : triangles[i].edges) Rebase(e, old, grown);
    }
    RebaseVertexLists(&Vertex::edges, &Vertex::edgeCount, old, grown);
}

static bool GrowEdges(i32 newCap) {
    GrowRecords("AllocateEdges", "edge", edges, edgeCapacity, workset.edges, RebaseEdgeLinks,
                newCap);
    return true;
}

bool AllocateEdges() { return GrowEdges(edgeCapacity * 3 / 2); }

static void RebaseTriangleLinks(const Triangle* old, Triangle* grown, i32) {
    for (i32 i = 0; i < edgeCapacity; i++) {
        if (!edges[i].active) continue;
        Rebase(edges[i].triangle1, old, grown);
        Rebase(edges[i].triangle2, old, grown);
    }
    RebaseVertexLists(&Vertex::triangles, &Vertex::triangleCount, old, grown);
}

static bool GrowTriangles(i32 newCap) {
    GrowRecords("AllocateTriangles", "triangle", triangles, triangleCapacity, workset.triangles,
                RebaseTriangleLinks, newCap);
    AllocRenderIndexArray();
    return true;
}

bool AllocateTriangles() { return GrowTriangles(triangleCapacity * 3 / 2); }

// In 64 bits: capacity x 80 overflows 32 bits from about 27 million records.
static i32 EightyPercent(i32 capacity) { return (i32)((int64_t)capacity * 80 / 100); }

// Where growth by halves ends once `needed` records fill at most 80 %.
static i32 CapacityFor(int64_t needed, i32 capacity) {
    while (needed > EightyPercent(capacity)) capacity = capacity * 3 / 2;
    return capacity;
}

// Straight to the capacity the growth by halves would reach: every step of
// that growth copies and rebases the whole array.
void ReserveRecords(i32 v, i32 t) {
    i32 vertexTarget = CapacityFor(v, vertexCapacity);
    i32 triangleTarget = CapacityFor(t, triangleCapacity);
    i32 edgeTarget = CapacityFor((int64_t)t / 2 * 3 + 3, edgeCapacity);
    if (vertexTarget > vertexCapacity) GrowVertices(vertexTarget);
    if (triangleTarget > triangleCapacity) GrowTriangles(triangleTarget);
    if (edgeTarget > edgeCapacity) GrowEdges(edgeTarget);
}

void ManageMemory() {
    if (!meshChanged) return;
    ProfileBegin(PROF_MANAGEMEMORY);
    // Grow early so the free-slot search rarely has to run a full circle.
    if (liveVertexCount > EightyPercent(vertexCapacity)) AllocateVertices();
    if (liveEdgeCount > EightyPercent(edgeCapacity)) AllocateEdges();
    if (liveTriangleCount > EightyPercent(triangleCapacity)) AllocateTriangles();
    ProfileEnd();
}

// ================================================================ free-slot search

// The cursor stays on the slot it hands out, so on an empty storage with the
// cursor at 0 consecutive creations take slots 0, 1, 2, ... in order.
template <typename T>
static i32 FindFreeSlot(T*& array, i32& capacity, i32& cursor, bool (*grow)(), const char* ranOut) {
    i32 steps = 0;
    while (array[cursor].active) {
        cursor = (cursor + 1) % capacity;
        steps++;
        if (steps >= capacity) {
            LogPrint("%s", ranOut);
            grow();
            steps = 0;
        }
    }
    return cursor;
}

i32 FindFreeEdgeSlot() {
    return FindFreeSlot(edges, edgeCapacity, edgeCursor, AllocateEdges,
                        "*** ran out of edge storage, allocate more");
}

i32 FindFreeTriangleSlot() {
    return FindFreeSlot(triangles, triangleCapacity, triangleCursor, AllocateTriangles,
                        "*** ran out of triangle storage, allocate more");
}

Vertex* AddVertex(f32 x, f32 y, f32 z) {
    i32 slot = FindFreeSlot(vertices, vertexCapacity, vertexCursor, AllocateVertices,
                            "*** ran out of vertex storage, allocate more");
    Vertex* v = &vertices[slot];
    JournalVertex(v);
    v->active = 1;
    v->changed = 1;
    v->inBrush = 1;
    v->onMirrorLine = 0;
    v->folded = 0;
    v->mask = 0;
    v->position = v->refPosition = Vec3{x, y, z};
    v->normal = Vec3{0, 0, 0};
    v->triangleCount = v->edgeCount = 0;
    v->mirror = nullptr;
    ResetEventTag(v->eventTag);
    AppendSlot(workset.vertices, slot);
    liveVertexCount++;
    return v;
}
