// The plane brushes: FLATTEN (toward the plane sampled under the brush
// centre) and CREASE (toward one point a sixth of the radius below the
// averaged reference surface, or above it when inverted). Each first sums a
// plane over the vertices in range, mirror images included in the symmetric
// case, then moves the vertices on the main thread in workset order.
#include "tools/surfacepasses.h"
#include "tools/tools.h"

// Adds the mirror image of a vertex when it lies within the sampling radius.
// Mirror-line vertices are their own image: counting them again would weigh
// the seam twice.
static void AddMirrorSample(PlaneSums& sums, const Vertex& v, const SurfaceStep& s, f32 range,
                            bool squared, Vec3 point) {
    if (v.onMirrorLine) return;
    f32 dm = Length(MirrorX(v.position) - s.center);
    if (!(dm < range)) return;
    f32 w = 1 - dm / range;
    AddSample(sums, squared ? w * w : w, MirrorX(v.normal), MirrorX(point));
}

// ================================================================ FLATTEN

// The plane through the current positions over half the enlarged radius.
static PlaneSums FlattenSums(const SurfaceStep& s) {
    PlaneSums sums = {};
    f32 h = s.radius / 2;
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        const Vertex& v = vertices[list.items[i]];
        if (!Brushable(v)) continue;
        f32 d = Length(v.position - s.center);
        if (d < h) AddSample(sums, 1 - d / h, v.normal, v.position);
        if (s.symmetric) AddMirrorSample(sums, v, s, h, false, v.position);
    }
    return sums;
}

void FlattenTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_FLATTEN, s)) return EndSurfaceStep(b, s);
    PlaneSums sums = FlattenSums(s);
    if (sums.weight < 0.01f) return EndSurfaceStep(b, s);
    Vec3 axis, origin;
    PlaneFromSums(sums, axis, origin);
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        if (!Brushable(v)) continue;
        f32 d = Length(v.position - s.center);
        f32 u = FalloffU(d, s.radius);
        if (!(d <= s.radius && u > 0)) continue;
        f32 height = Dot(v.position - origin, axis);
        // A normal stroke only lowers what lies above the plane; an inverted
        // one pushes both sides away from it.
        if (s.strength > 0 && height < 0) continue;
        Vec3 onPlane = v.position - axis * height;
        v.position += (onPlane - v.position) * (MaskedWeight(v, SmoothStep(u)) * 0.25f * s.strength);
        MarkChanged(&v, 1);
    }
    EndSurfaceStep(b, s);
}

// ================================================================ CREASE

static PlaneSums CreaseSums(const SurfaceStep& s) {
    PlaneSums sums = {};
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        const Vertex& v = vertices[list.items[i]];
        if (!Brushable(v)) continue;
        f32 d = Length(v.position - s.center);
        if (d < s.radius) {
            f32 w = 1 - d / s.radius;
            AddSample(sums, w * w, v.normal, v.refPosition);
        }
        if (s.symmetric) AddMirrorSample(sums, v, s, s.radius, true, v.refPosition);
    }
    return sums;
}

void CreaseTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_CREASE, s)) return EndSurfaceStep(b, s);
    PlaneSums sums = CreaseSums(s);
    if (sums.weight < 0.01f) return EndSurfaceStep(b, s);
    Vec3 axis, origin;
    PlaneFromSums(sums, axis, origin);
    // Inverted strokes raise a ridge that grows with the root of the strength.
    f32 depth = s.strength >= 0 ? s.strength : -1.4f * std::sqrt(-s.strength);
    Vec3 target = origin - axis * ((s.radius / 6) * depth);
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        if (!Brushable(v)) continue;
        f32 t = 1.3f * Length(v.position - s.center) / s.radius;
        if (!(t < 1)) continue;
        // The sixth power of the falloff keeps the pull in a narrow groove.
        f32 g = MaskedWeight(v, (1 - t) * (1 - t));
        v.position += (target - v.position) * (g * g * g * std::fabs(s.strength) * 0.35f);
        MarkChanged(&v, 1);
    }
    EndSurfaceStep(b, s);
}
