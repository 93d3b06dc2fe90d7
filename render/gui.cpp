// The on-screen interface: not built yet, so a frame has no overlay.
#include "render/gui.h"

void DrawGui() {}
