// Edge collapse: merges the second end of an edge into the first, which moves
// to the midpoint, re-creates the second end's triangles around it in their
// own slots, and relaxes the neighbourhood. CanCollapse states every refusal
// rule; a collapse whose result fails its final check is put back exactly as
// it was (from a CollapseRecord), so the program never stops over one edge.
#include <initializer_list>
#include "mesh/mesh.h"

namespace {

enum {
    MIN_OPPOSITE_TRIANGLES = 5,  // an opposite corner keeps at least 4 afterwards
    MAX_MERGED_EDGES = 18,       // edges of the merged vertex
    MAX_RECORDED_TRIANGLES = MAX_VERTEX_TRIANGLES,
    MAX_RECORDED_VERTICES = MAX_VERTEX_EDGES * 2 + 1,
};

struct SavedTriangle {
    i32 slot;
    i32 corners[3];  // vertex slots in winding order
};
struct SavedVertex {
    i32 slot;
    Vec3 position, refPosition;
    f32 mask;
};

// What a collapse changes, so that a result failing its check can be undone:
// every triangle of the removed end (the edge's two included) and the
// position of the kept end and of every vertex the local repair may move.
struct CollapseRecord {
    i32 kept, removed;  // vertex slots
    i32 triangleCount;
    SavedTriangle triangles[MAX_RECORDED_TRIANGLES];
    i32 vertexCount;
    SavedVertex vertices[MAX_RECORDED_VERTICES];
};

Vertex* FarEnd(const Edge* e, const Vertex* v) { return e->vertex1 == v ? e->vertex2 : e->vertex1; }

bool HasCorner(const Triangle* t, const Vertex* v) {
    return t->vertices[0] == v || t->vertices[1] == v || t->vertices[2] == v;
}

Vertex* ThirdCorner(Triangle* t, const Vertex* k, const Vertex* r) {
    for (Vertex* c : t->vertices)
        if (c != k && c != r) return c;
    return nullptr;
}

bool IsNeighbour(const Vertex* v, const Vertex* w) {
    for (i32 i = 0; i < v->edgeCount; i++)
        if (FarEnd(v->edges[i], v) == w) return true;
    return false;
}

bool Refuse(const char* line) {
    LogPrint("%s", line);
    return false;
}

// ================================================================ may I

// The topology the collapse reads must hold together: a live edge between
// live vertices. A mesh that passes the checker always has one, so anything
// else is a fault of the caller or of the mesh operations; with the asserts
// off it is refused, since a refusal costs less than a corrupted mesh.
bool EdgeIsSound(Edge* e) {
    Vertex* k = e->vertex1;
    Vertex* r = e->vertex2;
    return TF_ASSERT(e->active && k && r && k->active && r->active,
                     "collapse edge %s with something null! v1=%s v2=%s oldtri1=%s oldtri2=%s",
                     EventLogName(e), EventLogName(k), EventLogName(r), EventLogName(e->triangle1),
                     EventLogName(e->triangle2));
}

// An inner edge holds two different triangles, both live and spanning it,
// between two different vertices (faults, as in EdgeIsSound).
bool InnerEdgeIsSound(Triangle* t1, Triangle* t2, Vertex* k, Vertex* r) {
    if (!TF_ASSERT(t1 != t2, "tris are equal!")) return false;
    if (!TF_ASSERT(k != r, "verts are equal!")) return false;
    for (Triangle* t : {t1, t2})
        if (!TF_ASSERT(t->active && HasCorner(t, k) && HasCorner(t, r),
                       "collapse edge holds a triangle that does not span it"))
            return false;
    return true;
}

// Refusals after the border test: each opposite corner keeps enough
// triangles, both ends agree about the mirror line, the merged vertex is not
// too busy, and the re-created triangles are certain to fit the fixed
// adjacency lists (checked here so nothing is removed that cannot be rebuilt).
bool RoomToMerge(Triangle* t1, Triangle* t2, Vertex* k, Vertex* r) {
    for (Triangle* t : {t1, t2})
        for (Edge* side : t->edges) {
            Vertex* a = side->vertex1;
            Vertex* b = side->vertex2;
            Vertex* opposite = (a != k && a != r) ? a : (b != k && b != r) ? b : nullptr;
            if (opposite && opposite->triangleCount < MIN_OPPOSITE_TRIANGLES) return false;
        }
    if (k->onMirrorLine != r->onMirrorLine) return false;
    if (k->edgeCount + r->edgeCount - 4 >= MAX_MERGED_EDGES + 1) {
        LogPrint("*** tried to collapse busy edge, won't");
        return false;
    }
    if (k->triangleCount + r->triangleCount - 4 > MAX_VERTEX_TRIANGLES) return false;
    for (i32 i = 0; i < r->triangleCount; i++) {
        Triangle* t = r->triangles[i];
        if (t != t1 && t != t2 && HasCorner(t, k))
            return Refuse("*** a third triangle shares the edge, won't collapse");
    }
    // The ends may share only the two opposite corners: with another common
    // neighbour its two edges to k and r would merge into one edge holding
    // four triangles, and the surface would fold onto itself.
    Vertex* o1 = ThirdCorner(t1, k, r);
    Vertex* o2 = ThirdCorner(t2, k, r);
    if (o1 == o2)
        return Refuse("*** both triangles of the edge share their third corner, won't collapse");
    for (i32 i = 0; i < r->edgeCount; i++) {
        Vertex* a = FarEnd(r->edges[i], r);
        if (a != k && a != o1 && a != o2 && IsNeighbour(k, a)) return false;
    }
    // A neighbour of r gains its edge to k before it loses its edge to r.
    for (i32 i = 0; i < r->edgeCount; i++) {
        Vertex* a = FarEnd(r->edges[i], r);
        if (a != k && !IsNeighbour(k, a) && a->edgeCount + 1 > MAX_VERTEX_EDGES) return false;
    }
    return true;
}

// Every rule that refuses an edge; true when the collapse may go ahead.
bool CanCollapse(Edge* e) {
    if (!EdgeIsSound(e)) return false;
    Triangle* t1 = e->triangle1;
    Triangle* t2 = e->triangle2;
    Vertex* k = e->vertex1;
    Vertex* r = e->vertex2;
    if (!t1 || !t2) return Refuse("*** tried to collapse outer edge, not allowed");
    return InnerEdgeIsSound(t1, t2, k, r) && RoomToMerge(t1, t2, k, r);
}

// ================================================================ record and undo

void SaveVertex(CollapseRecord& rec, Vertex* v) {
    for (i32 i = 0; i < rec.vertexCount; i++)
        if (rec.vertices[i].slot == SlotOf(v)) return;
    if (rec.vertexCount >= MAX_RECORDED_VERTICES) return;
    rec.vertices[rec.vertexCount++] = {SlotOf(v), v->position, v->refPosition, v->mask};
}

void Record(CollapseRecord& rec, Vertex* k, Vertex* r) {
    rec.kept = SlotOf(k);
    rec.removed = SlotOf(r);
    rec.triangleCount = 0;
    for (i32 i = 0; i < r->triangleCount && i < MAX_RECORDED_TRIANGLES; i++) {
        Triangle* t = r->triangles[i];
        SavedTriangle& s = rec.triangles[rec.triangleCount++];
        s.slot = SlotOf(t);
        for (i32 c = 0; c < 3; c++) s.corners[c] = SlotOf(t->vertices[c]);
    }
    rec.vertexCount = 0;
    SaveVertex(rec, k);
    for (Vertex* v : {k, r})
        for (i32 i = 0; i < v->edgeCount; i++) SaveVertex(rec, FarEnd(v->edges[i], v));
}

// Puts the mesh back as Record found it. Edges are re-created (other slots);
// triangles return to their own slots with their own windings.
void Undo(const CollapseRecord& rec) {
    for (i32 i = 0; i < rec.triangleCount; i++) {
        Triangle* t = &triangles[rec.triangles[i].slot];
        if (t->active) RemoveTriangle(t, false);
    }
    Vertex* r = &vertices[rec.removed];
    if (!r->active) {
        r->active = 1;
        liveVertexCount++;
    }
    for (i32 i = 0; i < rec.vertexCount; i++) {
        const SavedVertex& s = rec.vertices[i];
        Vertex& v = vertices[s.slot];
        JournalVertex(&v);
        v.position = s.position;
        v.refPosition = s.refPosition;
        v.mask = s.mask;
    }
    for (i32 i = 0; i < rec.triangleCount; i++) {
        const SavedTriangle& s = rec.triangles[i];
        // The corners held these triangles a moment ago: they have the room.
        Triangle* t = AddTriangle(&vertices[s.corners[0]], &vertices[s.corners[1]],
                                  &vertices[s.corners[2]], s.slot);
        TF_ASSERT(t, "could not restore triangle %i after an undone collapse", s.slot);
    }
    MarkChanged(r, 1);
    for (i32 i = 0; i < rec.vertexCount; i++) MarkChanged(&vertices[rec.vertices[i].slot], 1);
    LogPrint("*** collapse undone, mesh kept as it was");
}

// ================================================================ do it

// Re-creates every remaining triangle of r around k, each in its own slot.
// CanCollapse has made sure each one fits; false on a broken invariant (with
// the asserts off), and the caller undoes the collapse.
bool RecreateAround(Vertex* k, Vertex* r) {
    while (r->triangleCount > 0) {
        Triangle* t = r->triangles[0];
        Edge* outer = nullptr;
        for (Edge* side : t->edges)
            if (side->vertex1 != r && side->vertex2 != r) outer = side;
        if (!TF_ASSERT(outer, "could not find outer edge of v2 triangle!!")) return false;
        // The corner order follows the outer edge, not t's winding: the next
        // normal pass turns triangles that disagree with their neighbours.
        Vertex* a = outer->vertex1;
        Vertex* b = outer->vertex2;
        // k on the outer edge would mean a third triangle on the collapsed edge.
        if (!TF_ASSERT(a != b && a != k && b != k, "malformed triangle in collapse/recreate"))
            return false;
        i32 slot = RemoveTriangle(t, false);
        Triangle* around = AddTriangle(k, a, b, slot);
        if (!TF_ASSERT(around, "could not re-create a v2 triangle")) return false;
    }
    return true;
}

void RepairAround(Vertex* k) {
    UpdateNormal(k);
    RelaxVertex(k, 0.5f);
    MarkChanged(k, 1);
    for (i32 i = 0; i < k->edgeCount; i++) {
        Vertex* w = FarEnd(k->edges[i], k);
        UpdateNormal(w);
        RelaxVertex(w, 0.5f);
    }
}

bool SamePosition(const Vertex* a, const Vertex* b) {
    return a->position.x == b->position.x && a->position.y == b->position.y &&
           a->position.z == b->position.z;
}

// The event logs of a triangle the result check refused, and false.
bool DumpRefused(Triangle* t) {
    EventLogDump(t->eventTag, "triangle", t);
    for (Vertex* c : t->vertices) EventLogDump(c->eventTag, "vertex", c);
    return false;
}

// Zero-area triangles (two corners on one spot, as duplicated positions in an
// imported mesh produce) have no usable normal: such a result is undone.
// A corner used twice cannot be there (AddTriangle refuses it).
bool ResultIsSound(Vertex* k) {
    for (i32 i = 0; i < k->triangleCount; i++) {
        Triangle* t = k->triangles[i];
        Vertex* const* c = t->vertices;
        if (!TF_ASSERT(c[0] != c[1] && c[1] != c[2] && c[0] != c[2],
                       "triangle %i is malformed, two vertices equal!", i))
            return DumpRefused(t);
        if (!SamePosition(c[0], c[1]) && !SamePosition(c[1], c[2]) && !SamePosition(c[0], c[2]))
            continue;
        LogBeginVerbose(0);
        LogPrint("### triangle %i is malformed, two vertices overlapping!", i);
        return DumpRefused(t);
    }
    return true;
}

}  // namespace

u32 collapsesDone;

Vertex* CollapseEdge(Edge* e) {
    if (!TF_ASSERT(e, "collapse with null edge!")) return nullptr;
    if (!CanCollapse(e)) return nullptr;
    Triangle* t1 = e->triangle1;
    Triangle* t2 = e->triangle2;
    Vertex* k = e->vertex1;
    Vertex* r = e->vertex2;
    static CollapseRecord rec;  // main thread only; too large for every call's stack
    Record(rec, k, r);
    JournalVertex(k);
    JournalVertex(r);

    RemoveTriangle(t1, false);
    RemoveTriangle(t2, false);  // e, left without triangles, goes with it
    if (!TF_ASSERT(!e->active, "edge %s was not removed in collapse!", EventLogName(e))) {
        Undo(rec);
        return nullptr;
    }
    k->position = (k->position + r->position) * 0.5f;
    k->refPosition = (k->refPosition + r->refPosition) * 0.5f;
    k->mask = (k->mask + r->mask) * 0.5f;
    if (!RecreateAround(k, r)) {
        Undo(rec);
        return nullptr;
    }
    r->active = 0;
    liveVertexCount--;
    RepairAround(k);
    if (!ResultIsSound(k)) {
        Undo(rec);
        return nullptr;
    }
    collapsesDone++;
    return k;
}
