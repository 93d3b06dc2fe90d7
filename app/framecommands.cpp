// Commands of the frame: keys and interface buttons for save, export, open,
// undo, mask, wireframe, detail, symmetry, light, new meshes and import,
// then the material and the tool selection. A key command fires once per
// press: it needs commandLatch clear, and any frame with a command key held
// sets the latch for the next one. Buttons fire on their click alone.
#include <strings.h>
#include <climits>
#include <cstdlib>
#include <cstring>
#include "app/app.h"
#include "app/commands.h"
#include "app/framelogic.h"
#include "app/viewcontrol.h"
#include "base/guistate.h"
#include "base/input.h"
#include "base/services.h"
#include "base/settings.h"
#include "base/view.h"
#include "mesh/history.h"
#include "mesh/mesh.h"
#include "mesh/meshfile.h"
#include "parallel/parallel.h"
#include "tools/brush.h"

// ---- key-command bookkeeping of the running frame
static bool commandFrame;

// A key command: held counts as a command frame; it fires on a clear latch,
// or on a new press of its key (which may follow a command frame at once
// when the frames are slow or the presses quick).
static bool KeyCommand(bool held, i32 key = -1) {
    if (!held) return false;
    commandFrame = true;
    return !commandLatch || (key >= 0 && keysPressed[key]);
}

static bool ButtonClicked(i32 index) {
    if (!guiButtons[index].clicked) return false;
    commandFrame = true;
    return true;
}

static void ToggleBumpShading() {
    if (shiftHeld && bumpShading) {
        bumpShading = 0;
        shaderRebuildWanted = 1;
    } else if (!shiftHeld && !bumpShading) {
        bumpShading = 1;
        shaderRebuildWanted = 1;
    }
    StoreRestState();
    meshChanged = fullRebuild = arraysDirty = 1;
}

// A mesh replaced by a file, a snapshot or a start mesh relaxes afresh, and
// no stroke carries over onto it.
static void RestartRefinement() {
    meshSettled = 0;
    quietBeautifyPasses = 0;
    CancelStroke();
}

// An undone or redone step counts as a change. The mesh is exactly a state
// it had before, normals included, so it is left as it is: relaxing it now
// would change records outside every history step.
static void AfterUndo() {
    RestartRefinement();
    meshSettled = 1;
    modified = 1;
    meshChanged = fullRebuild = arraysDirty = 1;
}

static void ToggleMask() {
    arraysDirty = 1;
    if (currentTool == TOOL_MASK) {
        maskView = 0;
        currentTool = previousTool;
    } else {
        maskView = 1;
        currentTool = TOOL_MASK;
    }
    colorsDirty = 1;
}

static void ToggleDetail() {
    detailEnabled = !detailEnabled;
    if (!detailEnabled) {
        savedDetailBias = detailBias;
        detailBias = 0;
    } else {
        detailBias = savedDetailBias;
    }
    detailPos = (detailBias - 0.1f) * 0.5263158f;
}

// The file, undo, mask, wireframe and detail commands: the latched group.
static void LatchedCommands() {
    commandFrame = false;
    if (KeyCommand(keysHeld[KEY_K], KEY_K)) ToggleBumpShading();
    bool saveKeys = KeyCommand(ctrlHeld && keysHeld[KEY_S], KEY_S);
    if (ButtonClicked(BUTTON_SAVE))
        SaveCommand(false, shiftHeld);
    else if (saveKeys)
        SaveCommand(true, shiftHeld);
    bool exportKeys = KeyCommand(ctrlHeld && keysHeld[KEY_E], KEY_E);
    if (ButtonClicked(BUTTON_EXPORT) || exportKeys) ExportCommand();
    bool openKeys = KeyCommand(ctrlHeld && keysHeld[KEY_O], KEY_O);
    if ((ButtonClicked(BUTTON_OPEN) || openKeys) && ConfirmDiscardChanges("Confirm open") &&
        OpenCommand())
        RestartRefinement();
    bool redoKeys = KeyCommand(ctrlHeld && (keysHeld[KEY_Y] || (shiftHeld && keysHeld[KEY_Z])),
                               keysHeld[KEY_Y] ? KEY_Y : KEY_Z);
    bool undoKeys = KeyCommand(ctrlHeld && !shiftHeld && keysHeld[KEY_Z], KEY_Z);
    if (redoKeys ? RedoCommand() : undoKeys && UndoCommand()) AfterUndo();
    bool maskKey = KeyCommand(typedChar == 'm');
    if (ButtonClicked(BUTTON_MASK) || maskKey) ToggleMask();
    if (KeyCommand(currentTool == TOOL_MASK && keysHeld[KEY_BACKSPACE], KEY_BACKSPACE)) {
        MaskFillCommand();
        arraysDirty = 1;
    }
    bool wireKey = KeyCommand(typedChar == 'w');
    if (ButtonClicked(BUTTON_WIREFRAME) || wireKey) wireframe = !wireframe;
    if (KeyCommand(keysHeld[KEY_TAB], KEY_TAB)) ToggleDetail();
    if (detailBias > 0) detailEnabled = 1;
    commandLatch = commandFrame;
}

// A replaced mesh starts from the start view and refines for three frames
// (idleFrames 28), then settles with one closing pass.
static void AfterMeshReplaced() {
    RunParallel(ClearChangedJob);
    viewOffset = {0, 0, 500};
    viewYaw = 180;
    viewPitch = 0;
    zoom = zoomTarget = 1;
    modified = 0;
    SetWindowTitle();
    RestartRefinement();
    idleFrames = 28;
}

static void NewMesh(i32 meshType) {
    if (!ConfirmDiscardChanges("Confirm new")) return;
    ClearUndoRing();  // undo never reaches back across a new mesh
    startMeshType = meshType;
    fileName[0] = 0;
    BuildStartMesh(meshType);
    AfterMeshReplaced();
    if (meshType == 1) viewPitch = 30;
}

// An imported model is a new, untitled sculpture.
static void AfterImport() {
    ClearUndoRing();
    fileName[0] = 0;
    AfterMeshReplaced();
}

static void Import() {
    if (ConfirmDiscardChanges("Confirm import") && ImportCommand()) AfterImport();
}

void OpenStartFile(const char* path) {
    // Saving goes back to the same file whatever the working folder becomes.
    char full[PATH_MAX];
    if (realpath(path, full)) path = full;
    size_t n = strlen(path);
    if (n >= 4 && strcasecmp(path + n - 4, ".obj") == 0) {
        if (ImportModelFile(path)) AfterImport();
    } else if (OpenSculptureFile(path)) {
        RestartRefinement();
    }
}

void RunCommands() {
    LatchedCommands();
    if (guiButtons[BUTTON_SYMMETRY].clicked) {
        BeginHistoryStep();
        SetSymmetry(!symmetry);
    }
    if (keysHeld[KEY_L]) SetLightFromPointer();
    if (guiButtons[BUTTON_NEW_SPHERE].clicked) NewMesh(0);
    if (guiButtons[BUTTON_NEW_PLANE].clicked) NewMesh(1);
    if (guiButtons[BUTTON_IMPORT].clicked) Import();
}

void UpdateMaterial() {
    if (materialIndex == lastMaterial) return;
    if (materialCount == 0) materialCount = CountMaterials();
    if (materialIndex > materialCount - 1) materialIndex = materialCount - 1;
    // With no image found the line above leaves -1, which names no image.
    if (materialIndex < 0) materialIndex = 0;
    selectedMaterial = materialIndex;
    MaterialImageName(materialImageName, (i32)sizeof materialImageName, materialIndex + 1);
    materialImageWanted = 1;
    lastMaterial = materialIndex;
}

// Tool buttons and typed keys, in the order they are tested (later ones
// override earlier ones in the same frame). Button index = table order.
static const struct {
    i32 button;
    char key;
    i32 tool;
} toolKeys[] = {
    {BUTTON_CREASE, 'e', TOOL_CREASE},   {BUTTON_ROTATE, 'r', TOOL_ROTATE},
    {BUTTON_SCALE, 't', TOOL_SCALE},     {BUTTON_DRAW, 'd', TOOL_DRAW},
    {BUTTON_FLATTEN, 'f', TOOL_FLATTEN}, {BUTTON_GRAB, 'g', TOOL_GRAB},
    {BUTTON_INFLATE, 'c', TOOL_INFLATE}, {BUTTON_PINCH, 'v', TOOL_PINCH},
    {BUTTON_SMOOTH, 'b', TOOL_SMOOTH},   {BUTTON_REDUCE_DETAIL, 'x', TOOL_REDUCE_DETAIL},
};

void SelectTool() {
    bool reduceDetail = false;
    for (const auto& k : toolKeys) {
        if (!guiButtons[k.button].clicked && typedChar != k.key) continue;
        currentTool = k.tool;
        reduceDetail = k.tool == TOOL_REDUCE_DETAIL;
    }
    if (reduceDetail) {
        // Collapsing edges is easier to judge with the edges drawn.
        wireframe = 1;
        previousTool = TOOL_REDUCE_DETAIL;
    } else if (currentTool != TOOL_MASK) {
        previousTool = currentTool;  // leaving mask mode returns here
    }
}
