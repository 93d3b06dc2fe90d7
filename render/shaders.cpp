// Shader programs: not built yet. InitShaders refuses, so shadersActive
// stays 0 and every pass uses the fixed-function path.
#include "render/shaders.h"

u8 shadersActive;
u32 currentProgram;

bool InitShaders(u8) { return false; }

void BindShaderProgram(u8) {
    if (!shadersActive) return;
}
