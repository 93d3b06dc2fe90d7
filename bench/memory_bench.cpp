// Memory of a long session: strokes (10,000 by default) of the surface, mask
// and reduce-detail brushes on one sculpture, then the session's resident
// memory against that of a fresh process that only opens the sculpture the
// session ended with and makes a few strokes. What the fresh process needs is
// what the sculpture's size explains; the rest is what the session kept.
// Each stroke opens an undo step, as in the program: what the history holds
// (resident memory that clearing it gives back) is within its budget
// (config undo_budget_mb) and reported apart, as are the free slots among
// the records the session has touched, which the free-slot search hands out
// before it touches more.
// Usage: tessaform-bench-memory [STROKES] [SEED]
#include <malloc.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include "base/settings.h"
#include "mesh/history.h"
#include "mesh/meshfile.h"
#include "parallel/parallel.h"
#include "tools/brush.h"
#include "tools/tools.h"

namespace {

// Bytes the allocator has handed out and not taken back: the record arrays
// at their capacity and everything else the process holds.
double AllocatedMb() {
    struct mallinfo2 m = mallinfo2();
    return (double)(m.uordblks + m.hblkhd) / (1024 * 1024);
}

// Resident set size in kB, from /proc/self/status.
long ResidentKb() {
    FILE* f = fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    while (f && fgets(line, sizeof line, f))
        if (sscanf(line, "VmRSS: %ld", &kb) == 1) break;
    if (f) fclose(f);
    return kb;
}

std::mt19937 rng;
f32 Uniform(f32 lo, f32 hi) { return std::uniform_real_distribution<f32>(lo, hi)(rng); }

// One stroke of a few steps at a random vertex, each step followed by the
// frame's upkeep, ending like a released button.
void Stroke() {
    static const i32 tools[] = {TOOL_DRAW,  TOOL_SMOOTH, TOOL_INFLATE, TOOL_FLATTEN,
                                TOOL_PINCH, TOOL_CREASE, TOOL_MASK,    TOOL_REDUCE_DETAIL};
    i32 tool = tools[rng() % 8];
    i32 slot = (i32)(rng() % (u32)vertexCapacity);
    while (!vertices[slot].active) slot = (slot + 1) % vertexCapacity;
    Vec3 p = vertices[slot].position;
    f32 radius = Uniform(10, 40), strength = Uniform(0.2f, 1) * (rng() % 3 ? 1 : -1);
    strokeActive = 1;
    BeginHistoryStep();
    for (i32 i = 0, steps = 1 + (i32)(rng() % 3); i < steps; i++) {
        brush.center = brush.anchor = p;
        brush.radius = radius;
        brush.strength = strength;
        brush.strokeStart = i == 0;
        ApplyTool(brush, tool);
        RefinementCycle();
        p += Vec3{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)} * (radius * 0.2f);
    }
    RunParallel(CopyRefPositionJob);
    strokeActive = 0;
    brush.cullValid = 0;
}

// Free slots below the highest slot handed out, in MB: touched once, kept
// for the next records.
double TouchedFreeMb() {
    return ((double)(vertexReach - liveVertexCount) * sizeof(Vertex) +
            (double)(edgeReach - liveEdgeCount) * sizeof(Edge) +
            (double)(triangleReach - liveTriangleCount) * sizeof(Triangle)) /
           (1024 * 1024);
}

void Start() {
    ResetSettings();
    mtProfiler = 0;
    symmetry = 0;
    StartWorkers(0, 0);
    ResetAllocation();
    ResetBrush();
}

// The fresh process: open the sculpture, a few strokes (so it holds what
// any session of it holds: the brush index, the per-thread lists), print the
// memory and the history's share.
int OpenOnly(const char* path) {
    Start();
    if (!LoadMesh(path)) return 1;
    for (i32 i = 0; i < 10; i++) Stroke();
    long kb = ResidentKb();
    ClearHistory();
    malloc_trim(0);  // the steps' small buffers went back to the heap
    printf("%ld %f %f\n", kb, AllocatedMb(), (kb - ResidentKb()) / 1024.0);
    StopWorkers();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--open") == 0) return OpenOnly(argv[2]);
    i32 strokes = argc > 1 ? atoi(argv[1]) : 10000;
    u32 seed = argc > 2 ? (u32)strtoul(argv[2], nullptr, 10) : 1;
    rng.seed(seed);
    Start();
    BuildSphere();
    for (i32 i = 0; i < strokes; i++) {
        Stroke();
        if (i % 1000 == 999)
            printf("%i strokes: %i triangles, %ld MB\n", i + 1, liveTriangleCount,
                   ResidentKb() / 1024),
                fflush(stdout);
    }
    long session = ResidentKb();
    i32 steps = historyCount;
    ClearHistory();
    malloc_trim(0);  // the steps' small buffers went back to the heap
    double history = (session - ResidentKb()) / 1024.0;
    std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                       "/tessa-memory-bench-" + std::to_string(getpid()) + ".tf1";
    if (!SaveMesh(path.c_str())) return 1;
    std::string command = "/proc/" + std::to_string(getpid()) + "/exe --open " + path;
    FILE* fresh = popen(command.c_str(), "r");
    long freshKb = -1;
    double freshAllocated = 0, freshHistory = 0;
    if (!fresh || fscanf(fresh, "%ld %lf %lf", &freshKb, &freshAllocated, &freshHistory) != 3)
        freshKb = -1;
    if (fresh) pclose(fresh);
    remove(path.c_str());
    double sessionMb = session / 1024.0, freshMb = freshKb / 1024.0;
    printf("seed %u, %i strokes: %i vertices, %i triangles\n", seed, strokes, liveVertexCount,
           liveTriangleCount);
    printf("resident: session %.1f MB, fresh process with the same sculpture %.1f MB: %+.1f %%\n",
           sessionMb, freshMb, 100.0 * (sessionMb - freshMb) / freshMb);
    // The history is within its budget; the touched free slots are bounded
    // by the session's largest mesh and are the next records' slots.
    double touchedFree = TouchedFreeMb();
    double kept = sessionMb - history - touchedFree, needed = freshMb - freshHistory;
    printf("undo history: session %.1f MB (%i steps, budget %i MB), fresh process %.1f MB\n",
           history, steps, undoBudgetMB, freshHistory);
    printf("free record slots the session has touched (its largest mesh): %.1f MB\n", touchedFree);
    printf("without both: session %.1f MB, fresh process %.1f MB: %+.1f %%\n", kept, needed,
           100.0 * (kept - needed) / needed);
    printf("allocated: session %.1f MB, fresh process %.1f MB\n", AllocatedMb(), freshAllocated);
    StopWorkers();
    return freshKb > 0 ? 0 : 1;
}
