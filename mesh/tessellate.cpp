// Detail under the brush: longest-edge bisection until every triangle the
// brush touches is smaller than the brush radius and the detail bias allow.
// The new vertex of a split sits on a cubic curve through both end normals,
// so refinement curves the surface instead of faceting it.
// Writes records only through AddVertex, AddTriangle, RemoveTriangle and
// AlignTriangle, except that an abandoned split frees its new vertex itself.
// Every one of those may grow (move) an array: edges and triangles are held
// by slot across them, vertices re-read from the records that growth rebases.
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

enum {
    MAX_OPPOSITE_EDGES = 19,  // a split gives each opposite corner one more edge
    MAX_TESSELATE_PASSES = 20,
};

Vec3 CubicBezier(Vec3 p0, Vec3 c1, Vec3 c2, Vec3 p3, f32 t) {
    f32 s = 1 - t;
    return p0 * (s * s * s) + c1 * (3 * t * s * s) + c2 * (3 * t * t * s) + p3 * (t * t * t);
}

// ================================================================ one split

// Everything a split of one edge needs, gathered before anything changes.
struct SplitPlan {
    i32 edgeSlot;
    i32 triangleCount;  // 0, 1 or 2 triangles on the edge
    i32 triangleSlots[2];
    Vertex* opposite[2];    // each triangle's corner off the edge
    Vec3 position, normal;  // of the new vertex
    Vec3 refPosition;       // mean over the ends (and opposite corners)
    f32 mask;
};

static Vertex* OppositeCorner(const Triangle* t, const Edge* e) {
    for (Vertex* c : t->vertices)
        if (c != e->vertex1 && c != e->vertex2) return c;
    return nullptr;
}

// May the split be carried out? Removing the edge's triangles and adding two
// per triangle leaves both ends with as many triangles and edges as before;
// each opposite corner gains a triangle per occurrence and one edge (to the
// new vertex). The adjacency lists are fixed arrays that AddTriangle refuses
// to overfill, so a split that would overfill one must be refused up front:
// half a split cannot be left behind.
static bool SplitHasRoom(const SplitPlan& plan) {
    for (i32 i = 0; i < plan.triangleCount; i++) {
        Vertex* c = plan.opposite[i];
        i32 gain = 0;
        for (i32 j = 0; j < plan.triangleCount; j++) gain += plan.opposite[j] == c;
        if (c->triangleCount + gain > MAX_VERTEX_TRIANGLES) return false;
        if (c->edgeCount + 1 > MAX_VERTEX_EDGES) return false;
    }
    return true;
}

// The new point on the cubic through both ends that leaves each end along its
// tangent plane, and a provisional normal from the curve's tangent.
static void CurvePoint(const Vertex* a, const Vertex* b, Vec3& position, Vec3& normal) {
    Vec3 d = b->position - a->position;
    f32 length = Length(d);
    Vec3 u = {d.x / length, d.y / length, d.z / length};
    Vec3 ta = Normalized(u - a->normal * Dot(u, a->normal));
    Vec3 tb = Normalized(-u - b->normal * Dot(-u, b->normal));
    f32 third = length * 0.33333334f;
    Vec3 c1 = a->position + ta * third;
    Vec3 c2 = b->position + tb * third;
    position = CubicBezier(a->position, c1, c2, b->position, 0.5f);
    Vec3 tangent = Normalized(CubicBezier(a->position, c1, c2, b->position, 0.51f) -
                              CubicBezier(a->position, c1, c2, b->position, 0.49f));
    Vec3 mean = Normalized(a->normal + b->normal);
    Vec3 across = Normalized(ta - tb);
    Vec3 n = Cross(tangent, Cross(across, mean));
    if (Dot(n, mean) < 0) n = -n;
    // The cross product is unit only when its factors are perpendicular; the
    // brush that runs right after the split reads this as a unit normal.
    normal = Length(n) >= 0.000001f ? Normalized(n) : mean;
}

// Mean reference position and mask over the ends, plus the opposite corners
// when the edge has two triangles.
static void AverageAttributes(SplitPlan& plan, const Edge* e) {
    const Vertex* from[4] = {e->vertex1, e->vertex2, plan.opposite[0], plan.opposite[1]};
    i32 count = plan.triangleCount == 2 ? 4 : 2;
    Vec3 ref = {0, 0, 0};
    f32 mask = 0;
    for (i32 i = 0; i < count; i++) {
        ref += from[i]->refPosition;
        mask += from[i]->mask;
    }
    plan.refPosition = ref * (1.0f / (f32)count);
    plan.mask = mask / (f32)count;
}

// Fills the new vertex's own fields; a and b are the edge's ends, re-read
// after AddVertex because creating it may have moved the vertex array.
static void FillNewVertex(Vertex* nv, const SplitPlan& plan, const Vertex* a, const Vertex* b) {
    nv->refPosition = plan.refPosition;
    nv->normal = plan.normal;
    nv->mask = plan.mask;
    nv->savedPosition = (a->savedPosition + b->savedPosition) * 0.5f;
    nv->savedNormal = Normalized(a->savedNormal + b->savedNormal);
    nv->onMirrorLine = a->onMirrorLine && b->onMirrorLine;
}

// Takes back the triangles made so far and puts the removed ones back in
// their slots, so the mesh is whole again with the split abandoned. Reached
// when the edge's two triangles share their third corner (two triangles over
// the same three vertices, which a checked file may hold): their four
// replacements would put four triangles on the edge from that corner to the
// new vertex, and AddTriangle refuses the third.
static void UndoSplit(const i32* made, i32 madeCount, Vertex* const removed[2][3], const i32* freed,
                      i32 n, Vertex* nv) {
    for (i32 i = 0; i < madeCount; i++) RemoveTriangle(&triangles[made[i]], false);
    for (i32 i = 0; i < n; i++) AddTriangle(removed[i][0], removed[i][1], removed[i][2], freed[i]);
    if (nv->active && nv->edgeCount == 0 && nv->triangleCount == 0) {
        nv->active = 0;
        liveVertexCount--;
    }
}

// Creates the vertex and replaces each triangle of the edge by two that
// share it, each turned to face the way the triangle it replaces did.
static Vertex* CarryOutSplit(const SplitPlan& plan) {
    Vertex* nv = AddVertex(plan.position.x, plan.position.y, plan.position.z);
    Edge* e = &edges[plan.edgeSlot];
    FillNewVertex(nv, plan, e->vertex1, e->vertex2);
    i32 n = plan.triangleCount;
    Vertex* pairs[4][2];
    Vertex* removed[2][3];
    i32 pairCount = 0;
    Vec3 oldNormal = {0, 0, 0};
    for (i32 i = 0; i < n; i++) {
        Triangle* t = &triangles[plan.triangleSlots[i]];
        for (Edge* side : t->edges) {
            if (side == e) continue;
            pairs[pairCount][0] = side->vertex1;
            pairs[pairCount][1] = side->vertex2;
            pairCount++;
        }
        for (i32 k = 0; k < 3; k++) removed[i][k] = t->vertices[k];
        oldNormal += t->normal;
    }
    if (n == 2) oldNormal = oldNormal * 0.5f;
    i32 freed[2];
    for (i32 i = 0; i < n; i++) freed[i] = RemoveTriangle(&triangles[plan.triangleSlots[i]], false);
    i32 made[4];
    // Removing triangles never frees their corners here, so nv stays live.
    TF_ASSERT(nv->active, "newvert is inactive");
    for (i32 k = 0; k < pairCount; k++) {
        Triangle* t = AddTriangle(pairs[k][0], pairs[k][1], nv, k < n ? freed[k] : -1);
        if (!t) {
            LogBeginVerbose(0);
            LogPrint("### Tesselate requested bad triangle");
            UndoSplit(made, k, removed, freed, n, nv);
            return nullptr;
        }
        made[k] = SlotOf(t);
        AlignTriangle(t, oldNormal);
    }
    return nv;
}

// The edge is short for its triangle: split the triangle's longest other edge
// first, then try this edge afresh. That split may have removed this edge
// (when it was the neighbour's border edge) and handed its slot to another
// edge; only the same live edge between the same ends may be split again.
static Vertex* SplitNeighbourFirst(i32 edgeSlot, Triangle* t, f32 minEdgeLength) {
    Edge* e = &edges[edgeSlot];
    i32 end1 = SlotOf(e->vertex1), end2 = SlotOf(e->vertex2);
    if (!SplitLongestEdge(t, e, minEdgeLength)) return nullptr;
    e = &edges[edgeSlot];  // the edge array may have moved
    if (!e->active || SlotOf(e->vertex1) != end1 || SlotOf(e->vertex2) != end2) return nullptr;
    return Tesselate(e, minEdgeLength);
}

static Vertex* SplitEdgeSlot(i32 edgeSlot, f32 minEdgeLength) {
    // The triangles on the edge.
    Edge* e = &edges[edgeSlot];
    SplitPlan plan = {};
    plan.edgeSlot = edgeSlot;
    for (Triangle* t : {e->triangle1, e->triangle2})
        if (t) plan.triangleSlots[plan.triangleCount++] = SlotOf(t);
    if (plan.triangleCount == 0) return nullptr;  // nothing to split: it would leave a stray vertex
    // Edges this short never split (a zero-length one has no direction).
    f32 length = EdgeLength(e);
    if (length < minEdgeLength || !(length > 0)) return nullptr;
    // An edge much shorter than its triangle waits for the triangle's longest edge.
    for (i32 i = 0; i < plan.triangleCount; i++) {
        Triangle* t = &triangles[plan.triangleSlots[i]];
        if (TriangleCircumference(t) > 4 * length)
            return SplitNeighbourFirst(edgeSlot, t, minEdgeLength);
    }
    // The opposite corners; a busy one refuses the split.
    for (i32 i = 0; i < plan.triangleCount; i++) {
        plan.opposite[i] = OppositeCorner(&triangles[plan.triangleSlots[i]], e);
        // Only a triangle with a repeated corner has none, and AddTriangle makes none.
        if (!TF_ASSERT(plan.opposite[i], "triangle %i has no corner off its edge",
                       plan.triangleSlots[i]))
            return nullptr;
    }
    if (plan.triangleCount == 2) {
        for (Vertex* c : plan.opposite) {
            if (c->edgeCount < MAX_OPPOSITE_EDGES) continue;
            LogBeginVerbose(0);
            LogPrint("*** Edge doesn't want to split! nedges=%i", c->edgeCount);
            LogEndVerbose();
            return nullptr;
        }
    }
    if (!SplitHasRoom(plan)) {
        LogBeginVerbose(0);
        LogPrint("### Tesselate requested bad triangle");
        return nullptr;
    }
    // The new vertex: averaged attributes, the point on the curve and its normal.
    AverageAttributes(plan, e);
    CurvePoint(e->vertex1, e->vertex2, plan.position, plan.normal);
    return CarryOutSplit(plan);
}

// A split adds one vertex, two triangles and up to three edges (four slots
// taken, one freed); a mesh at the file limits gets no more detail, said
// once per run into the limit.
static bool RoomToSplit() {
    static bool told = false;
    i32 share = symmetry ? 2 : 1;
    if (liveTriangleCount + 2 <= MAX_MESH_TRIANGLES / share &&
        liveVertexCount < MAX_MESH_VERTICES / share) {
        told = false;
        return MakeRoomForRecords(1, 4, 4);  // false: no memory (said by the storage)
    }
    if (!told) {
        LogBeginVerbose(0);
        LogPrint("*** mesh at its size limit (%i triangles), no more detail", liveTriangleCount);
        LogEndVerbose();
    }
    told = true;
    return false;
}

Vertex* Tesselate(Edge* e, f32 minEdgeLength) {
    ProfileBegin(PROF_TESSELATE);
    // A caller may hand over an edge that an earlier split removed. Making
    // room may move the edge array: its slot is taken first.
    i32 slot = SlotOf(e);
    Vertex* v = e->active && RoomToSplit() ? SplitEdgeSlot(slot, minEdgeLength) : nullptr;
    ProfileEnd();
    return v;
}

Vertex* SplitLongestEdge(Triangle* t, Edge* excluded, f32 minEdgeLength) {
    ProfileBegin(PROF_TESSELATETRI);
    // The longest stored length wins; of equal lengths the first.
    Edge* best = nullptr;
    f32 bestLength = 0;
    for (Edge* side : t->edges) {
        if (side == excluded) continue;
        if (!best || side->length > bestLength) {
            best = side;
            bestLength = side->length > 0 ? side->length : 0;
        }
    }
    Vertex* v = best ? Tesselate(best, minEdgeLength) : nullptr;
    ProfileEnd();
    return v;
}

// ================================================================ under the brush

static Vec3 measureCenter;  // brush centre of the running measuring job
static f32 measureRadius;   // brush radius of the running measuring job
static u8 measureStarts;    // first pass: also start every listed triangle afresh

// Drops triangles whose bounding sphere is clear of the brush sphere and
// refreshes the perimeter of the rest. The first pass also decides which
// triangles take part at all: done when inactive or outside the culling box.
// (Folded into the pass because on a dense mesh each extra walk over the
// workset's records costs as much as the measuring.)
// A split that reuses a freed slot lists it again, so threads divide the
// triangles by slot, not by list position: a slot listed twice stays with
// one thread.
static void MeasureJob(i32 ti, i32 tn) {
    const SlotList& list = workset.triangles;
    for (i32 i = 0; i < list.count; i++) {
        if (list.items[i] % tn != ti) continue;
        Triangle& t = triangles[list.items[i]];
        if (measureStarts) {
            t.tessDone = !t.active || !t.inBrush;
            t.fresh = 0;
        }
        if (!t.active || t.tessDone) continue;
        t.fresh = 0;
        // Only the split pass reads the perimeter, and only of triangles not
        // done: one clear of the brush is not worth its three edge reads.
        if (Length(measureCenter - t.center) > measureRadius + t.radius) {
            t.tessDone = 1;
            continue;
        }
        t.circumference = TriangleCircumference(&t);
    }
}

// One pass over the workset's triangles; returns whether anything split.
// Splits append to the list, so its count and items are re-read every step.
static bool SplitPass(f32 maxPerimeter, f32 minEdgeLength) {
    bool split = false;
    for (i32 i = 0; i < workset.triangles.count; i++) {
        i32 slot = workset.triangles.items[i];
        Triangle* t = &triangles[slot];
        if (!t->active || t->tessDone || t->fresh) continue;
        if (t->circumference <= maxPerimeter) {
            t->tessDone = 1;
        } else if (SplitLongestEdge(t, nullptr, minEdgeLength)) {
            split = true;
        } else {
            // A refused split may still have split a neighbour and reused
            // this slot for a fresh triangle, which waits for the next pass.
            Triangle* now = &triangles[slot];
            if (now->active && !now->fresh) now->tessDone = 1;
        }
    }
    return split;
}

void TesselateForBrush(Vec3 center, f32 radius, f32 factor) {
    if (detailBias < 0.15f) return;  // detail creation switched off
    ProfileBegin(PROF_TESSELATEFORBRUSH);
    f32 maxPerimeter = (1 / detailBias) / (2 * factor) * radius;
    measureCenter = center;
    measureRadius = radius;
    i32 pass = 0;
    bool split = true;
    while (split && pass < MAX_TESSELATE_PASSES) {
        pass++;
        measureStarts = pass == 1;
        RunMaybeParallel(MeasureJob,
                         mtTesselate && workset.triangles.count >= PARALLEL_HEAVY_ITEMS);
        if (workset.triangles.count == 0) break;
        split = SplitPass(maxPerimeter, radius * MIN_EDGE_PER_RADIUS);
    }
    if (pass >= MAX_TESSELATE_PASSES) LogPrint("*** TesselateForBrush bail!!");
    ProfileEnd();
}
