// Window services that the window-free logic needs: the title, message boxes
// and file dialogs. platform/ fills these in when the window exists; headless
// runs keep the defaults (title ignored, boxes answer OK, dialogs cancel),
// and tests replace them with doubles.
#pragma once
#include "base/base.h"

enum MessageBoxKind {
    MESSAGE_ERROR_OK,               // error icon, OK
    MESSAGE_EXCLAMATION_OK,         // exclamation icon, OK
    MESSAGE_EXCLAMATION_OK_CANCEL,  // exclamation icon, OK and Cancel
};

// Returns true for OK.
extern bool (*ShowMessageBox)(const char* text, const char* caption, MessageBoxKind kind);
extern void (*SetWindowTitleText)(const char* title);
// kind 0 = sculpture files (*.tf1), 1 = Wavefront OBJ (*.obj). title null = default.
// Writes the chosen full path into out (outSize bytes) and returns true when confirmed.
extern bool (*SaveFileDialog)(char* out, i32 outSize, i32 kind, const char* title);
extern bool (*OpenFileDialog)(char* out, i32 outSize, i32 kind, const char* title);
