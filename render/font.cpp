// The font texture and the text quads. A glyph's quad spans the image's
// full height; t = 1 is the top of the quad because the image keeps the
// file's bottom-up row order.
#include "render/font.h"
#include <GL/gl.h>
#include <cstdlib>
#include "render/textures.h"

u32 fontTexture[FONT_SLOTS] = {NO_TEXTURE, NO_TEXTURE};
void (*textObserver)(f32 x, f32 y, f32 size, const char* text);

static void ReleaseFont(i32 slot) {
    if (fontTexture[slot] == NO_TEXTURE) return;
    GLuint old = fontTexture[slot];
    glDeleteTextures(1, &old);
    fontTexture[slot] = NO_TEXTURE;
}

// No mipmaps: glyphs are drawn near their pixel size.
static u32 UploadFontImage(const u8* rgba, i32 width, i32 height) {
    GLuint name = 0;
    glEnable(GL_TEXTURE_2D);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return name;
}

bool LoadFont(i32 slot, const char* path) {
    if (slot < 0 || slot >= FONT_SLOTS) return false;
    i32 width = 0, height = 0;
    u8* rgba = ReadTga(path, &width, &height);
    ReleaseFont(slot);
    ClearGlyphs(slot);
    if (!rgba) return false;
    fontTexture[slot] = UploadFontImage(rgba, width, height);
    MeasureGlyphs(slot, rgba, width, height);
    free(rgba);
    return true;
}

void ReleaseFonts() {
    for (i32 slot = 0; slot < FONT_SLOTS; slot++) ReleaseFont(slot);
}

void DrawString(i32 slot, f32 x, f32 y, f32 size, const char* text) {
    if (textObserver) textObserver(x, y, size, text);
    if (fontTexture[slot] == NO_TEXTURE) return;
    glBindTexture(GL_TEXTURE_2D, fontTexture[slot]);
    const f32 s = 2 * size, h = (f32)fontHeight[slot] * s, imageWidth = (f32)fontImageWidth[slot];
    f32 pen = 0;
    glBegin(GL_QUADS);
    for (const char* c = text; *c; c++) {
        i32 g = GlyphOf((u8)*c);
        if (g > 0) {  // a space is only an advance
            f32 w = (f32)glyphWidth[slot][g], x0 = x + pen * s, x1 = x0 + w * s;
            f32 u0 = (f32)glyphLeft[slot][g] / imageWidth, u1 = u0 + w / imageWidth;
            glTexCoord2f(u0, 1);
            glVertex3f(x0, y - 2, 0);
            glTexCoord2f(u0, 0);
            glVertex3f(x0, y - 2 + h, 0);
            glTexCoord2f(u1, 0);
            glVertex3f(x1, y - 2 + h, 0);
            glTexCoord2f(u1, 1);
            glVertex3f(x1, y - 2, 0);
        }
        pen += (f32)GlyphAdvance(slot, (u8)*c);
    }
    glEnd();
}

static void DrawFormatted(f32 x, f32 y, f32 size, const char* format, va_list args) {
    char text[TEXT_BUFFER_SIZE];
    FormatText(text, format, args);
    DrawString(0, x, y, size, text);
}

void DrawText(f32 x, f32 y, f32 size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    DrawFormatted(x, y, size, format, args);
    va_end(args);
}

void DrawTextAt(i32 x, i32 y, f32 size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    DrawFormatted((f32)x, (f32)y, size, format, args);
    va_end(args);
}
