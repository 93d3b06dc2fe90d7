// Program spine: start-up, shutdown, the crash marker and the application
// globals the window layer and the frame logic share. Window-free: the
// window layer calls these around its own GL and window steps.
#pragma once
#include "base/base.h"

extern i32 startupFrameCount;  // completed FrameLogic passes; drives the crash marker
extern u8 modified;            // the sculpture has unsaved changes
extern char fileName[512];     // current sculpture file; empty = untitled

// appDir, the log, tool settings to 0.5, then config.txt.
void LoadSettings();
// The window-free start-up steps: frame-logic, interface and event-log state,
// storage, start mesh, undo, view, view-control and brush defaults, normals,
// crash marker, profiler and workers. Returns false when the program cannot
// run.
bool InitCore();
// Start-up's closing lines ("using %i threads", "init done").
void LogInitDone();
// Reads the marker (a "1" means the last start crashed: delete the restore
// file) and rewrites it with "1".
void CheckCrashMarker();
void WriteCrashMarker(char state);
// Counts one finished frame; the 20th rewrites the marker with "0".
void CountStartupFrame();
// Stops threads, deletes the restore file, writes the settings, logs the mesh
// statistics and frees the mesh.
void Shutdown();
// The mesh statistics lines of Shutdown.
void LogMeshStatistics();
