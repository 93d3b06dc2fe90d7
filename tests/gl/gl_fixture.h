// Scaffolding for the GL tests: a fixture that gives every test a fresh
// start sphere, start values for the view, brush and render switches, a
// flat known background colour (so pixels can be compared exactly), and
// helpers that draw one frame into the back buffer and read it back.
// The fixture runs the mesh checker when a test ends.
#pragma once
#include <GL/gl.h>
#include <algorithm>
#include <ostream>
#include <vector>
#include "../mesh_fixture.h"
#include "app/viewcontrol.h"
#include "base/view.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/textures.h"
#include "tools/brush.h"

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

// One frame read back from the window, top row first.
struct Picture {
    i32 width = 0, height = 0;
    std::vector<u8> rgba;
    Rgb At(i32 x, i32 y) const {
        const u8* p = &rgba[((size_t)y * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
};

inline const Rgb kBackground = {40, 60, 200};

// The back buffer as it is now.
inline Picture ReadBack() {
    glFinish();
    Picture p;
    p.width = windowWidth;
    p.height = windowHeight;
    std::vector<u8> bottomUp((size_t)p.width * p.height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, p.width, p.height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    size_t row = (size_t)p.width * 4;
    for (i32 y = p.height - 1; y >= 0; y--)
        p.rgba.insert(p.rgba.end(), &bottomUp[y * row], &bottomUp[y * row] + row);
    return p;
}

// Draws a frame as the program does, without presenting it, and reads it.
inline Picture DrawAndRead() {
    DrawFrameFromStartState();
    return ReadBack();
}

// Marks every slot for a whole rebuild, as storage reset does.
inline void RequestFullRebuild() { arraysDirty = fullRebuild = meshChanged = colorsDirty = 1; }

// A mesh test (fresh storage, checked when the test ends) with a start
// sphere in a window of known size.
class SceneTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        windowMaximized = wireframe = maskView = 0;
        currentTool = TOOL_DRAW;
        ResetView();
        UpdateViewAxes();
        ResetBrush();
        lastHitValid = brushResizing = strokeActive = 0;
        Resize(950, 650);
        const u8 c[4] = {(u8)kBackground.r, (u8)kBackground.g, (u8)kBackground.b, 255};
        u8 pixels[16];
        for (i32 i = 0; i < 16; i++) pixels[i] = c[i % 4];
        backgroundTexture.Upload(pixels, 2, 2, TEXTURE_NEAREST);
        BuildSphere();
    }
};
