// Storage and defaults of the persistent settings.
#include "base/settings.h"

i32 windowWidth, windowHeight, windowX, windowY, windowMaximized;
u8 symmetry, enableShaders, cornerTesselate, menuZoom, wireframe;
i32 startMeshType, materialIndex;
f32 detailBias;
f32 toolSize[20], toolStrength[20];
i32 mtMaxThreads, mtProfiler, mtVarrays, mtTesselate, mtBeautify, mtDraw, mtCulling, mtNormals,
    mtEdges;
i32 undoBudgetMB, autosaveSeconds;

void ResetSettings() {
    windowWidth = 950;
    windowHeight = 650;
    windowX = 0;
    windowY = 0;
    windowMaximized = 1;
    symmetry = 1;
    enableShaders = 1;
    cornerTesselate = 1;
    menuZoom = 1;
    startMeshType = 0;
    detailBias = 1.3f;
    materialIndex = 0;
    wireframe = 0;
    for (i32 i = 0; i < 20; i++) {
        toolSize[i] = 0.5f;
        toolStrength[i] = 0.5f;
    }
    mtMaxThreads = 0;
    mtProfiler = 0;  // a developer's overlay: off unless config.txt asks for it
    mtVarrays = 0;
    mtTesselate = 1;
    mtBeautify = 1;
    mtDraw = 1;
    mtCulling = 1;
    mtNormals = 1;
    mtEdges = 1;
    undoBudgetMB = 512;
    autosaveSeconds = 60;
}

// Static initialisation gives the defaults before anything reads them.
static struct SettingsDefaults {
    SettingsDefaults() { ResetSettings(); }
} settingsDefaults;
