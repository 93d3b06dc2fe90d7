// The bitmap font's window-free half: the glyph table of each font slot,
// the TGA reader and glyph measurement that fill it, and text formatting
// and widths. The renderer (render/font.h) uploads the image and draws
// quads from these tables; nothing here touches GL.
#pragma once
#include <cstdarg>
#include <cstddef>
#include "base/base.h"

// Glyph g stands for character code 32 + g: 0 is the space, 1 .. 109 are
// codes 33 .. 141 as they stand left to right in the image.
enum { FONT_SLOTS = 2, GLYPH_COUNT = 110, FIRST_GLYPH_CODE = 32, TEXT_BUFFER_SIZE = 256 };

// ---- glyph tables per slot (written by MeasureGlyphs; all 0 while no font is loaded)
extern i32 fontImageWidth[FONT_SLOTS];           // pixels: the divisor of texture u
extern i32 fontHeight[FONT_SLOTS];               // pixels: image height = glyph height
extern i32 glyphLeft[FONT_SLOTS][GLYPH_COUNT];   // first pixel column of each glyph
extern i32 glyphWidth[FONT_SLOTS][GLYPH_COUNT];  // pixels

// Decodes an uncompressed true-colour TGA (type 2, 24 or 32 bits) into RGBA
// rows in file order (not flipped). 24-bit pixels get alpha 255, except the
// key colour red 128, green 0, blue 128, which is transparent. Null, with a
// "***" log line, for any other type or depth, a truncated file or absurd
// dimensions. The caller frees the result with free().
u8* DecodeTga(const u8* data, size_t size, i32* width, i32* height);
// Reads the file and decodes it; null when it is missing (silently) or bad.
u8* ReadTga(const char* path, i32* width, i32* height);
// Fills the slot's table from the alpha of RGBA pixels: glyphs are runs of
// columns with some alpha, separated by fully transparent columns.
void MeasureGlyphs(i32 slot, const u8* rgba, i32 width, i32 height);
void ClearGlyphs(i32 slot);

// The glyph of a character after the six-letter remapping (Å Ä Ö å ä ö of
// Latin-1 stand at codes 128 .. 133), or -1 when the font has none.
i32 GlyphOf(u8 code);
// Pen advance of one character in unscaled pixels; a character without a
// glyph advances like a space.
i32 GlyphAdvance(i32 slot, u8 code);
// printf into out (TEXT_BUFFER_SIZE bytes), cut short rather than overrun.
void FormatText(char* out, const char* format, va_list args);
// Sum of the advances of the formatted text, in unscaled pixels.
i32 TextWidth(i32 slot, const char* format, ...) __attribute__((format(printf, 2, 3)));
i32 StringWidth(i32 slot, const char* text);
