// The GLSL programs (normal and mirrored) and their per-pass selection.
// Until they are built (InitShaders), shadersActive stays 0 and the scene
// draws with the fixed-function light.
#pragma once
#include "base/base.h"

extern u8 shadersActive;    // 1 once both programs have linked; never cleared
extern u32 currentProgram;  // program of the pass being drawn; stays 0 until the programs exist

// Builds both programs with the plain or the bump fragment shader.
bool InitShaders(u8 bump);
// Selects and parameterises the program for a pass; nothing without shadersActive.
void BindShaderProgram(u8 mirrored);
