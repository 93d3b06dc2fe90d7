// Pictures: PNG files decoded to 8-bit RGBA and held as mipmapped GL
// textures. The decode is GL-free (DecodePng) so it can be tested on its
// own; the holders upload and own their GL names. Main thread only.
#pragma once
#include "base/base.h"

enum : u32 { NO_TEXTURE = 0xFFFFFFFFu };  // name of a holder without a texture

enum TextureFlags {
    TEXTURE_NEAREST = 1,  // nearest filtering for minification and magnification
    TEXTURE_CLAMP = 2,    // clamp coordinates to the edge instead of repeating
    TEXTURE_LINEAR = 4,   // linear filtering (the mipmaps are built but not sampled)
};

struct Texture {
    u32 name = NO_TEXTURE;  // GL texture name; NO_TEXTURE while none has been made
    i32 width = 0;          // pixels
    i32 height = 0;         // pixels

    // Replaces the texture with these RGBA pixels (row 0 = top, t = 0);
    // returns gluBuild2DMipmaps' result (0 = success). The caller keeps the pixels.
    i32 Upload(const u8* pixels, i32 w, i32 h, i32 flags);
    // Decodes and uploads a PNG; false (holder unchanged) when the file is
    // missing or cannot be decoded.
    bool LoadPng(const char* path, i32 flags);
    u32 Handle() const { return name; }
    // Deletes the GL texture (needs the GL context; shutdown calls it first).
    void Release();
};

// ---- the program's pictures (loaded by LoadStartupTextures, the material
// reloaded by ServeRenderRequests, all released by ReleaseTextures)
extern Texture backgroundTexture;  // "data/background.png"
extern Texture materialTexture;    // the selected material's image (MaterialImageName)
extern Texture noiseTexture;       // "data/noisemap2.png"

// Reads a PNG of any colour type and depth into 8-bit RGBA rows, top row
// first. Null when the file is missing (silently) or damaged (logged). The
// caller frees the result with free().
u8* DecodePng(const char* path, i32* width, i32* height);

// Background, material 1 and noise map, through AppPath.
void LoadStartupTextures();
// Loads material image `number` (from 1, MaterialImageName) into materialTexture.
bool LoadMaterialTexture(i32 number);
void ReleaseTextures();
