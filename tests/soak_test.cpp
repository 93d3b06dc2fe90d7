// Seeded random sculpting: a thousand strokes of every surface tool at
// random sizes, strengths, detail settings, mask states and thread switches,
// on the sphere and the plane, whole and as a symmetric half. After every stroke the mesh
// must pass the consistency checker, hold only finite numbers, and keep
// every vertex within its adjacency limits. A failure names its seed.
#include <random>
#include "sculpt_fixture.h"

namespace {

struct Soak {
    std::mt19937 rng;
    f32 Uniform(f32 lo, f32 hi) { return std::uniform_real_distribution<f32>(lo, hi)(rng); }
    i32 Below(i32 n) { return (i32)(rng() % (u32)n); }
};

// A fresh mesh: sphere or plane, whole or cut to the stored half, with
// random masks that matter only while mask mode is on.
void StartMesh(Soak& s, bool& closed) {
    ResetAllocation();
    closed = s.Below(2) == 0;
    if (closed) BuildSphere();
    else BuildPlane();
    symmetry = s.Below(3) == 0;
    if (symmetry) {
        CutToHalf();
        closed = false;
    }
    maskView = s.Below(4) == 0;
    // The passes must give a sound mesh on one thread and on all of them.
    for (i32* sw : {&mtDraw, &mtTesselate, &mtCulling, &mtNormals, &mtBeautify, &mtEdges}) *sw = s.Below(2);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].mask = s.Uniform(0, 1);
    brush.cullValid = 0;
}

Vec3 RandomSurfacePoint(Soak& s) {
    for (;;) {
        i32 slot = s.Below(vertexCapacity);
        if (vertices[slot].active) return vertices[slot].position;
    }
}

// What a stroke frame does: place the brush, apply the tool, upkeep.
void Stroke(Soak& s) {
    const SurfaceTool& tool = surfaceTools[s.Below(6)];
    const f32 details[4] = {0, 0.5f, 1.3f, 2.0f};
    detailBias = details[s.Below(4)];
    f32 radius = s.Uniform(5, 45);
    f32 strength = s.Uniform(0.1f, 2.0f) * (s.Below(3) == 0 ? -1 : 1);
    Vec3 c = RandomSurfacePoint(s);
    i32 steps = 1 + s.Below(3);
    for (i32 i = 0; i < steps; i++) {
        PlaceBrush(c, radius, strength);
        tool.fn(brush);
        FrameUpkeep();
        c += Vec3{s.Uniform(-1, 1), s.Uniform(-1, 1), s.Uniform(-1, 1)} * (radius * 0.3f);
        if (symmetry) c.x = std::fabs(c.x);  // the brush stays on the stored half
    }
    EndTestStroke();
}

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Names the first broken vertex, or returns an empty string.
std::string VertexFault(bool closed) {
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        if (!Finite(v.refPosition)) return "refPosition of vertex " + std::to_string(i) + " not finite";
        // Splits never raise an inner vertex above 19 edges; a closed surface
        // starts far below that.
        if (closed && v.edgeCount > 19) return "vertex " + std::to_string(i) + " has " + std::to_string(v.edgeCount) + " edges";
        if (symmetry && v.onMirrorLine && v.position.x != 0) return "mirror-line vertex " + std::to_string(i) + " left x = 0";
    }
    return "";
}

}  // namespace

class SoakTest : public SculptTest {};

TEST_F(SoakTest, RandomStrokesOfEveryToolKeepTheMeshSound) {
    const u32 firstSeed = 20240601;
    // A fresh mesh every 25 strokes keeps each checker pass short. Under the
    // address sanitizer every access costs several times more: fewer
    // sessions there still walk every path.
#if defined(__SANITIZE_ADDRESS__)
    const i32 sessions = 14;
#else
    const i32 sessions = 40;
#endif
    const i32 strokesPerSession = 25;
    char report[2048];
    for (i32 session = 0; session < sessions; session++) {
        u32 seed = firstSeed + (u32)session;
        Soak s{std::mt19937(seed)};
        bool closed = false;
        StartMesh(s, closed);
        for (i32 k = 0; k < strokesPerSession; k++) {
            Stroke(s);
            ASSERT_TRUE(CheckMesh(report, sizeof report)) << "seed " << seed << " stroke " << k << "\n" << report;
            std::string fault = VertexFault(closed);
            ASSERT_EQ(fault, "") << "seed " << seed << " stroke " << k;
        }

    }
}
