// Text on screen: the font image as a GL texture per slot, and strings drawn
// as one textured quad per character in the pixel projection. The glyph
// tables and widths are window-free (base/font.h). Main thread only.
#pragma once
#include "base/font.h"

// GL texture of each font slot; NO_TEXTURE while none is loaded (LoadFont,
// ReleaseFonts). Without one, text is measured but draws nothing.
extern u32 fontTexture[FONT_SLOTS];
// Sees every string drawn, before its quads (null in the program; the tests
// read the overlay's text through it).
extern void (*textObserver)(f32 x, f32 y, f32 size, const char* text);

// Loads the TGA font image into the slot's texture and measures its glyphs;
// false, leaving the slot without a font, when the file is missing or bad.
bool LoadFont(i32 slot, const char* path);
void ReleaseFonts();
// Top-left corner at (x, y) pixels; size 0.5 draws glyphs at their pixel
// size. The colour and blending in force apply.
void DrawString(i32 slot, f32 x, f32 y, f32 size, const char* text);
// printf-style, with slot 0; text beyond the 255th byte is cut.
void DrawText(f32 x, f32 y, f32 size, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void DrawTextAt(i32 x, i32 y, f32 size, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
