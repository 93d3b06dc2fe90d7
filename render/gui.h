// The on-screen interface, drawn over the 3D view after both scene passes:
// backdrops, sliders, the radial pop-up, the header, the button grid, the
// statistics, the profiler overlay and ROTATE's handle. It only draws the
// records the interface logic (app/guilogic.cpp) wrote this frame; a
// picture that failed to load leaves its part undrawn.
#pragma once
#include "base/base.h"
#include "render/textures.h"

// ---- the interface's pictures (loaded by SetupGui, released by ReleaseGuiTextures)
extern Texture guiButtonsTexture;  // icon atlas: 16 cells of 1/16 per row, two rows
extern Texture guiShadowTexture;   // backdrop of the panel and the top bar
extern Texture guiButtonShadowTexture;
extern Texture guiSliderTexture;      // slider knob
extern Texture guiBrushIconTexture;   // brush preview in the header
extern Texture guiHoverDiscTexture;   // the pop-up's disc
extern Texture guiDiscSliderTexture;  // the pop-up's knobs

// Loads the seven pictures (start-up).
void SetupGui();
void ReleaseGuiTextures();
void DrawGui();
// One atlas cell centred at (x, y), half size 45 x scale, with the bound texture.
void DrawIcon(i32 cell, f32 x, f32 y, f32 scale, Vec3 color);
