// Transform brushes: GRAB, ROTATE, SCALE (not built yet; a step does nothing).
#include "tools/tools.h"

void GrabTool(Brush&) {}
void RotateTool(Brush&) {}
void ScaleTool(Brush&) {}
