// Creation and teardown of the one SDL window with its OpenGL
// compatibility-profile context (legacy and ARB calls must work), the
// viewport set-up on resize, and the clock and entry-point lookup that the
// rest of the program reaches SDL through. Writes mainWindow, glContext,
// windowWidth and windowHeight.
#include "platform/window.h"
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <X11/Xlib.h>
#include <unistd.h>
#include "base/log.h"
#include "base/services.h"
#include "base/settings.h"

SDL_Window* mainWindow;
void* glContext;
u8 sdlStarted;

// What the renderer needs of the framebuffer: RGBA 8-8-8-8, double buffer,
// at least 16 depth bits, and stencil bits for the brush ring and the seam.
static void RequestPixelFormat() {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 2);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// The fixed state every later drawer starts from.
static void SetInitialGLState() {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
    glClearDepth(1.0);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_CULL_FACE);
}

static bool CreateContext() {
    glContext = SDL_GL_CreateContext(mainWindow);
    if (!glContext) {
        LogPrint("#### CreateGLWindow: failed to create GL context: %s", SDL_GetError());
        return false;
    }
    if (SDL_GL_MakeCurrent(mainWindow, glContext) != 0) {
        LogPrint("#### CreateGLWindow: failed to make GL context current: %s", SDL_GetError());
        return false;
    }
    return true;
}

// Xlib ends the process with exit() once this handler returns, and exit's
// destructors would meet the running worker threads and abort with a core
// dump. Leave at once instead: the crash marker and the restore file stay,
// so the next start offers the autosaved sculpture back.
static int DisplayLost(Display*) {
    LogBeginVerbose(0);
    LogPrint("*** lost the connection to the X display");
    _exit(1);
}

bool CreateGLWindow(const char* title, i32 width, i32 height) {
    LogPrint("CreateGLWindow: start");
    XSetIOErrorHandler(DisplayLost);
    if (!sdlStarted) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            LogPrint("#### CreateGLWindow: SDL video failed: %s", SDL_GetError());
            ShowMessageBox("Could not create window", "ERROR", MESSAGE_EXCLAMATION_OK);
            return false;
        }
        sdlStarted = 1;
    }
    RequestPixelFormat();
    mainWindow = SDL_CreateWindow(title, windowX, windowY, width, height,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!mainWindow) {
        LogPrint("#### CreateGLWindow: %s", SDL_GetError());
        DestroyGLWindow();
        ShowMessageBox("Could not create window", "ERROR", MESSAGE_EXCLAMATION_OK);
        return false;
    }
    LoadWindowIcon();
    // A context failure is only logged: it shows up as the extension failure.
    CreateContext();
    SDL_ShowWindow(mainWindow);
    SDL_RaiseWindow(mainWindow);
    Resize(width, height);
    if (windowMaximized) SDL_MaximizeWindow(mainWindow);
    if (glContext) {
        SetInitialGLState();
        SDL_GL_SetSwapInterval(0);  // never wait for the vertical retrace
    }
    return true;
}

void DestroyGLWindow() {
    if (glContext) {
        LogPrint("delete OpenGL context");
        SDL_GL_MakeCurrent(mainWindow, nullptr);
        SDL_GL_DeleteContext(glContext);
        glContext = nullptr;
    }
    if (mainWindow) {
        LogPrint("destroy main window");
        SDL_DestroyWindow(mainWindow);
        mainWindow = nullptr;
    }
    if (sdlStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_Quit();
        sdlStarted = 0;
    }
}

void Resize(i32 width, i32 height) {
    if (width != -1 && height != -1) {
        windowWidth = width;
        windowHeight = height == 0 ? 1 : height;  // minimised: keep the aspect finite
    }
    if (!glContext) return;
    glViewport(0, 0, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, windowWidth, windowHeight, 0, 1, -1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool IsWindowMaximized() {
    return mainWindow && (SDL_GetWindowFlags(mainWindow) & SDL_WINDOW_MAXIMIZED);
}

void* GLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

u32 TimeMs() { return SDL_GetTicks(); }
