// Scaffolding for brush tests: a fixture with symmetry off and a stroke in
// progress, the upkeep a stroke frame runs after the tool, a hand-made half
// mesh for symmetric editing, and small lookups.
#pragma once
#include "mesh_fixture.h"
#include "tools/brush.h"
#include "tools/tools.h"

typedef void (*ToolFn)(Brush& b);

struct SurfaceTool {
    i32 id;
    const char* name;
    ToolFn fn;
};
inline const SurfaceTool surfaceTools[6] = {
    {TOOL_DRAW, "DRAW", DrawTool},          {TOOL_SMOOTH, "SMOOTH", SmoothTool},
    {TOOL_INFLATE, "INFLATE", InflateTool}, {TOOL_FLATTEN, "FLATTEN", FlattenTool},
    {TOOL_PINCH, "PINCH", PinchTool},       {TOOL_CREASE, "CREASE", CreaseTool},
};

class SculptTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        maskView = 0;
        ResetBrush();
        strokeActive = 1;
    }
    // These globals outlive the fixture: later tests must not inherit a stroke.
    void TearDown() override {
        MeshTest::TearDown();
        symmetry = maskView = strokeActive = 0;
        ResetBrush();
    }
};

inline void FrameUpkeep() { RefinementCycle(); }

// The reference surface catches up with the positions; the next step culls afresh.
inline void EndTestStroke() {
    RunParallel(CopyRefPositionJob);
    brush.cullValid = 0;
}

inline void PlaceBrush(Vec3 center, f32 radius, f32 strength) {
    brush.center = center;
    brush.radius = radius;
    brush.strength = strength;
}

// Keeps the x >= 0 half as symmetric editing stores it: drops every triangle
// whose centroid lies at x < 0 and pins the seam vertices to x = 0.
inline void CutToHalf() {
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active) continue;
        f32 sum = t.vertices[0]->position.x + t.vertices[1]->position.x + t.vertices[2]->position.x;
        if (!(sum < 0)) continue;
        for (Vertex* v : t.vertices) v->onMirrorLine = 1;
        RemoveTriangle(&t, true);
    }
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (v.active && v.onMirrorLine) v.position.x = v.refPosition.x = 0;
    }
    CollectAll(workset);
    UpdateNormals();
}

inline i32 NearestVertex(Vec3 p) {
    i32 best = -1;
    auto distance = [&](i32 i) { return Length(vertices[i].position - p); };
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active && (best < 0 || distance(i) < distance(best))) best = i;
    return best;
}

// Positions by slot, (0, 0, 0) for free slots.
inline std::vector<Vec3> TakePositions() {
    std::vector<Vec3> p((size_t)vertexCapacity, Vec3{0, 0, 0});
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) p[(size_t)i] = vertices[i].position;
    return p;
}
