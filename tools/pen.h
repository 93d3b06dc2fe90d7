// Pen pressure rules shared by the tablet reader (platform/) and the frame
// logic: how a raw pressure reading becomes tabletPressure (0..255, -1 = a
// mouse button went down without pen pressure) and how the frame turns that
// into a 0..1 strength factor. Window-free so the rules can be tested.
// Writes tabletPressure and penInProximity of base/input.h.
#pragma once
#include "base/base.h"

// Raw reading in [minimum, maximum] -> 0..255, rounded; an empty range reads 0.
i32 ScalePenPressure(double value, double minimum, double maximum);
// A pen event with buttons (tip or barrel) held stores scaled + 1, at most 255;
// without buttons the last pressure stays.
void PenPacket(u32 buttons, i32 scaled);
// Mouse button pressed: a pen that reported nothing counts as a mouse (-1).
void PenMouseDown();
// Mouse button released, or the window's focus changed: no pressure.
void PenMouseUp();
void PenProximity(u8 inProximity);
// 1.0 without a pen; pressure / 255 while the pen is near; a mouse click
// (negative pressure) reads full.
f32 PenPressureForFrame();
