// The sculpting tools: one routine per tool id, each one brush step on the
// mesh (cull, refine, move the vertices in range, mark them changed), and
// the shared pieces they are built from.
#pragma once
#include "app/base.h"
#include "tools/brush.h"

// (1 - cos(3.1415 t)) / 2 on 0..1, clamped outside: the shared falloff.
f32 SmoothStep(f32 t);

void DrawTool(Brush& b);
void SmoothTool(Brush& b);
void GrabTool(Brush& b);
void InflateTool(Brush& b);
void FlattenTool(Brush& b);
void PinchTool(Brush& b);
void MaskTool(Brush& b);
void CreaseTool(Brush& b);
void RotateTool(Brush& b);
void ScaleTool(Brush& b);
void ReduceDetailTool(Brush& b);
