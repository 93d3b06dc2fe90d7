// Shared passes of the surface brushes (DRAW, SMOOTH, INFLATE, FLATTEN,
// PINCH, CREASE): one step's frame on top of the common tool skeleton (with
// the symmetric-case blend worked out once), and the weighted sums the
// averaging passes build a plane from. Nothing here keeps state between steps.
#pragma once
#include "mesh/mesh.h"
#include "tools/brush.h"
#include "tools/tools.h"

// One step of a surface tool as its passes see it; filled by BeginSurfaceStep.
struct SurfaceStep {
    Vec3 center;        // c: brush centre, model units
    Vec3 mirrorCenter;  // c' = (-c.x, c.y, c.z): the brush drawn on the unstored half
    f32 radius;         // R: brush radius times the tool's factor, model units
    f32 strength;       // S: signed brush strength; negative = inverted stroke
    u8 symmetric;       // symmetry on and the brush sphere reaches across x = 0
    f32 blend;          // k: 0.5 with the centre on the plane .. 1 at c.x = R; 1 if not symmetric
    f32 savedRadius;    // brush radius before the factor, put back by EndSurfaceStep
};

// Weighted sums of normals and points over the vertices in range.
struct PlaneSums {
    Vec3 normal;
    Vec3 point;
    f32 weight;
};

// Fills s and starts the step of the given tool id: radius enlarged by the
// tool's factor, culling and refinement (BeginToolStep). False
// when the radius, centre or strength is not a usable number: the step then
// neither refines nor deforms (EndSurfaceStep still restores the radius).
bool BeginSurfaceStep(Brush& b, i32 tool, SurfaceStep& s);
void EndSurfaceStep(Brush& b, const SurfaceStep& s);

// The plane of the sums: unit normal (Vec3::Normalize fallback) and mean point.
void PlaneFromSums(const PlaneSums& sums, Vec3& axis, Vec3& origin);

// A vertex has an edge with only one triangle.
bool HasOpenEdge(const Vertex& v);

inline Vec3 MirrorX(Vec3 p) { return {-p.x, p.y, p.z}; }

inline void AddSample(PlaneSums& sums, f32 w, Vec3 normal, Vec3 point) {
    sums.normal += normal * w;
    sums.point += point * w;
    sums.weight += w;
}

// Calls f(v) for each brushable vertex in the brush's reach, in workset
// order: the passes run on the main thread and later vertices see the
// earlier ones moved.
template <typename F>
void ForEachBrushable(F&& f) {
    const SlotList& list = reachVertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        if (Brushable(v)) f(v);
    }
}

// Calls f(v, u) for each brushable vertex the falloff reaches around the
// step's centre, u = FalloffU(d, R) > 0: the vertices a surface brush moves.
template <typename F>
void ForEachInFalloff(const SurfaceStep& s, F&& f) {
    ForEachBrushable([&](Vertex& v) {
        f32 u;
        if (InFalloff(Length(v.position - s.center), s.radius, u)) f(v, u);
    });
}
