// Seeded random sculpting: strokes of every surface tool at random sizes,
// strengths, detail settings, mask states and thread switches, on the sphere
// and the plane, whole and as a symmetric half. After every stroke the mesh
// must pass the checker, hold only finite numbers and keep every vertex
// within its adjacency limits. A failure names its seed.
#include <random>
#include "sculpt_fixture.h"

namespace {

struct Soak {
    std::mt19937 rng;
    f32 Uniform(f32 lo, f32 hi) { return std::uniform_real_distribution<f32>(lo, hi)(rng); }
    i32 Below(i32 n) { return (i32)(rng() % (u32)n); }
};

// Sphere or plane, whole or cut to the stored half, with random masks that
// matter only in mask mode; the passes must be sound on one thread and on all.
bool StartMesh(Soak& s) {
    ResetAllocation();
    bool closed = s.Below(2) == 0;
    if (closed)
        BuildSphere();
    else
        BuildPlane();
    symmetry = s.Below(3) == 0;
    if (symmetry) CutToHalf();
    maskView = s.Below(4) == 0;
    for (i32* sw : {&mtDraw, &mtTesselate, &mtCulling, &mtNormals, &mtBeautify, &mtEdges})
        *sw = s.Below(2);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].mask = s.Uniform(0, 1);
    brush.cullValid = 0;
    return closed && !symmetry;
}

// One stroke of one to three frames from a random point of the surface.
void Stroke(Soak& s) {
    const SurfaceTool& tool = surfaceTools[s.Below(6)];
    const f32 details[4] = {0, 0.5f, 1.3f, 2.0f};
    detailBias = details[s.Below(4)];
    f32 radius = s.Uniform(5, 45);
    f32 strength = s.Uniform(0.1f, 2.0f) * (s.Below(3) == 0 ? -1 : 1);
    i32 slot;
    do slot = s.Below(vertexCapacity);
    while (!vertices[slot].active);
    Vec3 c = vertices[slot].position;
    for (i32 i = 0, steps = 1 + s.Below(3); i < steps; i++) {
        PlaceBrush(c, radius, strength);
        tool.fn(brush);
        FrameUpkeep();
        c += Vec3{s.Uniform(-1, 1), s.Uniform(-1, 1), s.Uniform(-1, 1)} * (radius * 0.3f);
        if (symmetry) c.x = std::fabs(c.x);  // the brush stays on the stored half
    }
    EndTestStroke();
}

// Names the first broken vertex, or returns an empty string.
std::string VertexFault(bool closed) {
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        std::string name = "vertex " + std::to_string(i);
        if (!std::isfinite(Dot(v.position, v.position) + Dot(v.refPosition, v.refPosition)))
            return name + ": position not finite";
        // Splits never raise an inner vertex above 19 edges.
        if (closed && v.edgeCount > 19) return name + " has more than 19 edges";
        if (symmetry && v.onMirrorLine && v.position.x != 0) return name + " left the mirror line";
    }
    return "";
}

}  // namespace

class SoakTest : public SculptTest {};

TEST_F(SoakTest, RandomStrokesOfEveryToolKeepTheMeshSound) {
    // A fresh mesh every 25 strokes keeps each checker pass short. Fewer
    // sessions under the address sanitizer, where every access costs more.
#if defined(__SANITIZE_ADDRESS__)
    const i32 sessions = 6;
#else
    const i32 sessions = 14;
#endif
    char report[2048];
    for (i32 session = 0; session < sessions; session++) {
        u32 seed = 20240601 + (u32)session;
        Soak s{std::mt19937(seed)};
        bool closed = StartMesh(s);
        for (i32 k = 0; k < 25; k++) {
            Stroke(s);
            ASSERT_TRUE(CheckMesh(report, sizeof report))
                << "seed " << seed << " stroke " << k << "\n"
                << report;
            ASSERT_EQ(VertexFault(closed), "") << "seed " << seed << " stroke " << k;
        }
    }
}
