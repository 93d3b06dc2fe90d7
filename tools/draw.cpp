// DRAW: pulls the vertices under the brush toward a copy of the averaged
// reference surface lifted by one radius (lowered when inverted). Both of
// its passes run on all threads behind mt_draw: the averaging pass into
// per-thread sums added in thread order, the apply pass over the vertices
// each thread owns by slot. Workers only move their own vertices; the flags
// MarkChanged spreads to neighbours are set afterwards on the main thread.
#include <cstdlib>
#include "base/settings.h"
#include "parallel/parallel.h"
#include "tools/surfacepasses.h"
#include "tools/tools.h"

// What a step did to a vertex.
constexpr u8 DRAW_UNMOVED = 0, DRAW_CHANGED = 1, DRAW_MIRROR_ONLY = 2;

static SurfaceStep drawStep;             // the running step, read by the jobs
static PlaneSums drawSums[MAX_THREADS];  // averaging pass, one per thread index
static Vec3 drawAxis, drawOrigin;        // A and O of the averaged reference plane
static f32 drawRate;                     // 0.6 |S|^1.3
static u8* drawMarked;                   // per reach position: what the step did (DRAW_*)
static i32 drawMarkedCapacity;

// ================================================================ averaging pass

// Both passes divide the vertices by slot, not by list position: a thread's
// share of the sums does not shift when entries come and go before it. (The
// reach lists each vertex once, so each has one writer either way.)
static void DrawAverageJob(i32 ti, i32 tn) {
    const SurfaceStep& s = drawStep;
    PlaneSums sums = {};
    const SlotList& list = reachVertices;
    for (i32 i = 0; i < list.count; i++) {
        if (!TakesSlot(list.items[i], ti, tn)) continue;
        const Vertex& v = vertices[list.items[i]];
        if (!Brushable(v)) continue;
        f32 d = Length(v.position - s.center);
        if (d < s.radius) AddSample(sums, 1 - d / s.radius, v.normal, v.refPosition);
        if (!s.symmetric) continue;
        // The vertex's mirror image, mirror-line vertices included.
        f32 dm = Length(MirrorX(v.position) - s.center);
        if (dm < s.radius)
            AddSample(sums, 1 - dm / s.radius, MirrorX(v.normal), MirrorX(v.refPosition));
    }
    drawSums[ti] = sums;
}

// ================================================================ apply pass

// The reference position projected onto the plane through O with the given
// normal, then lifted one radius along A in the stroke's direction.
static Vec3 LiftedTarget(Vec3 ref, Vec3 planeNormal) {
    Vec3 q = ref - planeNormal * Dot(ref - drawOrigin, planeNormal);
    f32 lift = drawStep.strength > 0 ? drawStep.radius : -drawStep.radius;
    return q + drawAxis * lift;
}

// Moves one vertex: whether it counts as changed, or moved by the mirrored
// brush alone (it is not marked changed then, but its shape still is).
static u8 DrawVertex(Vertex& v) {
    const SurfaceStep& s = drawStep;
    f32 t = 1.3f * Length(v.position - s.center) / s.radius;
    if (!(t < 1)) return DRAW_UNMOVED;
    f32 w = SmoothStep(1 - t);
    Vec3 p = v.position;
    Vec3 delta = LiftedTarget(v.refPosition, drawAxis) - p;
    if (s.symmetric) {
        w *= s.blend;
        f32 tm = 1.3f * Length(p - s.mirrorCenter) / s.radius;
        if (tm < 1) {
            f32 wm = SmoothStep(1 - tm) * s.blend;
            Vec3 deltaMirror = LiftedTarget(v.refPosition, MirrorX(drawAxis)) - p;
            if (Dot(deltaMirror, v.normal) * s.strength > 0)
                v.position += deltaMirror * (MaskedWeight(v, wm) * 0.1f * drawRate);
        }
    }
    // Only moves that agree with the stroke's sign relative to the vertex's
    // own normal: a vertex already beyond the target is not pulled back.
    if (!(Dot(delta, v.normal) * s.strength >= 0))
        return p.x == v.position.x && p.y == v.position.y && p.z == v.position.z ? DRAW_UNMOVED
                                                                                 : DRAW_MIRROR_ONLY;
    v.position += delta * (MaskedWeight(v, w) * 0.1f * drawRate);
    return DRAW_CHANGED;
}

static void DrawApplyJob(i32 ti, i32 tn) {
    const SlotList& list = reachVertices;
    for (i32 i = 0; i < list.count; i++) {
        if (!TakesSlot(list.items[i], ti, tn)) continue;
        Vertex& v = vertices[list.items[i]];
        drawMarked[i] = Brushable(v) ? DrawVertex(v) : DRAW_UNMOVED;
    }
}

// The marks are per reach position; the buffer grows with the longest
// reach and is kept between steps.
static bool SizeMarks(i32 count) {
    if (count <= drawMarkedCapacity) return true;
    i32 capacity = count + count / 2;
    u8* grown = (u8*)realloc(drawMarked, (size_t)capacity);
    if (!grown) return false;
    drawMarked = grown;
    drawMarkedCapacity = capacity;
    return true;
}

// ================================================================ the tool

void DrawTool(Brush& b) {
    SurfaceStep& s = drawStep;
    if (!BeginSurfaceStep(b, TOOL_DRAW, s)) return EndSurfaceStep(b, s);
    bool split = mtDraw && reachVertices.count >= PARALLEL_LIGHT_ITEMS;
    i32 threads = split ? threadCount : 1;
    RunMaybeParallel(DrawAverageJob, split);
    PlaneSums sums = {};
    for (i32 i = 0; i < threads; i++) {
        sums.normal += drawSums[i].normal;
        sums.point += drawSums[i].point;
        sums.weight += drawSums[i].weight;
    }
    const SlotList& list = reachVertices;
    if (sums.weight < 0.01f || !SizeMarks(list.count)) return EndSurfaceStep(b, s);
    PlaneFromSums(sums, drawAxis, drawOrigin);
    drawRate = 0.6f * std::pow(std::fabs(s.strength), 1.3f);
    RunMaybeParallel(DrawApplyJob, split);
    for (i32 i = 0; i < list.count; i++) {
        if (drawMarked[i] == DRAW_CHANGED) MarkChanged(&vertices[list.items[i]], 1);
        if (drawMarked[i] == DRAW_MIRROR_ONLY) MarkShapeChanged(&vertices[list.items[i]]);
    }
    EndSurfaceStep(b, s);
}
