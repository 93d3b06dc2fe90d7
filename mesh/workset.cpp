// The workset (slot lists of what changed or lies near the brush), brush
// culling, and the whole-mesh flag jobs. Per-frame passes visit only the
// workset so their cost follows the brushed region, not the mesh.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

static void ResizeList(SlotList& list, i32 capacity) {
    free(list.items);
    list.items = (i32*)malloc(sizeof(i32) * (size_t)capacity);
    if (!list.items) OutOfMemory("slot list", capacity);
    list.count = 0;
    list.capacity = capacity;
}

void ResetGeometrySet(GeometrySet& set) {
    worksetEpoch++;
    if (&set == &workset) worksetListsAll = 0;
    ResizeList(set.vertices, vertexCapacity);
    ResizeList(set.edges, edgeCapacity);
    ResizeList(set.triangles, triangleCapacity);
}

void AppendSlot(SlotList& list, i32 slot) {
    if (list.count >= list.capacity) {
        i32 capacity = list.capacity * 15 / 10;
        // Small first: a grid cell's list often holds only a few slots.
        if (capacity <= list.count) capacity = list.count + 4;
        i32* items = (i32*)realloc(list.items, sizeof(i32) * (size_t)capacity);
        if (!items) OutOfMemory("slot list", capacity);
        list.items = items;
        list.capacity = capacity;
    }
    list.items[list.count++] = slot;
}

u8 worksetListsAll;

void CollectAll(GeometrySet& set) {
    worksetEpoch++;
    worksetListsAll = &set == &workset;
    set.vertices.count = set.edges.count = set.triangles.count = 0;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) AppendSlot(set.vertices, i);
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active) AppendSlot(set.edges, i);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) AppendSlot(set.triangles, i);
}

// ================================================================ workset rebuild

// The rebuild scans every slot, so at a few million records it is the bulk of a
// recull. Each thread scans one contiguous slot range into its own lists, and
// the main thread joins them in thread order: that is exactly slot order, the
// order the recull through the grid lists in too, so the passes see the same
// lists whichever way the workset was found.
enum { LIST_VERTICES, LIST_EDGES, LIST_TRIANGLES, LIST_KINDS };
static SlotList threadLists[MAX_THREADS][LIST_KINDS];  // kept between rebuilds, never shrunk
static Vec3 cullMin, cullMax;                          // culling box of the running job
static u8 cullInRebuild;                               // the rebuild job also recomputes inBrush

static bool InBox(Vec3 p, f32 widen) {
    // Strictly inside: a point on a box face is outside.
    return p.x > cullMin.x - widen && p.x < cullMax.x + widen && p.y > cullMin.y - widen &&
           p.y < cullMax.y + widen && p.z > cullMin.z - widen && p.z < cullMax.z + widen;
}

// Thread ti's share of count slots: [begin, end), in 64 bits so the product
// cannot overflow on very large arrays.
static i32 ChunkBegin(i32 count, i32 ti, i32 tn) { return (i32)((int64_t)count * ti / tn); }

// Each thread's lists must hold its whole range, so the job never grows them
// (jobs do not allocate): sized here, on the main thread, before the run.
static void SizeThreadList(SlotList& list, i32 needed) {
    if (list.capacity >= needed) return;
    i32* items = (i32*)realloc(list.items, sizeof(i32) * (size_t)needed);
    if (!items) OutOfMemory("workset list", needed);
    list.items = items;
    list.capacity = needed;
}

// Flags are written only when they change: most slots keep theirs, and the
// never-used tail of a freshly grown array then stays untouched memory
// instead of being paged in by the first stroke. Culling and listing share
// one visit, so each record is read once per recull.
static void RebuildWorksetJob(i32 ti, i32 tn) {
    SlotList* lists = threadLists[ti];
    const u8 cull = cullInRebuild;
    i32* out = lists[LIST_VERTICES].items;
    i32 n = 0;
    for (i32 i = ChunkBegin(vertexCapacity, ti, tn), end = ChunkBegin(vertexCapacity, ti + 1, tn);
         i < end; i++) {
        Vertex& v = vertices[i];
        if (cull) {
            u8 in = v.active && InBox(v.position, 0);
            if (v.inBrush != in) v.inBrush = in;
        }
        if (v.active && (v.inBrush || v.changed)) out[n++] = i;
    }
    lists[LIST_VERTICES].count = n;
    out = lists[LIST_EDGES].items;
    n = 0;
    for (i32 i = ChunkBegin(edgeCapacity, ti, tn), end = ChunkBegin(edgeCapacity, ti + 1, tn);
         i < end; i++)
        if (edges[i].active && edges[i].changed) out[n++] = i;
    lists[LIST_EDGES].count = n;
    out = lists[LIST_TRIANGLES].items;
    n = 0;
    for (i32 i = ChunkBegin(triangleCapacity, ti, tn),
             end = ChunkBegin(triangleCapacity, ti + 1, tn);
         i < end; i++) {
        Triangle& t = triangles[i];
        if (cull) {
            u8 in = t.active && InBox(t.center, t.radius);
            if (t.inBrush != in) t.inBrush = in;
        }
        if (t.active && (t.inBrush || t.changed)) out[n++] = i;
    }
    lists[LIST_TRIANGLES].count = n;
}

// Joins the threads' lists in thread order; the list grows as AppendSlot
// grows it, so a list that outgrows its capacity keeps the same headroom.
static void JoinThreadLists(SlotList& list, i32 kind, i32 tn) {
    i32 total = 0;
    for (i32 ti = 0; ti < tn; ti++) total += threadLists[ti][kind].count;
    if (total > list.capacity) {
        i32 capacity = list.capacity;
        while (capacity < total) {
            i32 next = capacity * 15 / 10;
            capacity = next <= capacity ? capacity + 16 : next;
        }
        free(list.items);  // the old contents are replaced wholesale
        list.items = nullptr;
        list.capacity = 0;
        SizeThreadList(list, capacity);
    }
    i32 n = 0;
    for (i32 ti = 0; ti < tn; ti++) {
        const SlotList& part = threadLists[ti][kind];
        if (part.count) memcpy(list.items + n, part.items, sizeof(i32) * (size_t)part.count);
        n += part.count;
    }
    list.count = n;
}

static void RebuildWorkset(u8 cull) {
    worksetListsAll = 0;
    // Before the pool starts threadCount is 0: rebuild on this thread then.
    bool split = mtCulling && threadCount > 1 && vertexCapacity >= PARALLEL_HEAVY_ITEMS;
    i32 tn = split ? threadCount : 1;
    const i32 capacities[LIST_KINDS] = {vertexCapacity, edgeCapacity, triangleCapacity};
    for (i32 ti = 0; ti < tn; ti++)
        for (i32 k = 0; k < LIST_KINDS; k++)
            SizeThreadList(threadLists[ti][k], ChunkBegin(capacities[k], ti + 1, tn) -
                                                   ChunkBegin(capacities[k], ti, tn));
    cullInRebuild = cull;
    RunMaybeParallel(RebuildWorksetJob, tn > 1);
    JoinThreadLists(workset.vertices, LIST_VERTICES, tn);
    JoinThreadLists(workset.edges, LIST_EDGES, tn);
    JoinThreadLists(workset.triangles, LIST_TRIANGLES, tn);
}

void UpdateWorkset() {
    ProfileBegin(PROF_UPDATEWORKSET);
    worksetEpoch++;
    RebuildWorkset(0);
    ProfileEnd();
}

// ================================================================ brush culling

// Half the cube's side in brush radii. Through the grid a recull costs about
// what one step costs, so the cube may hug the brush: every per-step pass
// walks the cube, and it holds little more than the brush's reach. Four when
// every recull scans the whole mesh, as it does on a mesh too small for the
// grid: the wide cube then reculls less often.
static f32 CullRadii() { return GridInUse() ? 1.25f : 4.0f; }

void UpdateBrushCulling(BrushCulling& b, Vec3 center, f32 r, bool strokeRunning) {
    ProfileBegin(PROF_UPDATEBRUSHCULLING);
    b.cullHalfSize = CullRadii() * r;
    // Small moves within the cube need no recull.
    if (b.cullValid && Length(b.cullCenterNow - b.cullCenter) + r <= b.cullHalfSize) {
        if (!strokeRunning) UpdateWorkset();
        CollectReach(center, b.cullCenterNow, r);
        JournalReach();
        ProfileEnd();
        return;
    }
    if (!b.cullValid) b.cullCenterNow = center;
    b.cullCenter = b.cullCenterNow;
    Vec3 half = {b.cullHalfSize, b.cullHalfSize, b.cullHalfSize};
    cullMin = b.cullCenter - half;
    cullMax = b.cullCenter + half;
    if (!RecullByGrid(cullMin, cullMax, b.cullHalfSize)) {
        RebuildWorkset(1);
        if (!WorksetIsLarge()) PrepareBrushIndex(b.cullHalfSize);
    }
    b.cullValid = 1;
    // The tool step that follows changes only vertices within its reach,
    // partly on worker threads: their old records are saved here, first.
    CollectReach(center, b.cullCenterNow, r);
    JournalReach();
    ProfileEnd();
}

// ================================================================ reach

SlotList reachVertices;
static Vec3 reachCenter, reachReference;
static f32 reachSquared;

static bool Within(Vec3 p, Vec3 c) {
    Vec3 d = p - c;
    return Dot(d, d) <= reachSquared;
}

static bool InReach(const Vertex& v) {
    Vec3 c = reachCenter, r = reachReference;
    return Within(v.position, c) || Within(v.position, {-c.x, c.y, c.z}) ||
           Within(v.refPosition, r) || Within(v.refPosition, {-r.x, r.y, r.z});
}

void ExtendReach(i32 from) {
    const SlotList& list = workset.vertices;
    for (i32 i = from; i < list.count; i++) {
        i32 slot = list.items[i];
        Vertex& v = vertices[slot];
        if (!v.active || v.inReach || !InReach(v)) continue;
        v.inReach = 1;  // a slot reused by a split is listed twice in the workset
        AppendSlot(reachVertices, slot);
    }
}

void CollectReach(Vec3 center, Vec3 reference, f32 radius) {
    for (i32 i = 0; i < reachVertices.count; i++)
        if (reachVertices.items[i] < vertexCapacity) vertices[reachVertices.items[i]].inReach = 0;
    reachVertices.count = 0;
    reachCenter = center;
    reachReference = reference;
    // A little beyond the reach of every falloff.
    reachSquared = radius * radius * 1.01f;
    ExtendReach(0);
}

// ================================================================ whole-mesh jobs

void StoreRestState() {
    if (!bumpShading) return;
    CollectAll(workset);
    UpdateNormals();
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        v.savedPosition = v.position;
        v.savedNormal = v.normal;
    }
    savedArraysDirty = meshChanged = fullRebuild = arraysDirty = 1;
}

void ClearChangedJob(i32 ti, i32 tn) {
    for (i32 i = ti; i < vertexCapacity; i += tn) vertices[i].changed = 0;
    for (i32 i = ti; i < edgeCapacity; i += tn) edges[i].changed = 0;
    for (i32 i = ti; i < triangleCapacity; i += tn) triangles[i].changed = 0;
}

void CopyRefPositionJob(i32 ti, i32 tn) {
    for (i32 i = ti; i < vertexCapacity; i += tn)
        if (vertices[i].active) vertices[i].refPosition = vertices[i].position;
}
