// Program entry: settings and log, the window and GL context, the tablet,
// start-up, the main loop (pump events, frame logic, render), and the
// orderly end: Shutdown, tablet stop, window teardown. The loop never waits
// for events: pacing lives in the frame itself.
#include "app/app.h"
#include "app/config.h"
#include "app/framelogic.h"
#include "base/input.h"
#include "base/log.h"
#include "base/settings.h"
#include "platform/appinit.h"
#include "platform/dialogs.h"
#include "platform/keyboard.h"
#include "platform/tablet.h"
#include "platform/window.h"

// A maximised window is always created from the default rectangle.
static void SetDefaultWindowRectangle() {
    windowWidth = 950;
    windowHeight = 650;
    windowX = windowY = 0;
}

// Start-up once the window exists: config.txt again (its window size and
// place replace the default rectangle a maximised window was created from),
// the GL side, then the window-free steps and the title.
static bool InitApp() {
    ReadConfig(AppPath("config.txt"));
    if (!InitGraphics()) return false;
    if (!InitCore()) return false;
    SetWindowTitle();
    LogInitDone();
    return true;
}

// One pass per frame. A quit event (last window closed, SIGTERM) still lets
// its pass run the frame logic and render before the loop ends; a close
// request (once confirmed when there are unsaved changes) or the frame logic
// ends it at once.
static void RunMainLoop() {
    for (;;) {
        windowResized = 0;
        bool quitSeen = !PumpWindowEvents();
        if (quitRequested) {
            // Closing the window must not silently throw away unsaved work.
            if (ConfirmDiscardChanges("Confirm exit")) break;
            // Kept: the quit event that follows closing the last window goes too.
            quitRequested = 0;
            quitSeen = false;
        }
        if (!FrameLogic()) break;
        typedChar = 0;
        quitRequested = 0;
        RenderFrame();
        paintCount = 0;
        if (quitSeen) break;
    }
}

int main() {
    typedChar = 0;
    SetDefaultWindowRectangle();
    windowMaximized = 1;
    LoadSettings();
    if (windowMaximized) SetDefaultWindowRectangle();
    InstallWindowServices();  // before the window, so a failure can be shown
    InstallFileDialogs();
    if (!CreateGLWindow("Tessaform alpha", windowWidth, windowHeight)) return 0;
    mouseX = -1000;
    mouseWheel = 0;
    StartTablet();
    if (!InitApp()) return 0;
    LogPrint("enter message loop ------------ USAGE START");
    RunMainLoop();
    LogPrint("leave message loop ------------ USAGE END");
    windowMaximized = IsWindowMaximized();
    Shutdown();
    StopKeyboard();
    ReleaseGLResources();
    StopTablet();
    DestroyGLWindow();
    LogPrint("end of WinMain() -> exit program");
    return 0;
}
