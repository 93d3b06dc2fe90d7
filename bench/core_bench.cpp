// Speed figures of the mesh core and the worker pool, one line per figure:
// building the start sphere, creating and removing a million triangles
// (array growth included), the hand-off cost of an empty parallel job, and
// a whole-mesh normals pass. Headless; the log stays closed (muted).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

static double NowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

static double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

static void BenchSphere() {
    std::vector<double> ms;
    for (i32 run = 0; run < 20; run++) {
        double start = NowSeconds();
        ResetAllocation();
        BuildSphere();
        ms.push_back((NowSeconds() - start) * 1000);
    }
    printf("BuildSphere (with ResetAllocation): %.2f ms median of %zu\n", Median(ms), ms.size());
}

// A grid of quads, two triangles each, row by row; vertices are created first.
enum { GRID_COLUMNS = 1000, GRID_ROWS = 500 };

static void BuildGrid() {
    for (i32 r = 0; r <= GRID_ROWS; r++)
        for (i32 c = 0; c <= GRID_COLUMNS; c++) AddVertex((f32)c, 0, -(f32)r);
    auto at = [](i32 r, i32 c) { return &vertices[r * (GRID_COLUMNS + 1) + c]; };
    for (i32 r = 0; r < GRID_ROWS; r++) {
        for (i32 c = 0; c < GRID_COLUMNS; c++) {
            AddTriangle(at(r, c), at(r, c + 1), at(r + 1, c + 1));
            AddTriangle(at(r, c), at(r + 1, c + 1), at(r + 1, c));
        }
    }
}

static void BenchNormals() {
    CollectAll(workset);
    std::vector<double> ms[2];
    for (i32 threaded = 0; threaded < 2; threaded++) {
        mtNormals = threaded;
        for (i32 run = 0; run < 5; run++) {
            for (i32 i = 0; i < workset.vertices.count; i++)
                vertices[workset.vertices.items[i]].changed = 1;
            for (i32 i = 0; i < workset.triangles.count; i++)
                triangles[workset.triangles.items[i]].changed = 1;
            double start = NowSeconds();
            UpdateNormals();
            ms[threaded].push_back((NowSeconds() - start) * 1000);
        }
    }
    mtNormals = 1;
    printf(
        "UpdateNormals, whole mesh of %i triangles: %.1f ms on 1 thread, %.1f ms on %i threads\n",
        liveTriangleCount, Median(ms[0]), Median(ms[1]), threadCount);
}

static void BenchMillionTriangles() {
    ResetAllocation();
    double start = NowSeconds();
    BuildGrid();
    double added = NowSeconds() - start;
    printf("add %i triangles (%i vertices, %i edges, arrays grown from 20000): %.0f ms\n",
           liveTriangleCount, liveVertexCount, liveEdgeCount, added * 1000);
    BenchNormals();
    start = NowSeconds();
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) RemoveTriangle(&triangles[i], true);
    double removed = NowSeconds() - start;
    printf(
        "remove them all with their vertices: %.0f ms (left: %i triangles, %i edges, %i "
        "vertices)\n",
        removed * 1000, liveTriangleCount, liveEdgeCount, liveVertexCount);
}

// The same build into arrays grown beforehand: the difference is the cost of growth.
static void BenchMillionTrianglesPregrown() {
    ResetAllocation();
    while (vertexCapacity < (GRID_ROWS + 1) * (GRID_COLUMNS + 1)) AllocateVertices();
    while (edgeCapacity < 3 * GRID_ROWS * GRID_COLUMNS + GRID_ROWS + GRID_COLUMNS) AllocateEdges();
    while (triangleCapacity < 2 * GRID_ROWS * GRID_COLUMNS) AllocateTriangles();
    double start = NowSeconds();
    BuildGrid();
    printf("add the same triangles into arrays grown beforehand: %.0f ms\n",
           (NowSeconds() - start) * 1000);
    ResetAllocation();
}

static void EmptyJob(i32, i32) {}

static void BenchHandOff() {
    for (i32 i = 0; i < 1000; i++) RunParallel(EmptyJob);  // workers polling hot
    std::vector<double> us;
    for (i32 i = 0; i < 20000; i++) {
        double start = NowSeconds();
        RunParallel(EmptyJob);
        us.push_back((NowSeconds() - start) * 1e6);
    }
    std::sort(us.begin(), us.end());
    printf(
        "RunParallel of an empty job on %i threads: %.2f us median, %.2f us at the 99th "
        "percentile\n",
        threadCount, us[us.size() / 2], us[us.size() * 99 / 100]);
}

int main() {
    ResetSettings();
    mtProfiler = 0;
    symmetry = 0;
    StartWorkers(mtMaxThreads, mtProfiler);
    BenchSphere();
    BenchHandOff();
    BenchMillionTriangles();
    BenchMillionTrianglesPregrown();
    StopWorkers();
    FreeAllocation();
    return 0;
}
