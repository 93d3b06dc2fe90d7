// Speed figures of the renderer's array builder (no display needed): a full
// rebuild of a million-triangle mesh on one thread and on all of them, and a
// workset rebuild the size of a large brush stroke. With an X display it
// also times the upload and whole frames of that mesh. Last, the frames of a
// stroke on a 2.1-million-triangle sphere, short of the drawing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "platform/appinit.h"
#include "platform/window.h"
#include "render/glext.h"
#include "render/render.h"
#include "tools/brush.h"
#include "tools/tools.h"

static double NowMsPrecise() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

static double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// A grid of quads, two triangles each: 1000 x 500 quads = a million triangles.
enum { GRID_COLUMNS = 1000, GRID_ROWS = 500 };

static void BuildGrid() {
    for (i32 r = 0; r <= GRID_ROWS; r++)
        for (i32 c = 0; c <= GRID_COLUMNS; c++)
            AddVertex((f32)c - GRID_COLUMNS / 2, (f32)r - GRID_ROWS / 2, 0);
    auto at = [](i32 r, i32 c) { return &vertices[r * (GRID_COLUMNS + 1) + c]; };
    for (i32 r = 0; r < GRID_ROWS; r++)
        for (i32 c = 0; c < GRID_COLUMNS; c++) {
            AddTriangle(at(r, c), at(r, c + 1), at(r + 1, c + 1));
            AddTriangle(at(r, c), at(r + 1, c + 1), at(r + 1, c));
        }
    UpdateNormals();
}

static double TimeBuild(bool full, bool threaded) {
    std::vector<double> ms;
    for (i32 run = 0; run < 7; run++) {
        fullRebuild = full;
        meshChanged = colorsDirty = 1;
        double start = NowMsPrecise();
        if (threaded)
            RunParallel(BuildRenderArrays);
        else
            BuildRenderArrays(0, 1);
        ms.push_back(NowMsPrecise() - start);
    }
    fullRebuild = meshChanged = colorsDirty = 0;
    return Median(ms);
}

// A stroke-sized workset: a square patch of the grid.
static void SelectPatch(i32 side) {
    ResetGeometrySet(workset);
    for (i32 r = 0; r < side; r++)
        for (i32 c = 0; c < side; c++) {
            AppendSlot(workset.vertices, r * (GRID_COLUMNS + 1) + c);
            AppendSlot(workset.triangles, 2 * (r * GRID_COLUMNS + c));
            AppendSlot(workset.triangles, 2 * (r * GRID_COLUMNS + c) + 1);
        }
}

// A frame of a DRAW stroke on the start sphere subdivided to 2.1 million
// triangles (radius 100, brush 16.7): the stroke step and its refinement,
// then the render arrays' rebuild of the workset, without GL.
static void BenchStrokeFrames() {
    ResetAllocation();
    BuildSphere();
    for (i32 p = 0; p < 5; p++) SubdivideAll();
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) vertices[i].position = Normalized(vertices[i].position) * 100;
    CollectAll(workset);
    UpdateNormals();
    RunParallel(EdgeLengthJob);
    RunParallel(ClearChangedJob);
    meshChanged = 1;
    ManageMemory();         // grown ahead, as the frame logic leaves a new mesh
    CatchUpRefPositions();  // settled
    PrepareBrushIndex(2 * 16.667f);
    ResetBrush();
    brush.radius = 16.667f;
    brush.strength = 0.766f;
    strokeActive = 1;
    std::vector<double> ms;
    for (i32 step = 0; step < 100; step++) {
        f32 angle = -0.8f + 1.6f * (f32)step / 99;
        brush.center = Normalized(Vec3{std::sin(angle), 0.25f, std::cos(angle)}) * 100;
        double start = NowMsPrecise();
        ApplyTool(brush, TOOL_DRAW);
        RefinementCycle();
        fullRebuild = 0;
        RunParallel(BuildRenderArrays);
        ms.push_back(NowMsPrecise() - start);
        meshChanged = 0;
    }
    strokeActive = 0;
    printf(
        "stroke frame, %i triangles, brush 16.7: %.1f ms median, %.1f ms slowest, %.1f ms first\n",
        liveTriangleCount, Median(ms), *std::max_element(ms.begin() + 1, ms.end()), ms[0]);
}

static void BenchFrames() {
    windowMaximized = 0;
    if (!getenv("DISPLAY") || !CreateGLWindow("Tessaform render bench", 950, 650)) {
        printf("frames: skipped (no display)\n");
        return;
    }
    if (InitBufferExtensions(GLProcAddress)) {
        InitGLState();
        CreateRenderBuffers();
        std::vector<double> upload, frame;
        for (i32 run = 0; run < 5; run++) {
            arraysDirty = fullRebuild = meshChanged = colorsDirty = 1;
            double start = NowMsPrecise();
            UploadRenderArrays();
            upload.push_back(NowMsPrecise() - start);
            arraysDirty = 0;
            start = NowMsPrecise();
            DrawFrame();
            frame.push_back(NowMsPrecise() - start);
        }
        printf("full rebuild + upload, %i triangles: %.1f ms median\n", liveTriangleCount,
               Median(upload));
        printf("frame of %i triangles (this GL, pacing included): %.1f ms median\n",
               liveTriangleCount, Median(frame));
        ReleaseGLResources();
    }
    DestroyGLWindow();
}

// --wide: the stroke frames on the whole-mesh culling and refinement path.
int main(int argc, char** argv) {
    ResetSettings();
    narrowPasses = !(argc > 1 && !strcmp(argv[1], "--wide"));
    mtProfiler = 0;
    StartWorkers(0, 0);
    ResetAllocation();
    BuildGrid();
    printf("mesh: %i triangles, %i vertices, %i threads\n", liveTriangleCount, liveVertexCount,
           threadCount);
    printf("full rebuild, 1 thread: %.1f ms median\n", TimeBuild(true, false));
    printf("full rebuild, %i threads: %.1f ms median\n", threadCount, TimeBuild(true, true));
    SelectPatch(100);
    printf("workset rebuild, %i vertices and %i triangles: %.3f ms median\n",
           workset.vertices.count, workset.triangles.count, TimeBuild(false, false));
    BenchFrames();
    BenchStrokeFrames();
    StopWorkers();
    FreeAllocation();
    return 0;
}
