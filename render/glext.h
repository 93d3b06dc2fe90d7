// GL extension entry points the renderer calls through pointers: the buffer
// objects (required to run), multitexture and the ARB shader objects
// (optional; the shader programs load them). Loaded by name from the driver.
//
// The pointers live in namespace arb: libGL exports functions with these
// very names, and a global variable of the same name would interpose on them.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

namespace arb {
// ---- buffer objects (InitBufferExtensions)
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
extern PFNGLBUFFERSUBDATAARBPROC glBufferSubDataARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;

// ---- multitexture and shader objects (loaded by the shader programs' set-up;
// null until then, and only used while shadersActive is set)
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB;
extern PFNGLENABLEVERTEXATTRIBARRAYARBPROC glEnableVertexAttribArrayARB;
extern PFNGLDISABLEVERTEXATTRIBARRAYARBPROC glDisableVertexAttribArrayARB;
extern PFNGLVERTEXATTRIBPOINTERARBPROC glVertexAttribPointerARB;
}  // namespace arb

// Looks up a GL entry point by name: the window layer's, handed in once.
typedef void* (*GLLoader)(const char* name);
// Loads the five buffer-object entry points through the loader, which the
// later optional entry points use too. False (with a log line) when any is
// missing: the renderer cannot draw without them.
bool InitBufferExtensions(GLLoader glLoader);
