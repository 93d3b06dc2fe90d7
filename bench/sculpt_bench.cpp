// Sculpting benchmark: strokes of the six surface brushes without a window,
// on the start sphere and on spheres refined to about 100k, 500k and 2M
// triangles, with one brush radius for every size. A step is what a stroke
// frame does to the mesh: the tool (culling and refinement included), then
// normals, relaxation, edge lengths and storage upkeep. The point: a step's
// cost should follow the region under the brush, not the size of the mesh.
// One line per run; --breakdown adds the cost of the whole-mesh passes and
// --profile the program's own profiler shares per section (its sampling
// thread takes a core, so the timings of such a run read high). --undo runs
// every stroke as an undo history step (compare its ms_per_step with a run
// without), then times the undo and redo of that stroke and the autosave's
// copy of the sculpture image.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>
#include "app/autosave.h"
#include "base/settings.h"
#include "mesh/history.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "tools/brush.h"
#include "tools/tools.h"

namespace {

struct ToolChoice {
    const char* name;
    i32 id;
};
enum { TOOL_CHOICES = 8 };
const ToolChoice allTools[TOOL_CHOICES] = {
    {"DRAW", TOOL_DRAW},       {"SMOOTH", TOOL_SMOOTH},       {"INFLATE", TOOL_INFLATE},
    {"FLATTEN", TOOL_FLATTEN}, {"PINCH", TOOL_PINCH},         {"CREASE", TOOL_CREASE},
    {"MASK", TOOL_MASK},       {"REDUCE", TOOL_REDUCE_DETAIL}};

// Mesh sizes by extra subdivision passes over the 2048-triangle start sphere.
struct SizeChoice {
    const char* name;
    i32 passes;
};
const SizeChoice allSizes[4] = {{"start", 0}, {"100k", 3}, {"500k", 4}, {"2m", 5}};

struct Options {
    bool tools[TOOL_CHOICES];
    bool sizes[4];
    i32 steps;
    f32 radius;  // model units on a sphere of radius 100
    f32 strength;
    bool breakdown;
    bool profile;
    bool undo;
    bool wide;    // the whole-mesh path: wide cube, scans, every flag kept until the settle
    i32 threads;  // 0: one per core
};

// This thread's processor time: on a machine shared with other work the
// wall clock also counts the time the thread waited for a core.
double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

double NowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// ================================================================ options

bool PickNames(const char* list, const char* const* names, i32 count, bool* picked) {
    for (i32 i = 0; i < count; i++) picked[i] = false;
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", list);
    for (char* word = strtok(buffer, ","); word; word = strtok(nullptr, ",")) {
        bool known = false;
        for (i32 i = 0; i < count; i++) {
            if (strcasecmp(word, names[i]) == 0) picked[i] = known = true;
        }
        if (!known) {
            fprintf(stderr, "unknown name '%s'\n", word);
            return false;
        }
    }
    return true;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    o = {{true, true, true, true, true, true, false, false},
         {true, true, true, true},
         200,
         8,
         0.766f,
         false,
         false,
         false,
         false,
         0};
    const char* toolNames[TOOL_CHOICES];
    const char* sizeNames[4];
    for (i32 i = 0; i < TOOL_CHOICES; i++) toolNames[i] = allTools[i].name;
    for (i32 i = 0; i < 4; i++) sizeNames[i] = allSizes[i].name;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!strncmp(a, "--tools=", 8)) {
            if (!PickNames(a + 8, toolNames, TOOL_CHOICES, o.tools)) return false;
        } else if (!strncmp(a, "--sizes=", 8)) {
            if (!PickNames(a + 8, sizeNames, 4, o.sizes)) return false;
        } else if (!strncmp(a, "--steps=", 8)) {
            o.steps = atoi(a + 8);
        } else if (!strncmp(a, "--radius=", 9)) {
            o.radius = (f32)atof(a + 9);
        } else if (!strncmp(a, "--strength=", 11)) {
            o.strength = (f32)atof(a + 11);
        } else if (!strcmp(a, "--breakdown")) {
            o.breakdown = true;
        } else if (!strcmp(a, "--profile")) {
            o.profile = true;
        } else if (!strcmp(a, "--undo")) {
            o.undo = true;
        } else if (!strcmp(a, "--wide")) {
            o.wide = true;
        } else if (!strncmp(a, "--threads=", 10)) {
            o.threads = atoi(a + 10);
        } else {
            return false;
        }
    }
    return o.steps > 0 && o.radius > 0;
}

void Usage() {
    fprintf(
        stderr,
        "usage: tessaform-bench [--tools=draw,smooth,inflate,flatten,pinch,crease,mask,reduce]\n"
        "                       [--sizes=start,100k,500k,2m] [--steps=200] [--radius=8]\n"
        "                       [--strength=0.766] [--breakdown] [--profile] [--wide] [--undo]\n"
        "                       [--threads=N]\n"
        "(the six shaping brushes unless --tools names others; --wide: the whole-mesh\n"
        "culling and refinement path, for comparison; --threads=1 on a busy machine:\n"
        "the main thread's processor time per step is then all of a step's work)\n");
}

// ================================================================ memory

// Resets the kernel's peak-resident mark so each run reports its own peak.
void ResetPeakMemory() {
    FILE* f = fopen("/proc/self/clear_refs", "w");
    if (!f) return;
    fputs("5", f);
    fclose(f);
}

long long PeakMegabytes() {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long long kb = -1;
    while (fgets(line, sizeof line, f))
        if (!strncmp(line, "VmHWM:", 6)) kb = atoll(line + 6);
    fclose(f);
    return kb < 0 ? -1 : kb / 1024;
}

// ================================================================ the mesh

// The start sphere, subdivided and pushed back onto the sphere, settled as
// the frame logic leaves a fresh mesh: normals, lengths, flags cleared,
// storage grown ahead.
void BuildRefinedSphere(i32 passes) {
    ResetAllocation();
    BuildSphere();
    for (i32 p = 0; p < passes; p++) SubdivideAll();
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        v.position = Normalized(v.position) * 100;
        v.refPosition = v.position;
    }
    CollectAll(workset);
    UpdateNormals();
    RunParallel(EdgeLengthJob);
    RunParallel(ClearChangedJob);
    meshChanged = 1;
    ManageMemory();
}

// A copy of the storage after the build, so every tool starts from the same
// mesh without rebuilding it. Valid while the arrays stay where they were.
struct Snapshot {
    std::vector<Vertex> v;
    std::vector<Edge> e;
    std::vector<Triangle> t;
    Vertex* vertexBase;
    Edge* edgeBase;
    Triangle* triangleBase;
    i32 counts[4], cursors[3];
};

void TakeSnapshot(Snapshot& s) {
    s.v.assign(vertices, vertices + vertexCapacity);
    s.e.assign(edges, edges + edgeCapacity);
    s.t.assign(triangles, triangles + triangleCapacity);
    s.vertexBase = vertices;
    s.edgeBase = edges;
    s.triangleBase = triangles;
    i32 c[4] = {liveVertexCount, liveEdgeCount, liveTriangleCount, displayTriangleCount};
    i32 k[3] = {vertexCursor, edgeCursor, triangleCursor};
    memcpy(s.counts, c, sizeof c);
    memcpy(s.cursors, k, sizeof k);
}

bool RestoreSnapshot(const Snapshot& s) {
    // Records point at one another by address: the copy is only good for
    // arrays that have not moved.
    if (vertices != s.vertexBase || edges != s.edgeBase || triangles != s.triangleBase)
        return false;
    if ((size_t)vertexCapacity != s.v.size() || (size_t)edgeCapacity != s.e.size() ||
        (size_t)triangleCapacity != s.t.size())
        return false;
    memcpy(vertices, s.v.data(), sizeof(Vertex) * s.v.size());
    memcpy(edges, s.e.data(), sizeof(Edge) * s.e.size());
    memcpy(triangles, s.t.data(), sizeof(Triangle) * s.t.size());
    liveVertexCount = s.counts[0];
    liveEdgeCount = s.counts[1];
    liveTriangleCount = s.counts[2];
    displayTriangleCount = s.counts[3];
    vertexCursor = s.cursors[0];
    edgeCursor = s.cursors[1];
    triangleCursor = s.cursors[2];
    meshChanged = 1;
    ClearHistory();   // its records describe the mesh the copy replaced
    UpdateWorkset();  // as reading a file does: the lists match the restored flags
    return true;
}

// ================================================================ one run

// The stroke: an arc over the sphere, 160 units long whatever the steps.
Vec3 StrokePoint(i32 step, i32 steps) {
    f32 angle = -0.8f + 1.6f * (f32)step / (f32)(steps > 1 ? steps - 1 : 1);
    return Normalized(Vec3{std::sin(angle), 0.25f, std::cos(angle)}) * 100;
}

struct RunResult {
    std::vector<double> stepMs;
    std::vector<double> stepCpuMs;  // the main thread's share
    i32 reculls;
    double strokeEndMs;
    double settleMs;  // the settle's share that readies the next stroke
};

RunResult RunStroke(i32 tool, const Options& o) {
    RunResult r = {};
    ResetBrush();
    brush.radius = o.radius;
    brush.strength = o.strength;
    brush.cullValid = 0;
    // The mesh as the frame logic leaves it once settled: the reference
    // surface copied and the grid filed for this brush, before the stroke.
    double settleStart = NowSeconds();
    CatchUpRefPositions();
    PrepareBrushIndex(2 * o.radius * toolRadiusFactor[tool]);
    r.settleMs = (NowSeconds() - settleStart) * 1000;
    strokeActive = 1;
    if (o.profile) ProfileReport();  // starts a fresh period
    for (i32 step = 0; step < o.steps; step++) {
        brush.center = StrokePoint(step, o.steps);
        brush.strokeStart = step == 0;  // REDUCE DETAIL measures on it
        Vec3 lastCull = brush.cullCenter;
        double start = NowSeconds(), cpu = CpuSeconds();
        ApplyTool(brush, tool);
        RefinementCycle();
        r.stepMs.push_back((NowSeconds() - start) * 1000);
        r.stepCpuMs.push_back((CpuSeconds() - cpu) * 1000);
        Vec3 moved = brush.cullCenter - lastCull;
        r.reculls += step == 0 || Dot(moved, moved) > 0;
    }
    if (o.profile) ProfileReport();
    // The stroke ends: the reference surface catches up where it moved.
    double start = NowSeconds();
    strokeActive = 0;
    CatchUpRefPositions();
    r.strokeEndMs = (NowSeconds() - start) * 1000;
    return r;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = (size_t)(p * (double)(v.size() - 1) + 0.5);
    return v[i];
}

// The whole-mesh passes a stroke can hit, each timed on the fresh mesh. The
// first recull after a build or growth also faults in the never-used tail
// of the arrays, so it is timed apart from a warm one.
void MeasureWholeMeshPasses() {
    ResetBrush();
    brush.center = StrokePoint(0, 2);
    brush.radius = 8;
    double t0 = NowSeconds();
    UpdateBrushCulling(brush, brush.center, brush.radius,
                       strokeActive);  // cullValid is clear: a full recull
    double t1 = NowSeconds();
    brush.cullValid = 0;
    UpdateBrushCulling(brush, brush.center, brush.radius, strokeActive);
    double t2 = NowSeconds();
    UpdateWorkset();
    double t3 = NowSeconds();
    RunParallel(CopyRefPositionJob);
    double t4 = NowSeconds();
    printf(
        "# passes tris=%i recull_cold_ms=%.3f recull_ms=%.3f updateworkset_ms=%.3f "
        "refcopy_ms=%.3f\n",
        liveTriangleCount, (t1 - t0) * 1000, (t2 - t1) * 1000, (t3 - t2) * 1000, (t4 - t3) * 1000);
}

// The stroke's peak resident memory less the benchmark's own copy of the
// records: what the sculpture and its brush index hold, per triangle.
void PrintMemory(const Snapshot& s) {
    double copy = (double)(s.v.size() * sizeof(Vertex) + s.e.size() * sizeof(Edge) +
                           s.t.size() * sizeof(Triangle));
    double peak = (double)PeakMegabytes() * (1 << 20);
    printf("# memory tris=%i peak_mb_without_copy=%.0f bytes_per_triangle=%.0f\n",
           liveTriangleCount, (peak - copy) / (1 << 20), (peak - copy) / liveTriangleCount);
}

// Shares of the innermost profiled section over the steps of the last run.
void PrintSectionShares(const char* tool) {
    printf("# sections tool=%s", tool);
    for (i32 i = 0; i < PROFILE_SECTION_COUNT; i++) {
        const ProfileRecord& r = profileRecords[i];
        if (r.share >= 0.5f) printf(" %s=%.1f%%", r.name, r.share);
    }
    printf("\n");
}

// Undo and redo of the stroke just run, on its own history step; the
// vertices it moved are counted against the snapshot it started from.
void MeasureUndo(const char* tool, const Snapshot& s) {
    i32 moved = 0;
    for (size_t i = 0; i < s.v.size(); i++)
        moved += s.v[i].active && memcmp(&s.v[i].position, &vertices[i].position, 12) != 0;
    double t0 = NowSeconds(), c0 = CpuSeconds();
    bool undone = UndoStep();
    double t1 = NowSeconds(), c1 = CpuSeconds();
    bool redone = RedoStep();
    double t2 = NowSeconds(), c2 = CpuSeconds();
    printf(
        "# undo tool=%s moved_vertices=%i history_mb=%.1f undo_ms=%.3f redo_ms=%.3f "
        "undo_cpu_ms=%.3f redo_cpu_ms=%.3f%s\n",
        tool, moved, (double)historyBytes / (1 << 20), (t1 - t0) * 1000, (t2 - t1) * 1000,
        (c1 - c0) * 1000, (c2 - c1) * 1000, undone && redone ? "" : " FAILED");
}

// The first copy also faults in the fresh image buffer; later ones reuse it.
// The copy runs in the shares the frames would take.
void MeasureAutosaveCopy() {
    bool copied = CopyRestoreImage();
    double cold = autosaveCopySeconds, c0 = CpuSeconds();
    copied = CopyRestoreImage() && copied;
    // copy_ms: the longest share one frame takes; copy_cpu_ms: the whole copy.
    printf("# autosave tris=%i image_mb=%.1f frame_cold_ms=%.3f frame_ms=%.3f copy_cpu_ms=%.3f%s\n",
           liveTriangleCount, (double)autosaveImageBytes / (1 << 20), cold * 1000,
           autosaveCopySeconds * 1000, (CpuSeconds() - c0) * 1000, copied ? "" : " FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        Usage();
        return 2;
    }
    ResetSettings();
    symmetry = 0;
    narrowPasses = !o.wide;
    mtProfiler = o.profile;
    if (o.profile) {
        // Named before ProfilerInit copies the names, or every row reads "?".
        NameProfileSections(meshProfileSections);
        NameProfileSections(toolProfileSections);
        ProfilerInit(0x7FFFFFFF);  // reports only when asked
        StartProfiler();
    }
    StartWorkers(o.threads, 0);
    for (i32 s = 0; s < 4; s++) {
        if (!o.sizes[s]) continue;
        BuildRefinedSphere(allSizes[s].passes);
        if (o.breakdown) MeasureWholeMeshPasses();
        Snapshot snapshot;
        TakeSnapshot(snapshot);
        if (o.undo) MeasureAutosaveCopy();
        for (i32 t = 0; t < TOOL_CHOICES; t++) {
            if (!o.tools[t]) continue;
            if (!RestoreSnapshot(snapshot)) {
                BuildRefinedSphere(allSizes[s].passes);
                TakeSnapshot(snapshot);
            }
            i32 before = liveTriangleCount;
            ResetPeakMemory();
            if (o.undo) BeginHistoryStep();
            RunResult r = RunStroke(allTools[t].id, o);
            printf(
                "tool=%s tris_before=%i tris_after=%i steps=%i ms_per_step=%.3f "
                "main_cpu_ms_per_step=%.3f peak_mb=%lld\n",
                allTools[t].name, before, liveTriangleCount, o.steps, Percentile(r.stepMs, 0.5),
                Percentile(r.stepCpuMs, 0.5), (long long)PeakMegabytes());
            if (o.breakdown) {
                double sum = 0;
                for (double ms : r.stepMs) sum += ms;
                printf(
                    "# tool=%s mean_ms=%.3f p90_ms=%.3f max_ms=%.3f first_ms=%.3f reculls=%i "
                    "stroke_end_ms=%.3f settle_ms=%.3f\n",
                    allTools[t].name, sum / (double)r.stepMs.size(), Percentile(r.stepMs, 0.9),
                    Percentile(r.stepMs, 1.0), r.stepMs[0], r.reculls, r.strokeEndMs, r.settleMs);
            }
            if (o.breakdown) PrintMemory(snapshot);
            if (o.profile) PrintSectionShares(allTools[t].name);
            if (o.undo) MeasureUndo(allTools[t].name, snapshot);
            fflush(stdout);
        }
    }
    StopWorkers();
    if (o.profile) StopProfiler();
    FreeAllocation();
    return 0;
}
