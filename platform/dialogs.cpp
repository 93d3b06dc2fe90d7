// File dialogs (to be filled in: until then the services keep cancelling).
#include "platform/dialogs.h"

void InstallFileDialogs() {}
