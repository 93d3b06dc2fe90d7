// Shared by the picture generators: colour arithmetic in linear light, a
// seeded per-pixel hash for dither and noise, and an RGBA image written as
// an 8-bit PNG. Header-only: each generator is one small program.
#pragma once
#include <png.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

typedef uint8_t u8;
typedef uint32_t u32;

// ================================================================ colour math

struct Col {
    float r, g, b;
};
static inline Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
static inline Col operator*(Col a, Col b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
static inline Col operator*(Col a, float s) { return {a.r * s, a.g * s, a.b * s}; }
static inline Col Mix(Col a, Col b, float t) { return a * (1 - t) + b * t; }

struct V3 {
    float x, y, z;
};
static inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
static inline V3 Norm(V3 a) {
    float l = std::sqrt(Dot(a, a));
    return {a.x / l, a.y / l, a.z / l};
}
static inline float Clamp01(float x) { return std::min(1.0f, std::max(0.0f, x)); }
static inline float SmoothStep(float a, float b, float x) {
    float t = Clamp01((x - a) / (b - a));
    return t * t * (3 - 2 * t);
}

// Linear light to an sRGB byte, with a little noise so gradients do not band.
static inline u8 ToByte(float linear, float dither) {
    float c = Clamp01(linear);
    float s = c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f;
    return (u8)std::lround(std::min(255.0f, std::max(0.0f, s * 255 + dither)));
}

// Soft shoulder so highlights roll off instead of clipping to flat white.
static inline Col ToneMap(Col c) {
    auto f = [](float x) {
        return x < 0.75f ? x : 0.75f + 0.25f * (1 - std::exp(-(x - 0.75f) / 0.25f));
    };
    return {f(c.r), f(c.g), f(c.b)};
}

static inline u32 Hash(u32 x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}
// Uniform in [-0.5, 0.5), fixed per pixel and channel.
static inline float Dither(int x, int y, int channel, u32 seed) {
    return (Hash((u32)x * 73856093U ^ (u32)y * 19349663U ^ (u32)channel * 83492791U ^ seed) &
            0xFFFF) /
               65536.0f -
           0.5f;
}

// ================================================================ PNG writing

struct Image {
    int width, height;
    std::vector<u8> rgba;  // top row first
    void Set(int x, int y, Col c, float alpha, u32 seed) {
        u8* p = &rgba[((size_t)y * width + x) * 4];
        p[0] = ToByte(c.r, Dither(x, y, 0, seed));
        p[1] = ToByte(c.g, Dither(x, y, 1, seed));
        p[2] = ToByte(c.b, Dither(x, y, 2, seed));
        p[3] = (u8)std::lround(Clamp01(alpha) * 255);
    }
};

static inline Image MakeImage(int w, int h) {
    return Image{w, h, std::vector<u8>((size_t)w * h * 4)};
}

static inline bool WritePng(const std::string& path, const Image& img) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < img.height; y++)
        png_write_row(png, (png_const_bytep)&img.rgba[(size_t)y * img.width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return true;
}
