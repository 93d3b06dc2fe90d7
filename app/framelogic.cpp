// The frame: one pass of input, view control, brush, commands, stroke step
// and refinement, in a fixed order; plus the window title and the question
// asked before unsaved changes are thrown away. After every edit the mesh
// keeps relaxing each frame until it settles, then one closing pass makes the
// settled surface the reference for the next stroke.
#include "app/framelogic.h"
#include <cstdio>
#include <cstring>
#include "app/app.h"
#include "app/autosave.h"
#include "app/viewcontrol.h"
#include "base/guistate.h"
#include "base/input.h"
#include "base/log.h"
#include "base/services.h"
#include "base/settings.h"
#include "base/view.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "tools/brush.h"
#include "tools/pen.h"

u8 commandLatch;
u8 quitKeyLatch;
i32 idleFrames;
u8 detailEnabled = 1;
f32 savedDetailBias;
i32 lastMaterial = -1;
u8 titleMark;
i32 settleCount;

void ResetFrameLogic() {
    commandLatch = quitKeyLatch = 0;
    idleFrames = 0;
    detailEnabled = 1;
    savedDetailBias = 0;
    lastMaterial = -1;
    titleMark = 0;
    settleCount = 0;
    shaderRebuildWanted = materialImageWanted = 0;
    materialImageName[0] = 0;
}

void SetWindowTitle() {
    char title[600];
    char mark = modified ? '*' : ' ';
    if (!fileName[0]) {
        snprintf(title, sizeof title, "Tessaform alpha - Untitled %c", mark);
    } else {
        const char* name = fileName;
        for (const char* c = fileName; *c; c++)
            if (*c == '\\' || *c == '/') name = c + 1;
        snprintf(title, sizeof title, "Tessaform alpha - %s %c", name, mark);
    }
    SetWindowTitleText(title);
}

bool ConfirmDiscardChanges(const char* caption) {
    if (!modified) return true;
    return ShowMessageBox("Changes will be lost, ok?", caption, MESSAGE_EXCLAMATION_OK_CANCEL);
}

static void ReadKeys() {
    PollInputDevices();
    shiftHeld = keysHeld[KEY_LSHIFT] || keysHeld[KEY_RSHIFT];
    ctrlHeld = keysHeld[KEY_LCTRL] || keysHeld[KEY_RCTRL];
    altHeld = keysHeld[KEY_LALT] || keysHeld[KEY_RALT];
    spaceHeld = keysHeld[KEY_SPACE];
}

// Escape and Alt+F4 end the program, but never silently over unsaved work:
// one question per press, and Cancel keeps the session going.
static bool QuitKeysEndProgram() {
    bool quitKeys = keysHeld[KEY_ESCAPE] || (altHeld && keysHeld[KEY_F4]);
    bool ask = quitKeys && !quitKeyLatch;
    quitKeyLatch = quitKeys;
    return ask && ConfirmDiscardChanges("Confirm exit");
}

static void ClosingPass() {
    // The settled surface becomes the reference the next stroke builds on.
    CatchUpRefPositions();
    UpdateNormals();
    RunParallel(ClearChangedJob);
    // Nothing moves until the next stroke: the time to file the mesh for it.
    PrepareBrushIndex(brush.cullHalfSize);
    settleCount++;
}

// Every stroke frame, and every frame after one until the mesh settles
// (at the latest 30 frames later), relaxes the mesh and refreshes lengths.
static void StrokeAndRefine() {
    profileStroke = strokeActive;  // marks the profiler's history while sculpting
    if (strokeActive) {
        modified = 1;
        ApplyTool(brush, currentTool);
        strokeStepCount++;
        meshSettled = 0;
        quietBeautifyPasses = 0;
        idleFrames = 0;
    } else if (meshSettled) {
        return;
    }
    RefinementCycle();
    idleFrames++;
    if (idleFrames > 30) meshSettled = 1;
    if (meshSettled) ClosingPass();
    arraysDirty = 1;
}

bool FrameLogic() {
    ProfileBegin(PROF_MISCLOGIC);
    ReadKeys();
    if (QuitKeysEndProgram()) {
        ProfileEnd();
        return false;
    }
    ViewControl();
    penPressure = PenPressureForFrame();
    UpdateBrush();
    RunCommands();
    UpdateMaterial();
    SelectTool();
    StrokeAndRefine();
    if (modified != titleMark) SetWindowTitle();
    titleMark = modified;
    // The interface logic recomputes this before the next frame; clearing it
    // here keeps a frame's Alt resizing from blocking strokes when no
    // interface logic runs (the headless frame tests).
    pointerOverGui = 0;
    UpdateAutosave();
    LogEndVerbose();
    CountStartupFrame();
    ProfileEnd();
    return true;
}
