// A review picture of the interface: the pictures drawn as the program
// draws them (textured quads, linear filtering without mipmaps, colour
// modulation, alpha or multiply blending, the font measured from its
// transparent columns and drawn with v = 1 at the top of each character),
// over a stand-in for the 3D view. Below it, the button panel and the top
// bar three times enlarged, pixel for pixel.
#include <cstdarg>
#include "guiart.h"
#include "shapes.h"

// ================================================================ textures and quads

struct Tex {
    int width = 0, height = 0;
    std::vector<float> rgba;  // row 0 is v = 0
};

static Tex FromImage(const Image& img) {
    Tex t{img.width, img.height};
    for (u8 b : img.rgba) t.rgba.push_back(b / 255.0f);
    return t;
}

// Bilinear, repeating: what the program's textures do.
static void Sample(const Tex& t, float u, float v, float out[4]) {
    float x = u * t.width - 0.5f, y = v * t.height - 0.5f;
    int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    float fx = x - x0, fy = y - y0;
    for (int c = 0; c < 4; c++) out[c] = 0;
    for (int k = 0; k < 4; k++) {
        int xi = ((x0 + k % 2) % t.width + t.width) % t.width;
        int yi = ((y0 + k / 2) % t.height + t.height) % t.height;
        float w = (k % 2 ? fx : 1 - fx) * (k / 2 ? fy : 1 - fy);
        for (int c = 0; c < 4; c++) out[c] += w * t.rgba[((size_t)yi * t.width + xi) * 4 + c];
    }
}

struct Screen {
    int width, height;
    std::vector<float> rgb;
};

struct Rgba {
    float r, g, b, a;
};

// A quad from (x, y) to (x + w, y + h) with v0 at its top edge; no texture
// draws plain colour. `multiply` is the (zero, source colour) blend.
static void Quad(Screen& s, const Tex* t, float x, float y, float w, float h, float u0, float v0,
                 float u1, float v1, Rgba colour, bool multiply = false) {
    for (int py = std::max(0, (int)std::floor(y)); py < std::min(s.height, (int)std::ceil(y + h));
         py++)
        for (int px = std::max(0, (int)std::floor(x));
             px < std::min(s.width, (int)std::ceil(x + w)); px++) {
            float fx = (px + 0.5f - x) / w, fy = (py + 0.5f - y) / h;
            if (fx < 0 || fx >= 1 || fy < 0 || fy >= 1) continue;
            float tex[4] = {1, 1, 1, 1};
            if (t) Sample(*t, u0 + (u1 - u0) * fx, v0 + (v1 - v0) * fy, tex);
            float src[4] = {tex[0] * colour.r, tex[1] * colour.g, tex[2] * colour.b,
                            tex[3] * colour.a};
            float* d = &s.rgb[((size_t)py * s.width + px) * 3];
            for (int c = 0; c < 3; c++)
                d[c] = multiply ? d[c] * src[c] : d[c] * (1 - src[3]) + src[c] * src[3];
        }
}

static void Picture(Screen& s, const Tex& t, float x, float y, float w, float h, Rgba colour) {
    Quad(s, &t, x, y, w, h, 0, 0, 1, 1, colour);
}

static void DrawIcon(Screen& s, const Tex& atlas, int cell, float x, float y, float scale,
                     Rgba colour, bool multiply = false) {
    float half = 45 * scale, u = cell / 16.0f, v = cell < 16 ? 0 : 0.5f;
    Quad(s, &atlas, x - half, y - half, 2 * half, 2 * half, u, v, u + 1 / 16.0f, v + 0.5f, colour,
         multiply);
}

// ================================================================ font

struct Font {
    Tex tex;
    int left[110], width[110];
};

// The file's rows in file order, then the glyph table by the program's
// column scan: a glyph is a run of columns with some alpha.
static bool LoadFont(const std::string& path, Font& f) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    u8 h[18];
    bool ok = fread(h, 1, 18, file) == 18 && h[2] == 2 && h[16] == 32;
    Tex& t = f.tex;
    t.width = h[12] | h[13] << 8;
    t.height = h[14] | h[15] << 8;
    std::vector<u8> bgra((size_t)t.width * t.height * 4);
    ok = ok && fseek(file, h[0], SEEK_CUR) == 0 &&
         fread(bgra.data(), 1, bgra.size(), file) == bgra.size();
    fclose(file);
    if (!ok) return false;
    for (size_t i = 0; i < bgra.size(); i += 4)
        t.rgba.insert(t.rgba.end(), {bgra[i + 2] / 255.0f, bgra[i + 1] / 255.0f, bgra[i] / 255.0f,
                                     bgra[i + 3] / 255.0f});
    auto empty = [&](int x) {
        for (int y = 0; y < t.height; y++)
            if (bgra[((size_t)y * t.width + x) * 4 + 3]) return false;
        return true;
    };
    f.left[0] = 0;
    f.width[0] = t.height / 4;
    int x = 0;
    for (int g = 1; g < 110; g++) {
        while (x < t.width && !empty(x)) x++;
        while (x < t.width && empty(x)) x++;
        f.left[g] = x;
        while (x < t.width && !empty(x)) x++;
        f.width[g] = x - f.left[g];
    }
    return true;
}

static int Glyph(unsigned char k) {
    switch (k) {
    case 197: return 128 - 32;
    case 196: return 129 - 32;
    case 214: return 130 - 32;
    case 229: return 131 - 32;
    case 228: return 132 - 32;
    case 246: return 133 - 32;
    }
    return k >= 32 && k <= 141 ? k - 32 : -1;
}

static int TextWidth(const Font& f, const char* text) {
    int w = 0;
    for (const char* c = text; *c; c++)
        w += f.width[Glyph((unsigned char)*c) < 0 ? 0 : Glyph((unsigned char)*c)] + 1;
    return w;
}

static void DrawText(Screen& s, const Font* f, float x, float y, float size, Rgba colour,
                     const char* format, ...) {
    if (!f) return;
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    float pen = 0, scale = 2 * size;
    for (const char* c = text; *c; c++) {
        int g = Glyph((unsigned char)*c);
        if (g < 0) continue;
        float u0 = (float)f->left[g] / f->tex.width, u1 = u0 + (float)f->width[g] / f->tex.width;
        if (g > 0)
            Quad(s, &f->tex, x + pen * scale, y - 2, f->width[g] * scale, f->tex.height * scale, u0,
                 1, u1, 0, colour);
        pen += f->width[g] + 1;
    }
}

// ================================================================ the scene

// Dark backdrop with a lit clay sphere, so text and shadows are seen over dark and light.
static void Backdrop(Screen& s) {
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++) {
            float v = 0.17f - 0.08f * y / s.height;
            float dx = (x - 560) / 120.0f, dy = (y - 210) / 120.0f, r2 = dx * dx + dy * dy;
            Col c = {v, v, v * 1.05f};
            if (r2 < 1) {
                float light = std::max(0.0f, -0.5f * dx - 0.6f * dy + 0.62f * std::sqrt(1 - r2));
                c = Col{0.62f, 0.45f, 0.38f} * (0.15f + 0.85f * light);
            }
            float* d = &s.rgb[((size_t)y * s.width + x) * 3];
            d[0] = c.r, d[1] = c.g, d[2] = c.b;
        }
}

struct Textures {
    Tex atlas, panelShadow, buttonShadow, slider, brushDisc, popupDisc, popupKnob;
};

static void TopBar(Screen& s, const Textures& t, const Font* f) {
    const float bx = 100, by = 17, size = 0.4f, strength = 0.7f, detail = 0.5f, material = 0.25f;
    Picture(s, t.panelShadow, 0, -20, 140, 285, {1, 1, 1, 0.3f});
    Picture(s, t.panelShadow, bx, by, 600, 60, {1, 1, 1, 0.2f});
    const float tracks[4][4] = {
        {155, 19, 140, 3}, {155, 40, 140, 3}, {365, 40, 70, 3}, {450, 40, 70, 3}};
    for (auto& r : tracks)
        Quad(s, nullptr, bx + r[0], by + r[1], r[2], r[3], 0, 0, 1, 1, {0, 0, 0, 0.2f});
    Picture(s, t.slider, bx + 149 + 120 * size, by + 5, 32, 32, {1, 1, 1, 1});
    Picture(s, t.slider, bx + 149 + 120 * strength, by + 26, 32, 32, {1, 1, 1, 1});
    Picture(s, t.slider, bx + 359 + 50 * detail, by + 26, 32, 32, {1, 1, 1, 1});
    Picture(s, t.slider, bx + 444 + 50 * material, by + 26, 32, 32, {1, 1, 1, 1});
    const Rgba label = {1, 1, 1, 0.4f};
    DrawText(s, f, bx + 301, by + 14, 0.5f, label, "Size");
    DrawText(s, f, bx + 301, by + 35, 0.5f, label, "Strength");
    DrawText(s, f, bx + 383, by + 14, 0.5f, label, "Detail");
    DrawText(s, f, bx + 445, by + 14, 0.5f, label, "Material: %i", 2);
    DrawIcon(s, t.atlas, 2, bx + 70, by + 30, 0.8f, {1, 1, 1, 1});
    DrawIcon(s, t.atlas, 26, bx + 71, by + 28, 0.8f, {1, 1, 1, 1}, true);
    DrawIcon(s, t.atlas, 15, bx + 127, by + 32, 0.5f, {0.75f, 0.75f, 0.75f, 1});
    float side = 30 * (0.3f + 0.75f * size);
    Picture(s, t.brushDisc, bx + 127 - side / 2, by + 31 - side / 2, side, side,
            {1, 1, 1, 0.2f + 0.4f * strength});
    if (f)
        DrawText(s, f, bx + 72 - std::min(0.7f * TextWidth(*f, "REDUCE DETAIL") / 2, 45.0f),
                 by + 63, 0.7f, {1, 1, 1, 0.7f}, "REDUCE DETAIL");
    DrawText(s, f, bx + 180, by + 64, 0.6f, {1, 1, 1, 0.5f},
             "Use with caution! Read documentation.txt");
}

static void Buttons(Screen& s, const Textures& t, const Font* f, P2 pointer) {
    static const int cells[21] = {11, 12, 13, 3,  7,  8,  4,  5,  6,  26, 0,
                                  0,  10, 9,  19, 20, 21, 25, 22, 23, 24};
    struct B {
        P2 p;
        float scale, d;
        int i;
    } b[21];
    for (int i = 0; i < 21; i++) {
        int r = i / 3, m = i % 3;
        P2 p = {40.0f + 30 * m, 40.0f + 30 * r + 10 * (r > 2) + 10 * (r > 4)};
        float fz = Clamp01(1 - (Len(p - pointer) - 20) * 0.0125f), k = std::cos(3.1415f * fz);
        float w = 0.5f - 0.5f * (k < 0 ? -1 : 1) * std::pow(std::fabs(k), 0.8f);
        b[i] = {pointer + (p - pointer) * (1 + 0.5f * w), 0.35f + 0.175f * w, 0, i};
        b[i].d = Len(b[i].p - pointer);
    }
    std::sort(b, b + 21, [](const B& x, const B& y) { return x.scale < y.scale; });
    for (const B& x : b) {
        float sc = x.scale;
        // PINCH stands for the hovered button: lit, with its label.
        bool hover = x.i == 7, on = x.i == 14 || x.i == 9;
        Rgba face = hover || on ? Rgba{0.92f, 0.76f, 0.65f, 1} : Rgba{0.7f, 0.7f, 0.7f, 1};
        Picture(s, t.buttonShadow, x.p.x - 53 * sc, x.p.y - 47 * sc, 106 * sc, 102 * sc,
                {1, 1, 1, 0.4f});
        DrawIcon(s, t.atlas, x.i == 19 ? 1 : 0, x.p.x, x.p.y, sc, face);
        if (cells[x.i]) DrawIcon(s, t.atlas, cells[x.i], x.p.x, x.p.y, sc, {1, 1, 1, 1}, true);
        if (hover)
            DrawText(s, f, x.p.x - 35 * sc, x.p.y + 35 * sc, 1.5f * sc, {1, 1, 1, 0.8f},
                     "PINCH [V]");
    }
}

static void Popup(Screen& s, const Textures& t, const Font* f, float cx, float cy) {
    const float size = 0.4f, strength = 0.7f, detail = 0.5f;
    Picture(s, t.popupDisc, cx - 128, cy - 128, 256, 256, {1, 1, 1, 0.6f});
    auto knob = [&](float value, float& a, float& bend) {
        a = 72 * value - 36;
        bend = 70 * (std::cos(std::asin(a / 70)) - 1);
    };
    float a, bend;
    knob(size, a, bend);
    Picture(s, t.popupKnob, cx - 78 - bend, cy - 16 - a, 32, 32, {1, 1, 1, 1});
    knob(strength, a, bend);
    Picture(s, t.popupKnob, cx - 14 + a, cy - 80 - bend, 32, 32, {1, 1, 1, 1});
    knob(detail, a, bend);
    Picture(s, t.popupKnob, cx + 54 + bend, cy - 16 - a, 32, 32, {1, 1, 1, 1});
    DrawText(s, f, cx - 100, cy - 7, 0.5f, {1, 1, 1, 0.5f}, "Size");
    DrawText(s, f, cx - 20, cy - 90, 0.5f, {1, 1, 1, 0.5f}, "Strength");
    DrawText(s, f, cx + 85, cy - 7, 0.5f, {1, 1, 1, 0.5f}, "Detail");
}

bool WriteMockup(const GuiPictures& p, const std::string& fontPath, const std::string& path) {
    Textures t = {FromImage(p.atlas),    FromImage(p.panelShadow), FromImage(p.buttonShadow),
                  FromImage(p.slider),   FromImage(p.brushDisc),   FromImage(p.popupDisc),
                  FromImage(p.popupKnob)};
    Font font;
    const Font* f = LoadFont(fontPath, font) ? &font : nullptr;
    if (!f) fprintf(stderr, "no font at %s: the mock-up has no text\n", fontPath.c_str());
    Screen s = {1000, 440};
    s.rgb.assign((size_t)s.width * s.height * 3, 0);
    Backdrop(s);
    TopBar(s, t, f);
    Buttons(s, t, f, {-1000, 0});
    for (int cell = 0; cell < 32; cell++) {  // every cell on a face, larger than on the panel
        float x = 30 + (cell % 16) * 61.0f, y = cell < 16 ? 345 : 407;
        DrawIcon(s, t.atlas, 0, x, y, 0.65f, {0.7f, 0.7f, 0.7f, 1});
        if (cell > 2 && cell != 15) DrawIcon(s, t.atlas, cell, x, y, 0.65f, {1, 1, 1, 1}, true);
    }
    Popup(s, t, f, 850, 200);
    const Rgba stats = {1, 1, 1, 0.4f};
    DrawText(s, f, 15, 300, 0.5f, stats, "%i triangles", 4096);
    DrawText(s, f, s.width - 60, 15, 0.5f, stats, "%.1f fps", 33.3);
    DrawText(s, f, s.width - 70, 30, 0.5f, stats, "slept %.1f", 12.5);
    DrawText(s, f, 160, 250, 0.5f, {1, 1, 1, 0.9f},
             "The quick brown fox jumps over the lazy dog. 0123456789 %s",
             "\xC5\xC4\xD6 \xE5\xE4\xF6");
    DrawText(s, f, 160, 275, 0.7f, {1, 1, 1, 0.9f},
             "!\"#$%%&'()*+,-./:;<=>?@[\\]^_`{|}~ \x7f\x86\x87\x88\x89\x8a\x8b\x8c\x8d");
    // Output: the scene, then the panel and the top bar at three times.
    const int zoom = 3, zw = 330, zh = 300;
    Image img = MakeImage(s.width, s.height + zh * zoom);
    for (int y = 0; y < img.height; y++)
        for (int x = 0; x < img.width; x++) {
            int sx = y < s.height ? x : x / zoom, sy = y < s.height ? y : (y - s.height) / zoom;
            if (y >= s.height && sx >= zw) continue;
            const float* c = &s.rgb[((size_t)sy * s.width + sx) * 3];
            u8* o = &img.rgba[((size_t)y * img.width + x) * 4];
            o[0] = StoredByte(c[0]), o[1] = StoredByte(c[1]), o[2] = StoredByte(c[2]), o[3] = 255;
        }
    return WritePng(path, img);
}
