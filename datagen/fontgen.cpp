// The font image: glyphs for codes 33 to 141 on one line, rendered by
// FreeType with grey anti-aliasing into the alpha of white pixels. The
// program finds the glyphs by scanning for fully transparent columns and
// advances its pen by each glyph's width plus one, so each glyph's box
// spans its whole advance (ink and side bearings): bearing columns hold an
// alpha of 1 in the top margin, invisible but not empty, which gives the
// text the font's own spacing. One transparent column separates the boxes
// and opens and closes the line. Written as an uncompressed 32-bit TGA,
// bottom row first: the program keeps the file's first row as texture
// row 0 and puts texture v = 1 at the top of each character.
#include <ft2build.h>
#include FT_FREETYPE_H
#include "guiart.h"

static const int PIXEL_SIZE = 14;  // DejaVu Sans at 14 px: cap height 10, line 20
static const int FIRST_CODE = 33, GLYPHS = 109;
// Pixels taken from each right bearing: the header has little room for a
// long tool name.
static const int TIGHTEN = 1;

// Codes past ASCII: 127 a degree sign, 128 to 133 the six letters text
// reaches by remapping, 134 to 141 further Latin-1 letters.
static u32 Unicode(int code) {
    static const u32 beyond[] = {0xB0, 0xC5, 0xC4, 0xD6, 0xE5, 0xE4, 0xF6, 0xDC,
                                 0xFC, 0xC9, 0xE9, 0xD8, 0xF8, 0xD1, 0xF1};
    return code < 127 ? (u32)code : beyond[code - 127];
}

struct Glyph {
    int left, top, width, rows, advance;  // pixels, as FreeType places the bitmap
    std::vector<u8> coverage;
    int boxLeft, boxWidth;  // the columns the glyph takes in the image, relative to its pen
};

static bool RenderGlyph(FT_Face face, int code, Glyph& g) {
    if (FT_Load_Char(face, Unicode(code), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) return false;
    FT_GlyphSlot s = face->glyph;
    g.left = s->bitmap_left;
    g.top = s->bitmap_top;
    g.width = (int)s->bitmap.width;
    g.rows = (int)s->bitmap.rows;
    g.advance = (int)((s->advance.x + 32) >> 6);
    for (int y = 0; y < g.rows; y++)
        for (int x = 0; x < g.width; x++)
            g.coverage.push_back(s->bitmap.buffer[y * s->bitmap.pitch + x]);
    // The pen moves by the box width plus one: one bearing column less on
    // the left keeps the font's advance.
    int bearingLeft = std::max(0, g.left - 1),
        bearingRight = std::max(0, g.advance - g.left - g.width - TIGHTEN);
    g.boxLeft = g.left - bearingLeft;
    g.boxWidth = bearingLeft + g.width + bearingRight;
    return g.width > 0;  // every code must show something
}

// The image as alpha only, top row first.
struct Strip {
    int width, height;
    std::vector<u8> alpha;
};

static Strip Layout(const std::vector<Glyph>& glyphs) {
    int ascent = 0, descent = 0, width = 1;
    for (const Glyph& g : glyphs) {
        ascent = std::max(ascent, g.top);
        descent = std::max(descent, g.rows - g.top);
        width += g.boxWidth + 1;
    }
    Strip s = {width, ascent + descent + 2};
    s.alpha.assign((size_t)s.width * s.height, 0);
    const int baseline = 1 + ascent;
    int pen = 1;
    for (const Glyph& g : glyphs) {
        int x0 = pen - g.boxLeft;  // where the glyph's origin falls
        for (int x = 0; x < g.boxWidth; x++) s.alpha[pen + x] = 1;
        for (int y = 0; y < g.rows; y++)
            for (int x = 0; x < g.width; x++) {
                float c = g.coverage[(size_t)y * g.width + x] / 255.0f;
                // A slightly fuller ramp: the program shows text at 40% to 70% opacity.
                u8 a = (u8)std::lround(std::pow(c, 0.85f) * 255);
                u8& dst = s.alpha[(size_t)(baseline - g.top + y) * s.width + x0 + g.left + x];
                dst = std::max(dst, a);
            }
        pen += g.boxWidth + 1;
    }
    return s;
}

static bool WriteTga(const std::string& path, const Strip& s) {
    std::vector<u8> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    out[12] = s.width & 0xFF;
    out[13] = s.width >> 8;
    out[14] = s.height & 0xFF;
    out[15] = s.height >> 8;
    out[16] = 32;
    out[17] = 8;  // 8 alpha bits, origin bottom left
    for (int y = s.height - 1; y >= 0; y--)
        for (int x = 0; x < s.width; x++)
            out.insert(out.end(), {255, 255, 255, s.alpha[(size_t)y * s.width + x]});
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}

bool WriteFontTga(const std::string& fontFile, const std::string& path) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library)) return false;
    bool ok = !FT_New_Face(library, fontFile.c_str(), 0, &face);
    if (!ok) fprintf(stderr, "cannot open the font %s\n", fontFile.c_str());
    std::vector<Glyph> glyphs(GLYPHS);
    if (ok) {
        FT_Set_Pixel_Sizes(face, 0, PIXEL_SIZE);
        for (int i = 0; i < GLYPHS && ok; i++) {
            ok = RenderGlyph(face, FIRST_CODE + i, glyphs[i]);
            if (!ok) fprintf(stderr, "no glyph for code %d\n", FIRST_CODE + i);
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    if (!ok) return false;
    Strip s = Layout(glyphs);
    // The program's scan gives up on a glyph after as many columns as the
    // image is high, its leading gap and trailing gap included.
    for (int i = 0; i < GLYPHS; i++)
        if (glyphs[i].boxWidth + 2 > s.height) {
            fprintf(stderr, "code %d is %d pixels wide, too wide for a line of %d\n",
                    FIRST_CODE + i, glyphs[i].boxWidth, s.height);
            return false;
        }
    printf("font1024.tga: %d x %d\n", s.width, s.height);
    return WriteTga(path, s);
}
