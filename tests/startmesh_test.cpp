// Start meshes: the counts and geometry every later feature relies on.
#include "mesh_fixture.h"

TEST_F(MeshTest, SphereHasDesignedCountsAndRadius) {
    ClearAllSlots();
    BuildSphere();
    EXPECT_EQ(liveTriangleCount, 2048);
    EXPECT_EQ(liveEdgeCount, 3072);
    EXPECT_EQ(liveVertexCount, 1026);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        f32 r = Length(v.position);
        EXPECT_NEAR(r, 100.0f, 0.0013f) << "vertex " << i;
        EXPECT_FALSE(std::fabs(v.position.x) > 0 && std::fabs(v.position.x) < 0.5f) << "vertex " << i;
    }
}

TEST_F(MeshTest, PlaneHasDesignedCountsAndIsFlat) {
    BuildPlane();
    EXPECT_EQ(liveTriangleCount, 512);
    EXPECT_EQ(liveEdgeCount, 800);
    EXPECT_EQ(liveVertexCount, 289);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        EXPECT_EQ(v.position.y, 0.0f);
        EXPECT_NEAR(v.normal.y, 1.0f, 1e-6f);
    }
}
