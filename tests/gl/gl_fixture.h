// Scaffolding for the GL tests: a fixture that gives every test a fresh
// start sphere, start values for the view, brush and render switches, a
// flat known background colour (so pixels can be compared exactly), and
// helpers that draw one frame into the back buffer and read it back.
// The fixture runs the mesh checker when a test ends.
#pragma once
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <png.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "app/settings.h"
#include "app/view.h"
#include "mesh/mesh.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/shaders.h"
#include "render/textures.h"
#include "tools/brush.h"
#include "../mesh_fixture.h"

struct Rgb { i32 r, g, b; };
inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
inline i32 MaxDifference(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}
inline std::ostream& operator<<(std::ostream& o, Rgb c) {
    return o << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// One frame read back from the window, top row first.
struct Picture {
    i32 width = 0, height = 0;
    std::vector<u8> rgba;
    Rgb At(i32 x, i32 y) const {
        const u8* p = &rgba[((size_t)y * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
};

// Writes a picture as an RGBA PNG (screenshots for a person to look at).
inline bool WritePicturePng(const Picture& p, const char* path) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (i32 y = 0; y < p.height; y++) png_write_row(png, &p.rgba[(size_t)y * p.width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return true;
}

inline const Rgb kBackground = {40, 60, 200};

// Draws a frame the way RenderFrame does, without presenting it, and reads
// the back buffer.
inline Picture DrawAndRead() {
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawFrame();
    glFinish();
    Picture p;
    p.width = windowWidth;
    p.height = windowHeight;
    std::vector<u8> bottomUp((size_t)p.width * p.height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, p.width, p.height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    p.rgba.resize(bottomUp.size());
    size_t row = (size_t)p.width * 4;
    for (i32 y = 0; y < p.height; y++)
        memcpy(&p.rgba[y * row], &bottomUp[(size_t)(p.height - 1 - y) * row], row);
    return p;
}

inline void UploadFlatBackground(Rgb c) {
    u8 pixels[16];
    for (i32 i = 0; i < 4; i++) {
        pixels[i * 4] = (u8)c.r; pixels[i * 4 + 1] = (u8)c.g;
        pixels[i * 4 + 2] = (u8)c.b; pixels[i * 4 + 3] = 255;
    }
    backgroundTexture.Upload(pixels, 2, 2, TEXTURE_NEAREST);
}

// Marks every slot for a whole rebuild, as storage reset does.
inline void RequestFullRebuild() { arraysDirty = fullRebuild = meshChanged = colorsDirty = 1; }

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        windowMaximized = 0;
        mtProfiler = 0;
        symmetry = 0;
        wireframe = 0;
        maskView = 0;
        currentTool = TOOL_DRAW;
        ResetView();
        UpdateViewAxes();
        ResetBrush();
        lastHitValid = brushResizing = strokeActive = 0;
        Resize(950, 650);
        UploadFlatBackground(kBackground);
        ResetAllocation();
        BuildSphere();
    }
    void TearDown() override { ExpectMeshConsistent(); }
};
