// Brush record storage and start values.
#include "tools/brush.h"

#include <cstring>

Brush brush;
u8 strokeActive;

void ResetBrush() {
    memset(&brush, 0, sizeof brush);
    brush.radius = 40;
    brush.strength = 1;
}
