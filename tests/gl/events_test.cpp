// The window's event handler: each SDL event must land in the input globals
// exactly as the frame logic expects to poll them.
#include <SDL2/SDL.h>
#include <functional>
#include "app/app.h"
#include "base/input.h"
#include "gl_fixture.h"

namespace {

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

using WindowEvents = SceneTest;

}  // namespace

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
        {"moving stores the position", {Window(SDL_WINDOWEVENT_MOVED, 40, 70)},
         [] { EXPECT_TRUE(windowX == 40 && windowY == 70); }},
        {"two exposes render nothing",
         {Window(SDL_WINDOWEVENT_EXPOSED), Window(SDL_WINDOWEVENT_EXPOSED)},
         [&] { EXPECT_EQ(renderedFrameCount, framesBefore); }},
        {"the third expose and every one after it render",
         {Window(SDL_WINDOWEVENT_EXPOSED), Window(SDL_WINDOWEVENT_EXPOSED),
          Window(SDL_WINDOWEVENT_EXPOSED), Window(SDL_WINDOWEVENT_EXPOSED)},
         [&] { EXPECT_EQ(renderedFrameCount, framesBefore + 2); }},
        {"closing the window asks to quit", {Window(SDL_WINDOWEVENT_CLOSE)},
         [] { EXPECT_TRUE(quitRequested); }},
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
