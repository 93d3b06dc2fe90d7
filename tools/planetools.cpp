// The plane brushes: FLATTEN (toward the plane sampled under the brush
// centre) and CREASE (toward one point a sixth of the radius below the
// averaged reference surface, or above it when inverted). Each first sums a
// plane over the vertices in range, mirror images included in the symmetric
// case, then moves the vertices on the main thread in workset order.
#include "tools/surfacepasses.h"
#include "tools/tools.h"

// How a plane brush samples its plane: the vertices within range of the
// centre, weighted 1 - d / range (squared when asked), at their current or
// their reference positions.
struct PlaneSampling {
    f32 range;
    bool squared;
    bool atReference;
};

// Adds the mirror image of a vertex when it lies within the sampling radius.
// Mirror-line vertices are their own image: counting them again would weigh
// the seam twice.
static void AddMirrorSample(PlaneSums& sums, const Vertex& v, const SurfaceStep& s,
                            const PlaneSampling& how, Vec3 point) {
    if (v.onMirrorLine) return;
    f32 dm = Length(MirrorX(v.position) - s.center);
    if (!(dm < how.range)) return;
    f32 w = 1 - dm / how.range;
    AddSample(sums, how.squared ? w * w : w, MirrorX(v.normal), MirrorX(point));
}

// The plane of the samples, mirror images included in the symmetric case;
// false when they weigh too little to give one.
static bool SamplePlane(const SurfaceStep& s, const PlaneSampling& how, Vec3& axis, Vec3& origin) {
    PlaneSums sums = {};
    ForEachBrushable([&](const Vertex& v) {
        Vec3 point = how.atReference ? v.refPosition : v.position;
        f32 d = Length(v.position - s.center);
        if (d < how.range) {
            f32 w = 1 - d / how.range;
            AddSample(sums, how.squared ? w * w : w, v.normal, point);
        }
        if (s.symmetric) AddMirrorSample(sums, v, s, how, point);
    });
    if (sums.weight < 0.01f) return false;
    PlaneFromSums(sums, axis, origin);
    return true;
}

// ================================================================ FLATTEN

void FlattenTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_FLATTEN, s)) return EndSurfaceStep(b, s);
    // The plane through the current positions over half the enlarged radius.
    Vec3 axis, origin;
    PlaneSampling half = {.range = s.radius / 2, .squared = false, .atReference = false};
    if (!SamplePlane(s, half, axis, origin)) return EndSurfaceStep(b, s);
    ForEachInFalloff(s, [&](Vertex& v, f32 u) {
        f32 height = Dot(v.position - origin, axis);
        // A normal stroke only lowers what lies above the plane; an inverted
        // one pushes both sides away from it.
        if (s.strength > 0 && height < 0) return;
        Vec3 onPlane = v.position - axis * height;
        v.position +=
            (onPlane - v.position) * (MaskedWeight(v, SmoothStep(u)) * 0.25f * s.strength);
        MarkChanged(&v, 1);
    });
    EndSurfaceStep(b, s);
}

// ================================================================ CREASE

void CreaseTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_CREASE, s)) return EndSurfaceStep(b, s);
    // The averaged reference surface over the whole radius, weighted toward the centre.
    Vec3 axis, origin;
    PlaneSampling groove = {.range = s.radius, .squared = true, .atReference = true};
    if (!SamplePlane(s, groove, axis, origin)) return EndSurfaceStep(b, s);
    // Inverted strokes raise a ridge that grows with the root of the strength.
    f32 depth = s.strength >= 0 ? s.strength : -1.4f * std::sqrt(-s.strength);
    Vec3 target = origin - axis * ((s.radius / 6) * depth);
    ForEachInFalloff(s, [&](Vertex& v, f32 u) {
        // The sixth power of the falloff keeps the pull in a narrow groove.
        f32 g = MaskedWeight(v, u * u);
        v.position += (target - v.position) * (g * g * g * std::fabs(s.strength) * 0.35f);
        MarkChanged(&v, 1);
    });
    EndSurfaceStep(b, s);
}
