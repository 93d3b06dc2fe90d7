// Program spine: start-up, shutdown, the crash marker and the application
// globals the window layer and the frame logic share. Window-free: the
// window layer calls these around its own GL and window steps.
#pragma once
#include "base/base.h"

// Completed FrameLogic passes, counted by CountStartupFrame; drives the crash marker.
extern i32 startupFrameCount;
// The sculpture has unsaved changes: set by strokes, undo and the mask fill,
// cleared by InitCore, save, open and a new mesh (all in app/).
extern u8 modified;
// Current sculpture file, empty = untitled: set by save and open, emptied by
// InitCore, a new mesh and an import (all in app/).
extern char fileName[512];

// appDir and the user's file folders, the log, every tool's size and strength
// at 0.5, then config.txt (the program reads it once more once the window exists).
void LoadSettings();
// The window-free start-up steps: frame-logic, interface and event-log state,
// storage, start mesh, undo, view, view-control and brush defaults, normals,
// crash marker, profiler and workers. Returns false when the program cannot
// run.
bool InitCore();
// Start-up's closing lines ("using %i threads", "init done").
void LogInitDone();
// Reads the marker (a "1" means the last start crashed: delete the restore
// file) and rewrites it with "1". True when the marker said "0": a session
// ran, and a restore file it left means it did not end cleanly.
bool CheckCrashMarker();
void WriteCrashMarker(char state);
// Counts one finished frame; the 20th rewrites the marker with "0".
void CountStartupFrame();
// Stops threads, deletes the restore file, writes config.txt, logs the mesh
// statistics and frees the mesh and the undo ring.
void Shutdown();
// The mesh statistics lines of Shutdown.
void LogMeshStatistics();
