// File and undo commands of the frame logic. Each runs the whole command,
// dialogs and confirmations included, and reports what it did.
#pragma once
#include "app/base.h"

// Save: from the keys without Shift and with a file name, saves in place;
// otherwise asks for a name. Returns true when the file was written.
bool SaveCommand(bool fromKeys, bool shiftHeld);
// Open: asks (and, with unsaved changes, confirms first); returns true when a
// sculpture was loaded.
bool OpenCommand();
// Undo: restores the latest snapshot; returns true when one was restored.
bool UndoCommand();
// Backspace with the MASK tool: snapshot, then fill or clear the mask.
void MaskFillCommand();
// Export and import of OBJ files (not built yet: they do nothing).
void ExportCommand();
bool ImportCommand();
