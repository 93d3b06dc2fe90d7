// The workset (slot lists of what changed or lies near the brush), brush
// culling, and the whole-mesh flag jobs. Per-frame passes visit only the
// workset so their cost follows the brushed region, not the mesh.
#include <cstdlib>
#include "app/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "tools/brush.h"

static void ResizeList(SlotList& list, i32 capacity) {
    free(list.items);
    list.items = (i32*)malloc(sizeof(i32) * (size_t)capacity);
    if (!list.items) {
        LogBeginVerbose(1);
        LogPrint("### out of memory sizing a slot list to %i, stopping", capacity);
        exit(EXIT_FAILURE);
    }
    list.count = 0;
    list.capacity = capacity;
}

void ResetGeometrySet(GeometrySet& set) {
    LogPrint("ResetGeometrySet() begin");
    ResizeList(set.vertices, vertexCapacity);
    ResizeList(set.edges, edgeCapacity);
    ResizeList(set.triangles, triangleCapacity);
    LogPrint("edges=0x%X", (u32)(uintptr_t)set.edges.items);
    LogPrint("ResetGeometrySet() end");
}

void AppendSlot(SlotList& list, i32 slot) {
    if (list.count >= list.capacity) {
        i32 capacity = list.capacity * 15 / 10;
        if (capacity <= list.count) capacity = list.count + 16;
        i32* items = (i32*)realloc(list.items, sizeof(i32) * (size_t)capacity);
        if (!items) {
            LogBeginVerbose(1);
            LogPrint("### out of memory growing a slot list to %i, stopping", capacity);
            exit(EXIT_FAILURE);
        }
        list.items = items;
        list.capacity = capacity;
    }
    list.items[list.count++] = slot;
}

void CollectAll(GeometrySet& set) {
    set.vertices.count = set.edges.count = set.triangles.count = 0;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) AppendSlot(set.vertices, i);
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active) AppendSlot(set.edges, i);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) AppendSlot(set.triangles, i);
}

void UpdateWorkset() {
    ProfileBegin(PROF_UPDATEWORKSET);
    SlotList& vl = workset.vertices;
    SlotList& el = workset.edges;
    SlotList& tl = workset.triangles;
    vl.count = el.count = tl.count = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (v.active && (v.inBrush || v.changed)) AppendSlot(vl, i);
    }
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active && edges[i].changed) AppendSlot(el, i);
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (t.active && (t.inBrush || t.changed)) AppendSlot(tl, i);
    }
    ProfileEnd();
}

// ================================================================ brush culling

static Vec3 cullMin, cullMax;  // culling box of the running job

static bool InBox(Vec3 p, f32 widen) {
    // Strictly inside: a point on a box face is outside.
    return p.x > cullMin.x - widen && p.x < cullMax.x + widen && p.y > cullMin.y - widen &&
           p.y < cullMax.y + widen && p.z > cullMin.z - widen && p.z < cullMax.z + widen;
}

// Flags are written only when they change: most slots keep theirs, and the
// never-used tail of a freshly grown array then stays untouched memory
// instead of being paged in by the first stroke.
static void CullingJob(i32 ti, i32 tn) {
    for (i32 i = ti; i < vertexCapacity; i += tn) {
        Vertex& v = vertices[i];
        u8 in = v.active && InBox(v.position, 0);
        if (v.inBrush != in) v.inBrush = in;
    }
    for (i32 i = ti; i < triangleCapacity; i += tn) {
        Triangle& t = triangles[i];
        u8 in = t.active && InBox(t.center, t.radius);
        if (t.inBrush != in) t.inBrush = in;
    }
}

void UpdateBrushCulling(Brush& b) {
    ProfileBegin(PROF_UPDATEBRUSHCULLING);
    f32 r = b.radius;
    b.cullHalfSize = 4 * r;
    // The cube is four radii wide, so small moves within it need no recull.
    if (b.cullValid && Length(b.cullCenterNow - b.cullCenter) + r <= 4 * r) {
        if (!strokeActive) UpdateWorkset();
        ProfileEnd();
        return;
    }
    if (!b.cullValid) b.cullCenterNow = b.center;
    b.cullCenter = b.cullCenterNow;
    Vec3 half = {b.cullHalfSize, b.cullHalfSize, b.cullHalfSize};
    cullMin = b.cullCenter - half;
    cullMax = b.cullCenter + half;
    RunMaybeParallel(CullingJob, mtCulling);
    b.cullValid = 1;
    UpdateWorkset();
    ProfileEnd();
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
