// File and undo commands (to be filled in: until the file format exists they do nothing).
#include "app/commands.h"

bool SaveCommand(bool, bool) { return false; }
bool OpenCommand() { return false; }
bool UndoCommand() { return false; }
void MaskFillCommand() {}
void ExportCommand() {}
bool ImportCommand() { return false; }
