// Scaffolding for driving whole frames headless: a fresh sphere, start
// values for the view, brush, interface and frame logic, doubles for the
// window services that record what was asked, and helpers that set the
// input globals and a synthetic depth patch the way a window would.
#pragma once
#include <cstring>
#include <string>
#include <vector>
#include "app/app.h"
#include "app/framelogic.h"
#include "app/guistate.h"
#include "app/input.h"
#include "app/services.h"
#include "app/view.h"
#include "mesh/meshfile.h"
#include "mesh_fixture.h"
#include "tools/brush.h"
#include "tools/picking.h"

// What the service doubles saw, and how the message box answers.
struct ServiceLog {
    std::string title;
    std::vector<std::string> boxCaptions;
    bool boxAnswer = true;
    i32 saveDialogs = 0, openDialogs = 0;
};
inline ServiceLog services;

inline bool RecordBox(const char* text, const char* caption, MessageBoxKind kind) {
    EXPECT_STREQ(text, "Changes will be lost, ok?");
    EXPECT_EQ(kind, MESSAGE_EXCLAMATION_OK_CANCEL);
    services.boxCaptions.push_back(caption);
    return services.boxAnswer;
}
inline void RecordTitle(const char* title) { services.title = title; }
inline bool CountSaveDialog(char*, i32, i32, const char*) { services.saveDialogs++; return false; }
inline bool CountOpenDialog(char*, i32, i32, const char*) { services.openDialogs++; return false; }

// Window-space depth (0 near .. 1 far) of a point at eye distance e, for the
// renderer's near 5 and far 3000: the inverse of the picking formula.
inline f32 WindowDepthForEye(f32 e) {
    f32 ndc = (3005 - 30000 / e) / 2995;
    return (ndc + 1) / 2;
}
inline void FillDepthPatch(f32 s) {
    for (f32& d : depthPatch) d = s;
}
// The front of the start sphere (radius 100, 500 units away) under the cursor.
inline void ShowSphereUnderCursor() { FillDepthPatch(WindowDepthForEye(400)); }
inline void ShowBackground() { FillDepthPatch(1.0f); }

class FrameTest : public MeshTest {
protected:
    bool (*savedBox)(const char*, const char*, MessageBoxKind) = nullptr;
    void (*savedTitle)(const char*) = nullptr;
    bool (*savedSave)(char*, i32, i32, const char*) = nullptr;
    bool (*savedOpen)(char*, i32, i32, const char*) = nullptr;

    void SetUp() override {
        MeshTest::SetUp();
        ASSERT_TRUE(InitUndoRing());
        ClearAllSlots();
        BuildSphere();
        RunParallel(ClearChangedJob);
        UpdateNormals();
        windowWidth = 950;
        windowHeight = 650;
        ResetView();
        ResetBrush();
        strokeActive = grabDragging = lastHitValid = brushResizing = 0;
        currentTool = previousTool = TOOL_DRAW;
        maskView = 0;
        quietBeautifyPasses = 0;
        meshSettled = 1;  // a fresh start mesh has nothing to relax
        memset(keysHeld, 0, sizeof keysHeld);
        mouseX = 475;
        mouseY = 325;
        mouseLeft = mouseRight = mouseMiddle = 0;
        mouseWheel = 0;
        typedChar = 0;
        penInProximity = 0;
        tabletPressure = 0;
        ResetViewControl();
        ResetGuiState();
        ResetFrameLogic();
        materialCount = 1;
        lastMaterial = materialIndex = 0;
        modified = 0;
        fileName[0] = 0;
        bumpShading = 0;
        services = ServiceLog{};
        savedBox = ShowMessageBox;
        savedTitle = SetWindowTitleText;
        savedSave = SaveFileDialog;
        savedOpen = OpenFileDialog;
        ShowMessageBox = RecordBox;
        SetWindowTitleText = RecordTitle;
        SaveFileDialog = CountSaveDialog;
        OpenFileDialog = CountOpenDialog;
        ShowBackground();
    }
    // A failed assertion leaves a test half-way: put back every global the
    // frames may have changed, so later suites start from the defaults.
    void TearDown() override {
        symmetry = 0;
        MeshTest::TearDown();
        FreeUndoRing();
        maskView = 0;
        currentTool = previousTool = TOOL_DRAW;
        strokeActive = grabDragging = brushResizing = lastHitValid = 0;
        bumpShading = 0;
        memset(keysHeld, 0, sizeof keysHeld);
        shiftHeld = ctrlHeld = altHeld = spaceHeld = 0;
        mouseLeft = mouseRight = mouseMiddle = 0;
        penInProximity = 0;
        tabletPressure = 0;
        penPressure = 1;
        typedChar = 0;
        modified = 0;
        fileName[0] = 0;
        ResetGuiState();
        ResetView();
        ShowMessageBox = savedBox;
        SetWindowTitleText = savedTitle;
        SaveFileDialog = savedSave;
        OpenFileDialog = savedOpen;
    }
    // One main-loop pass: the frame, then what the loop and the interface
    // pass clear after it (typed character, button clicks).
    bool Frame() {
        bool go = FrameLogic();
        typedChar = 0;
        for (GuiButton& b : guiButtons) b.clicked = 0;
        guiButtonPressed = 0;
        return go;
    }
    void Frames(i32 n) {
        for (i32 i = 0; i < n; i++) Frame();
    }
    void Click(i32 button) {
        guiButtons[button].clicked = 1;
        Frame();
    }
    void Type(char c) {
        typedChar = (u8)c;
        Frame();
    }
    // Holds the keys for one frame, then releases them.
    void Press(std::initializer_list<i32> keys) {
        for (i32 k : keys) keysHeld[k] = 1;
        Frame();
        for (i32 k : keys) keysHeld[k] = 0;
    }
};
