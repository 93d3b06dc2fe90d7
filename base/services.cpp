// Headless defaults of the window services.
#include "base/services.h"

static bool AnswerOk(const char*, const char*, MessageBoxKind) { return true; }
static void IgnoreTitle(const char*) {}
static bool CancelDialog(char*, i32, i32, const char*) { return false; }

bool (*ShowMessageBox)(const char*, const char*, MessageBoxKind) = AnswerOk;
void (*SetWindowTitleText)(const char*) = IgnoreTitle;
bool (*SaveFileDialog)(char*, i32, i32, const char*) = CancelDialog;
bool (*OpenFileDialog)(char*, i32, i32, const char*) = CancelDialog;
