// OBJ export and import speed: a sphere of about 500 thousand triangles
// written and read back, and a file of about 2 million triangles read. One
// line per figure with the time and the file bytes per second. Headless;
// the log stays closed (muted). Usage: tessaform-bench-obj [DIRECTORY]
// (the files go there, default /tmp, and are removed afterwards).
#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include "base/settings.h"
#include "mesh/mesh.h"
#include "mesh/objfile.h"
#include "parallel/parallel.h"

static double NowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Median milliseconds of `runs` calls; false if a call failed.
template <typename F>
static bool TimeRuns(i32 runs, double& ms, F&& call) {
    std::vector<double> samples;
    for (i32 run = 0; run < runs; run++) {
        double start = NowSeconds();
        if (!call()) return false;
        samples.push_back((NowSeconds() - start) * 1000);
    }
    std::sort(samples.begin(), samples.end());
    ms = samples[samples.size() / 2];
    return true;
}

static void Report(const char* what, i32 triangleCount, const std::string& path, double ms) {
    struct stat st;
    double mb = stat(path.c_str(), &st) == 0 ? (double)st.st_size / 1e6 : 0;
    printf("%s %i triangles: %.0f ms, %.0f MB/s (%.1f MB file)\n", what, triangleCount, ms,
           mb / (ms / 1000), mb);
}

// The start sphere subdivided `passes` times (2048 x 4^passes triangles).
static void BuildFineSphere(i32 passes) {
    ResetAllocation();
    BuildSphere();
    for (i32 i = 0; i < passes; i++) SubdivideAll();
    CollectAll(workset);
    UpdateNormals();
}

static bool ExportAndImport(const std::string& path, i32 passes, bool timeExport, i32 runs) {
    BuildFineSphere(passes);
    i32 triangleCount = liveTriangleCount;
    double ms = 0;
    if (!TimeRuns(timeExport ? runs : 1, ms, [&] { return ExportObj(path.c_str()); })) return false;
    if (timeExport) Report("export", triangleCount, path, ms);
    if (!TimeRuns(runs, ms, [&] { return ImportObj(path.c_str()); })) return false;
    Report("import", triangleCount, path, ms);
    std::remove(path.c_str());
    return true;
}

int main(int argc, char** argv) {
    ResetSettings();
    mtProfiler = 0;
    symmetry = 0;
    StartWorkers(mtMaxThreads, mtProfiler);
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string path = dir + "/tessaform-bench.obj";
    bool ok = ExportAndImport(path, 4, true, 5) && ExportAndImport(path, 5, false, 3);
    if (!ok) fprintf(stderr, "could not write or read %s\n", path.c_str());
    StopWorkers();
    FreeAllocation();
    return ok ? 0 : 1;
}
