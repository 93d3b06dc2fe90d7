// Scaffolding for brush tests: a fixture with symmetry off and a stroke in
// progress, the per-frame upkeep a stroke frame runs after the tool, a
// hand-made half mesh for the symmetric case, and small lookups.
#pragma once
#include "mesh_fixture.h"
#include "tools/brush.h"
#include "tools/tools.h"

typedef void (*ToolFn)(Brush& b);

// The six surface tools with their ids, in id order.
struct SurfaceTool {
    i32 id;
    const char* name;
    ToolFn fn;
};
inline const SurfaceTool surfaceTools[6] = {
    {TOOL_DRAW, "DRAW", DrawTool},       {TOOL_SMOOTH, "SMOOTH", SmoothTool},
    {TOOL_INFLATE, "INFLATE", InflateTool}, {TOOL_FLATTEN, "FLATTEN", FlattenTool},
    {TOOL_PINCH, "PINCH", PinchTool},    {TOOL_CREASE, "CREASE", CreaseTool},
};

class SculptTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        symmetry = 0;
        maskView = 0;
        ResetBrush();
        strokeActive = 1;
    }
    void TearDown() override {
        MeshTest::TearDown();
        symmetry = 0;
        maskView = 0;
        strokeActive = 0;
        ResetBrush();
    }
};

// What a stroke frame runs after the tool: normals, relaxation, edge lengths.
inline void FrameUpkeep() {
    UpdateNormals();
    Beautify();
    RunMaybeParallel(EdgeLengthJob, mtEdges);
    ManageMemory();
}

// The stroke ends: the reference surface catches up with the positions and
// the next step culls afresh.
inline void EndTestStroke() {
    RunParallel(CopyRefPositionJob);
    brush.cullValid = 0;
}

inline void PlaceBrush(Vec3 center, f32 radius, f32 strength) {
    brush.center = center;
    brush.radius = radius;
    brush.strength = strength;
}

// Keeps the x >= 0 half of the mesh, as symmetric editing stores it: drops
// every triangle whose centroid lies at x < 0, marks the seam vertices as on
// the mirror line and pins them to x = 0.
inline void CutToHalf() {
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active) continue;
        f32 cx = (t.vertices[0]->position.x + t.vertices[1]->position.x + t.vertices[2]->position.x) *
                 0.33333334f;
        if (!(cx < 0)) continue;
        for (Vertex* v : t.vertices) v->onMirrorLine = 1;
        RemoveTriangle(&t, true);
    }
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        if (v.onMirrorLine) v.position.x = v.refPosition.x = 0;
    }
    CollectAll(workset);
    UpdateNormals();
}

// Slot of the active vertex nearest to p.
inline i32 NearestVertex(Vec3 p) {
    i32 best = -1;
    f32 bestDistance = 1e30f;
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        f32 d = Length(vertices[i].position - p);
        if (d < bestDistance) { bestDistance = d; best = i; }
    }
    return best;
}

inline std::vector<Vec3> TakePositions() {
    std::vector<Vec3> p((size_t)vertexCapacity, Vec3{0, 0, 0});
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) p[(size_t)i] = vertices[i].position;
    return p;
}
