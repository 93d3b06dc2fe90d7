// The only operations that create or remove edges and triangles. Edges are
// never made or deleted by callers: they appear with the first triangle that
// needs them and vanish with the last one that used them. Each operation
// keeps adjacency recorded both ways, the live counters and the workset.
#include <atomic>
#include "mesh/mesh.h"

// ================================================================ edges

Edge* AddEdge(Vertex* a, Vertex* b) {
    // The search may grow the edge array; a and b are vertices and do not move.
    i32 slot = FindFreeEdgeSlot();
    Edge* e = &edges[slot];
    JournalEdge(e);
    JournalVertex(a);
    JournalVertex(b);
    e->active = 1;
    e->changed = 1;
    e->index = slot;
    e->vertex1 = a;
    e->vertex2 = b;
    e->triangle1 = e->triangle2 = nullptr;
    ResetEventTag(e->eventTag);
    a->edges[a->edgeCount++] = e;
    b->edges[b->edgeCount++] = e;
    EdgeLength(e);
    AppendSlot(workset.edges, slot);
    liveEdgeCount++;
    return e;
}

Edge* FindEdge(Vertex* v, Vertex* a, Vertex* b) {
    for (i32 i = 0; i < v->edgeCount; i++) {
        Edge* e = v->edges[i];
        if ((e->vertex1 == a && e->vertex2 == b) || (e->vertex1 == b && e->vertex2 == a)) return e;
    }
    return nullptr;
}

static Edge* FindSideEdge(Vertex* const c[3], Vertex* a, Vertex* b) {
    for (i32 k = 0; k < 3; k++)
        if (Edge* e = FindEdge(c[k], a, b)) return e;
    return nullptr;
}

// ================================================================ triangles

// May the triangle be linked? Each corner needs a free triangle entry, and
// both ends of every edge still to be created need a free edge entry. The
// lists are fixed arrays inside the records: an append past them would
// overwrite the neighbouring fields.
static bool AdjacencyHasRoom(Vertex* const c[3]) {
    i32 newEdges[3] = {0, 0, 0};
    for (i32 k = 0; k < 3; k++) {
        if (FindSideEdge(c, c[k], c[(k + 1) % 3])) continue;
        newEdges[k]++;
        newEdges[(k + 1) % 3]++;
    }
    for (i32 k = 0; k < 3; k++) {
        if (c[k]->triangleCount >= MAX_VERTEX_TRIANGLES) return false;
        if (c[k]->edgeCount + newEdges[k] > MAX_VERTEX_EDGES) return false;
    }
    return true;
}

// May the triangle be linked to its sides? An edge holds two triangles. A
// third one on the same pair would be linked from its corners only, would
// outlive the edge when the other two go, and would keep pointing at the
// freed (later reused) edge record: refuse it instead.
static bool SidesHaveRoom(Vertex* const c[3]) {
    for (i32 k = 0; k < 3; k++) {
        Edge* e = FindSideEdge(c, c[k], c[(k + 1) % 3]);
        if (e && e->triangle1 && e->triangle2) return false;
    }
    return true;
}

bool TriangleFits(Vertex* a, Vertex* b, Vertex* c) {
    Vertex* const corners[3] = {a, b, c};
    return AdjacencyHasRoom(corners) && SidesHaveRoom(corners);
}

static void EdgeAddTriangle(Edge* e, Triangle* t) {
    // An edge holds two triangles at most: SidesHaveRoom has refused a third.
    TF_ASSERT(!e->triangle1 || !e->triangle2, "edge %i already holds two triangles", SlotOf(e));
    if (!e->triangle1)
        e->triangle1 = t;
    else if (!e->triangle2)
        e->triangle2 = t;
    e->changed = 1;
}

Triangle* AddTriangle(Vertex* a, Vertex* b, Vertex* c, i32 slot) {
    // Three distinct corners are the caller's promise, not something to
    // negotiate: a repeated one is a fault in the calling code.
    if (!TF_ASSERT(a != b && b != c && a != c, "tried to create invalid triangle!")) return nullptr;
    Vertex* const corners[3] = {a, b, c};
    if (!AdjacencyHasRoom(corners)) {
        LogBeginVerbose(0);
        LogPrint("*** vertex has no room for another triangle or edge, triangle refused");
        return nullptr;
    }
    if (!SidesHaveRoom(corners)) {
        LogBeginVerbose(0);
        LogPrint("*** edge already holds two triangles, triangle refused");
        return nullptr;
    }
    if (slot < 0) slot = FindFreeTriangleSlot();
    Triangle* t = &triangles[slot];
    JournalTriangle(t);
    for (Vertex* v : corners) JournalVertex(v);
    t->index = slot;
    t->active = t->fresh = t->changed = t->inBrush = 1;
    t->tessDone = 0;
    t->normal = Normalized(Cross(b->position - a->position, c->position - a->position));
    ResetEventTag(t->eventTag);
    for (i32 k = 0; k < 3; k++) {
        Vertex* v = corners[k];
        t->vertices[k] = v;
        TF_ASSERT(v->active, "about to create triangle with inactive vertex");
        v->triangles[v->triangleCount++] = t;
        v->changed = 1;
    }
    for (i32 k = 0; k < 3; k++) {
        Vertex* from = corners[k];
        Vertex* to = corners[(k + 1) % 3];
        Edge* e = FindSideEdge(corners, from, to);
        if (!e) e = AddEdge(from, to);
        JournalEdge(e);
        t->edges[k] = e;
        EdgeAddTriangle(e, t);
    }
    TriangleNormal(t);
    t->circumference = TriangleCircumference(t);
    displayTriangleCount++;
    meshChanged = 1;
    AppendSlot(workset.triangles, slot);
    liveTriangleCount++;
    return t;
}

// Removes every occurrence of t from v's list, keeping the order of the rest.
static bool UnlinkTriangle(Vertex* v, Triangle* t) {
    i32 kept = 0;
    for (i32 i = 0; i < v->triangleCount; i++)
        if (v->triangles[i] != t) v->triangles[kept++] = v->triangles[i];
    bool removed = kept != v->triangleCount;
    v->triangleCount = kept;
    if (removed) v->changed = 1;
    return removed;
}

static void UnlinkEdge(Vertex* v, Edge* e) {
    i32 kept = 0;
    for (i32 i = 0; i < v->edgeCount; i++)
        if (v->edges[i] != e) v->edges[kept++] = v->edges[i];
    v->edgeCount = kept;
    v->changed = 1;
}

static void EdgeRemoveTriangle(Edge* e, Triangle* t) {
    bool found = false;
    if (e->triangle1 == t) {
        e->triangle1 = nullptr;
        found = true;
    }
    if (e->triangle2 == t) {
        e->triangle2 = nullptr;
        found = true;
    }
    if (found && !e->triangle1 && !e->triangle2 && e->active) {
        UnlinkEdge(e->vertex1, e);
        UnlinkEdge(e->vertex2, e);
        e->active = 0;
        liveEdgeCount--;
    }
    e->changed = 1;
    TF_ASSERT(found, "failed to remove triangle from edge");
}

i32 RemoveTriangle(Triangle* t, bool removeLooseVertices) {
    JournalTriangle(t);
    for (Vertex* v : t->vertices) JournalVertex(v);
    for (Edge* e : t->edges) JournalEdge(e);
    for (Vertex* v : t->vertices) {
        bool unlinked = UnlinkTriangle(v, t);
        TF_ASSERT(unlinked, "failed to remove triangle from vertex");
    }
    for (Edge* e : t->edges) EdgeRemoveTriangle(e, t);
    if (removeLooseVertices) {
        for (Vertex* v : t->vertices) {
            if (v->active && v->edgeCount == 0 && v->triangleCount == 0) {
                v->active = 0;
                liveVertexCount--;
            }
        }
    }
    t->active = 0;
    displayTriangleCount--;
    meshChanged = 1;
    i32 slot = SlotOf(t);
    AppendSlot(workset.triangles, slot);  // so the renderer drops it
    liveTriangleCount--;
    return slot;
}

void AlignTriangle(Triangle* t, Vec3 direction) {
    f32 d = Dot(direction, t->normal);
    if (!(d < 0) && !std::isnan(d)) return;
    Vertex* a = t->vertices[0];
    Vertex* b = t->vertices[1];
    Vertex* c = t->vertices[2];
    i32 slot = RemoveTriangle(t, false);
    // Re-adding the same corners needs no more room than they just gave back.
    Triangle* flipped = AddTriangle(c, b, a, slot);
    if (!TF_ASSERT(flipped, "AlignTriangle could not re-create the flipped triangle")) return;
}

// ================================================================ vertex upkeep

void MarkChanged(Vertex* v, u8 flag) {
    v->changed = flag;
    if (flag != 1) return;
    v->touched = 1;
    for (i32 i = 0; i < v->edgeCount; i++) {
        Edge* e = v->edges[i];
        e->changed = 1;
        e->vertex1->changed = 1;
        e->vertex2->changed = 1;
    }
    for (i32 i = 0; i < v->triangleCount; i++) v->triangles[i]->changed = 1;
}

// Threads that move their own vertices share the neighbours: the flags are
// stored atomically, and only ever raised, so the order of the stores does
// not matter.
static void Raise(u8& flag) { std::atomic_ref<u8>(flag).store(1, std::memory_order_relaxed); }

void MarkChangedInJob(Vertex* v) {
    Raise(v->changed);
    for (i32 i = 0; i < v->edgeCount; i++) {
        Edge* e = v->edges[i];
        Raise(e->changed);
        Raise(e->vertex1->changed);
        Raise(e->vertex2->changed);
    }
    for (i32 i = 0; i < v->triangleCount; i++) Raise(v->triangles[i]->changed);
}

void MarkShapeChanged(Vertex* v) {
    v->touched = 1;
    for (i32 i = 0; i < v->edgeCount; i++) v->edges[i]->changed = 1;
    for (i32 i = 0; i < v->triangleCount; i++) v->triangles[i]->changed = 1;
}

void RelaxVertex(Vertex* v, f32 factor) {
    if (v->edgeCount == 0) return;
    Vec3 sum = {0, 0, 0};
    for (i32 i = 0; i < v->edgeCount; i++) {
        Edge* e = v->edges[i];
        sum += (e->vertex1 == v ? e->vertex2 : e->vertex1)->position;
    }
    Vec3 mean = sum * (1.0f / (f32)v->edgeCount);
    JournalVertex(v);
    v->position += (mean - v->position) * factor;
    MarkChanged(v, 1);
}
