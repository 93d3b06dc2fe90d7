// User settings and their defaults (ResetSettings, run before main). They
// persist in config.txt: ReadConfig (app/config.cpp) fills them at start-up
// and WriteConfig stores them at exit. Every module reads these directly;
// besides those two the writers are the window code (size and placement),
// the commands that toggle them (symmetry, wireframe, detail, material,
// start mesh), the view control (tool size and strength), and the sculpture
// reader, which takes the symmetry switch from the image.
#pragma once
#include "base/base.h"

extern i32 windowWidth;      // pixels, 950
extern i32 windowHeight;     // pixels, 650
extern i32 windowX;          // pixels, 0
extern i32 windowY;          // pixels, 0
extern i32 windowMaximized;  // 1 = create maximised
// 1 = symmetric editing (only the x >= 0 half is stored). SetSymmetry cuts or
// mirrors the mesh to match it; the sculpture reader and the OBJ import take
// it as the file states it, since that mesh is already cut or whole.
extern u8 symmetry;
extern u8 enableShaders;      // 1 = build the GLSL programs at start-up
extern u8 cornerTesselate;    // 1; only kept for config.txt, nothing else reads it
extern u8 menuZoom;           // 1 = the button under the pointer grows, neighbours move apart
extern i32 startMeshType;     // 1 = plane, anything else = sphere
extern f32 detailBias;        // refinement fineness; below 0.15 nothing is refined
extern i32 materialIndex;     // matcap image number - 1
extern u8 wireframe;          // 1 = draw the wireframe over the mesh
extern f32 toolSize[20];      // per tool id, 0..1
extern f32 toolStrength[20];  // per tool id, 0..1

// Multithreading switches: 1 = run that pass through RunParallel.
extern i32 mtMaxThreads;  // 0 = one thread per core
extern i32 mtProfiler;    // 1 = profiler overlay shown, sections sampled
extern i32 mtVarrays;
extern i32 mtTesselate;
extern i32 mtBeautify;
extern i32 mtDraw;
extern i32 mtCulling;
extern i32 mtNormals;
extern i32 mtEdges;

// Memory the undo history may hold, in megabytes (512; config.txt
// undo_budget_mb); the oldest steps go first beyond it. Read by the history
// (mesh/history.cpp).
extern i32 undoBudgetMB;
// Seconds between two writes of the restore file while there are unsaved
// changes (60; config.txt autosave_seconds). Read by the autosave
// (app/autosave.cpp).
extern i32 autosaveSeconds;

// Puts every setting back to its default (before main, and the tests).
void ResetSettings();
