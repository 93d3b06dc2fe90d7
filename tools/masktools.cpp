// MASK and REDUCE DETAIL, the two brushes that do not shape the surface, and
// the whole-mesh mask fill. MASK paints each vertex's `mask`; REDUCE DETAIL
// measures the edge length under the brush on a stroke's first step and
// collapses edges just below that length on every later step. Owns
// reduceReferenceLength. Neither tool is weighted by the mask itself.
#include <cmath>
#include "mesh/mesh.h"
#include "tools/tools.h"

f32 reduceReferenceLength;

// ================================================================ MASK

// Rate toward the target per step: the targets overshoot 0..1 so that the
// ends are reached in a finite number of steps, and the value is clamped.
static void PaintMask(Vertex& v, f32 weight, f32 target) {
    v.mask += (target - v.mask) * weight;
    if (v.mask < 0) v.mask = 0;
    if (v.mask > 1) v.mask = 1;
}

void MaskTool(Brush& b) {
    b.cullCenterNow = b.center;
    UpdateBrushCulling(b, b.center, b.radius, strokeActive);
    TesselateForBrush(b.center, b.radius,
                      1.0f);  // the mask is painted on refined geometry, as sculpting is
    DropRepeatedSlots(workset.vertices, vertexCapacity);  // each vertex is painted once
    f32 r = b.radius;
    f32 rate = std::pow(std::fabs(b.strength), 1.5f);
    f32 target = b.strength > 0 ? 1.1f : -0.1f;
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        f32 u;
        if (!Brushable(v) || !InFalloff(Length(v.position - b.center), r, u)) continue;
        f32 w = std::sin(1.57075f * u);
        PaintMask(v, w * w * 0.3f * rate, target);
        MarkChanged(&v, 1);
    }
    colorsDirty = 1;
}

void FillOrClearMask() {
    bool allLow = true;
    for (i32 i = 0; i < vertexCapacity && allLow; i++)
        if (vertices[i].active && vertices[i].mask > 0.1f) allLow = false;
    f32 value = allLow ? 1.0f : 0.0f;
    JournalAllVertices();
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].mask = value;
    colorsDirty = 1;
}

// ================================================================ REDUCE DETAIL

// A stroke whose first step found no edge gets a reference no edge can match.
static const f32 NO_REFERENCE = -1;

static bool InReach(const Vertex& v, const Brush& b) {
    f32 u;
    return Brushable(v) && InFalloff(Length(v.position - b.center), b.radius, u);
}

// Sum and count of the stored lengths of every edge at every vertex in
// reach; shared edges count twice.
static void MeasureEdges(const Brush& b, double& sum, i32& count) {
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        const Vertex& v = vertices[list.items[i]];
        if (!InReach(v, b)) continue;
        for (i32 k = 0; k < v.edgeCount; k++) {
            sum += v.edges[k]->length;
            count++;
        }
    }
}

// Collapses the first edge of v inside the length window. True when one
// went: v's edge list has changed, so the walk moves to the next vertex.
static bool CollapseOneEdge(Vertex& v, f32 reference) {
    for (i32 k = 0; k < v.edgeCount; k++) {
        f32 length = v.edges[k]->length;
        if (!(0.7f * reference < length && length < reference)) continue;
        if (Vertex* kept = CollapseEdge(v.edges[k])) {
            MarkChanged(kept, 1);
            kept->inBrush = 1;
            return true;
        }
    }
    return false;
}

void ReduceDetailTool(Brush& b) {
    b.cullCenterNow = b.center;
    UpdateBrushCulling(b, b.center, b.radius, strokeActive);
    if (b.strokeStart) reduceReferenceLength = 0;
    if (reduceReferenceLength == 0) {
        // The first step only measures: the stroke's reference is the mean
        // edge length under the brush, scaled by the signed strength.
        double sum = 0;
        i32 count = 0;
        MeasureEdges(b, sum, count);
        reduceReferenceLength =
            count > 0 ? (f32)(sum / count) * (0.5f * b.strength + 0.4f) : NO_REFERENCE;
        if (reduceReferenceLength == 0) reduceReferenceLength = NO_REFERENCE;
        return;
    }
    // Vertices removed by a collapse turn inactive and are skipped; the
    // vertex array never grows here, so the references stay valid.
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        if (InReach(v, b)) CollapseOneEdge(v, reduceReferenceLength);
    }
}
