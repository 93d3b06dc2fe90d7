// Glyph tables, TGA decoding and text widths: everything about the font
// that a test can check without a window.
#include "base/font.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "base/log.h"

i32 fontImageWidth[FONT_SLOTS];
i32 fontHeight[FONT_SLOTS];
i32 glyphLeft[FONT_SLOTS][GLYPH_COUNT];
i32 glyphWidth[FONT_SLOTS][GLYPH_COUNT];

// Larger than any font strip the program could want; a header claiming
// more is damage, not a font.
enum { TGA_HEADER_SIZE = 18, TGA_MAX_SIDE = 16384, TGA_MAX_FILE = 64 << 20 };

static i32 Le16(const u8* p) { return p[0] | p[1] << 8; }

static bool TgaRefused(const char* why) {
    LogPrint("*** font image refused: %s", why);
    return false;
}

// Header fields in file order: id length, colour map type, image type,
// colour map description (5), origin (4), width, height, depth, descriptor.
static bool CheckTgaHeader(const u8* data, size_t size, i32* width, i32* height, i32* bytes) {
    if (size < TGA_HEADER_SIZE) return TgaRefused("shorter than its header");
    if (data[2] != 2) return TgaRefused("not uncompressed true colour (type 2)");
    *width = Le16(data + 12);
    *height = Le16(data + 14);
    *bytes = data[16] / 8;
    if (data[16] != 24 && data[16] != 32) return TgaRefused("not 24 or 32 bits per pixel");
    if (*width < 1 || *height < 1 || *width > TGA_MAX_SIDE || *height > TGA_MAX_SIDE)
        return TgaRefused("absurd size");
    size_t need = TGA_HEADER_SIZE + data[0] + (size_t)*width * *height * *bytes;
    if (size < need) return TgaRefused("truncated");
    return true;
}

u8* DecodeTga(const u8* data, size_t size, i32* width, i32* height) {
    i32 w = 0, h = 0, bytes = 0;
    if (!CheckTgaHeader(data, size, &w, &h, &bytes)) return nullptr;
    const u8* in = data + TGA_HEADER_SIZE + data[0];
    u8* rgba = (u8*)malloc((size_t)w * h * 4);
    if (!rgba) return nullptr;
    for (size_t i = 0; i < (size_t)w * h; i++, in += bytes) {
        u8* out = rgba + i * 4;
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        bool key = in[2] == 128 && in[1] == 0 && in[0] == 128;
        out[3] = bytes == 4 ? in[3] : key ? 0 : 255;
    }
    *width = w;
    *height = h;
    return rgba;
}

u8* ReadTga(const char* path, i32* width, i32* height) {
    FILE* f = fopen(path, "rb");
    if (!f) return nullptr;
    u8* data = nullptr;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (size > TGA_MAX_FILE) TgaRefused("file too large");
    if (size >= 0 && size <= TGA_MAX_FILE && fseek(f, 0, SEEK_SET) == 0) {
        data = (u8*)malloc((size_t)size + 1);
        if (data && fread(data, 1, (size_t)size, f) != (size_t)size) size = -1;
    }
    fclose(f);
    u8* rgba = data && size >= 0 ? DecodeTga(data, (size_t)size, width, height) : nullptr;
    free(data);
    return rgba;
}

void ClearGlyphs(i32 slot) {
    fontImageWidth[slot] = fontHeight[slot] = 0;
    memset(glyphLeft[slot], 0, sizeof glyphLeft[slot]);
    memset(glyphWidth[slot], 0, sizeof glyphWidth[slot]);
}

static bool ColumnEmpty(const u8* rgba, i32 width, i32 height, i32 x) {
    if (x >= width) return true;
    for (i32 y = 0; y < height; y++)
        if (rgba[((size_t)y * width + x) * 4 + 3]) return false;
    return true;
}

// One scan left to right; the cursor carries over from glyph to glyph and a
// glyph ends on the first empty column after its run. A run that starts in
// the very first columns (before any gap) is not a glyph; glyphs that touch
// are one glyph.
void MeasureGlyphs(i32 slot, const u8* rgba, i32 width, i32 height) {
    ClearGlyphs(slot);
    fontImageWidth[slot] = width;
    fontHeight[slot] = height;
    glyphWidth[slot][0] = height / 4;
    enum { BEFORE, GAP, INSIDE } state = BEFORE;
    i32 cursor = 0;
    for (i32 g = 1; g < GLYPH_COUNT; g++) {
        i32 left = -1, w = -1;
        for (i32 n = 0; n < height; n++, cursor++) {
            if (ColumnEmpty(rgba, width, height, cursor)) {
                if (state == INSIDE) {
                    state = BEFORE;
                    break;
                }
                state = GAP;
            } else if (state != BEFORE) {
                if (left == -1) left = cursor;
                w = cursor - left + 3;
                state = INSIDE;
            }
        }
        glyphLeft[slot][g] = left == -1 ? 0 : left;
        w = (w == -1 ? height / 4 : w) - 2;
        glyphWidth[slot][g] = w < 0 ? 0 : w;  // a tiny font's missing glyph
    }
}

i32 GlyphOf(u8 code) {
    static const u8 latin1[6] = {197, 196, 214, 229, 228, 246};  // Å Ä Ö å ä ö
    for (i32 i = 0; i < 6; i++)
        if (code == latin1[i]) code = (u8)(128 + i);
    i32 g = code - FIRST_GLYPH_CODE;
    return g >= 0 && g < GLYPH_COUNT ? g : -1;
}

i32 GlyphAdvance(i32 slot, u8 code) {
    i32 g = GlyphOf(code);
    return glyphWidth[slot][g < 0 ? 0 : g] + 1;
}

void FormatText(char* out, const char* format, va_list args) {
    if (vsnprintf(out, TEXT_BUFFER_SIZE, format, args) < 0) out[0] = 0;
}

i32 StringWidth(i32 slot, const char* text) {
    i32 width = 0;
    for (const char* c = text; *c; c++) width += GlyphAdvance(slot, (u8)*c);
    return width;
}

i32 TextWidth(i32 slot, const char* format, ...) {
    char text[TEXT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    FormatText(text, format, args);
    va_end(args);
    return StringWidth(slot, text);
}
