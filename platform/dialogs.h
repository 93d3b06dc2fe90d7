// Open and save dialogs for the window services (base/services.h), run by the
// desktop's dialog helper (zenity, else kdialog) as a child process.
#pragma once

// Points the SaveFileDialog/OpenFileDialog services at the desktop's dialogs,
// with no name remembered yet.
void InstallFileDialogs();
// Forgets the name remembered per kind (InstallFileDialogs, tests).
void ForgetDialogNames();
