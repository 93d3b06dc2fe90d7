// Per-frame logic (to be filled in): for now a frame only counts towards the
// crash marker.
#include "app/framelogic.h"
#include "app/app.h"

bool FrameLogic() {
    CountStartupFrame();
    return true;
}

void SetWindowTitle() {}
