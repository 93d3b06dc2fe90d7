// Start meshes, and the window-free start-up and shutdown with the crash
// marker.
#include "app/app.h"
#include "base/view.h"
#include "meshfile_fixture.h"

TEST_F(MeshTest, SphereHasDesignedCountsAndRadiusAndIsClosedFacingOut) {
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
}

// 512 triangles, 800 edges and 289 vertices (the start-up test reads them
// back from the statistics), 64 of the edges on the border, all flat.
TEST_F(MeshTest, PlaneIsFlatWithASquareBorder) {
    BuildPlane();
    i32 borderEdges = 0;
    for (i32 i = 0; i < edgeCapacity; i++) borderEdges += edges[i].active && !edges[i].triangle2;
    EXPECT_EQ(borderEdges, 64);
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        EXPECT_TRUE(v.position.y == 0 && std::fabs(v.position.x) <= 150) << "vertex " << i;
        EXPECT_TRUE(v.normal.x == 0 && v.normal.y == 1 && v.normal.z == 0) << "vertex " << i;
    }
}

// The start mesh of the configured type, the undo ring and the workers; the
// crash marker reads "1" until the 20th frame. Shutdown logs the mesh
// statistics, deletes the restore file and frees everything.
TEST_F(MeshTest, CoreStartsTheConfiguredMeshAndShutsDownWithItsStatistics) {
    TempDir dir;
    std::string savedAppDir = appDir;
    snprintf(appDir, sizeof appDir, "%s/", dir.path.c_str());
    auto marker = [&] { return ReadBytes(dir.File("_startup_recover.dat")); };
    FreeAllocation();  // start-up takes over an empty program
    StopWorkers();
    startMeshType = 1;
    mtProfiler = 1;  // reports every 250 ms and takes no worker's core
    profilePeriod = 7;
    startupFrameCount = modified = 1;
    ASSERT_TRUE(InitCore());
    EXPECT_TRUE(liveTriangleCount == 512 && profilePeriod == 250);
    EXPECT_TRUE(viewPitch == 30 && threadCount == std::min(ProcessorCount(), 64));
    EXPECT_TRUE(undoRing[11].bytes && !modified);
    EXPECT_EQ(marker(), std::vector<u8>{'1'});
    for (i32 i = 0; i < vertexCapacity; i++)
        ASSERT_FALSE(vertices[i].changed) << "nothing to relax";
    startupFrameCount = 0;
    for (i32 i = 0; i < 19; i++) CountStartupFrame();
    EXPECT_EQ(marker(), std::vector<u8>{'1'});
    CountStartupFrame();
    EXPECT_EQ(marker(), std::vector<u8>{'0'});
    WriteBytes(dir.File("_restore.tf1"), {1});
    i32 highestEdge = 0;
    for (i32 i = 0; i < edgeCapacity; i++) highestEdge = edges[i].active ? i : highestEdge;
    {
        TestLog log;
        Shutdown();
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                                   "writing config", "512 triangles", "800 edges", "289 vertices",
                                   "max triangles per vertex: 6", "max edges per vertex: 6",
                                   "highest used edge: " + std::to_string(highestEdge)}));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("_restore.tf1")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("config.txt")));
    EXPECT_TRUE(!vertices && !undoRing[0].bytes && threadCount == 1);
    snprintf(appDir, sizeof appDir, "%s", savedAppDir.c_str());
    mtProfiler = 0;
    StartWorkers(0, 0);
    ResetAllocation();
}
