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
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB;
PFNGLENABLEVERTEXATTRIBARRAYARBPROC glEnableVertexAttribArrayARB;
PFNGLDISABLEVERTEXATTRIBARRAYARBPROC glDisableVertexAttribArrayARB;
PFNGLVERTEXATTRIBPOINTERARBPROC glVertexAttribPointerARB;
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
static bool HasBufferObjects() {
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    return extensions && strstr(extensions, "GL_ARB_vertex_buffer_object");
}

bool InitBufferExtensions(GLLoader glLoader) {
    loader = glLoader;
    bool ok = HasBufferObjects();
    ok &= Load(arb::glGenBuffersARB, "glGenBuffersARB");
    ok &= Load(arb::glBufferDataARB, "glBufferDataARB");
    ok &= Load(arb::glBufferSubDataARB, "glBufferSubDataARB");
    ok &= Load(arb::glBindBufferARB, "glBindBufferARB");
    ok &= Load(arb::glDeleteBuffersARB, "glDeleteBuffersARB");
    if (!ok) LogPrint("Failed to init general extensions");
    return ok;
}
