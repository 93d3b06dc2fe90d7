// GL extension entry points the renderer calls through pointers: the buffer
// objects (required to run), multitexture and the ARB shader objects
// (optional; the shader set-up loads them). Loaded by name from the driver.
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

// ---- multitexture (LoadMultitextureExtensions)
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB;

// ---- shader objects (LoadShaderExtensions). Null or unusable until loaded,
// and only called while shadersActive is set.
extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB;
extern PFNGLUNIFORM3FARBPROC glUniform3fARB;
extern PFNGLUNIFORM1FARBPROC glUniform1fARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;
extern PFNGLVERTEXATTRIB3FARBPROC glVertexAttrib3fARB;
extern PFNGLENABLEVERTEXATTRIBARRAYARBPROC glEnableVertexAttribArrayARB;
extern PFNGLVERTEXATTRIBPOINTERARBPROC glVertexAttribPointerARB;
// Two more than the shader programs strictly need: the scene switches the
// saved-geometry arrays off after each draw, and a rebuild deletes the
// objects it replaces.
extern PFNGLDISABLEVERTEXATTRIBARRAYARBPROC glDisableVertexAttribArrayARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
}  // namespace arb

// Looks up a GL entry point by name: the window layer's, handed in once.
typedef void* (*GLLoader)(const char* name);
// Loads the five buffer-object entry points through the loader, which the
// later optional entry points use too. False (with a log line) when any is
// missing: the renderer cannot draw without them.
bool InitBufferExtensions(GLLoader glLoader);
// The optional groups, through the loader InitBufferExtensions was given.
// False when an entry point is missing or its extension is not advertised;
// they log nothing (the shader set-up tells the story).
bool LoadMultitextureExtensions();
bool LoadShaderExtensions();
