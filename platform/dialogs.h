// Open and save dialogs for the window services (base/services.h), and the
// stand-in for a message box SDL could not show, run by the desktop's dialog
// helper (zenity, else kdialog) as a child process.
#pragma once
#include "base/services.h"

// Points the SaveFileDialog/OpenFileDialog services at the desktop's dialogs,
// with no name remembered yet.
void InstallFileDialogs();
// Forgets the name remembered per kind (InstallFileDialogs, tests).
void ForgetDialogNames();
// Shows the box through zenity, else kdialog, and sets *answer (true = OK).
// False when neither could show it.
bool HelperMessageBox(const char* text, const char* caption, MessageBoxKind kind, bool* answer);
