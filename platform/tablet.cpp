// Tablet input (to be filled in: until then pressure reads as the mouse's).
#include "platform/tablet.h"

void StartTablet() {}
void StopTablet() {}
void TabletHandleEvent(const SDL_Event&) {}
