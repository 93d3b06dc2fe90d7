// The frame every surface brush step runs in and the small passes the
// surface brushes share. Through the tool skeleton it writes the brush's
// radius (scaled, then restored), its culling centre, and the workset.
#include "tools/surfacepasses.h"
#include "base/settings.h"
#include "tools/tools.h"

bool BeginSurfaceStep(Brush& b, i32 tool, SurfaceStep& s) {
    s.savedRadius = b.radius;
    // Every falloff divides by the radius: a zero or broken radius would
    // spread NaN through the mesh, and refinement would have no lower bound.
    f32 reach = b.radius * toolRadiusFactor[tool];
    if (!(reach > 0) || !std::isfinite(reach) || !IsFinite(b.center) || !std::isfinite(b.strength))
        return false;
    s.savedRadius = BeginToolStep(b, tool);
    s.center = b.center;
    s.mirrorCenter = MirrorX(b.center);
    s.radius = b.radius;
    s.strength = b.strength;
    s.symmetric = symmetry && s.center.x < s.radius;
    s.blend = s.symmetric ? 1 - ((s.radius - s.center.x) / s.radius) * 0.5f : 1;
    return true;
}

void EndSurfaceStep(Brush& b, const SurfaceStep& s) { EndToolStep(b, s.savedRadius); }

void PlaneFromSums(const PlaneSums& sums, Vec3& axis, Vec3& origin) {
    axis = Normalized(sums.normal);
    f32 w = sums.weight;
    origin = {sums.point.x / w, sums.point.y / w, sums.point.z / w};
}

bool HasOpenEdge(const Vertex& v) {
    for (i32 i = 0; i < v.edgeCount; i++)
        if (!v.edges[i]->triangle1 || !v.edges[i]->triangle2) return true;
    return false;
}
