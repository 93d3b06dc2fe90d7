// Loading of the GL extension entry points by name, through the loader the
// window layer hands in (render/ never calls the window layer itself).
// Owns the arb:: pointer table.
#include "render/glext.h"
#include <cstring>
#include "base/log.h"

namespace arb {
PFNGLGENBUFFERSARBPROC glGenBuffersARB;
PFNGLBUFFERDATAARBPROC glBufferDataARB;
PFNGLBUFFERSUBDATAARBPROC glBufferSubDataARB;
PFNGLBINDBUFFERARBPROC glBindBufferARB;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;
PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB;
PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB;
PFNGLUNIFORM3FARBPROC glUniform3fARB;
PFNGLUNIFORM1FARBPROC glUniform1fARB;
PFNGLUNIFORM1IARBPROC glUniform1iARB;
PFNGLVERTEXATTRIB3FARBPROC glVertexAttrib3fARB;
PFNGLENABLEVERTEXATTRIBARRAYARBPROC glEnableVertexAttribArrayARB;
PFNGLVERTEXATTRIBPOINTERARBPROC glVertexAttribPointerARB;
PFNGLDISABLEVERTEXATTRIBARRAYARBPROC glDisableVertexAttribArrayARB;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
}  // namespace arb

static GLLoader loader;

template <typename T>
static bool Load(T& pointer, const char* name) {
    pointer = (T)loader(name);
    return pointer != nullptr;
}

// On X11 the driver hands out a pointer for any name it is asked for, so a
// non-null pointer proves nothing: the extension must also be advertised.
// No extension string at all means there is no working GL context.
static bool Advertised(const char* name) {
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    return extensions && strstr(extensions, name);
}

bool InitBufferExtensions(GLLoader glLoader) {
    loader = glLoader;
    bool ok = Advertised("GL_ARB_vertex_buffer_object");
    ok &= Load(arb::glGenBuffersARB, "glGenBuffersARB");
    ok &= Load(arb::glBufferDataARB, "glBufferDataARB");
    ok &= Load(arb::glBufferSubDataARB, "glBufferSubDataARB");
    ok &= Load(arb::glBindBufferARB, "glBindBufferARB");
    ok &= Load(arb::glDeleteBuffersARB, "glDeleteBuffersARB");
    if (!ok) LogPrint("Failed to init general extensions");
    return ok;
}

bool LoadMultitextureExtensions() {
    if (!loader) return false;
    bool ok = Advertised("GL_ARB_multitexture");
    ok &= Load(arb::glActiveTextureARB, "glActiveTextureARB");
    ok &= Load(arb::glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
    return ok;
}

// Whether the shader extensions are advertised is the caller's check: it
// reports that step on its own.
bool LoadShaderExtensions() {
    if (!loader) return false;
    bool ok = Load(arb::glCreateProgramObjectARB, "glCreateProgramObjectARB");
    ok &= Load(arb::glCreateShaderObjectARB, "glCreateShaderObjectARB");
    ok &= Load(arb::glGetObjectParameterivARB, "glGetObjectParameterivARB");
    ok &= Load(arb::glShaderSourceARB, "glShaderSourceARB");
    ok &= Load(arb::glCompileShaderARB, "glCompileShaderARB");
    ok &= Load(arb::glLinkProgramARB, "glLinkProgramARB");
    ok &= Load(arb::glUseProgramObjectARB, "glUseProgramObjectARB");
    ok &= Load(arb::glAttachObjectARB, "glAttachObjectARB");
    ok &= Load(arb::glGetInfoLogARB, "glGetInfoLogARB");
    ok &= Load(arb::glGetUniformLocationARB, "glGetUniformLocationARB");
    ok &= Load(arb::glGetAttribLocationARB, "glGetAttribLocationARB");
    ok &= Load(arb::glUniform3fARB, "glUniform3fARB");
    ok &= Load(arb::glUniform1fARB, "glUniform1fARB");
    ok &= Load(arb::glUniform1iARB, "glUniform1iARB");
    ok &= Load(arb::glVertexAttrib3fARB, "glVertexAttrib3fARB");
    ok &= Load(arb::glEnableVertexAttribArrayARB, "glEnableVertexAttribArrayARB");
    ok &= Load(arb::glVertexAttribPointerARB, "glVertexAttribPointerARB");
    ok &= Load(arb::glDisableVertexAttribArrayARB, "glDisableVertexAttribArrayARB");
    ok &= Load(arb::glDeleteObjectARB, "glDeleteObjectARB");
    return ok;
}
