// The window's event handler: each SDL event must land in the input globals
// exactly as the frame logic expects to poll them.
#include <SDL2/SDL.h>
#include <cstring>
#include "app/app.h"
#include "base/input.h"
#include "gl_fixture.h"

namespace {

SDL_Event WindowEvent(Uint8 kind, i32 a = 0, i32 b = 0) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = kind;
    e.window.data1 = a;
    e.window.data2 = b;
    return e;
}

SDL_Event Wheel(i32 x, i32 y, u32 direction = SDL_MOUSEWHEEL_NORMAL) {
    SDL_Event e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.x = x;
    e.wheel.y = y;
    e.wheel.direction = direction;
    return e;
}

SDL_Event Button(u32 type, u8 button, i32 x, i32 y) {
    SDL_Event e = {};
    e.type = type;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event Text(const char* text) {
    SDL_Event e = {};
    e.type = SDL_TEXTINPUT;
    snprintf(e.text.text, sizeof e.text.text, "%s", text);
    return e;
}

class WindowEventTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        mouseLeft = mouseRight = mouseMiddle = 0;
        mouseWheel = 0;
        typedChar = 0;
        quitRequested = 0;
        paintCount = 0;
    }
    void TearDown() override {
        Resize(950, 650);
        quitRequested = 0;
        SceneTest::TearDown();
    }
};

}  // namespace

TEST_F(WindowEventTest, WheelMovesOneStepPerEventWhateverItsSize) {
    HandleWindowEvent(Wheel(0, 2));  // a fast flick reports several notches at once
    EXPECT_EQ(mouseWheel, 1);
    HandleWindowEvent(Wheel(0, -5));
    EXPECT_EQ(mouseWheel, 0);
    HandleWindowEvent(Wheel(3, 0));  // sideways scrolling is no wheel step
    EXPECT_EQ(mouseWheel, 0);
    HandleWindowEvent(
        Wheel(0, 1, SDL_MOUSEWHEEL_FLIPPED));  // "natural" scrolling reports it reversed
    EXPECT_EQ(mouseWheel, -1);
}

TEST_F(WindowEventTest, LeavingTheWindowReleasesEveryButton) {
    HandleWindowEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20));
    HandleWindowEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10, 20));
    HandleWindowEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 10, 20));
    ASSERT_TRUE(mouseLeft && mouseRight && mouseMiddle);
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_LEAVE));
    EXPECT_FALSE(mouseLeft || mouseRight || mouseMiddle);
    EXPECT_FALSE(pointerTracking);
}

TEST_F(WindowEventTest, ButtonPressRecordsWhereAndReleaseClearsOnlyThatButton) {
    HandleWindowEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 123, 45));
    HandleWindowEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 300, 200));
    EXPECT_EQ(mouseDownX, 300);
    EXPECT_EQ(mouseDownY, 200);
    HandleWindowEvent(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 300, 200));
    EXPECT_FALSE(mouseLeft);
    EXPECT_TRUE(mouseRight);
    HandleWindowEvent(
        Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 1, 1));  // extra buttons mean nothing
    EXPECT_EQ(mouseDownX, 300);
}

TEST_F(WindowEventTest, MotionSetsThePointerAndTracking) {
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 400;
    e.motion.y = 250;
    HandleWindowEvent(e);
    EXPECT_EQ(mouseX, 400);
    EXPECT_EQ(mouseY, 250);
    EXPECT_TRUE(pointerTracking);
}

TEST_F(WindowEventTest, ZeroHeightFromAMinimisedWindowBecomesOne) {
    windowResized = 0;
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 0));
    EXPECT_EQ(windowWidth, 640);
    EXPECT_EQ(windowHeight, 1);
    EXPECT_TRUE(windowResized);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
}

TEST_F(WindowEventTest, ResizeWithMinusOneKeepsTheSize) {
    Resize(800, 600);
    Resize(-1, -1);
    EXPECT_EQ(windowWidth, 800);
    EXPECT_EQ(windowHeight, 600);
}

TEST_F(WindowEventTest, MoveStoresTheWindowPosition) {
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_MOVED, 40, 70));
    EXPECT_EQ(windowX, 40);
    EXPECT_EQ(windowY, 70);
}

TEST_F(WindowEventTest, OnlyTheThirdExposeInARowRenders) {
    u32 before = renderedFrameCount;
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED));
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED));
    EXPECT_EQ(renderedFrameCount, before);
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED));
    EXPECT_EQ(renderedFrameCount, before + 1);
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED));
    EXPECT_EQ(renderedFrameCount, before + 2) << "and every one after it until the loop renders";
}

TEST_F(WindowEventTest, CloseRequestsQuitAndTheQuitEventStopsThePump) {
    HandleWindowEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE));
    EXPECT_TRUE(quitRequested);
    PumpWindowEvents();  // drain whatever the real window has queued
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_Event after = Text("z");
    SDL_PushEvent(&quit);
    SDL_PushEvent(&after);
    EXPECT_FALSE(PumpWindowEvents());
    EXPECT_NE(typedChar, 'z') << "events after the quit wait for the next pass";
    EXPECT_TRUE(PumpWindowEvents());
    EXPECT_EQ(typedChar, 'z');
}

TEST_F(WindowEventTest, TypedTextKeepsOnlyCharactersThatFitAByte) {
    HandleWindowEvent(Text("m"));
    EXPECT_EQ(typedChar, 'm');
    HandleWindowEvent(Text("\xC3\xA9"));  // e acute, U+00E9
    EXPECT_EQ(typedChar, 0xE9);
    HandleWindowEvent(Text("\xE2\x82\xAC"));  // the euro sign does not fit
    EXPECT_EQ(typedChar, 0xE9);
}
