// The GL side of start-up in its fixed order (GL state, keyboard, buffer
// extensions, optional shaders, pictures, buffer objects). The program entry
// runs it before the window-free steps; ReleaseGLResources undoes it before
// the window goes.
#include "platform/appinit.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include "base/input.h"
#include "base/log.h"
#include "base/services.h"
#include "base/settings.h"
#include "platform/keyboard.h"
#include "platform/window.h"
#include "render/font.h"
#include "render/glext.h"
#include "render/gui.h"
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
    if (!InitBufferExtensions(GLProcAddress)) {
        LogPrint("### extensions failed to init!");
        ShowMessageBox("Failed to init extensions.\nNew graphics drivers might help.", "Error",
                       MESSAGE_ERROR_OK);
        return false;
    }
    if (enableShaders && !InitShaders(0)) LogPrint("### shader init failed!");
    LogEndVerbose();
    return true;
}

bool InitGraphics() {
    NameProfileSections(renderProfileSections);
    NameProfileSections(windowProfileSections);
    InitGLState();
    StartKeyboard();
    if (!InitExtensions()) return false;
    LoadStartupTextures();
    SetupGui();
    LoadFont(0, AppPath("data/font1024.tga"));  // without it the interface shows no text
    CreateRenderBuffers();
    return true;
}

void ReleaseGLResources() {
    DeleteRenderBuffers();
    ReleaseTextures();
    ReleaseGuiTextures();
    ReleaseFonts();
    if (brushQuadric) gluDeleteQuadric(brushQuadric);
    brushQuadric = nullptr;
}
