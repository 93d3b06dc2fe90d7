// Pen pressure rules: from a raw tablet reading to the frame's strength
// factor. The tablet reader in platform/ calls these with every pen or mouse
// event; FrameLogic reads PenPressureForFrame once per frame.
#include "tools/pen.h"
#include <cmath>
#include "base/input.h"

i32 ScalePenPressure(double value, double minimum, double maximum) {
    double range = maximum - minimum;
    if (!(range > 0)) return 0;  // a device without a usable axis reports nothing
    double scaled = std::round((value - minimum) * 255.0 / range);
    if (scaled < 0) return 0;
    if (scaled > 255) return 255;
    return (i32)scaled;
}

void PenPacket(u32 buttons, i32 scaled) {
    if (!buttons) return;
    tabletPressure = scaled + 1 > 255 ? 255 : scaled + 1;
}

void PenMouseDown() {
    if (tabletPressure == 0) tabletPressure = -1;
}

void PenMouseUp() { tabletPressure = 0; }

void PenProximity(u8 inProximity) { penInProximity = inProximity ? 1 : 0; }

f32 PenPressureForFrame() {
    if (!penInProximity) return 1.0f;
    f32 p = (f32)tabletPressure * 0.003921569f;
    return p < 0 ? 1.0f : p;
}
