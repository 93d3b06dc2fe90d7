// The symmetry switch and the mirror line. With symmetric editing on, the
// mesh holds only the half with x >= 0 and its seam vertices carry
// onMirrorLine; SetSymmetry cuts a whole mesh down to that half, or adds the
// mirrored half and joins it along the seam. Writes `symmetry`, the vertices'
// onMirrorLine and mirror fields, and the records it cuts or creates.
// Main thread only, between frames: never during a stroke.
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

// A seam vertex doubles its inner edges when the halves are joined (2e - 2
// edges from e); thinned to this many it keeps room to spare in its lists.
enum { MIRROR_LINE_EDGES = 10 };

void EnforceSymmetryLine() {
    ProfileBegin(PROF_ENFORCESYMMETRYLINE);
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        if (!v.active || !v.changed || !v.onMirrorLine) continue;
        JournalVertex(&v);
        // Narrow passes recompute only flagged shapes.
        if (narrowPasses && v.position.x != 0) MarkShapeChanged(&v);
        v.position.x = 0;
        v.refPosition.x = 0;
        v.normal.x = 0;
        v.normal.Normalize();
    }
    ProfileEnd();
}

// ================================================================ [SECTION] cutting

// A centroid that is not a number counts as negative: a broken triangle is
// dropped with the unstored half rather than kept.
static bool CentroidBelowPlane(const Triangle& t) {
    f32 x = (t.vertices[0]->position.x + t.vertices[1]->position.x + t.vertices[2]->position.x) *
            0.33333334f;
    return !(x >= 0);
}

static bool LiesInPlane(const Triangle& t) {
    return t.vertices[0]->position.x == 0 && t.vertices[1]->position.x == 0 &&
           t.vertices[2]->position.x == 0;
}

// Keeps the x >= 0 half. The surviving corners of the dropped triangles are
// the seam: they are flagged and moved onto the plane.
static void CutToStoredHalf() {
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].onMirrorLine = 0;
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active || !CentroidBelowPlane(t)) continue;
        for (Vertex* v : t.vertices) v->onMirrorLine = 1;
        RemoveTriangle(&t, true);
    }
    // A triangle lying in the plane would be its own mirror image.
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active && LiesInPlane(triangles[i])) RemoveTriangle(&triangles[i], true);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && vertices[i].onMirrorLine) vertices[i].position.x = 0;
}

// ================================================================ [SECTION] mirroring

static Edge* OppositeEdge(const Triangle* t, const Vertex* v) {
    for (Edge* e : t->edges)
        if (e->vertex1 != v && e->vertex2 != v) return e;
    return nullptr;
}

// Collapses the shortest edges opposite a seam vertex until it has at most
// MIRROR_LINE_EDGES. A collapse that is refused marks its triangle and the
// next shortest is tried; the triangles a collapse re-creates are fresh and
// no longer candidates. The vertex itself is never an end of those edges,
// so it survives every collapse.
static void ThinSeamVertex(Vertex* v) {
    for (i32 i = 0; i < v->triangleCount; i++) v->triangles[i]->fresh = 0;
    while (v->edgeCount > MIRROR_LINE_EDGES) {
        Triangle* best = nullptr;
        f32 shortest = 1000000;
        for (i32 i = 0; i < v->triangleCount; i++) {
            Triangle* t = v->triangles[i];
            Edge* e = OppositeEdge(t, v);
            if (t->fresh || !e || !(e->length < shortest)) continue;
            best = t;
            shortest = e->length;
        }
        if (!best) return;
        best->fresh = 1;
        CollapseEdge(OppositeEdge(best, v));
    }
}

// Grows all three arrays until the doubled mesh fills at most half of each:
// the mirroring then holds vertex addresses (the mirror fields) across
// creations that can no longer move an array. False when the memory cannot
// be had (the arrays keep their records).
static bool ReserveForMirror() {
    i32 v = 0, e = 0, t = 0;
    for (i32 i = 0; i < vertexCapacity; i++) v += vertices[i].active;
    for (i32 i = 0; i < edgeCapacity; i++) e += edges[i].active;
    for (i32 i = 0; i < triangleCapacity; i++) t += triangles[i].active;
    while (2 * v > vertexCapacity / 2 || 2 * e > edgeCapacity / 2 || 2 * t > triangleCapacity / 2)
        if (!AllocateVertices() || !AllocateEdges() || !AllocateTriangles()) return false;
    return true;
}

// From here on onMirrorLine marks the vertices still to be mirrored. A vertex
// that lies on the plane without being a seam vertex is nudged off it first,
// so it gets an image of its own: afterwards exactly the seam sits at x = 0.
static void MarkVerticesToMirror() {
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        if (v.position.x == 0) v.position.x = 0.00001f;
        if (v.onMirrorLine) v.position.x = 0;
        v.onMirrorLine = 1;
    }
}

// Every marked vertex off the plane gets its image at (-x, y, z); a vertex on
// the plane is its own image. The images are created unmarked.
static void CreateMirrorVertices() {
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active || !v.onMirrorLine) continue;
        v.onMirrorLine = 0;
        v.mirror = v.position.x == 0 ? &v : AddVertex(-v.position.x, v.position.y, v.position.z);
    }
}

// One reflected triangle per existing one, corners reversed so it faces
// outward; the seam vertices are shared, which joins the halves.
static void CreateMirrorTriangles() {
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) triangles[i].fresh = 1;
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active || !t.fresh) continue;
        t.fresh = 0;
        Vertex* const* c = t.vertices;
        if (c[0]->mirror == c[0] && c[1]->mirror == c[1] && c[2]->mirror == c[2]) continue;
        Triangle* image = AddTriangle(c[2]->mirror, c[1]->mirror, c[0]->mirror);
        if (image) image->fresh = 0;
    }
}

// Room first: the seam thinning only removes records, and a mesh that
// cannot be doubled stays the half it is (false).
static bool MirrorToWholeMesh() {
    if (!ReserveForMirror()) {
        LogBeginVerbose(0);
        LogPrint("*** out of memory for the mirrored half, symmetry stays on");
        LogEndVerbose();
        return false;
    }
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && vertices[i].onMirrorLine) ThinSeamVertex(&vertices[i]);
    MarkVerticesToMirror();
    i32 capacities[3] = {vertexCapacity, edgeCapacity, triangleCapacity};
    CreateMirrorVertices();
    CreateMirrorTriangles();
    TF_ASSERT(capacities[0] == vertexCapacity && capacities[1] == edgeCapacity &&
                  capacities[2] == triangleCapacity,
              "an array grew while the mirror addresses were held");
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].onMirrorLine = 0;
    return true;
}

// ================================================================ [SECTION] the switch

void SetSymmetry(u8 on) {
    meshChanged = arraysDirty = fullRebuild = 1;
    JournalAllVertices();  // seam flags, nudges and positions of the whole mesh
    if (on && !symmetry) CutToStoredHalf();
    if (!on && symmetry && !MirrorToWholeMesh()) on = 1;
    symmetry = on ? 1 : 0;
    UpdateWorkset();
    UpdateNormals();
    if (symmetry) EnforceSymmetryLine();
    StoreRestState();
}

void ReapplySymmetry() {
    u8 wanted = symmetry;
    symmetry = 0;
    SetSymmetry(wanted);
}
