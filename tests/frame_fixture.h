// Driving whole frames headless: a fresh sphere, start values for every
// global a frame reads, recording service doubles, a synthetic depth patch.
#pragma once
#include <tuple>
#include "app/app.h"
#include "app/commands.h"
#include "app/framelogic.h"
#include "app/viewcontrol.h"
#include "base/guistate.h"
#include "base/input.h"
#include "base/services.h"
#include "base/view.h"
#include "meshfile_fixture.h"
#include "tools/picking.h"

// What the service doubles saw, and how the user answers: the message box
// with boxAnswer, the file dialogs with dialogAnswer (empty: cancelled).
struct ServiceLog {
    std::string title, dialogAnswer;
    std::vector<std::string> boxes;  // "caption: text [kind]"
    bool boxAnswer = true;
    i32 saveDialogs = 0, openDialogs = 0, dialogKind = -1;
};
inline ServiceLog services;

inline bool RecordBox(const char* text, const char* caption, MessageBoxKind kind) {
    const char* kinds[] = {"error", "ok", "ok/cancel"};
    services.boxes.push_back(std::string(caption) + ": " + text + " [" + kinds[kind] + "]");
    return services.boxAnswer;
}
template <i32 ServiceLog::*count>
bool AnswerDialog(char* out, i32 outSize, i32 kind, const char*) {
    services.*count += 1;
    services.dialogKind = kind;
    snprintf(out, (size_t)outSize, "%s", services.dialogAnswer.c_str());
    return !services.dialogAnswer.empty();
}

// Window-space depth (0 near .. 1 far) of a point at eye distance e, for the
// renderer's near 5 and far 3000: the inverse of the picking formula.
inline f32 WindowDepthForEye(f32 e) { return ((3005 - 30000 / e) / 2995 + 1) / 2; }
inline void FillDepthPatch(f32 s) { std::fill(std::begin(depthPatch), std::end(depthPatch), s); }
// The front of the start sphere (radius 100, 500 units away) under the cursor.
inline void ShowSphereUnderCursor() { FillDepthPatch(WindowDepthForEye(400)); }
inline void ShowBackground() { FillDepthPatch(1.0f); }

// Input and interface globals at rest. TearDown runs it too: a failed
// assertion leaves a test half-way, and later suites expect the defaults.
inline void ResetFrameGlobals() {
    symmetry = maskView = bumpShading = modified = 0;
    fileName[0] = 0;
    currentTool = previousTool = TOOL_DRAW;
    strokeActive = grabDragging = brushResizing = lastHitValid = 0;
    memset(keysHeld, 0, sizeof keysHeld);
    memset(keysPressed, 0, sizeof keysPressed);
    shiftHeld = ctrlHeld = altHeld = spaceHeld = 0;
    mouseLeft = mouseRight = mouseMiddle = typedChar = penInProximity = 0;
    tabletPressure = mouseWheel = 0;
    penPressure = 1;
    mouseX = 475;
    mouseY = 325;
    ResetGuiState();
    ResetView();
}

class FrameTest : public MeshTest {
protected:
    std::tuple<decltype(ShowMessageBox), decltype(SetWindowTitleText), decltype(SaveFileDialog),
               decltype(OpenFileDialog)>
        saved{ShowMessageBox, SetWindowTitleText, SaveFileDialog, OpenFileDialog};
    TempDir dir;

    void SetUp() override {
        MeshTest::SetUp();
        ASSERT_TRUE(InitUndoRing());
        BuildSphere();
        RunParallel(ClearChangedJob);
        UpdateNormals();
        ResetFrameGlobals();
        ResetBrush();
        ResetViewControl();
        ResetFrameLogic();
        quietBeautifyPasses = lastMaterial = 0;
        meshSettled = materialCount = 1;  // a fresh start mesh has nothing to relax
        services = ServiceLog{};
        ShowMessageBox = RecordBox;
        SetWindowTitleText = [](const char* title) { services.title = title; };
        SaveFileDialog = AnswerDialog<&ServiceLog::saveDialogs>;
        OpenFileDialog = AnswerDialog<&ServiceLog::openDialogs>;
        ShowBackground();
    }
    void TearDown() override {
        MeshTest::TearDown();
        FreeUndoRing();
        ResetFrameGlobals();
        std::tie(ShowMessageBox, SetWindowTitleText, SaveFileDialog, OpenFileDialog) = saved;
    }
    // One main-loop pass: the frame, then what the loop and the interface
    // pass clear after it (typed character, button clicks).
    bool Frame() {
        bool go = FrameLogic();
        typedChar = guiButtonPressed = 0;
        for (GuiButton& b : guiButtons) b.clicked = 0;
        return go;
    }
    void Frames(i32 n) {
        while (n-- > 0) Frame();
    }
    void Click(i32 button) { guiButtons[button].clicked = 1, Frame(); }
    void Type(char c) { typedChar = (u8)c, Frame(); }
    // Holds the keys for `frames` frames, then releases them; false if a
    // frame ended the program.
    bool Press(const std::vector<i32>& keys, i32 frames = 1) {
        bool go = true;
        for (i32 k : keys) keysHeld[k] = 1;
        while (frames-- > 0) go = Frame() && go;
        for (i32 k : keys) keysHeld[k] = 0;
        return go;
    }
};
