// The neighbourhood and point brushes: SMOOTH (toward the mean of the
// neighbours), INFLATE (out along each vertex's own normal) and PINCH
// (toward the brush centre). All run on the main thread and update the
// vertices in place in workset order, so a vertex moved earlier in the step
// is seen at its new position by later ones (SMOOTH relies on that).
#include "tools/surfacepasses.h"
#include "tools/tools.h"

// ================================================================ SMOOTH

// Moves one vertex toward the mean of its neighbours. A border vertex
// averages only border neighbours, so the border is smoothed along itself
// instead of being pulled inward; a mirror-line vertex keeps x = 0.
static void SmoothVertex(Vertex& v, f32 u, f32 strength) {
    bool border = !v.onMirrorLine && HasOpenEdge(v);
    Vec3 sum = {0, 0, 0};
    f32 lengthSum = 0;
    i32 count = 0;
    for (i32 i = 0; i < v.edgeCount; i++) {
        const Edge* e = v.edges[i];
        const Vertex* other = e->vertex1 == &v ? e->vertex2 : e->vertex1;
        if (border && !HasOpenEdge(*other)) continue;
        sum += other->position;
        lengthSum += e->length;
        count++;
    }
    if (count == 0) return;
    if (v.onMirrorLine) sum.x = 0;
    Vec3 mean = sum * (1.0f / (f32)count);
    f32 meanLength = lengthSum / (f32)count;
    // Long edges mean a coarse patch: smoothing it fully would melt it away.
    f32 f = std::fmin(1.0f, 5 / (meanLength + 1));
    f32 w = MaskedWeight(v, std::sin(1.57075f * u));
    v.position += (mean - v.position) * (f * w * 0.8f * std::fabs(strength));
    MarkChanged(&v, 1);
}

void SmoothTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_SMOOTH, s)) return EndSurfaceStep(b, s);
    ForEachInFalloff(s, [&](Vertex& v, f32 u) { SmoothVertex(v, u, s.strength); });
    EndSurfaceStep(b, s);
}

// ================================================================ INFLATE

// 2 % x S x weight of the way toward the vertex's own point above the
// reference surface: R sin(pi/2 u) out along its normal.
static void InflateToward(Vertex& v, f32 u, const SurfaceStep& s) {
    Vec3 target = v.refPosition + v.normal * (s.radius * std::sin(1.57075f * u));
    v.position += (target - v.position) * (MaskedWeight(v, u) * 0.02f * s.strength);
}

void InflateTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_INFLATE, s)) return EndSurfaceStep(b, s);
    ForEachInFalloff(s, [&](Vertex& v, f32 u) {
        if (s.symmetric) {
            // Direct and mirrored brushes each count k: a vertex near both
            // gets no more than one full contribution.
            u *= s.blend;
            f32 um = FalloffU(Length(v.position - s.mirrorCenter), s.radius);
            if (um > 0) InflateToward(v, um * s.blend, s);
        }
        InflateToward(v, u, s);
        MarkChanged(&v, 1);
    });
    EndSurfaceStep(b, s);
}

// ================================================================ PINCH

// Serves only as a gate: almost nothing in range means nothing to pinch.
static f32 PinchGate(const SurfaceStep& s) {
    f32 gate = 0;
    ForEachBrushable([&](const Vertex& v) {
        f32 d = Length(v.position - s.center);
        if (d < s.radius) gate += 1 - d / s.radius;
        if (!s.symmetric || v.onMirrorLine) return;
        f32 dm = Length(MirrorX(v.position) - s.center);
        if (dm < s.radius) gate += (1 - dm / s.radius) * (1 - dm / s.radius);
    });
    return gate;
}

void PinchTool(Brush& b) {
    SurfaceStep s;
    if (!BeginSurfaceStep(b, TOOL_PINCH, s)) return EndSurfaceStep(b, s);
    if (PinchGate(s) < 0.01f) return EndSurfaceStep(b, s);
    ForEachInFalloff(s, [&](Vertex& v, f32 u) {
        // Straight toward the centre point, along the surface and in depth alike.
        v.position += (s.center - v.position) * (MaskedWeight(v, u * u) * 0.1f * s.strength);
        MarkChanged(&v, 1);
    });
    EndSurfaceStep(b, s);
}
