// The interface pictures and the font, made by tessaform-guigen. Each
// maker returns the finished picture; main writes them into data/.
#pragma once
#include <string>
#include "picture.h"

// The icon atlas: 16 cells of 64 pixels a row, two rows (guiicons.cpp).
// The program shows a cell at 31 pixels with linear filtering and no
// mipmaps, so 64-pixel cells are the largest that still filter cleanly.
Image MakeIconAtlas();

// The soft backdrops, slider knobs, brush disc and pop-up disc (guigen.cpp).
Image MakePanelShadow();
Image MakeButtonShadow();
Image MakeSliderKnob();
Image MakeBrushDisc();
Image MakePopupDisc();
Image MakePopupKnob();

// Renders the font image with FreeType into `path` (fontgen.cpp; only
// built when FreeType is found). False when the font or the file fails.
bool WriteFontTga(const std::string& fontFile, const std::string& path);

// A picture of the interface put together from the pictures as the program
// draws them, with text from the font file: for reviewing the art (mockup.cpp).
struct GuiPictures {
    Image atlas, panelShadow, buttonShadow, slider, brushDisc, popupDisc, popupKnob;
};
bool WriteMockup(const GuiPictures& pictures, const std::string& fontPath, const std::string& path);
