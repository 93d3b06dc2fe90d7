// Tangential relaxation: slides changed vertices toward the centre of their
// neighbours within the tangent plane so triangle sizes even out, until the
// mesh settles. Border vertices never move: that would shrink the border.
#include <atomic>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

i32 quietBeautifyPasses;
u32 refinementPasses;
u8 consumeChangedFlags;
u8 meshSettled;
static std::atomic<u8> vertexMoved;

static bool OnBorder(const Vertex* v) {
    for (i32 i = 0; i < v->edgeCount; i++) {
        const Edge* e = v->edges[i];
        if ((e->triangle1 != nullptr) != (e->triangle2 != nullptr)) return true;
    }
    return false;
}

static void BeautifyVertex(Vertex* v, i32 threadIndex) {
    if (OnBorder(v)) return;
    f32 lengthSum = 0;
    for (i32 i = 0; i < v->edgeCount; i++) lengthSum += EdgeLength(v->edges[i]);
    if (v->edgeCount < 2) return;
    f32 meanLength = lengthSum / (f32)v->edgeCount;
    v->touched = 1;  // its edges are flagged below, moved or not
    Vec3 sum = {0, 0, 0};
    for (i32 i = 0; i < v->edgeCount; i++) {
        Edge* e = v->edges[i];
        sum += (e->vertex1 == v ? e->vertex2 : e->vertex1)->position;
        e->changed = 1;
    }
    Vec3 d = sum * (1.0f / (f32)v->edgeCount) - v->position;
    Vec3 tangential = d - v->normal * Dot(d, v->normal);
    if (Length(tangential) >= 0.04f * meanLength) {
        JournalPositionInJob(v, threadIndex);
        v->position += tangential * 0.9f;
        MarkChanged(v, 1);
        vertexMoved = 1;
    } else {
        v->changed = 0;  // settled
    }
}

static void BeautifyJob(i32 ti, i32 tn) {
    const SlotList& list = workset.vertices;
    for (i32 i = ti; i < list.count; i += tn) {
        Vertex* v = &vertices[list.items[i]];
        if (v->active && v->changed) BeautifyVertex(v, ti);
    }
}

void Beautify() {
    ProfileBegin(PROF_BEAUTIFY);
    vertexMoved = 0;
    BeginThreadJournals(workset.vertices.count);
    RunMaybeParallel(BeautifyJob, mtBeautify);
    EndThreadJournals();
    if (vertexMoved) {
        quietBeautifyPasses = 0;
        meshSettled = 0;
    } else if (++quietBeautifyPasses > 2) {
        meshSettled = 1;
    }
    ProfileEnd();
}

void RefinementCycle() {
    refinementPasses++;
    consumeChangedFlags = narrowPasses;
    UpdateNormals();
    Beautify();
    RunMaybeParallel(EdgeLengthJob, mtEdges);
    consumeChangedFlags = 0;
    ManageMemory();
}
