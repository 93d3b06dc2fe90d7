// Shared scaffolding: fresh storage per test with the checker at the end,
// the real log captured, small named meshes, seeds and brush helpers.
#pragma once
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include "base/log.h"
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "tools/brush.h"
#include "tools/tools.h"

// Fails the current test with the checker's report when the mesh is broken.
inline void ExpectMeshConsistent() {
    char report[2048];
    EXPECT_TRUE(CheckMesh(report, sizeof report)) << report;
}

// Between the cases of a loop: the mesh one case leaves must be sound.
inline void CheckAndReset() {
    ExpectMeshConsistent();
    ResetAllocation();
}

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        // The defaults turn the profiler and symmetric editing on; these tests
        // build whole meshes without a sampler.
        mtProfiler = 0;
        symmetry = 0;
        narrowPasses = 1;
        gridMinVertices = 0;  // the grid, with the small meshes of the tests
        ResetAllocation();
    }
    void TearDown() override { ExpectMeshConsistent(); }
};

// A random test's seed: the given one, or TESSA_SEED from the environment to
// replay a failure somebody else saw.
inline u32 TestSeed(u32 fixed) {
    const char* s = getenv("TESSA_SEED");
    return s ? (u32)strtoul(s, nullptr, 10) : fixed;
}

// Opens the real log in a private directory (tests run as parallel processes)
// and puts it back to its never-opened, muted state after, so later tests do
// not pay for a file write per mesh operation.
class TestLog {
public:
    TestLog() {
        std::string dirTemplate = std::filesystem::temp_directory_path() / "tessa-log-XXXXXX";
        const char* dir = mkdtemp(dirTemplate.data());
        directory = dir ? dir : std::filesystem::temp_directory_path().string();
        path = directory + "/log.txt";
        LogOpen(path.c_str());
    }
    ~TestLog() {
        EXPECT_FALSE(logSticky) << "a refusal or fault left the log loud for good";
        logEnabled = logActive = logSticky = 0;
        logLineCount = 0;
        logPath[0] = 0;
        std::remove(path.c_str());
        std::remove(directory.c_str());
    }
    std::string Text() const {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream text(Text());
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    i32 Count(const std::string& line) const { return (i32)std::ranges::count(Lines(), line); }
    bool Has(const std::string& words) const { return Text().find(words) != std::string::npos; }
    // Muted as after start-up: what must reach the log has to open its own section.
    void Mute() { LogEndVerbose(); }
    std::string directory, path;
};

// Everything a creation or removal may change, to prove a refusal changed nothing.
struct Counters {
    i32 v, e, t, display, worksetV, worksetE, worksetT, cursorV, cursorE, cursorT;
    bool operator==(const Counters&) const = default;
};
inline Counters ReadCounters() {
    return {liveVertexCount,         liveEdgeCount,          liveTriangleCount,
            displayTriangleCount,    workset.vertices.count, workset.edges.count,
            workset.triangles.count, vertexCursor,           edgeCursor,
            triangleCursor};
}

//   d---c
//   | / |     two triangles (a, b, c) + (a, c, d) sharing edge a-c, facing +y;
//   a---b     on fresh storage slots 0..3, triangles 0 and 1, a-c is edge 2
struct Quad {
    i32 a, b, c, d, t1, t2;
};
inline Quad MakeQuad() {
    i32 a = SlotOf(AddVertex(0, 0, 0)), b = SlotOf(AddVertex(10, 0, 0));
    i32 c = SlotOf(AddVertex(10, 0, -10)), d = SlotOf(AddVertex(0, 0, -10));
    i32 t1 = SlotOf(AddTriangle(&vertices[a], &vertices[b], &vertices[c]));
    return {a, b, c, d, t1, SlotOf(AddTriangle(&vertices[a], &vertices[c], &vertices[d]))};
}

// `count` triangles around a centre (slot returned, ring in the next slots)
// in the y = 0 plane over a ring of `ringSize`: closed when count == ringSize.
inline i32 MakeFan(i32 count, i32 ringSize) {
    i32 centre = SlotOf(AddVertex(0, 0, 0));
    for (i32 k = 0; k < ringSize; k++) {
        f32 angle = 6.2831853f * (f32)k / (f32)ringSize;
        AddVertex(10 * std::cos(angle), 0, 10 * std::sin(angle));
    }
    for (i32 k = 0; k < count; k++)
        AddTriangle(&vertices[centre], &vertices[centre + 1 + (k + 1) % ringSize],
                    &vertices[centre + 1 + k]);
    return centre;
}

// `count` triangles over two rows of vertices, all created first (so the
// last column may stay loose); n triangles use 2n + 1 edges.
inline void MakeStrip(i32 count) {
    std::vector<i32> b, t;
    for (i32 i = 0; i < count / 2 + 2; i++) {
        b.push_back(SlotOf(AddVertex((f32)i, 0, 0)));
        t.push_back(SlotOf(AddVertex((f32)i, 0, -1)));
    }
    for (i32 k = 0; k < count; k++) {
        size_t i = (size_t)(k / 2);
        if (k % 2 == 0)
            AddTriangle(&vertices[b[i]], &vertices[b[i + 1]], &vertices[t[i]]);
        else
            AddTriangle(&vertices[t[i]], &vertices[b[i + 1]], &vertices[t[i + 1]]);
    }
}

// ---- brushes

typedef void (*ToolFn)(Brush& b);

// Symmetry off, no mask mode and a stroke in progress.
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

inline void PlaceBrush(Vec3 center, f32 radius, f32 strength) {
    brush.center = center;
    brush.radius = radius;
    brush.strength = strength;
}

// A sculpting fixture with its own seeded generator (TESSA_SEED replays another).
class RandomSculptTest : public SculptTest {
protected:
    explicit RandomSculptTest(u32 seed) : rng(TestSeed(seed)) {}
    std::mt19937 rng;
    f32 Uniform(f32 lo, f32 hi) { return std::uniform_real_distribution<f32>(lo, hi)(rng); }
    i32 Below(i32 n) { return (i32)(rng() % (u32)n); }
    // A stroke of `steps` steps from p, drifting up to 0.3 radius a step (on
    // the stored half with symmetry on), refined after each; then it ends.
    void RandomStroke(ToolFn tool, Vec3 p, f32 radius, f32 strength, i32 steps) {
        for (i32 i = 0; i < steps; i++) {
            PlaceBrush(p, radius, strength);
            brush.strokeStart = i == 0;
            tool(brush);
            RefinementCycle();
            p += Vec3{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)} * (radius * 0.3f);
            if (symmetry) p.x = std::fabs(p.x);
        }
        RunParallel(CopyRefPositionJob);
        brush.cullValid = 0;
    }
};

// Positions by slot, (0, 0, 0) for free slots.
inline std::vector<Vec3> TakePositions() {
    std::vector<Vec3> p((size_t)vertexCapacity, Vec3{0, 0, 0});
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) p[(size_t)i] = vertices[i].position;
    return p;
}
// No vertex moved, bit for bit, since TakePositions gave `before`.
inline bool Unmoved(const std::vector<Vec3>& before) {
    std::vector<Vec3> now = TakePositions();
    return now.size() == before.size() && !memcmp(now.data(), before.data(), now.size() * 12);
}
