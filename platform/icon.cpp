// The window icon: "icon-16.ico" decoded from its first image (an
// uncompressed 32-bit or 24-bit bitmap with its transparency mask) and set
// on the main window. A damaged or unsupported file is logged and the
// window keeps the default icon.
#include <SDL2/SDL.h>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "base/log.h"
#include "platform/window.h"

static u32 ReadU16(const u8* p) { return (u32)p[0] | (u32)p[1] << 8; }
static u32 ReadU32(const u8* p) { return ReadU16(p) | ReadU16(p + 2) << 16; }

enum { ICO_HEADER = 6, ICO_ENTRY = 16, BITMAP_HEADER = 40, MAX_ICON_SIDE = 256 };

static u8* RefuseIcon(const char* why) {
    LogPrint("*** window icon refused: %s", why);
    return nullptr;
}

// Converts the bottom-up colour rows and the 1-bit mask into top-down RGBA.
static void UnpackBitmap(const u8* colour, const u8* mask, i32 w, i32 h, i32 bpp, u8* out) {
    size_t colourStride = ((size_t)w * bpp / 8 + 3) & ~(size_t)3;
    size_t maskStride = (((size_t)w + 31) / 32) * 4;
    for (i32 y = 0; y < h; y++) {
        const u8* row = colour + (size_t)(h - 1 - y) * colourStride;
        const u8* maskRow = mask ? mask + (size_t)(h - 1 - y) * maskStride : nullptr;
        for (i32 x = 0; x < w; x++) {
            const u8* px = row + (size_t)x * (bpp / 8);
            u8* o = out + ((size_t)y * w + x) * 4;
            o[0] = px[2];
            o[1] = px[1];
            o[2] = px[0];
            if (bpp == 32)
                o[3] = px[3];
            else
                o[3] = maskRow && (maskRow[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
        }
    }
}

u8* DecodeIco(const u8* data, size_t size, i32* width, i32* height) {
    if (size < ICO_HEADER + ICO_ENTRY) return RefuseIcon("file too short");
    if (ReadU16(data) != 0 || ReadU16(data + 2) != 1 || ReadU16(data + 4) == 0)
        return RefuseIcon("not an icon file");
    const u8* entry = data + ICO_HEADER;
    u32 bytes = ReadU32(entry + 8), offset = ReadU32(entry + 12);
    if (offset > size || bytes > size - offset || bytes < BITMAP_HEADER)
        return RefuseIcon("image lies outside the file");
    const u8* bmp = data + offset;
    i32 w = (i32)ReadU32(bmp + 4), h2 = (i32)ReadU32(bmp + 8);
    u32 bpp = ReadU16(bmp + 14), compression = ReadU32(bmp + 16);
    if (ReadU32(bmp) != BITMAP_HEADER || compression != 0) return RefuseIcon("unsupported image");
    if (bpp != 32 && bpp != 24) return RefuseIcon("only 24-bit and 32-bit icons are read");
    i32 h = h2 / 2;  // the stored height counts the colour rows and the mask rows
    if (w <= 0 || h <= 0 || w > MAX_ICON_SIDE || h > MAX_ICON_SIDE)
        return RefuseIcon("bad image size");
    size_t colourBytes = (((size_t)w * bpp / 8 + 3) & ~(size_t)3) * h;
    size_t maskBytes = (((size_t)w + 31) / 32) * 4 * h;
    if (BITMAP_HEADER + colourBytes > bytes) return RefuseIcon("image data cut short");
    const u8* mask = BITMAP_HEADER + colourBytes + maskBytes <= bytes
                         ? bmp + BITMAP_HEADER + colourBytes
                         : nullptr;
    u8* rgba = (u8*)malloc((size_t)w * h * 4);
    if (!rgba) return RefuseIcon("out of memory");
    UnpackBitmap(bmp + BITMAP_HEADER, mask, w, h, (i32)bpp, rgba);
    *width = w;
    *height = h;
    return rgba;
}

static bool ReadWholeFile(FILE* f, std::vector<u8>& out) {
    u8 chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
        out.insert(out.end(), chunk, chunk + n);
        if (out.size() > (1u << 20)) return false;  // no icon is this large
    }
    return true;
}

bool LoadWindowIcon() {
    FILE* f = OpenBesideProgram("icon-16.ico", "rb");
    if (!f) {
        LogPrint("*** window icon 'icon-16.ico' not found");
        return false;
    }
    std::vector<u8> bytes;
    bool read = ReadWholeFile(f, bytes);
    fclose(f);
    i32 w = 0, h = 0;
    if (!read) {
        LogPrint("*** window icon refused: file too large");
        return false;
    }
    u8* rgba = DecodeIco(bytes.data(), bytes.size(), &w, &h);
    if (!rgba) return false;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(rgba, w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface) {
        SDL_SetWindowIcon(mainWindow, surface);
        SDL_FreeSurface(surface);
    }
    free(rgba);
    return surface != nullptr;
}
