// Per-frame logic: input, view control, brush update, commands, stroke
// application and the refinement cycle that relaxes the mesh after edits.
#pragma once
#include "app/base.h"

// One frame; returns false to end the program.
bool FrameLogic();
// Rebuilds the window title from fileName and modified.
void SetWindowTitle();
