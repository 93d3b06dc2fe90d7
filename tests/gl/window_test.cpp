// The window: its event handler, and the 3D view it draws, checked by its
// pixels. Each SDL event must land in the input globals exactly as the frame
// logic expects to poll them. The view: the sphere over the background, the
// light, the mirrored pass and its seam, the wireframe, the mask tint, the
// brush ring, and the rebuild rules that decide how many triangles are
// drawn. Every view test starts from a fresh start sphere, start values for
// the view, brush and render switches, and a flat known background colour,
// so pixels can be compared exactly; the mesh checker runs when it ends.
#include "platform/window.h"
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>
#include "../mesh_fixture.h"
#include "app/app.h"
#include "app/viewcontrol.h"
#include "base/input.h"
#include "base/view.h"
#include "render/render.h"
#include "render/textures.h"
#include "tools/brush.h"

namespace {

struct Rgb {
    i32 r, g, b;
    bool operator==(const Rgb&) const = default;
};
i32 MaxDifference(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}
std::ostream& operator<<(std::ostream& o, Rgb c) {
    return o << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// One frame read back from the window: rows as GL stores them, bottom up.
struct Picture {
    i32 width = windowWidth, height = windowHeight;
    std::vector<u8> rgba = std::vector<u8>((size_t)width * height * 4);
    Rgb At(i32 x, i32 y) const {  // y from the top, as on the screen
        const u8* p = &rgba[((size_t)(height - 1 - y) * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
};

const Rgb kBackground = {40, 60, 200};

// The back buffer as it is now.
Picture ReadBack() {
    glFinish();
    Picture p;
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, p.width, p.height, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
    return p;
}

// Draws a frame as the program does, without presenting it, and reads it.
Picture DrawAndRead() {
    DrawFrameFromStartState();
    return ReadBack();
}

// Marks every slot for a whole rebuild, as storage reset does.
void RequestFullRebuild() { arraysDirty = fullRebuild = meshChanged = colorsDirty = 1; }

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

const i32 kCentreX = 475, kCentreY = 325;

i32 Brightness(Rgb c) { return c.r + c.g + c.b; }

// Pixels whose colour differs from the one mirrored about the centre column,
// below the interface's top bar (its slider tracks are always drawn).
i32 CountAsymmetricPixels(const Picture& p) {
    i32 count = 0;
    for (i32 y = 80; y < p.height; y++)
        for (i32 x = 0; x < p.width / 2; x++)
            if (MaxDifference(p.At(x, y), p.At(p.width - 1 - x, y)) > 8) count++;
    return count;
}

// Distances from the brush centre of the pixels that changed along its row.
std::vector<i32> ChangedDistances(const Picture& a, const Picture& b) {
    std::vector<i32> distances;
    for (i32 x = kCentreX - 160; x <= kCentreX + 160; x++)
        if (MaxDifference(a.At(x, kCentreY), b.At(x, kCentreY)) > 2)
            distances.push_back(std::abs(x - kCentreX));
    return distances;
}

SDL_Event Window(Uint8 kind, i32 a = 0, i32 b = 0) {
    return {.window = {.type = SDL_WINDOWEVENT, .event = kind, .data1 = a, .data2 = b}};
}

SDL_Event Wheel(i32 x, i32 y, u32 direction = SDL_MOUSEWHEEL_NORMAL) {
    return {.wheel = {.type = SDL_MOUSEWHEEL, .x = x, .y = y, .direction = direction}};
}

SDL_Event Button(u32 type, u8 button, i32 x = 10, i32 y = 20) {
    return {.button = {.type = type, .button = button, .x = x, .y = y}};
}

SDL_Event Motion(i32 x, i32 y) { return {.motion = {.type = SDL_MOUSEMOTION, .x = x, .y = y}}; }

SDL_Event Text(const char* text) {
    SDL_Event e = {.type = SDL_TEXTINPUT};
    snprintf(e.text.text, sizeof e.text.text, "%s", text);
    return e;
}

using WindowEvents = MeshTest;

}  // namespace

TEST_F(SceneTest, LitSphereOverTheBackground) {
    Picture p = DrawAndRead();
    Rgb centre = p.At(kCentreX, kCentreY);
    EXPECT_GT(MaxDifference(centre, kBackground), 40) << centre;
    for (auto [x, y] : {std::pair{0, 0}, {949, 0}, {0, 649}, {949, 649}, {100, 325}, {850, 325}})
        EXPECT_EQ(p.At(x, y), kBackground) << "at " << x << ", " << y;
    EXPECT_GT(drawTriangleCount, 0);
    EXPECT_FALSE(arraysDirty);
    // Facing the viewer the sphere is bright; its upper half (the light's
    // weights lean upwards) is brighter than its lower half.
    EXPECT_GT(Brightness(centre), 3 * 140) << centre;
    EXPECT_GT(Brightness(p.At(kCentreX, kCentreY - 150)),
              Brightness(p.At(kCentreX, kCentreY + 150)) + 30);
    zoom = zoomTarget = 1.6f;
    Rgb nearer = DrawAndRead().At(kCentreX, kCentreY);
    EXPECT_LE(MaxDifference(centre, nearer), 3) << "zooming changed the light: " << nearer;
}

TEST_F(SceneTest, BackgroundPictureOrElseTheClearColour) {
    ASSERT_TRUE(backgroundTexture.LoadPng(AppPath("data/background.png"), TEXTURE_LINEAR));
    Picture p = DrawAndRead();
    // The shipped backdrop is lit in the middle and falls off to the corners.
    EXPECT_GT(Brightness(p.At(200, 325)), Brightness(p.At(0, 0)) + 30);
    // Without it, the clear colour shows, not a white sheet.
    backgroundTexture.Release();
    p = DrawAndRead();
    EXPECT_LE(MaxDifference(p.At(0, 0), Rgb{77, 128, 77}), 1) << p.At(0, 0);
    EXPECT_GT(MaxDifference(p.At(kCentreX, kCentreY), p.At(0, 0)), 40) << "the sphere still shows";
}

TEST_F(SceneTest, MirroredPassCompletesTheHalfMeshAndMarksTheSeam) {
    SetSymmetry(1);  // the stored half, drawn alone first
    symmetry = 0;
    Picture half = DrawAndRead();
    EXPECT_GT(CountAsymmetricPixels(half), 20000) << "without the mirrored pass one half shows";
    // Both passes without the seam (symmetry off skips it), then with it.
    mirrorPass = 1;
    DrawScene();
    Picture noSeam = ReadBack();
    symmetry = 1;
    Picture both = DrawAndRead();
    EXPECT_LT(CountAsymmetricPixels(both), 200) << "the mirrored half must match the stored half";
    EXPECT_NE(both.At(kCentreX - 100, kCentreY), kBackground);
    EXPECT_NE(both.At(kCentreX + 100, kCentreY), kBackground);
    i32 brighterNearCentre = 0, changedElsewhere = 0;
    for (i32 y = 0; y < both.height; y++)
        for (i32 x = 0; x < both.width; x++) {
            Rgb before = noSeam.At(x, y), after = both.At(x, y);
            if (MaxDifference(before, after) <= 1) continue;
            if (std::abs(x - kCentreX) <= 12 && Brightness(after) > Brightness(before))
                brighterNearCentre++;
            else
                changedElsewhere++;
        }
    EXPECT_GT(brighterNearCentre, 300) << "a faint band down the middle of the sphere";
    EXPECT_LT(changedElsewhere, 50);
}

TEST_F(SceneTest, WireframeAndMaskTintAddOntoTheMeshOnly) {
    Picture plain = DrawAndRead();
    wireframe = 1;
    Picture lines = DrawAndRead();
    wireframe = 0;
    i32 changed = 0, darker = 0;
    for (i32 y = 0; y < plain.height; y++)
        for (i32 x = 0; x < plain.width; x++) {
            Rgb a = plain.At(x, y), b = lines.At(x, y);
            if (MaxDifference(a, b) < 5) continue;
            changed++;
            if (Brightness(b) < Brightness(a)) darker++;
        }
    EXPECT_GT(changed, 5000) << "the triangle edges show";
    EXPECT_EQ(darker, 0) << "lines are added onto the picture";
    EXPECT_EQ(lines.At(0, 0), kBackground);
    EXPECT_EQ(lines.At(100, 325), kBackground);

    Rgb before = plain.At(kCentreX, kCentreY);
    maskView = 1;
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 1;
    RequestFullRebuild();
    Rgb masked = DrawAndRead().At(kCentreX, kCentreY);
    EXPECT_GT(masked.g, before.g + 50) << before << " -> " << masked;
    EXPECT_LE(std::abs(masked.r - before.r), 2);
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0;
    RequestFullRebuild();
    Rgb unmasked = DrawAndRead().At(kCentreX, kCentreY);
    // The unmasked colour is slightly negative; added onto the picture it
    // can only leave it as it was, never brighten it.
    EXPECT_LE(MaxDifference(unmasked, before), 2) << before << " -> " << unmasked;
}

TEST_F(SceneTest, BrushRingShowsWhereTheBrushSphereCutsTheSurface) {
    Picture plain = DrawAndRead();
    // The brush on the front of the sphere, facing the viewer at the centre.
    brush.brushHit = 1;
    brush.center = {0, 0, -100};
    brush.radius = 40;
    brush.strength = 1;
    Picture ring = DrawAndRead();
    std::vector<i32> d = ChangedDistances(plain, ring);
    ASSERT_FALSE(d.empty()) << "the ring is drawn";
    // 0.7 to 0.8 of a 40-unit brush at 400 units from the eye: about 70 to 80 pixels.
    for (i32 distance : d) {
        EXPECT_GE(distance, 60);
        EXPECT_LE(distance, 92);
    }
    Rgb before = plain.At(kCentreX + 75, kCentreY), sculpt = ring.At(kCentreX + 75, kCentreY);
    EXPECT_GE(sculpt.r, sculpt.g) << "orange-white for the sculpting tools: " << sculpt;
    currentTool = TOOL_MASK;
    Rgb mask = DrawAndRead().At(kCentreX + 75, kCentreY);
    EXPECT_GT(mask.g - before.g, mask.r - before.r) << "green for the mask: " << mask;
    currentTool = TOOL_ROTATE;
    strokeActive = 1;
    Picture rotating = DrawAndRead();
    strokeActive = 0;
    EXPECT_TRUE(ChangedDistances(plain, rotating).empty()) << "hidden while rotating";
}

TEST_F(SceneTest, FullRebuildOfAMeshWithoutTrianglesDrawsNothing) {
    DrawAndRead();
    ASSERT_GT(drawTriangleCount, 0);
    ResetAllocation();  // no triangles, every rebuild flag raised
    Picture p = DrawAndRead();
    EXPECT_EQ(drawTriangleCount, 0);
    for (i32 y = 0; y < p.height; y += 13)
        for (i32 x = 0; x < p.width; x += 17) ASSERT_EQ(p.At(x, y), kBackground) << x << ", " << y;
}

TEST_F(SceneTest, WorksetRebuildAfterRemovingTheLastTrianglesKeepsTheDrawnRange) {
    DrawAndRead();
    i32 before = drawTriangleCount;
    // Remove the five highest triangle slots with only the workset rebuilt.
    workset.vertices.count = workset.edges.count = workset.triangles.count = 0;
    std::vector<i32> removed;
    for (i32 s = triangleCapacity - 1; s >= 0 && removed.size() < 5; s--)
        if (triangles[s].active) {
            RemoveTriangle(&triangles[s], true);
            removed.push_back(s);
        }
    ASSERT_EQ(removed.front(), before - 1);
    arraysDirty = 1;
    fullRebuild = 0;
    DrawAndRead();
    EXPECT_EQ(drawTriangleCount, before) << "the drawn range only grows between full rebuilds";
    for (i32 s : removed) {
        const IndexTriple& t = indexArray[s];
        EXPECT_TRUE(t.v[0] == 0 && t.v[1] == 0 && t.v[2] == 0) << "slot " << s << " draws nothing";
    }
    RequestFullRebuild();
    DrawAndRead();
    EXPECT_EQ(drawTriangleCount, removed.back())
        << "a full rebuild ends at the highest active slot";
}

TEST_F(SceneTest, ThreadedBuilderMatchesTheSingleThreadedOne) {
    mtVarrays = 0;
    DrawAndRead();
    std::vector<IndexTriple> single(indexArray, indexArray + triangleCapacity);
    std::vector<Vec3> positions(positionArray, positionArray + vertexCapacity);
    i32 singleCount = drawTriangleCount;
    mtVarrays = 1;
    memset(indexArray, 0xAB, sizeof(IndexTriple) * triangleCapacity);
    RequestFullRebuild();
    DrawAndRead();
    EXPECT_EQ(drawTriangleCount, singleCount);
    EXPECT_EQ(memcmp(single.data(), indexArray, sizeof(IndexTriple) * triangleCapacity), 0);
    for (i32 s = 0; s < vertexCapacity; s++)
        if (vertices[s].active) {
            ASSERT_EQ(positionArray[s].x, positions[s].x);
            ASSERT_EQ(vertices[s].index, s);
        }
}

// Each row starts from released buttons, no wheel steps, nothing typed and
// a 950 x 650 window, sends its events, and checks what they left.
TEST_F(WindowEvents, LandInTheInputGlobals) {
    const u32 DOWN = SDL_MOUSEBUTTONDOWN, UP = SDL_MOUSEBUTTONUP;
    u32 framesBefore = 0;
    struct Row {
        const char* name;
        std::vector<SDL_Event> events;
        std::function<void()> expect;
    };
    // clang-format off
    const Row rows[] = {
        {"a fast flick is one wheel step", {Wheel(0, 2)}, [] { EXPECT_EQ(mouseWheel, 1); }},
        {"backwards is one step back", {Wheel(0, -5)}, [] { EXPECT_EQ(mouseWheel, -1); }},
        {"sideways scrolling is no step", {Wheel(3, 0)}, [] { EXPECT_EQ(mouseWheel, 0); }},
        {"natural scrolling arrives reversed", {Wheel(0, 1, SDL_MOUSEWHEEL_FLIPPED)},
         [] { EXPECT_EQ(mouseWheel, -1); }},
        {"leaving the window releases every button",
         {Motion(5, 5), Button(DOWN, SDL_BUTTON_LEFT), Button(DOWN, SDL_BUTTON_RIGHT),
          Button(DOWN, SDL_BUTTON_MIDDLE), Window(SDL_WINDOWEVENT_LEAVE)},
         [] { EXPECT_FALSE(mouseLeft || mouseRight || mouseMiddle || pointerTracking); }},
        {"a press records where; a release clears only its button; extra buttons mean nothing",
         {Button(DOWN, SDL_BUTTON_LEFT, 123, 45), Button(DOWN, SDL_BUTTON_RIGHT, 300, 200),
          Button(UP, SDL_BUTTON_LEFT), Button(DOWN, SDL_BUTTON_X1, 1, 1)},
         [] { EXPECT_TRUE(!mouseLeft && mouseRight && mouseDownX == 300 && mouseDownY == 200); }},
        {"motion moves the pointer and tracks it", {Motion(400, 250)},
         [] { EXPECT_TRUE(mouseX == 400 && mouseY == 250 && pointerTracking); }},
        {"a minimised window's zero height becomes one",
         {Window(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 0)},
         [] {
             GLint viewport[4];
             glGetIntegerv(GL_VIEWPORT, viewport);
             EXPECT_TRUE(windowWidth == 640 && windowHeight == 1 && windowResized);
             EXPECT_TRUE(viewport[2] == 640 && viewport[3] == 1);
         }},
        {"two exposes render nothing",
         {Window(SDL_WINDOWEVENT_EXPOSED), Window(SDL_WINDOWEVENT_EXPOSED)},
         [&] { EXPECT_EQ(renderedFrameCount, framesBefore); }},
        {"the third expose and every one after it render",
         {Window(SDL_WINDOWEVENT_EXPOSED), Window(SDL_WINDOWEVENT_EXPOSED),
          Window(SDL_WINDOWEVENT_EXPOSED), Window(SDL_WINDOWEVENT_EXPOSED)},
         [&] { EXPECT_EQ(renderedFrameCount, framesBefore + 2); }},
        {"typed text", {Text("m")}, [] { EXPECT_EQ(typedChar, 'm'); }},
        {"a character that fits a byte", {Text("\xC3\xA9")}, [] { EXPECT_EQ(typedChar, 0xE9); }},
        {"one that does not is dropped", {Text("m"), Text("\xE2\x82\xAC")},  // the euro sign
         [] { EXPECT_EQ(typedChar, 'm'); }},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Resize(950, 650);
        mouseLeft = mouseRight = mouseMiddle = pointerTracking = typedChar = 0;
        mouseWheel = paintCount = windowResized = 0;
        quitRequested = 0;
        framesBefore = renderedFrameCount;
        for (const SDL_Event& e : row.events) HandleWindowEvent(e);
        row.expect();
    }
    Resize(950, 650);
    quitRequested = 0;
}

TEST_F(WindowEvents, QuitStopsThePumpUntilItsNextPass) {
    PumpWindowEvents();  // drain whatever the real window has queued
    SDL_Event quit = {.type = SDL_QUIT}, after = Text("z");
    typedChar = 0;
    SDL_PushEvent(&quit);
    SDL_PushEvent(&after);
    EXPECT_FALSE(PumpWindowEvents());
    EXPECT_NE(typedChar, 'z');
    EXPECT_TRUE(PumpWindowEvents());
    EXPECT_EQ(typedChar, 'z');
}
