// The interface without a window: the font's TGA reading and glyph
// measurement, text widths, the button press state machine, the swelling
// grid, and the sliders' clamps and mappings.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "app/guilogic.h"
#include "base/font.h"
#include "base/guistate.h"
#include "base/settings.h"
#include "meshfile_fixture.h"
#include "tools/brush.h"

namespace {

// A TGA strip from a column pattern: '#' an opaque column, '.' a clear one,
// 'k' the 24-bit key colour. Height 8, so a space is 8 / 4 = 2 wide.
std::vector<u8> Tga(const std::string& columns, i32 depth = 32, i32 type = 2) {
    i32 w = (i32)columns.size(), h = 8, bytes = depth / 8;
    std::vector<u8> f = {0, 0,     (u8)type,     0,     0, 0,         0, 0, 0, 0, 0,
                         0, (u8)w, (u8)(w >> 8), (u8)h, 0, (u8)depth, 0};
    for (i32 y = 0; y < h; y++)
        for (char c : columns) {
            u8 px[4] = {90, 90, 90, (u8)(c == '#' ? 255 : 0)};
            if (bytes == 3 && c != '#') px[0] = 128, px[1] = 0, px[2] = c == 'k' ? 128 : 127;
            f.insert(f.end(), px, px + bytes);
        }
    return f;
}

bool LoadStrip(const std::vector<u8>& file) {
    TempDir dir;
    WriteBytes(dir.File("font.tga"), file);
    i32 w = 0, h = 0;
    u8* rgba = ReadTga(dir.File("font.tga").c_str(), &w, &h);
    if (rgba) MeasureGlyphs(0, rgba, w, h);
    free(rgba);
    return rgba != nullptr;
}

}  // namespace

TEST(Font, GlyphsAreRunsOfColumnsBetweenClearOnes) {
    struct Case {
        const char* columns;
        i32 depth;
        std::vector<std::pair<i32, i32>> glyphs;  // left, width of glyphs 1, 2, ...
    } cases[] = {
        {"..##..#.###..", 32, {{2, 2}, {6, 1}, {8, 3}}},
        {".####.#", 32, {{1, 4}, {6, 1}}},  // touching glyphs measure as one
        {"#..#", 32, {{3, 1}}},             // a run before any gap is no glyph
        {"k##kk#k", 24, {{1, 2}, {5, 1}}},  // the key colour is clear
        {"k.#.#k", 24, {{1, 4}}},           // any other colour is opaque
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(LoadStrip(Tga(c.columns, c.depth))) << c.columns;
        for (size_t g = 0; g < c.glyphs.size(); g++) {
            EXPECT_EQ(glyphLeft[0][g + 1], c.glyphs[g].first) << c.columns << " glyph " << g + 1;
            EXPECT_EQ(glyphWidth[0][g + 1], c.glyphs[g].second) << c.columns << " glyph " << g + 1;
        }
        EXPECT_EQ(glyphWidth[0][c.glyphs.size() + 1], 0) << "not found: 8 / 4 - 2";
    }
    ASSERT_TRUE(LoadStrip(Tga(cases[0].columns)));
    EXPECT_EQ(TextWidth(0, "%s", "   "), 3 * (8 / 4 + 1)) << "a space advances height / 4 + 1";
    EXPECT_EQ(TextWidth(0, "!%c\x01", '"'), 3 + 2 + 3) << "no glyph advances like a space";
    EXPECT_EQ(GlyphOf(196), 129 - 32) << "Ä";
    EXPECT_EQ(GlyphOf(246), 133 - 32) << "ö";
    std::string longText(1000, ' ');
    EXPECT_EQ(TextWidth(0, "%s", longText.c_str()), 255 * 3) << "cut at the 256-byte buffer";
}

TEST(Font, OtherTypesDepthsAndDamagedFilesAreRefused) {
    std::vector<u8> good = Tga(".#.");
    auto with = [&](size_t at, u8 v) {
        std::vector<u8> f = good;
        f[at] = v;
        return f;
    };
    const std::vector<u8> bad[] = {
        Tga(".#.", 32, 10),
        Tga(".#.", 16),
        Tga(".#.", 8, 3),
        with(12, 0),
        with(15, 200),
        std::vector<u8>(good.begin(), good.end() - 1),
        std::vector<u8>(good.begin(), good.begin() + 17),
        with(0, 255),  // an id field longer than the file
    };
    ASSERT_TRUE(LoadStrip(good));
    for (size_t i = 0; i < std::size(bad); i++) EXPECT_FALSE(LoadStrip(bad[i])) << "case " << i;
    EXPECT_FALSE(LoadStrip({})) << "empty file";
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        ResetGuiState();
        InitGuiButtons();
        currentTool = TOOL_DRAW;
        materialCount = 5;
        frameFactor = 1;
    }
    // One frame of the interface with the pointer at (x, y) and the left
    // button held or not; returns the clicked button or -1.
    i32 Frame(f32 x, f32 y, bool held) {
        guiPointer = {x, y, 0};
        guiButtonPressed = held && !guiButtonHeld;
        guiButtonHeld = held;
        UpdateGui();
        for (i32 i = 0; i < GUI_BUTTON_COUNT; i++)
            if (guiButtons[i].clicked) return i;
        return -1;
    }
    static Vec3 Place(i32 i) {
        i32 r = i / 3;
        return {40 + 30.0f * (i % 3), 40 + 30.0f * r + 10.0f * (r > 2) + 10.0f * (r > 4), 0};
    }
    i32 Click(i32 from, i32 to) {  // -1: empty space inside the panel
        Vec3 a = from < 0 ? Vec3{5, 255, 0} : Place(from), b = to < 0 ? Vec3{5, 255, 0} : Place(to);
        Frame(a.x, a.y, false);
        Frame(a.x, a.y, true);
        Frame(b.x, b.y, true);
        return Frame(b.x, b.y, false);
    }
};

TEST_F(GuiTest, OnlyAPressAndReleaseOnTheSameButtonClicks) {
    const struct {
        i32 from, to, clicked;
    } cases[] = {{13, 13, 13}, {16, 16, 16}, {13, 16, -1},
                 {-1, 13, -1}, {10, 10, 10}, {11, 11, 11}};
    for (auto c : cases) {
        EXPECT_EQ(Click(c.from, c.to), c.clicked) << c.from << " -> " << c.to;
        EXPECT_EQ(Frame(0, 300, false), -1) << "a click lasts one frame";
    }
    EXPECT_EQ(guiButtons[10].icon + guiButtons[11].icon, 0);
    EXPECT_EQ(guiButtons[10].label[0] + guiButtons[11].label[0], 0);
}

TEST_F(GuiTest, ButtonsSwellAroundThePointerOnlyWithMenuZoom) {
    for (u8 zoom : {0, 1}) {
        menuZoom = zoom;
        Frame(Place(4).x, Place(4).y, false);
        EXPECT_NEAR(guiButtons[4].scale, zoom ? 0.525f : 0.35f, 1e-4f);
        f32 d = Length(guiButtons[3].position - guiButtons[4].position);
        EXPECT_TRUE(zoom ? d > 30 && d <= 45 : d == 30) << "neighbour moved to " << d;
        EXPECT_EQ(guiButtons[20].scale, 0.35f) << "far away nothing changes";
        EXPECT_EQ(guiButtons[20].position.y, Place(20).y);
        EXPECT_TRUE(guiButtons[4].hover);
    }
}

TEST_F(GuiTest, SlidersClampAndMapTheirValues) {
    f32* values[] = {&toolSize[TOOL_DRAW], &toolStrength[TOOL_DRAW], &detailBias, &materialPos};
    const struct {
        i32 slider;
        f32 y, pressX, x, expected;
    } cases[] = {
        {0, 35, 260, 200, 0.0f},  {0, 35, 260, 700, 1.0f}, {0, 35, 260, 325, 0.5f},
        {1, 60, 260, 1, 0.0f},    {2, 60, 470, 475, 0.1f}, {2, 60, 470, 525, 2.0f},
        {2, 60, 470, 900, 2.0f},  {2, 60, 470, 470, 0.1f}, {3, 60, 555, 560, 0.0f},
        {3, 60, 555, 575, 0.25f}, {3, 60, 555, 583, 0.5f}, {3, 60, 555, 600, 0.75f},
        {3, 60, 555, 610, 1.0f},  {3, 60, 555, 999, 1.0f},
    };
    for (auto c : cases) {
        Frame(c.pressX, c.y, false), Frame(c.pressX, c.y, true), Frame(c.x, c.y, true);
        i32 loaded = materialIndex;
        Frame(c.x, c.y, false);
        EXPECT_NEAR(*values[c.slider], c.expected, 1e-5f) << "slider " << c.slider << " at " << c.x;
        if (c.slider == 3 && loaded != selectedMaterial) {
            EXPECT_EQ(materialIndex, selectedMaterial);
        }
    }
    // Dragging from 1.0 down to 0.5: the material loads on release only.
    Frame(555, 60, true), Frame(583, 60, true);
    EXPECT_EQ(materialIndex, 4);
    Frame(583, 60, false);
    EXPECT_EQ(materialIndex, 2);
    materialCount = 1;
    selectedMaterial = materialIndex = 0;
    Frame(555, 60, false), Frame(555, 60, true), Frame(610, 60, true);
    EXPECT_EQ(activeSlider, SLIDER_NONE) << "a single material cannot be dragged";
    EXPECT_EQ(materialPos, 0.0f);
    EXPECT_EQ(selectedMaterial, 0);
}
