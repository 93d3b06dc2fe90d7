// Brush record storage and start values.
#include "tools/brush.h"
#include "tools/tools.h"

#include <cstring>

Brush brush;
u8 strokeActive;
i32 currentTool;
i32 previousTool;
u8 maskView;

void ResetBrush() {
    memset(&brush, 0, sizeof brush);
    brush.radius = 40;
    brush.strength = 1;
    strokeActive = grabDragging = 0;
}

f32 SmoothStep(f32 t) {
    if (t < 0) return 0;
    if (t > 1) return 1;
    return (1 - std::cos(3.1415f * t)) / 2;
}
