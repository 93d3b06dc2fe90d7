// Start meshes: the counts and geometry every later feature relies on, the
// slot order the file formats rely on, and subdivision that survives the
// vertex array growing in the middle of a pass.
#include "mesh_fixture.h"

TEST_F(MeshTest, SphereHasDesignedCountsRadiusAndCornerSlotsAndIsClosedFacingOut) {
    BuildSphere();
    EXPECT_EQ(liveTriangleCount, 2048);
    EXPECT_EQ(liveEdgeCount, 3072);
    EXPECT_EQ(liveVertexCount, 1026);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        // A vertex snapped onto x = 0 after scaling lies up to 0.00125 closer.
        ASSERT_NEAR(Length(v.position), 100.0f - 0.000625f, 0.000625f + 0.0001f) << "vertex " << i;
        ASSERT_FALSE(std::fabs(v.position.x) > 0 && std::fabs(v.position.x) < 0.5f) << i;
        ASSERT_GT(Dot(v.normal, Normalized(v.position)), 0.99f) << "vertex " << i;
    }
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active) { ASSERT_TRUE(edges[i].triangle1 && edges[i].triangle2) << i; }
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (t.active) { ASSERT_GT(Dot(t.normal, Normalized(t.center)), 0.9f) << "triangle " << i; }
    }
    // The octahedron's corners keep the first six slots in order and valence 4.
    // Relaxation nudges them (the parallel passes are order-dependent); a
    // wrong slot order would put them a hundred units off.
    const Vec3 corners[6] = {{0, 0, -100}, {-100, 0, 0}, {100, 0, 0},
                             {0, 0, 100},  {0, 100, 0},  {0, -100, 0}};
    for (i32 i = 0; i < 6; i++) {
        EXPECT_LT(Length(vertices[i].position - corners[i]), 1.7f) << "slot " << i;
        EXPECT_EQ(vertices[i].edgeCount, 4) << "slot " << i;
    }
}

TEST_F(MeshTest, PlaneHasDesignedCountsAndIsFlat) {
    BuildPlane();
    EXPECT_EQ(liveTriangleCount, 512);
    EXPECT_EQ(liveEdgeCount, 800);
    EXPECT_EQ(liveVertexCount, 289);
    i32 borderEdges = 0;
    for (i32 i = 0; i < edgeCapacity; i++) borderEdges += edges[i].active && !edges[i].triangle2;
    EXPECT_EQ(borderEdges, 64);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        EXPECT_EQ(v.position.y, 0.0f);
        EXPECT_LE(std::fabs(v.position.x), 150.0f);
        EXPECT_TRUE(v.normal.x == 0 && v.normal.y == 1 && v.normal.z == 0) << "vertex " << i;
    }
}

TEST_F(MeshTest, SubdivisionSurvivesVertexGrowthMidPass) {
    // Loose vertices fill the array so the pass's fourth midpoint grows it.
    while (liveVertexCount < 19993) AddVertex(0, -500, 0);
    Vertex* c[4] = {AddVertex(0, 0, 0), AddVertex(40, 0, 0), AddVertex(40, 0, -40),
                    AddVertex(0, 0, -40)};
    i32 slots[4] = {SlotOf(c[0]), SlotOf(c[1]), SlotOf(c[2]), SlotOf(c[3])};
    AddTriangle(c[0], c[1], c[2]);
    AddTriangle(c[0], c[2], c[3]);
    SubdivideAll();
    ASSERT_EQ(vertexCapacity, 30000);
    EXPECT_EQ(liveTriangleCount, 8);
    EXPECT_EQ(liveEdgeCount, 16);
    EXPECT_EQ(liveVertexCount, 19993 + 4 + 5);
    // Every new triangle is a quarter of its parent: the legs are 20 long.
    const f32 quarter = 40 + 20 * std::sqrt(2.0f);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) { EXPECT_FLOAT_EQ(triangles[i].circumference, quarter) << i; }
    for (i32 s : slots) EXPECT_GT(vertices[s].triangleCount, 0);
}
