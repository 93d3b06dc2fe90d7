// The interface's logic, without a window: where the buttons and sliders
// are, what the pointer hovers, presses and drags, the radial pop-up's
// values and fade. Writes the records of base/guistate.h; the interface
// pass (render/gui.cpp) draws them, the frame logic acts on the clicks in
// the next frame.
#pragma once
#include "base/base.h"

// ---- fixed places, pixels from the window's top left
inline constexpr f32 GUI_BAR_X = 100, GUI_BAR_Y = 17;   // top bar origin
inline constexpr f32 GUI_GRID_X = 40, GUI_GRID_Y = 40;  // button grid origin
// The pointer is over the button panel left of and above these, or over the top bar.
inline constexpr f32 GUI_PANEL_RIGHT = 125, GUI_PANEL_BOTTOM = 265;
inline constexpr f32 GUI_BAR_RIGHT = 640, GUI_BAR_BOTTOM = 75;

// x <= point.x < x + w and y <= point.y < y + h.
bool InRect(Vec3 point, f32 x, f32 y, f32 w, f32 h);
// Labels, icon cells and glow of the 40 records, and the detail slider
// from detailBias (start-up, after ResetGuiState).
void InitGuiButtons();
// One frame of the interface logic; runs after FrameLogic and before the
// frame is drawn. Ends by clearing guiButtonPressed (and guiCaptured once
// the button is up).
void UpdateGui();
