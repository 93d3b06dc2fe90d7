// The builder job: fills the render arrays (mesh/mesh.h) from the mesh,
// either every slot or only the workset's, interleaved over the threads.
// Runs on the worker threads while the main thread waits, so: no GL, no
// log, and each thread writes only its own slots and threadTriangleEnd[t].
// Threads own slots, not list positions: a split that reuses a freed
// triangle slot lists it twice in the workset.
#include "base/settings.h"
#include "mesh/mesh.h"
#include "render/render.h"
#include "tools/brush.h"

i32 drawTriangleCount;
i32 threadTriangleEnd[MAX_THREADS];

// Mask tint: green growing with the mask weight; unmasked parts darken a
// little. Added onto the lit surface, so the negative parts are kept.
static Vec3 MaskColor(f32 m) { return {0, 0.3f * m - 0.05f * (1 - m), -0.025f * (1 - m)}; }

static void BuildVertex(i32 s, bool colours) {
    if ((u32)s >= (u32)vertexCapacity) return;  // a stale workset entry must not write outside
    Vertex& v = vertices[s];
    if (!v.active) return;
    positionArray[s] = v.position;
    normalArray[s] = v.normal;
    v.index = s;
    if (colours) colorArray[s] = maskView ? MaskColor(v.mask) : Vec3{0, 0, 0};
}

// The corners' slot numbers come from their addresses, not from their index
// fields: another thread may be writing those fields in this very job, and a
// corner created since the last full rebuild has never had its field set.
static void BuildTriangle(i32 s, i32 threadIndex) {
    if ((u32)s >= (u32)triangleCapacity) return;
    const Triangle& t = triangles[s];
    IndexTriple& out = indexArray[s];
    if (!t.active) {
        out = IndexTriple{{0, 0, 0}};
        return;
    }
    for (i32 k = 0; k < 3; k++) out.v[k] = (u32)SlotOf(t.vertices[k]);
    if (s + 1 > threadTriangleEnd[threadIndex]) threadTriangleEnd[threadIndex] = s + 1;
}

static void BuildSaved(i32 t, i32 n) {
    for (i32 s = t; s < vertexCapacity; s += n) {
        const Vertex& v = vertices[s];
        if (!v.active) continue;
        savedPositionArray[s] = v.savedPosition;
        savedNormalArray[s] = v.savedNormal;
    }
}

void BuildRenderArrays(i32 t, i32 n) {
    bool colours = maskView || colorsDirty || meshChanged;
    if (fullRebuild) {
        for (i32 s = t; s < vertexCapacity; s += n) BuildVertex(s, colours);
    } else {
        for (i32 i = 0; i < workset.vertices.count; i++)
            if (TakesSlot(workset.vertices.items[i], t, n))
                BuildVertex(workset.vertices.items[i], colours);
    }
    if (meshChanged) {
        if (fullRebuild) {
            threadTriangleEnd[t] = 0;
            for (i32 s = t; s < triangleCapacity; s += n) BuildTriangle(s, t);
        } else {
            // Between full rebuilds the drawn range only grows: freed slots
            // inside it are drawn as degenerate triangles.
            threadTriangleEnd[t] = drawTriangleCount;
            for (i32 i = 0; i < workset.triangles.count; i++)
                if (TakesSlot(workset.triangles.items[i], t, n))
                    BuildTriangle(workset.triangles.items[i], t);
        }
    }
    if (bumpShading && (savedArraysDirty || meshChanged)) BuildSaved(t, n);
}
