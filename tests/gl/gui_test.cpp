// The interface pass drawn for real: its backdrops show over the view, and
// the statistics it writes name the triangle count. Flat throwaway
// pictures stand in for the shipped ones, so only the drawing is tested.
#include "render/gui.h"
#include <GL/gl.h>
#include <string>
#include <vector>
#include "../mesh_fixture.h"
#include "app/guilogic.h"
#include "base/guistate.h"
#include "platform/window.h"
#include "render/font.h"
#include "render/render.h"

namespace {

struct DrawnText {
    f32 x, y;
    std::string text;
};
std::vector<DrawnText> drawnTexts;

u32 ReadPixel(i32 x, i32 y) {  // y from the top
    u32 rgba = 0;
    glReadBuffer(GL_BACK);
    glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &rgba);
    return rgba & 0xFFFFFF;
}

class GuiPass : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        Resize(950, 650);
        const u8 white[16] = {255, 255, 255, 255, 255, 255, 255, 255,
                              255, 255, 255, 255, 255, 255, 255, 255};
        for (Texture* t : {&guiShadowTexture, &guiButtonsTexture, &guiSliderTexture})
            t->Upload(white, 2, 2, TEXTURE_NEAREST);
        ResetGuiState();
        InitGuiButtons();
        BuildSphere();
        drawnTexts.clear();
        textObserver = [](f32 x, f32 y, f32, const char* text) {
            drawnTexts.push_back({x, y, text});
        };
    }
    void TearDown() override {
        textObserver = nullptr;
        ReleaseGuiTextures();
        MeshTest::TearDown();
    }
};

}  // namespace

TEST_F(GuiPass, PanelAndTopBarShowAndTheStatisticsCountTriangles) {
    guiPointer = {-1000, 0, 0};
    UpdateGui();
    backgroundTexture.Release();  // the clear colour alone, then the interface over it
    DrawFrameFromStartState();
    glFinish();
    u32 far = ReadPixel(900, 600);
    EXPECT_NE(ReadPixel(5, 255), far) << "the panel's backdrop";
    EXPECT_NE(ReadPixel(600, 60), far) << "the top bar's backdrop";
    EXPECT_NE(ReadPixel((i32)guiButtons[13].position.x, (i32)guiButtons[13].position.y),
              ReadPixel(5, 255))
        << "a button face";
    std::string count = std::to_string(liveTriangleCount) + " triangles";
    bool found = false;
    for (const DrawnText& t : drawnTexts) found |= t.text == count && t.x == 15 && t.y == 650 - 27;
    EXPECT_TRUE(found) << "no \"" << count << "\" at the bottom left";
}
