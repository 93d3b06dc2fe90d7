// The undo history: one list of steps (strokes, mask fills, symmetry
// switches), each holding the records it changed as they were before it, so
// undo writes them back and the mesh is exactly as before, topology
// included. A step stays open, collecting every record changed for the
// first time, until the next step opens or the history is moved; the
// settling that follows a stroke therefore belongs to it. Undoing a step
// keeps the records it replaces, so redo writes those back. Main thread only.
#pragma once
#include "base/base.h"

// Steps held, oldest first: 0 .. historyCount-1. The first historyPosition
// are done (undo takes the last of them), the rest are undone (redo takes
// the first of them). Written by the history alone.
extern i32 historyCount;
extern i32 historyPosition;
extern int64_t historyBytes;  // memory the steps hold; kept within undoBudgetMB

// Opens a step for the edit that follows: the open step is closed and the
// undone steps are dropped (a new action ends the redo branch).
void BeginHistoryStep();
// Writes back the last done step; false when there is none.
bool UndoStep();
// Writes back the first undone step; false when there is none.
bool RedoStep();
// Forgets every step: a new mesh, an opened file or an import starts afresh.
void ClearHistory();
