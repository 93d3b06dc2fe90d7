// Open and save dialogs for the window services (base/services.h), run by the
// desktop's dialog helper (zenity, else kdialog) as a child process.
#pragma once

// Points the SaveFileDialog/OpenFileDialog services at the desktop's dialogs.
void InstallFileDialogs();
// Forgets the name remembered per kind (tests; a run starts with none).
void ForgetDialogNames();
