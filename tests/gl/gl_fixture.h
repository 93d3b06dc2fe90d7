// Scaffolding for the GL tests: a fixture that gives every test a fresh
// start sphere, start values for the view, brush and render switches, a
// flat known background colour (so pixels can be compared exactly), and
// helpers that draw one frame into the back buffer and read it back.
// The fixture runs the mesh checker when a test ends.
#pragma once
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <cstring>
#include <vector>
#include "../mesh_fixture.h"
#include "app/viewcontrol.h"
#include "base/settings.h"
#include "base/view.h"
#include "mesh/mesh.h"
#include "picture.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/shaders.h"
#include "render/textures.h"
#include "tools/brush.h"

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
