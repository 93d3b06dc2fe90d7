// The start meshes (sphere and plane) and the whole-mesh 1-to-4 subdivision
// they are built with. Both expect a storage just reset by ResetAllocation.
#include <vector>
#include "mesh/mesh.h"

// One midpoint subdivision pass over every active triangle. Midpoints are
// remembered as vertex slot numbers, and triangles are re-read by slot,
// because creating vertices or triangles may grow (move) the arrays.
void SubdivideAll() {
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) triangles[i].fresh = 0;
    std::vector<i32> midpoint((size_t)edgeCapacity, -1);
    for (i32 i = 0; i < edgeCapacity; i++) {
        if (!edges[i].active) continue;
        Vec3 m = (edges[i].vertex1->position + edges[i].vertex2->position) * 0.5f;
        midpoint[(size_t)i] = SlotOf(AddVertex(m.x, m.y, m.z));
    }
    for (i32 i = 0; i < triangleCapacity; i++) {
        if (!triangles[i].active || triangles[i].fresh) continue;
        i32 corner[3], mid[3];
        for (i32 k = 0; k < 3; k++) {
            corner[k] = SlotOf(triangles[i].vertices[k]);
            mid[k] = midpoint[(size_t)SlotOf(triangles[i].edges[k])];
        }
        const i32 pattern[4][3] = {{corner[0], mid[0], mid[2]},
                                   {corner[1], mid[1], mid[0]},
                                   {corner[2], mid[2], mid[1]},
                                   {mid[0], mid[1], mid[2]}};
        for (const auto& p : pattern)
            AddTriangle(&vertices[p[0]], &vertices[p[1]], &vertices[p[2]]);
        RemoveTriangle(&triangles[i], true);
    }
}

static Vertex* AddCorner(Vec3 p) { return AddVertex(p.x, p.y, p.z); }

void BuildSphere() {
    ClearAllSlots();
    // An octahedron of radius 200; slots 0..5 in this order on a fresh storage.
    Vertex* a = AddCorner({0, 0, -200});
    Vertex* b = AddCorner({-200, 0, 0});
    Vertex* c = AddCorner({200, 0, 0});
    Vertex* d = AddCorner({0, 0, 200});
    Vertex* top = AddCorner({0, 200, 0});
    Vertex* bottom = AddCorner({0, -200, 0});
    Vertex* const faces[8][3] = {{a, b, top},    {c, a, top},    {b, d, top},    {d, c, top},
                                 {b, a, bottom}, {a, c, bottom}, {d, b, bottom}, {c, d, bottom}};
    for (const auto& f : faces) AddTriangle(f[0], f[1], f[2]);
    for (i32 pass = 0; pass < 4; pass++) SubdivideAll();
    for (i32 step = 0; step < 10; step++) {
        if (step > 0) {
            Beautify();
            UpdateNormals();
        }
        for (i32 i = 0; i < vertexCapacity; i++) {
            Vertex& v = vertices[i];
            if (!v.active) continue;
            v.position.Normalize();
            v.position = v.position * 100;
            // Snap the seam exactly onto x = 0 so the symmetry cut finds it.
            if (std::fabs(v.position.x) < 0.5f) v.position.x = 0;
        }
    }
    UpdateWorkset();
    UpdateNormals();
    StoreRestState();
    colorsDirty = 1;
}

void BuildPlane() {
    ClearAllSlots();
    Vertex* p0 = AddCorner({-150, 0, -150});
    Vertex* p1 = AddCorner({150, 0, -150});
    Vertex* p2 = AddCorner({150, 0, 150});
    Vertex* p3 = AddCorner({-150, 0, 150});
    AddTriangle(p0, p2, p1);
    AddTriangle(p0, p3, p2);
    for (i32 pass = 0; pass < 4; pass++) SubdivideAll();
    UpdateNormals();
    StoreRestState();
    colorsDirty = 1;
}

void BuildStartMesh(i32 meshType) {
    ResetAllocation();
    if (meshType == 1)
        BuildPlane();
    else
        BuildSphere();
    ReapplySymmetry();
}
