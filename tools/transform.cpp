// The transform brushes GRAB, SCALE and ROTATE: they carry a region of the
// surface along with the cursor's movement since the stroke began. They are
// not rate-based: every step rebuilds each vertex from its refPosition, so
// the region (picked by the distance from refPosition to the anchor) stays
// the same all stroke, holding the cursor still repeats the same result, and
// a vertex frozen by the mask goes back to its refPosition.
// Writes vertex positions, grabDragging and the anchor (GRAB's first step)
// and the ROTATE angle state; main thread only.
#include "base/settings.h"
#include "base/view.h"
#include "tools/surfacepasses.h"
#include "tools/tools.h"

f32 rotateAngle;
f32 rotateAngleRef;
f32 rotateAngleBase;
u8 rotateTracking;

// ================================================================ shared passes

// The common skeleton, culled around the anchor. False when the reach or a
// centre is not a usable number: the falloff divides by the reach, and a
// broken one would leave refinement without a lower bound.
static bool BeginTransformStep(Brush& b, i32 tool, f32& savedRadius) {
    savedRadius = b.radius;
    f32 reach = b.radius * toolRadiusFactor[tool];
    if (!(reach > 0) || !std::isfinite(reach) || !IsFinite(b.center) || !IsFinite(b.anchor))
        return false;
    savedRadius = BeginToolStep(b, tool);
    return true;
}

// Calls f(v, t) for each brushable vertex whose reference lies in the
// region, t = 1.3 |refPosition - anchor| / R < 1.
template <typename F>
static void ForEachInRegion(Vec3 anchor, f32 reach, F&& f) {
    ForEachBrushable([&](Vertex& v) {
        f32 t = 1.3f * Length(v.refPosition - anchor) / reach;
        if (t < 1) f(v, t);
    });
}

// SCALE's and ROTATE's falloff: full weight over the inner third.
static f32 TransformWeight(f32 t) {
    f32 s = std::sin(1.57075f * std::fmin(1.0f, 1.5f * (1 - t)));
    return s * s;
}

static void MoveFromReference(Vertex& v, Vec3 offset, f32 weight) {
    v.position = v.refPosition + offset * MaskedWeight(v, weight);
    MarkChanged(&v, 1);
}

// In model units along the view axes X, Y, Z.
static Vec3 InViewAxes(Vec3 r, Vec3 x, Vec3 y, Vec3 z) { return {Dot(r, x), Dot(r, y), Dot(r, z)}; }
static Vec3 FromViewAxes(Vec3 l, Vec3 x, Vec3 y, Vec3 z) { return x * l.x + y * l.y + z * l.z; }

// ================================================================ GRAB

// The vertex's share of the drag: direct falloff around the anchor, and in
// the symmetric case the mirrored brush's pull on vertices near the plane,
// both blended by k so that one vertex gets no more than one full share.
static f32 GrabWeight(const Vertex& v, f32 t, f32 reach, bool symmetric, Vec3 center) {
    f32 w = SmoothStep(1 - t);
    if (!symmetric) return w;
    f32 k = 1 - ((reach - center.x) / reach) * 0.5f;
    f32 um = FalloffU(Length(v.position - MirrorX(center)), reach);
    return k * w + (um > 0 ? SmoothStep(k * um) : 0);
}

void GrabTool(Brush& b) {
    f32 saved;
    if (!BeginTransformStep(b, TOOL_GRAB, saved)) return EndToolStep(b, saved);
    const f32 reach = b.radius;
    bool symmetric = symmetry && b.center.x < reach;
    if (!grabDragging) b.anchor = b.center;
    grabDragging = 1;
    // Short drags move by almost their length; the arctangent keeps a long
    // one from tearing the region away (at most pi/2 R).
    Vec3 drag = b.center - b.anchor;
    Vec3 moved = Normalized(drag) * (std::atan(Length(drag) / reach) * reach);
    f32 side = b.anchor.x < 0 ? -1.0f : 1.0f;
    ForEachInRegion(b.anchor, reach, [&](Vertex& v, f32 t) {
        Vec3 offset = moved;
        // Near the plane the stored half may approach it but not cross it.
        f32 sx = side * v.refPosition.x;
        if (symmetry && sx < reach) offset.x *= std::fmax(0.0f, sx / reach);
        MoveFromReference(v, offset, GrabWeight(v, t, reach, symmetric, b.center));
    });
    EndToolStep(b, saved);
}

// ================================================================ SCALE

void ScaleTool(Brush& b) {
    f32 saved;
    if (!BeginTransformStep(b, TOOL_SCALE, saved)) return EndToolStep(b, saved);
    const f32 reach = b.radius;
    const Vec3 a = b.anchor;
    // Window pixels, y down: 200 to the right doubles the width, 200 up the height.
    f32 sx = std::exp2(0.005f * (b.screenPos.x - b.strokeStartScreenPos.x));
    f32 sy = std::exp2(-0.005f * (b.screenPos.y - b.strokeStartScreenPos.y));
    Vec3 x = viewRight, y = viewDown, z = viewToward;
    if (symmetry && b.mirrored) x.x = -x.x, y.x = -y.x, z.x = -z.x;
    // The anchor is on the stored half (x >= 0), so the divisor is at least 0.1.
    f32 anchorShare = a.x / reach + 0.1f;
    ForEachInRegion(a, reach, [&](Vertex& v, f32 t) {
        Vec3 s = v.refPosition;
        Vec3 l = InViewAxes(s - a, x, y, z);
        Vec3 offset = a + FromViewAxes({l.x * sx, l.y * sy, l.z}, x, y, z) - s;
        if (symmetry && s.x < reach)
            offset.x *= std::fmin(1.0f, std::fmax(0.0f, (s.x / reach) / anchorShare));
        MoveFromReference(v, offset, TransformWeight(t));
    });
    EndToolStep(b, saved);
}

// ================================================================ ROTATE

// The angle follows the cursor's angle around the stroke's start point only
// while the cursor is more than 50 pixels away: near the pivot the angle
// would swing wildly. Coming back inside freezes it, and leaving again goes
// on from the frozen angle instead of jumping to the cursor's.
static void TrackRotateAngle(const Brush& b) {
    if (b.strokeStart) {
        rotateAngle = rotateAngleRef = rotateAngleBase = 0;
        rotateTracking = 0;
    }
    f32 ox = b.screenPos.x - b.strokeStartScreenPos.x;
    f32 oy = b.screenPos.y - b.strokeStartScreenPos.y;
    if (std::sqrt(ox * ox + oy * oy) <= 50) {
        rotateAngleBase = rotateAngle;
        rotateTracking = 0;
        return;
    }
    f32 theta = std::atan2(oy, ox);
    if (!rotateTracking) {
        rotateAngleRef = theta;
        rotateTracking = 1;
    }
    rotateAngle = theta - rotateAngleRef + rotateAngleBase;
}

void RotateTool(Brush& b) {
    TrackRotateAngle(b);
    f32 saved;
    if (!BeginTransformStep(b, TOOL_ROTATE, saved)) return EndToolStep(b, saved);
    const f32 reach = b.radius;
    const Vec3 a = b.anchor;
    const Vec3 x = viewRight, y = viewDown, z = viewToward;
    f32 c = std::cos(rotateAngle), s = std::sin(rotateAngle);
    ForEachInRegion(a, reach, [&](Vertex& v, f32 t) {
        // A stroke on the mirror image turns the stored half the mirrored way,
        // so on screen both halves turn with the cursor.
        Vec3 r = v.refPosition - a;
        if (b.mirrored) r.x = -r.x;
        Vec3 l = InViewAxes(r, x, y, z);
        // About the view axis; clockwise on screen as the angle grows (y is down).
        Vec3 q = FromViewAxes({l.x * c - l.y * s, l.x * s + l.y * c, l.z}, x, y, z);
        if (b.mirrored) q.x = -q.x;
        Vec3 offset = a + q - v.refPosition;
        if (symmetry && v.refPosition.x < reach)
            offset.x *= std::fmax(0.0f, v.refPosition.x / reach);
        MoveFromReference(v, offset, TransformWeight(t));
    });
    EndToolStep(b, saved);
}
