// Tangential relaxation: slides changed vertices toward the centre of their
// neighbours within the tangent plane so triangle sizes even out, until the
// mesh settles. Border vertices never move: that would shrink the border.
// A pass is two jobs, so that no thread reads a position another is writing
// and the outcome is the same whatever the thread count: the first measures
// every changed vertex against its neighbours as they stand and notes its
// move, the second carries the moves out. Both divide the vertices by slot:
// a slot that a split reused is listed twice, and both entries must fall to
// the one thread that owns the vertex.
#include <atomic>
#include <cstdlib>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

i32 quietBeautifyPasses;
u32 refinementPasses;
u8 consumeChangedFlags;
u8 meshSettled;
// A pass during a stroke moves a few dozen vertices, since the brush moves
// its region as a whole: that costs less on the calling thread than the
// hand-off to the workers.
i32 parallelMovesFrom = 1024;

struct PlannedMove {
    i32 slot;
    Vec3 position;
};
// Per thread index: the moves its first job noted for its second. Sized on
// the main thread before a pass to the whole list, never shrunk.
static PlannedMove* threadMoves[MAX_THREADS];
static i32 threadMoveCount[MAX_THREADS], threadMoveCapacity[MAX_THREADS];

static bool OnBorder(const Vertex* v) {
    for (i32 i = 0; i < v->edgeCount; i++) {
        const Edge* e = v->edges[i];
        if ((e->triangle1 != nullptr) != (e->triangle2 != nullptr)) return true;
    }
    return false;
}

// Writes no position. The lengths and edge flags it stores are shared with
// the neighbours' threads, which store the same values: atomically.
static void PlanVertex(Vertex* v, i32 threadIndex) {
    if (OnBorder(v)) return;
    f32 lengthSum = 0;
    for (i32 i = 0; i < v->edgeCount; i++) {
        f32 length = MeasureEdge(v->edges[i]);
        std::atomic_ref<f32>(v->edges[i]->length).store(length, std::memory_order_relaxed);
        lengthSum += length;
    }
    if (v->edgeCount < 2) return;
    f32 meanLength = lengthSum / (f32)v->edgeCount;
    v->touched = 1;  // its edges are flagged below, moved or not
    Vec3 sum = {0, 0, 0};
    for (i32 i = 0; i < v->edgeCount; i++) {
        Edge* e = v->edges[i];
        sum += (e->vertex1 == v ? e->vertex2 : e->vertex1)->position;
        std::atomic_ref<u8>(e->changed).store(1, std::memory_order_relaxed);
    }
    Vec3 d = sum * (1.0f / (f32)v->edgeCount) - v->position;
    Vec3 tangential = d - v->normal * Dot(d, v->normal);
    // Settled unless the move below, or a neighbour's, flags it again; a
    // second listing of the slot then finds it done.
    v->changed = 0;
    if (Length(tangential) >= 0.04f * meanLength)
        threadMoves[threadIndex][threadMoveCount[threadIndex]++] = {
            SlotOf(v), v->position + tangential * 0.9f};
}

static void PlanJob(i32 ti, i32 tn) {
    const SlotList& list = workset.vertices;
    threadMoveCount[ti] = 0;
    for (i32 i = 0; i < list.count; i++) {
        if (!TakesSlot(list.items[i], ti, tn)) continue;
        Vertex* v = &vertices[list.items[i]];
        if (v->active && v->changed) PlanVertex(v, ti);
    }
}

static void MoveJob(i32 ti, i32) {
    for (i32 i = 0; i < threadMoveCount[ti]; i++) {
        Vertex* v = &vertices[threadMoves[ti][i].slot];
        JournalPositionInJob(v, ti);
        v->position = threadMoves[ti][i].position;
        MarkChangedInJob(v);
    }
}

// Each thread may own every entry of the list.
static void SizeMoveLists(i32 threads, i32 count) {
    for (i32 t = 0; t < threads; t++) {
        if (threadMoveCapacity[t] >= count) continue;
        PlannedMove* p = (PlannedMove*)realloc(threadMoves[t], sizeof(PlannedMove) * (size_t)count);
        if (!p) OutOfMemory("relaxation moves", count);
        threadMoves[t] = p;
        threadMoveCapacity[t] = count;
    }
}

void Beautify() {
    ProfileBegin(PROF_BEAUTIFY);
    bool split = mtBeautify && threadCount > 1 && workset.vertices.count >= PARALLEL_LIGHT_ITEMS;
    i32 threads = split ? threadCount : 1;
    SizeMoveLists(threads, workset.vertices.count);
    RunMaybeParallel(PlanJob, split);
    i32 moves = 0;
    for (i32 t = 0; t < threads; t++) moves += threadMoveCount[t];
    if (moves > 0) {
        BeginThreadJournals(workset.vertices.count);
        if (threads > 1 && moves >= parallelMovesFrom) {
            RunParallel(MoveJob);
        } else {
            for (i32 t = 0; t < threads; t++) MoveJob(t, threads);
        }
        EndThreadJournals();
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
    RunMaybeParallel(EdgeLengthJob, mtEdges && workset.edges.count >= PARALLEL_LIGHT_ITEMS);
    consumeChangedFlags = 0;
    ManageMemory();
}
