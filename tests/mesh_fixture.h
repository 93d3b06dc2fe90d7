// Shared test scaffolding: a fixture that gives every test a fresh storage
// and runs the consistency checker when a mutating test ends, a log capture
// that writes the real log file into a private temp directory, and small
// named meshes (fan, strip, quad) for the topology tests.
#pragma once
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "app/log.h"
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
        // The defaults switch the profiler and symmetric editing on; the tests
        // build whole meshes without a sampler, so both start off here.
        mtProfiler = 0;
        symmetry = 0;
        ResetAllocation();
    }
    // Every test in a MeshTest fixture mutates the mesh: check it at the end.
    void TearDown() override { ExpectMeshConsistent(); }
};

// Opens the real log in a private temp directory (tests run as parallel
// processes) and puts the log back to its never-opened, muted state after,
// so later tests do not pay for a file write per mesh operation.
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
        std::string text;
        if (FILE* f = fopen(path.c_str(), "rb")) {
            char buffer[4096];
            size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
            fclose(f);
        }
        return text;
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::string text = Text();
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        if (start < text.size()) lines.push_back(text.substr(start));
        return lines;
    }
    i32 Count(const std::string& line) const {
        i32 n = 0;
        for (const std::string& l : Lines()) n += l == line;
        return n;
    }
    std::string directory, path;
};

// Everything a creation or removal may change, to prove a refusal changed nothing.
struct Counters {
    i32 vertices, edges, triangles, display, worksetV, worksetE, worksetT, cursorV, cursorE, cursorT;
    bool operator==(const Counters&) const = default;
};
inline Counters ReadCounters() {
    return {liveVertexCount, liveEdgeCount, liveTriangleCount, displayTriangleCount,
            workset.vertices.count, workset.edges.count, workset.triangles.count,
            vertexCursor, edgeCursor, triangleCursor};
}

inline Vertex* MakeVertex(f32 x, f32 y, f32 z) { return AddVertex(x, y, z); }

//   d---c
//   | / |     two triangles (a, b, c) + (a, c, d) sharing edge a-c, facing +y
//   a---b
struct Quad { i32 a, b, c, d, t1, t2; };
inline Quad MakeQuad() {
    Quad q;
    q.a = SlotOf(AddVertex(0, 0, 0));
    q.b = SlotOf(AddVertex(10, 0, 0));
    q.c = SlotOf(AddVertex(10, 0, -10));
    q.d = SlotOf(AddVertex(0, 0, -10));
    q.t1 = SlotOf(AddTriangle(&vertices[q.a], &vertices[q.b], &vertices[q.c]));
    q.t2 = SlotOf(AddTriangle(&vertices[q.a], &vertices[q.c], &vertices[q.d]));
    return q;
}

// A fan of `count` triangles around a centre (slot returned) in the y = 0
// plane; ring vertex k sits at angle k of `ringSize` steps. A closed fan
// (count == ringSize) gives the centre count edges; an open one count + 1.
inline i32 MakeFan(i32 count, i32 ringSize) {
    i32 centre = SlotOf(AddVertex(0, 0, 0));
    std::vector<i32> ring;
    for (i32 k = 0; k < ringSize; k++) {
        f32 angle = 6.2831853f * (f32)k / (f32)ringSize;
        ring.push_back(SlotOf(AddVertex(10 * std::cos(angle), 0, 10 * std::sin(angle))));
    }
    for (i32 k = 0; k < count; k++)
        AddTriangle(&vertices[centre], &vertices[ring[(size_t)((k + 1) % ringSize)]],
                    &vertices[ring[(size_t)k]]);
    return centre;
}

// A strip of `count` triangles over two rows of vertices, all created first:
//   t0--t1--t2 ...
//   | \ | \ |        n triangles use 2n + 1 edges; the last column may stay loose
//   b0--b1--b2 ...
inline void MakeStrip(i32 count) {
    std::vector<i32> bottom, top;
    for (i32 i = 0; i < count / 2 + 2; i++) {
        bottom.push_back(SlotOf(AddVertex((f32)i, 0, 0)));
        top.push_back(SlotOf(AddVertex((f32)i, 0, -1)));
    }
    for (i32 k = 0; k < count; k++) {
        size_t i = (size_t)(k / 2);
        if (k % 2 == 0) AddTriangle(&vertices[bottom[i]], &vertices[bottom[i + 1]], &vertices[top[i]]);
        else AddTriangle(&vertices[top[i]], &vertices[bottom[i + 1]], &vertices[top[i + 1]]);
    }
}
