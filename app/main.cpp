// Program entry: the command line (a file to open, --help, --version),
// settings and log, the window and GL context, the tablet,
// start-up, the main loop (pump events, frame logic, render), and the
// orderly end: Shutdown, tablet stop, window teardown. The loop never waits
// for events: pacing lives in the frame itself.
#include <cstdio>
#include <cstring>
#include "app/app.h"
#include "app/config.h"
#include "app/framelogic.h"
#include "app/guilogic.h"
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
    ReadConfig(UserFilePath("config.txt"));
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
        UpdateGui();  // the clicks it finds are acted on by the next FrameLogic
        typedChar = 0;
        quitRequested = 0;
        RenderFrame();
        paintCount = 0;
        if (quitSeen) break;
    }
}

static const char usage[] =
    "Usage: tessaform [FILE]\n"
    "A desktop 3D sculpting program. FILE, when given, is opened at start:\n"
    "a sculpture (.tf1), or a Wavefront OBJ model (.obj) to import.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

// The file to open at start (null for none) from the arguments; false with
// the exit code set when the program should end at once.
static bool ReadArguments(int argc, char** argv, const char** file, int* exitCode) {
    *file = nullptr;
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!optionsEnded && strcmp(a, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && strcmp(a, "--help") == 0) {
            fputs(usage, stdout);
            *exitCode = 0;
            return false;
        } else if (!optionsEnded && strcmp(a, "--version") == 0) {
            puts("Tessaform alpha");
            *exitCode = 0;
            return false;
        } else if ((!optionsEnded && a[0] == '-' && a[1]) || *file) {
            fprintf(stderr, "tessaform: unexpected argument '%s'\n%s", a, usage);
            *exitCode = 2;
            return false;
        } else {
            *file = a;
        }
    }
    return true;
}

int main(int argc, char** argv) {
    const char* startFile = nullptr;
    int exitCode = 0;
    if (!ReadArguments(argc, argv, &startFile, &exitCode)) return exitCode;
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
    if (startFile) OpenStartFile(startFile);
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
