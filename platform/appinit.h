// The start-up and shutdown steps that need the GL context: GL state,
// extensions, shaders, pictures and buffer objects around the window-free
// steps of app/app.h. Called by the program entry after the window exists.
#pragma once

// The GL side of start-up, after the window: false when the program cannot
// run (the GL buffer objects are missing; the user has been told).
bool InitGraphics();
// Depth test (less-or-equal), back-face culling and the brush quadric.
void InitGLState();
// Deletes the buffer objects, textures and quadric while the context lives.
void ReleaseGLResources();
