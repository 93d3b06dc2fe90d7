// The window services of base/services.h on SDL: message boxes (error or
// exclamation icon, OK or OK/Cancel) owned by the main window, and the
// window title. Installed at start-up before the window is created, so
// that a failed creation can still be reported.
#include "base/services.h"
#include <SDL2/SDL.h>
#include "base/log.h"
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
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        // No display to show it on: the text must not be lost.
        LogPrint("*** message box failed (%s): %s: %s", SDL_GetError(), caption, text);
        return kind != MESSAGE_EXCLAMATION_OK_CANCEL;
    }
    return pressed == BUTTON_OK;
}

static void SdlWindowTitle(const char* title) {
    if (mainWindow) SDL_SetWindowTitle(mainWindow, title);
}

void InstallWindowServices() {
    ShowMessageBox = SdlMessageBox;
    SetWindowTitleText = SdlWindowTitle;
}
