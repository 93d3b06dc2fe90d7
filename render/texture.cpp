// Texture holders: upload of RGBA pixels as mipmapped GL textures, and the
// program's pictures (background, material, noise map). A picture that is
// missing or damaged leaves its holder as it was; the program carries on.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdlib>
#include "render/textures.h"

Texture backgroundTexture;
Texture materialTexture;
Texture noiseTexture;

i32 Texture::Upload(const u8* pixels, i32 w, i32 h, i32 flags) {
    width = w;
    height = h;
    Release();
    GLuint created = 0;
    glGenTextures(1, &created);
    glBindTexture(GL_TEXTURE_2D, created);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    GLint minFilter = GL_LINEAR_MIPMAP_LINEAR, magFilter = GL_LINEAR;
    if (flags & TEXTURE_LINEAR) minFilter = magFilter = GL_LINEAR;
    if (flags & TEXTURE_NEAREST) minFilter = magFilter = GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    GLint wrap = (flags & TEXTURE_CLAMP) ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    i32 result = gluBuild2DMipmaps(GL_TEXTURE_2D, 4, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    name = created;
    return result;
}

bool Texture::LoadPng(const char* path, i32 flags) {
    i32 w = 0, h = 0;
    u8* pixels = DecodePng(path, &w, &h);
    if (!pixels) return false;
    Upload(pixels, w, h, flags);
    free(pixels);
    return true;
}

void Texture::Release() {
    if (name == NO_TEXTURE) return;
    GLuint old = name;
    glDeleteTextures(1, &old);
    name = NO_TEXTURE;
}

void LoadStartupTextures() {
    backgroundTexture.LoadPng(AppPath("data/background.png"), TEXTURE_LINEAR);
    LoadMaterialTexture(1);
    noiseTexture.LoadPng(AppPath("data/noisemap2.png"), TEXTURE_LINEAR);
}

bool LoadMaterialTexture(i32 number) {
    char name[64];
    MaterialImageName(name, (i32)sizeof name, number);
    return materialTexture.LoadPng(AppPath(name), TEXTURE_LINEAR);
}

void ReleaseTextures() {
    backgroundTexture.Release();
    materialTexture.Release();
    noiseTexture.Release();
}
