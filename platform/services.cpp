// The window services of base/services.h on SDL: message boxes (error or
// exclamation icon, OK or OK/Cancel) owned by the main window, shown by the
// desktop's dialog helper when SDL cannot, and the window title. Installed at start-up before the
// window is created, so that a failed creation can still be reported.
#include "base/services.h"
#include <SDL2/SDL.h>
#include <cstdio>
#include "base/log.h"
#include "platform/dialogs.h"
#include "platform/window.h"

enum { BUTTON_OK = 1, BUTTON_CANCEL = 2 };

static bool SdlMessageBox(const char* text, const char* caption, MessageBoxKind kind) {
    const SDL_MessageBoxButtonData ok = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, BUTTON_OK, "OK"};
    const SDL_MessageBoxButtonData cancel = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_CANCEL,
                                             "Cancel"};
    SDL_MessageBoxButtonData buttons[2] = {ok, cancel};
    SDL_MessageBoxData box = {};
    box.flags = kind == MESSAGE_ERROR_OK ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING;
    box.window = mainWindow;
    box.title = caption;
    box.message = text;
    box.numbuttons = kind == MESSAGE_EXCLAMATION_OK_CANCEL ? 2 : 1;
    box.buttons = buttons;
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) == 0) return pressed == BUTTON_OK;
    // SDL draws its boxes with X core fonts, which a display may lack: the
    // desktop's dialog helper shows the box instead. The text goes to the
    // log and stderr too, so it is never lost, even when no helper can reach
    // the display.
    LogBeginVerbose(0);
    LogPrint("*** message box failed (%s): %s: %s", SDL_GetError(), caption, text);
    fprintf(stderr, "tessaform: %s: %s\n", caption, text);
    bool answer = false;
    if (HelperMessageBox(text, caption, kind, &answer)) return answer;
    // Nobody could be asked: a question keeps the user's work.
    return kind != MESSAGE_EXCLAMATION_OK_CANCEL;
}

static void SdlWindowTitle(const char* title) {
    if (mainWindow) SDL_SetWindowTitle(mainWindow, title);
}

void InstallWindowServices() {
    ShowMessageBox = SdlMessageBox;
    SetWindowTitleText = SdlWindowTitle;
}
