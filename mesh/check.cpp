// Mesh consistency checker: every invariant the topology operations keep,
// reported by name. Tests run it after every mutation; it changes nothing.
#include <cstdarg>
#include <cstdio>
#include <initializer_list>
#include "mesh/mesh.h"

namespace {

struct Report {
    char* text;
    i32 size;
    i32 faults;
    void Add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        faults++;
        if (!text || size <= 0) return;
        i32 used = 0;
        while (used < size && text[used]) used++;
        if (faults > 8 || used >= size - 1) return;  // the first few say enough
        va_list args;
        va_start(args, format);
        i32 n = vsnprintf(text + used, (size_t)(size - used), format, args);
        va_end(args);
        if (n > 0 && used + n < size - 1) {
            text[used + n] = '\n';
            text[used + n + 1] = 0;
        }
    }
};

bool InVertices(const Vertex* v) { return v >= vertices && v < vertices + vertexCapacity; }
bool InEdges(const Edge* e) { return e >= edges && e < edges + edgeCapacity; }
bool InTriangles(const Triangle* t) { return t >= triangles && t < triangles + triangleCapacity; }

bool HasCorner(const Triangle* t, const Vertex* v) {
    return t->vertices[0] == v || t->vertices[1] == v || t->vertices[2] == v;
}
bool HasEdge(const Triangle* t, const Edge* e) {
    return t->edges[0] == e || t->edges[1] == e || t->edges[2] == e;
}
template <typename T>
i32 CountIn(T* const* list, i32 count, const T* item) {
    i32 n = 0;
    for (i32 i = 0; i < count; i++) n += list[i] == item;
    return n;
}

void CheckVertex(Report& r, i32 i) {
    const Vertex& v = vertices[i];
    if (!IsFinite(v.position)) r.Add("vertex %i: position not finite", i);
    if (!IsFinite(v.normal)) r.Add("vertex %i: normal not finite", i);
    if (v.triangleCount < 0 || v.triangleCount > MAX_VERTEX_TRIANGLES)
        return r.Add("vertex %i: triangle count %i out of range", i, v.triangleCount);
    if (v.edgeCount < 0 || v.edgeCount > MAX_VERTEX_EDGES)
        return r.Add("vertex %i: edge count %i out of range", i, v.edgeCount);
    for (i32 k = 0; k < v.triangleCount; k++) {
        const Triangle* t = v.triangles[k];
        if (!InTriangles(t) || !t->active) {
            r.Add("vertex %i: lists a free triangle", i);
            continue;
        }
        if (!HasCorner(t, &v))
            r.Add("vertex %i: lists triangle %i that does not use it", i, SlotOf(t));
        if (CountIn(v.triangles, v.triangleCount, t) > 1)
            r.Add("vertex %i: lists triangle %i twice", i, SlotOf(t));
    }
    for (i32 k = 0; k < v.edgeCount; k++) {
        const Edge* e = v.edges[k];
        if (!InEdges(e) || !e->active) {
            r.Add("vertex %i: lists a free edge", i);
            continue;
        }
        if (e->vertex1 != &v && e->vertex2 != &v)
            r.Add("vertex %i: lists edge %i that does not end at it", i, SlotOf(e));
        if (CountIn(v.edges, v.edgeCount, e) > 1)
            r.Add("vertex %i: lists edge %i twice", i, SlotOf(e));
        // One edge per pair of vertices: a twin would split the pair's triangles.
        const Vertex* far = e->vertex1 == &v ? e->vertex2 : e->vertex1;
        for (i32 m = 0; m < k; m++) {
            const Edge* o = v.edges[m];
            if (o != e && InEdges(o) && (o->vertex1 == far || o->vertex2 == far))
                r.Add("vertex %i: two edges to vertex %i", i, SlotOf(far));
        }
    }
}

void CheckEdge(Report& r, i32 i) {
    const Edge& e = edges[i];
    if (!InVertices(e.vertex1) || !InVertices(e.vertex2))
        return r.Add("edge %i: end outside the vertex array", i);
    if (!e.vertex1->active || !e.vertex2->active) r.Add("edge %i: end is a free vertex", i);
    if (e.vertex1 == e.vertex2) r.Add("edge %i: both ends are vertex %i", i, SlotOf(e.vertex1));
    if (!CountIn(e.vertex1->edges, e.vertex1->edgeCount, &e) ||
        !CountIn(e.vertex2->edges, e.vertex2->edgeCount, &e))
        r.Add("edge %i: missing from an end's edge list", i);
    if (!e.triangle1 && !e.triangle2) r.Add("edge %i: active without triangles", i);
    if (e.triangle1 && e.triangle1 == e.triangle2) r.Add("edge %i: holds one triangle twice", i);
    for (const Triangle* t : {e.triangle1, e.triangle2}) {
        if (!t) continue;
        if (!InTriangles(t) || !t->active) {
            r.Add("edge %i: holds a free triangle", i);
            continue;
        }
        if (!HasEdge(t, &e)) r.Add("edge %i: holds triangle %i that does not use it", i, SlotOf(t));
    }
}

void CheckTriangle(Report& r, i32 i) {
    const Triangle& t = triangles[i];
    for (i32 k = 0; k < 3; k++) {
        const Vertex* a = t.vertices[k];
        const Vertex* b = t.vertices[(k + 1) % 3];
        const Edge* e = t.edges[k];
        if (!InVertices(a) || !a->active) {
            r.Add("triangle %i: corner %i is a free vertex", i, k);
            return;
        }
        if (a == b) r.Add("triangle %i: corners %i and %i are the same vertex", i, k, (k + 1) % 3);
        if (!CountIn(a->triangles, a->triangleCount, &t))
            r.Add("triangle %i: missing from corner %i's triangle list", i, k);
        if (!InEdges(e) || !e->active) {
            r.Add("triangle %i: edge %i is a free edge", i, k);
            continue;
        }
        bool joins = (e->vertex1 == a && e->vertex2 == b) || (e->vertex1 == b && e->vertex2 == a);
        if (!joins)
            r.Add("triangle %i: edge %i does not join corners %i and %i", i, k, k, (k + 1) % 3);
        if (e->triangle1 != &t && e->triangle2 != &t)
            r.Add("triangle %i: edge %i does not hold it", i, k);
    }
    if (!IsFinite(t.normal)) r.Add("triangle %i: normal not finite", i);
}

}  // namespace

bool CheckMesh(char* report, i32 reportSize) {
    if (report && reportSize > 0) report[0] = 0;
    Report r{report, reportSize, 0};
    i32 nv = 0, ne = 0, nt = 0, beyond = 0;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) {
            nv++, beyond += i >= vertexReach;
            CheckVertex(r, i);
        }
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active) {
            ne++, beyond += i >= edgeReach;
            CheckEdge(r, i);
        }
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) {
            nt++, beyond += i >= triangleReach;
            CheckTriangle(r, i);
        }
    // Growth copies only the slots the search has reached.
    if (beyond) r.Add("%i records lie beyond the slots handed out", beyond);
    if (nv != liveVertexCount)
        r.Add("live vertex count %i, active vertices %i", liveVertexCount, nv);
    if (ne != liveEdgeCount) r.Add("live edge count %i, active edges %i", liveEdgeCount, ne);
    if (nt != liveTriangleCount)
        r.Add("live triangle count %i, active triangles %i", liveTriangleCount, nt);
    if (displayTriangleCount != liveTriangleCount)
        r.Add("display triangle count %i, live %i", displayTriangleCount, liveTriangleCount);
    if (vertexCursor < 0 || vertexCursor >= vertexCapacity || edgeCursor < 0 ||
        edgeCursor >= edgeCapacity || triangleCursor < 0 || triangleCursor >= triangleCapacity)
        r.Add("a free-slot cursor lies outside its array");
    return r.faults == 0;
}
