// InitApp: the GL side of start-up in its fixed order (GL state, keyboard,
// buffer extensions, optional shaders, pictures, buffer objects), then the
// window-free steps (InitCore: storage, start mesh, crash marker, workers)
// and the title. ReleaseGLResources undoes the GL side before the window goes.
#include "platform/appinit.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include "app/app.h"
#include "app/framelogic.h"
#include "app/guistate.h"
#include "app/input.h"
#include "app/log.h"
#include "app/services.h"
#include "app/settings.h"
#include "app/view.h"
#include "platform/keyboard.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/shaders.h"
#include "render/textures.h"

void InitGLState() {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    if (!brushQuadric) brushQuadric = gluNewQuadric();
}

// Without buffer objects nothing can be drawn: tell the user and stop.
static bool InitExtensions() {
    LogBeginVerbose(0);
    if (!InitBufferExtensions()) {
        LogPrint("### extensions failed to init!");
        ShowMessageBox("Failed to init extensions.\nNew graphics drivers might help.", "Error",
                       MESSAGE_ERROR_OK);
        return false;
    }
    if (enableShaders && !InitShaders(0)) LogPrint("### shader init failed!");
    LogEndVerbose();
    return true;
}

bool InitApp() {
    InitGLState();
    StartKeyboard();
    if (!InitExtensions()) return false;
    LoadStartupTextures();
    materialCount = CountMaterials();
    CreateRenderBuffers();
    if (!InitCore()) return false;
    // Wheel steps taken during start-up are not a zoom request.
    prevWheel = mouseWheel;
    frameMouseX = frameMouseY = 0;
    SetWindowTitle();
    LogInitDone();
    return true;
}

void ReleaseGLResources() {
    DeleteRenderBuffers();
    ReleaseTextures();
    if (brushQuadric) gluDeleteQuadric(brushQuadric);
    brushQuadric = nullptr;
}
