// Shared test scaffolding: a fixture that gives every test fresh storage and
// runs the consistency checker when it ends, a capture of the real log file
// in a private temp directory, and small named meshes (quad, fan, strip).
#pragma once
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "base/log.h"
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

// Fails the current test with the checker's report when the mesh is broken.
inline void ExpectMeshConsistent() {
    char report[2048];
    EXPECT_TRUE(CheckMesh(report, sizeof report)) << report;
}

// For tests that loop over cases: the mesh one case leaves must be sound
// before the next case starts afresh.
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
        ResetAllocation();
    }
    void TearDown() override { ExpectMeshConsistent(); }
};

// Opens the real log in a private directory (tests run as parallel processes)
// and puts it back to its never-opened, muted state after, so later tests do
// not pay for a file write per mesh operation.
class TestLog {
public:
    TestLog() {
        char dirTemplate[] = "/tmp/tessa-log-XXXXXX";
        const char* dir = mkdtemp(dirTemplate);
        directory = dir ? dir : "/tmp";
        path = directory + "/log.txt";
        LogOpen(path.c_str());
    }
    ~TestLog() {
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
    i32 Count(const std::string& line) const {
        std::vector<std::string> lines = Lines();
        return (i32)std::count(lines.begin(), lines.end(), line);
    }
    std::string directory, path;
};

// Everything a creation or removal may change, to prove a refusal changed nothing.
struct Counters {
    i32 vertices, edges, triangles, display;
    i32 worksetV, worksetE, worksetT, cursorV, cursorE, cursorT;
    bool operator==(const Counters&) const = default;
};
inline Counters ReadCounters() {
    return {liveVertexCount,         liveEdgeCount,          liveTriangleCount,
            displayTriangleCount,    workset.vertices.count, workset.edges.count,
            workset.triangles.count, vertexCursor,           edgeCursor,
            triangleCursor};
}

//   d---c
//   | / |     two triangles (a, b, c) + (a, c, d) sharing edge a-c, facing +y
//   a---b
struct Quad {
    i32 a, b, c, d, t1, t2;
};
inline Quad MakeQuad() {
    Quad q = {SlotOf(AddVertex(0, 0, 0)),
              SlotOf(AddVertex(10, 0, 0)),
              SlotOf(AddVertex(10, 0, -10)),
              SlotOf(AddVertex(0, 0, -10)),
              0,
              0};
    q.t1 = SlotOf(AddTriangle(&vertices[q.a], &vertices[q.b], &vertices[q.c]));
    q.t2 = SlotOf(AddTriangle(&vertices[q.a], &vertices[q.c], &vertices[q.d]));
    return q;
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
