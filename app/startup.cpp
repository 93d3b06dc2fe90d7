// Start-up and shutdown steps that need no window, and the crash marker.
// The window layer (platform/) runs these between its own window and GL
// steps; the headless program and the tests run them alone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include "app/app.h"
#include "app/autosave.h"
#include "app/config.h"
#include "app/framelogic.h"
#include "app/guilogic.h"
#include "app/viewcontrol.h"
#include "base/guistate.h"
#include "base/log.h"
#include "base/settings.h"
#include "base/view.h"
#include "mesh/mesh.h"
#include "mesh/meshfile.h"
#include "parallel/parallel.h"
#include "tools/brush.h"

i32 startupFrameCount;
u8 modified;
char fileName[512];

void LoadSettings() {
    FindAppDir();
    LogOpen(UserFilePath("log.txt"));
    LogPrint("log start -> '%s'", UserFilePath("log.txt"));
    for (i32 i = 0; i < 20; i++) toolSize[i] = toolStrength[i] = 0.5f;
    ReadConfig(UserFilePath("config.txt"));
}

void WriteCrashMarker(char state) {
    FILE* f = fopen(UserFilePath("_startup_recover.dat"), "wb");
    if (!f) return;
    fputc(state, f);
    fclose(f);
}

bool CheckCrashMarker() {
    int c = ' ';
    if (FILE* f = fopen(UserFilePath("_startup_recover.dat"), "rb")) {
        c = fgetc(f);
        if (c == EOF) c = ' ';
        fclose(f);
        if (c == '1') {
            // The last start died before 20 frames: its restore file is suspect.
            std::remove(RestoreFilePath());
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    }
    WriteCrashMarker('1');
    return c == '0';
}

void CountStartupFrame() {
    if (++startupFrameCount == 20) WriteCrashMarker('0');
}

bool InitCore() {
    modified = 0;
    fileName[0] = 0;
    ResetFrameLogic();
    ResetGuiState();
    InitGuiButtons();
    EventLogReset();
    EventLogName(nullptr);  // null always reads "NULL"
    BuildStartMesh(startMeshType);
    if (!InitUndoRing()) return false;
    RunParallel(ClearChangedJob);
    ResetView();
    if (startMeshType == 1) viewPitch = 30;  // the plane is seen from above
    // Wheel steps taken during start-up are not a zoom request.
    ResetViewControl();
    ResetBrush();
    UpdateNormals();
    if (CheckCrashMarker()) OfferRecovery();
    quietBeautifyPasses = 0;
    meshSettled = 0;
    if (mtProfiler) {
        NameProfileSections(meshProfileSections);
        NameProfileSections(toolProfileSections);
        NameProfileSections(frameProfileSections);
        ProfilerInit(250);
        StartProfiler();
    }
    // The sampler sleeps between samples: it needs no core of its own.
    StartWorkers(mtMaxThreads, 0);
    return true;
}

void LogInitDone() {
    LogBeginVerbose(0);
    LogPrint(threadCount == 1 ? "using %i thread" : "using %i threads", threadCount);
    LogPrint("init done");
    LogEndVerbose();
}

void LogMeshStatistics() {
    i32 maxTriangles = 0, maxEdges = 0, highestEdge = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        if (v.triangleCount > maxTriangles) maxTriangles = v.triangleCount;
        if (v.edgeCount > maxEdges) maxEdges = v.edgeCount;
    }
    for (i32 i = 0; i < edgeCapacity; i++)
        if (edges[i].active) highestEdge = i;
    LogPrint("%i triangles", liveTriangleCount);
    LogPrint("%i edges", liveEdgeCount);
    LogPrint("%i vertices", liveVertexCount);
    LogPrint("max triangles per vertex: %i", maxTriangles);
    LogPrint("max edges per vertex: %i", maxEdges);
    LogPrint("highest used edge: %i", highestEdge);
}

void Shutdown() {
    if (mtProfiler) StopProfiler();
    StopWorkers();
    StopAutosave();
    WriteConfig(UserFilePath("config.txt"));
    LogMeshStatistics();
    FreeAllocation();
    FreeUndoRing();
}
