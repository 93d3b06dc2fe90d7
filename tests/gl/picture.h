// Pictures the GL tests look at: frames read back from a window (drawn by
// the test itself or grabbed from a running program) and a PNG writer for
// both the decoder's test files and screenshots a person looks at.
#pragma once
#include <png.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>
#include "base/base.h"

struct Rgb {
    i32 r, g, b;
};
inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
inline i32 MaxDifference(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}
inline std::ostream& operator<<(std::ostream& o, Rgb c) {
    return o << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// One frame read back from a window, top row first.
struct Picture {
    i32 width = 0, height = 0;
    std::vector<u8> rgba;
    Rgb At(i32 x, i32 y) const {
        const u8* p = &rgba[((size_t)y * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
};

// How a PNG is laid out, in libpng's terms. A palette picture also takes
// its palette, and the alpha of its entries when it has a transparency chunk.
struct PngLayout {
    i32 colorType = PNG_COLOR_TYPE_RGBA;
    i32 depth = 8;
    i32 interlace = PNG_INTERLACE_NONE;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
};

// Writes rows of raw samples, packed as the layout says, top row first.
inline bool WritePng(const std::string& path, u32 width, const std::vector<const u8*>& rows,
                     const PngLayout& layout = {}) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, (png_uint_32)rows.size(), layout.depth, layout.colorType,
                 layout.interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), (i32)layout.palette.size());
    if (!layout.paletteAlpha.empty())
        png_set_tRNS(png, info, layout.paletteAlpha.data(), (i32)layout.paletteAlpha.size(),
                     nullptr);
    png_write_info(png, info);
    // libpng only reads the rows, but takes them as writable.
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return true;
}

// Writes a picture as an RGBA PNG (screenshots for a person to look at).
inline bool WritePicturePng(const Picture& p, const std::string& path) {
    std::vector<const u8*> rows;
    for (i32 y = 0; y < p.height; y++) rows.push_back(&p.rgba[(size_t)y * p.width * 4]);
    return WritePng(path, (u32)p.width, rows);
}
