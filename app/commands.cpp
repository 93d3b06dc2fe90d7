// File and undo commands of the frame logic: save, open, export, import, undo
// and the mask fill. A failed save, open, export or import is told to the
// user and changes nothing: the sculpture, `modified` and `fileName` stay as
// they were. Writes `modified`, `fileName` and the render flags; the frame
// logic adds its own side effects.
#include "app/commands.h"
#include <cstdio>
#include <cstring>
#include "app/app.h"
#include "app/framelogic.h"
#include "base/services.h"
#include "mesh/history.h"
#include "mesh/mesh.h"
#include "mesh/meshfile.h"
#include "mesh/objfile.h"
#include "tools/tools.h"

static void TakeFileName(const char* path) { snprintf(fileName, sizeof fileName, "%s", path); }

bool SaveCommand(bool fromKeys, bool shiftHeld) {
    char path[512];
    if (fromKeys && !shiftHeld && fileName[0]) {
        snprintf(path, sizeof path, "%s", fileName);
    } else if (!SaveFileDialog(path, (i32)sizeof path, 0, nullptr)) {
        return false;
    }
    if (!SaveMesh(path)) {
        ShowMessageBox("Could not save the file.", "Error", MESSAGE_ERROR_OK);
        return false;
    }
    modified = 0;
    TakeFileName(path);
    SetWindowTitle();
    return true;
}

// The file dialog, then the operation on the chosen file; a failure is told
// to the user. The readers check a whole file before they replace anything.
static bool AskAndRun(bool (*dialog)(char* out, i32 outSize, i32 kind, const char* title), i32 kind,
                      const char* title, bool (*run)(const char* path), const char* failure,
                      char (&path)[512]) {
    if (!dialog(path, (i32)sizeof path, kind, title)) return false;
    if (run(path)) return true;
    ShowMessageBox(failure, "Error", MESSAGE_ERROR_OK);
    return false;
}

bool OpenSculptureFile(const char* path) {
    if (!LoadMesh(path)) {
        ShowMessageBox("Could not open the file.", "Error", MESSAGE_ERROR_OK);
        return false;
    }
    ClearUndoRing();
    modified = 0;
    TakeFileName(path);
    SetWindowTitle();
    return true;
}

bool OpenCommand() {
    char path[512];
    return OpenFileDialog(path, (i32)sizeof path, 0, nullptr) && OpenSculptureFile(path);
}

bool UndoCommand() { return UndoStep(); }

bool RedoCommand() { return RedoStep(); }

void MaskFillCommand() {
    BeginHistoryStep();
    FillOrClearMask();
    // Every vertex's colour changed, not just the workset's; and the masks are
    // part of the file, so the sculpture now has unsaved changes.
    arraysDirty = colorsDirty = fullRebuild = 1;
    modified = 1;
}

bool ExportCommand() {
    char path[512];
    return AskAndRun(SaveFileDialog, 1, "Export", ExportObj, "Could not export the file.", path);
}

bool ImportModelFile(const char* path) {
    if (ImportObj(path)) return true;
    ShowMessageBox("Could not import the file.", "Error", MESSAGE_ERROR_OK);
    return false;
}

bool ImportCommand() {
    char path[512];
    return OpenFileDialog(path, (i32)sizeof path, 1, "Import") && ImportModelFile(path);
}
