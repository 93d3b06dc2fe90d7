// Surface brushes: DRAW, SMOOTH, INFLATE, FLATTEN, PINCH, CREASE (to be filled in).
#include "tools/tools.h"

void DrawTool(Brush&) {}
void SmoothTool(Brush&) {}
void InflateTool(Brush&) {}
void FlattenTool(Brush&) {}
void PinchTool(Brush&) {}
void CreaseTool(Brush&) {}
