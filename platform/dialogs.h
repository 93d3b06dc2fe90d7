// Open and save dialogs for the window services (app/services.h).
#pragma once

// Points the SaveFileDialog/OpenFileDialog services at the desktop's dialogs.
void InstallFileDialogs();
