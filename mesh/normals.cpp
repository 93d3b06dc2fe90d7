// Per-record geometry: edge lengths, face normals with centre and radius,
// vertex normals, and the workset passes that keep them current after edits.
#include <atomic>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

f32 MeasureEdge(const Edge* e) {
    Vec3 a = e->vertex1->position, b = e->vertex2->position;
    double dx = (double)b.x - a.x, dy = (double)b.y - a.y, dz = (double)b.z - a.z;
    return (f32)std::sqrt(dx * dx + dy * dy + dz * dz);
}

f32 EdgeLength(Edge* e) {
    ProfileBegin(PROF_EDGELENGTH);
    e->length = MeasureEdge(e);
    ProfileEnd();
    return e->length;
}

f32 TriangleCircumference(Triangle* t) {
    ProfileBegin(PROF_TRIANGLECIRCUMFERENCE);
    f32 sum = t->edges[0]->length + t->edges[1]->length + t->edges[2]->length;
    ProfileEnd();
    return sum;
}

void TriangleNormal(Triangle* t) {
    Vertex* a = t->vertices[0];
    Vertex* b = t->vertices[1];
    Vertex* c = t->vertices[2];
    t->normal = Normalized(Cross(b->position - a->position, c->position - a->position));
    // Threads of the normal job share corners: the flag is stored atomically
    // (relaxed; RunParallel's hand-back orders it before the vertex pass).
    for (Vertex* v : t->vertices)
        std::atomic_ref<u8>(v->changed).store(1, std::memory_order_relaxed);
    t->center = (a->position + b->position + c->position) * 0.33333334f;
    f32 radius = 0;
    for (Vertex* v : t->vertices) {
        f32 d = Length(v->position - t->center);
        if (d > radius) radius = d;
    }
    t->radius = radius;
}

void UpdateNormal(Vertex* v) {
    v->folded = 0;
    Vec3 sum = {0, 0, 0};
    for (i32 i = 0; i < v->triangleCount; i++) {
        Vec3 n = v->triangles[i]->normal;
        if (i > 0 && !v->folded) {
            f32 d = Dot(sum, n);
            if (d < 0 || std::isnan(d)) v->folded = 1;
        }
        sum += n;
    }
    f32 len = Length(sum);
    if (len >= 0.01f)
        v->normal = sum * (1.0f / len);
    else if (v->triangleCount > 0)
        v->normal = v->triangles[0]->normal;
    else
        v->normal = Vec3{0, 1, 0};
}

// Within the refinement cycle of narrow passes a triangle or edge is
// recomputed once per change, not on every cycle until the mesh settles: a
// corner that moves flags it again (MarkChanged), and recomputing an unmoved
// one gives what it holds. Elsewhere (building meshes, commands) positions
// are written without flags, and the flags stay until the settle clears them.
// A slot reused by a split is listed twice: the jobs here divide the records
// by slot, so each has one writer.
static void TriangleNormalJob(i32 ti, i32 tn) {
    const SlotList& list = workset.triangles;
    const u8 consume = consumeChangedFlags;
    for (i32 i = 0; i < list.count; i++) {
        if (!TakesSlot(list.items[i], ti, tn)) continue;
        Triangle* t = &triangles[list.items[i]];
        if (!t->active || !t->changed) continue;
        TriangleNormal(t);
        if (consume) t->changed = 0;
    }
}

static void VertexNormalJob(i32 ti, i32 tn) {
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        if (!TakesSlot(list.items[i], ti, tn)) continue;
        Vertex* v = &vertices[list.items[i]];
        if (v->active && v->changed) UpdateNormal(v);
    }
}

void EdgeLengthJob(i32 ti, i32 tn) {
    const SlotList& list = workset.edges;
    // CollectAll lists every edge, flagged or not: all of them are measured.
    const u8 consume = consumeChangedFlags && !worksetListsAll;
    for (i32 i = 0; i < list.count; i++) {
        if (!TakesSlot(list.items[i], ti, tn)) continue;
        Edge* e = &edges[list.items[i]];
        if (!e->active || (consume && !e->changed)) continue;
        EdgeLength(e);
        if (consume) e->changed = 0;
    }
}

// Turns every triangle of a folded vertex that faces against the vertex normal.
static void AlignFoldedTriangles() {
    ProfileBegin(PROF_ALIGNTRIANGLE);
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex* v = &vertices[list.items[i]];
        if (!v->active || !v->changed || !v->folded) continue;
        Vec3 n = v->normal;
        for (i32 k = 0; k < v->triangleCount; k++) {
            Triangle* t = v->triangles[k];
            if (Dot(n, t->normal) < 0) AlignTriangle(t, n);
        }
    }
    ProfileEnd();
}

void UpdateNormals() {
    ProfileBegin(PROF_UPDATENORMALS);
    ProfileBegin(PROF_TRIANGLENORMAL);
    RunMaybeParallel(TriangleNormalJob,
                     mtNormals && workset.triangles.count >= PARALLEL_HEAVY_ITEMS);
    ProfileEnd();
    ProfileBegin(PROF_VERTUPDATENORMAL);
    RunMaybeParallel(VertexNormalJob, mtNormals && workset.vertices.count >= PARALLEL_HEAVY_ITEMS);
    ProfileEnd();
    if (detailBias >= 0.15f) AlignFoldedTriangles();
    if (symmetry) EnforceSymmetryLine();
    ProfileEnd();
}
