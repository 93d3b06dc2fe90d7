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

int64_t recordAllocationLimit;

i32 vertexReach, edgeReach, triangleReach;
static u8 noMemoryTold;  // growth failed and said so; cleared by the next growth

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

// Null when the memory cannot be had: growth then keeps the arrays it has.
template <typename T>
static T* AllocRecords(i32 count) {
    size_t bytes = (size_t)count * sizeof(T);
    if (recordAllocationLimit > 0 && (int64_t)bytes > recordAllocationLimit) return nullptr;
    T* p = (T*)calloc((size_t)count, sizeof(T));  // zeroed: every record inactive
    if (p) AdviseHugePages(p, bytes);
    return p;
}

// A fresh storage of the initial size: the sculpture it replaces is already
// gone, so there is nothing left to keep when even that cannot be had.
template <typename T>
static T* AllocOrStop(i32 count, const char* what) {
    T* p = AllocRecords<T>(count);
    if (!p) OutOfMemory(what, count);
    return p;
}

// The render arrays with one entry per vertex slot.
static Vec3** const renderVertexArrays[] = {&positionArray, &normalArray, &colorArray,
                                            &savedPositionArray, &savedNormalArray};

static void RaiseRebuildFlags() { arraysDirty = colorsDirty = meshChanged = fullRebuild = 1; }

// Fresh render arrays are zeroed, so the renderer has to refill every slot.
// All or none: false keeps the old ones.
static bool ReplaceRenderVertexArrays(i32 count) {
    Vec3* fresh[5] = {};
    for (i32 k = 0; k < 5; k++) {
        fresh[k] = AllocRecords<Vec3>(count);
        if (fresh[k]) continue;
        for (Vec3* p : fresh) free(p);
        return false;
    }
    for (i32 k = 0; k < 5; k++) {
        free(*renderVertexArrays[k]);
        *renderVertexArrays[k] = fresh[k];
    }
    RaiseRebuildFlags();
    return true;
}

static bool ReplaceRenderIndexArray(i32 count) {
    IndexTriple* fresh = AllocRecords<IndexTriple>(count);
    if (!fresh) return false;
    free(indexArray);
    indexArray = fresh;
    RaiseRebuildFlags();
    return true;
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
    vertices = AllocOrStop<Vertex>(vertexCapacity, "vertex");
    edges = AllocOrStop<Edge>(edgeCapacity, "edge");
    triangles = AllocOrStop<Triangle>(triangleCapacity, "triangle");
    vertexCursor = edgeCursor = triangleCursor = 0;
    vertexReach = edgeReach = triangleReach = 0;
    ResetGeometrySet(workset);
    if (!ReplaceRenderVertexArrays(vertexCapacity)) OutOfMemory("render vertex", vertexCapacity);
    if (!ReplaceRenderIndexArray(triangleCapacity)) OutOfMemory("render index", triangleCapacity);
}

void ClearAllSlots() {
    ClearHistory();  // a whole new mesh follows
    InvalidateBrushIndex();
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].active = 0;
    for (i32 i = 0; i < edgeCapacity; i++) edges[i].active = 0;
    for (i32 i = 0; i < triangleCapacity; i++) triangles[i].active = 0;
    vertexCursor = edgeCursor = triangleCursor = 0;
    vertexReach = edgeReach = triangleReach = 0;
}

// ================================================================ growth

template <typename T>
static inline void Rebase(T*& p, const T* oldBase, T* newBase) {
    if (p) p = newBase + (p - oldBase);
}

// A workset list longer than its array, so appends rarely need to grow it.
// A failed realloc keeps the old list.
static bool GrowSlotList(SlotList& list, i32 arrayCapacity) {
    if (list.capacity > arrayCapacity) return true;
    i32 capacity = arrayCapacity + arrayCapacity / 2;
    i32* items = (i32*)realloc(list.items, sizeof(i32) * (size_t)capacity);
    if (!items) return false;
    list.items = items;
    list.capacity = capacity;
    return true;
}

// The growth every record array shares: the array to newCap records, the
// workset list and the side arrays (replaceSide, may be null) widened to
// match, then the records copied, their links rebased by rebaseLinks (given
// the old capacity: the tail of the new array holds no records yet) and the
// old array freed. Everything is allocated before anything is replaced, so
// false (no memory) leaves the storage as it was. Only the slots ever handed
// out are copied: the rest holds no record, and copying it would make the
// whole new array resident.
template <typename T>
static bool GrowRecords(const char* name, T*& array, i32& capacity, i32 reach, SlotList& list,
                        bool (*replaceSide)(i32 count),
                        void (*rebaseLinks)(const T* old, T* grown, i32 oldCapacity), i32 newCap) {
    i32 oldCap = capacity;
    T* grown = AllocRecords<T>(newCap);
    if (!grown || !GrowSlotList(list, newCap) || (replaceSide && !replaceSide(newCap))) {
        free(grown);
        return false;
    }
    LogPrint("%s %i->%i", name, oldCap, newCap);
    noMemoryTold = 0;
    T* old = array;
    memcpy(grown, old, sizeof(T) * (size_t)(reach < oldCap ? reach : oldCap));
    rebaseLinks(old, grown, oldCap);
    free(old);
    array = grown;
    capacity = newCap;
    return true;
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
    return GrowRecords("AllocateVertices", vertices, vertexCapacity, vertexReach, workset.vertices,
                       ReplaceRenderVertexArrays, RebaseVertexLinks, newCap);
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
    return GrowRecords("AllocateEdges", edges, edgeCapacity, edgeReach, workset.edges, nullptr,
                       RebaseEdgeLinks, newCap);
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
    return GrowRecords("AllocateTriangles", triangles, triangleCapacity, triangleReach,
                       workset.triangles, ReplaceRenderIndexArray, RebaseTriangleLinks, newCap);
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
bool ReserveRecords(i32 v, i32 t) {
    i32 vertexTarget = CapacityFor(v, vertexCapacity);
    i32 triangleTarget = CapacityFor(t, triangleCapacity);
    i32 edgeTarget = CapacityFor((int64_t)t / 2 * 3 + 3, edgeCapacity);
    return (vertexTarget <= vertexCapacity || GrowVertices(vertexTarget)) &&
           (triangleTarget <= triangleCapacity || GrowTriangles(triangleTarget)) &&
           (edgeTarget <= edgeCapacity || GrowEdges(edgeTarget));
}

static void TellNoMemory() {
    if (noMemoryTold) return;
    noMemoryTold = 1;
    LogBeginVerbose(0);
    LogPrint("*** out of memory for more records, the mesh gets no more detail");
    LogEndVerbose();
}

void ManageMemory() {
    if (!meshChanged) return;
    ProfileBegin(PROF_MANAGEMEMORY);
    // Grow early so the free-slot search rarely has to run a full circle.
    // Growth that cannot get memory leaves the arrays as they are: the
    // splits then fill the slots still free and stop (MakeRoomForRecords).
    bool grown = true;
    if (liveVertexCount > EightyPercent(vertexCapacity)) grown = AllocateVertices() && grown;
    if (liveEdgeCount > EightyPercent(edgeCapacity)) grown = AllocateEdges() && grown;
    if (liveTriangleCount > EightyPercent(triangleCapacity)) grown = AllocateTriangles() && grown;
    if (!grown) TellNoMemory();
    ProfileEnd();
}

bool MakeRoomForRecords(i32 v, i32 e, i32 t) {
    bool room = (vertexCapacity - liveVertexCount >= v || AllocateVertices()) &&
                (edgeCapacity - liveEdgeCount >= e || AllocateEdges()) &&
                (triangleCapacity - liveTriangleCount >= t || AllocateTriangles());
    if (!room) TellNoMemory();
    return room;
}

// ================================================================ free-slot search

// The cursor stays on the slot it hands out, so on an empty storage with the
// cursor at 0 consecutive creations take slots 0, 1, 2, ... in order.
// Slots freed behind the cursor (collapses, splits) are otherwise reused only
// when it comes round again, and meanwhile it walks into memory no record
// has touched: a long session held its whole capacity where its sculpture
// needed two thirds. So at the edge of the touched slots, while a sixteenth
// of them (and a few pages' worth) are free, the search starts over from
// slot 0 and fills them first. A sweep passes at most 16 occupied slots per
// free one it finds.
// Creators that cannot handle a failed growth reach a full circle only after
// asking for room (MakeRoomForRecords, ReserveRecords): a full circle that
// cannot grow has no slot to give and stops the program.
template <typename T>
static i32 FindFreeSlot(T*& array, i32& capacity, i32& cursor, i32& reach, i32 live, bool (*grow)(),
                        const char* kind) {
    if (cursor + 1 >= reach && reach - live > reach / 16 + 1024) cursor = 0;
    i32 steps = 0;
    while (array[cursor].active) {
        cursor = (cursor + 1) % capacity;
        steps++;
        if (steps >= capacity) {
            LogPrint("*** ran out of %s storage, allocate more", kind);
            if (!grow()) OutOfMemory(kind, capacity);
            steps = 0;
        }
    }
    if (cursor >= reach) reach = cursor + 1;
    return cursor;
}

i32 FindFreeEdgeSlot() {
    return FindFreeSlot(edges, edgeCapacity, edgeCursor, edgeReach, liveEdgeCount, AllocateEdges,
                        "edge");
}

i32 FindFreeTriangleSlot() {
    return FindFreeSlot(triangles, triangleCapacity, triangleCursor, triangleReach,
                        liveTriangleCount, AllocateTriangles, "triangle");
}

Vertex* AddVertex(f32 x, f32 y, f32 z) {
    i32 slot = FindFreeSlot(vertices, vertexCapacity, vertexCursor, vertexReach, liveVertexCount,
                            AllocateVertices, "vertex");
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
