// File and undo commands of the frame logic. Each runs the whole command,
// dialogs and confirmations included, and reports what it did.
#pragma once
#include "base/base.h"

// Save: from the keys without Shift and with a file name, saves in place;
// otherwise asks for a name. Returns true when the file was written.
bool SaveCommand(bool fromKeys, bool shiftHeld);
// Open: asks for a file (the frame logic has confirmed discarding changes);
// returns true when a sculpture was loaded. A file that fails its check
// leaves everything as it was and is reported to the user.
bool OpenCommand();
// Open without the dialog (the dialog's choice, or a file named at start).
bool OpenSculptureFile(const char* path);
// Undo: writes back the last step of the history; true when there was one.
bool UndoCommand();
// Redo: writes back the first undone step; true when there was one.
bool RedoCommand();
// Backspace with the MASK tool: a history step that fills or clears the mask.
void MaskFillCommand();
// Export: asks for a name and writes the OBJ file; `modified` and
// `fileName` stay. Returns true when the file was written.
bool ExportCommand();
// Import: asks for an OBJ file (the frame logic has confirmed discarding
// changes); returns true when it replaced the sculpture. A file that yields
// no usable triangle leaves everything as it was and is reported to the user.
bool ImportCommand();
// Import without the dialog; the caller clears undo and the file name.
bool ImportModelFile(const char* path);
