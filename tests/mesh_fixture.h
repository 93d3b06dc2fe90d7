// Shared test scaffolding: a fixture that gives every test a fresh storage
// and runs the consistency checker when a mutating test ends, plus small
// named meshes.
#pragma once
#include <gtest/gtest.h>
#include "app/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

// Fails the current test with the checker's report when the mesh is broken.
inline void ExpectMeshConsistent() {
    char report[2048];
    EXPECT_TRUE(CheckMesh(report, sizeof report)) << report;
}

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        ResetAllocation();
    }
    // Every test in a MeshTest fixture mutates the mesh: check it at the end.
    void TearDown() override { ExpectMeshConsistent(); }
};

//   c---d
//   | \ |     two triangles (a, b, c) + (a, c, d) sharing edge a-c
//   a---b
inline Vertex* MakeVertex(f32 x, f32 y, f32 z) { return AddVertex(x, y, z); }
