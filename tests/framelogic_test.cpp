// Whole frames of the frame logic: the window title, quitting with and
// without unsaved changes, key commands firing once per press, the mask,
// detail and tool toggles, new meshes and their confirmation, the material,
// and the refinement cycle's single closing pass per settle.
#include "app/commands.h"
#include "app/settings.h"
#include "frame_fixture.h"

using FrameLogicTest = FrameTest;

// ---- window title

TEST_F(FrameLogicTest, TitleOfUntitledSculptureCarriesTheMark) {
    SetWindowTitle();
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled  ");
    modified = 1;
    SetWindowTitle();
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled *");
}

TEST_F(FrameLogicTest, TitleShowsOnlyTheFileNameOfEitherPathStyle) {
    modified = 1;
    for (const char* path : {"/home/u/name.tf1", "C:\\sculpts\\name.tf1", "name.tf1"}) {
        strcpy(fileName, path);
        SetWindowTitle();
        EXPECT_EQ(services.title, "Tessaform alpha - name.tf1 *") << path;
    }
}

TEST_F(FrameLogicTest, FirstStrokeFrameMarksTheTitle) {
    Frame();
    services.title.clear();
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frame();
    EXPECT_TRUE(modified);
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled *");
    services.title.clear();
    Frame();
    EXPECT_EQ(services.title, "");  // unchanged mark: no new title
    mouseLeft = 0;
}

// ---- quitting

TEST_F(FrameLogicTest, EscapeWithoutChangesEndsWithoutAsking) {
    keysHeld[KEY_ESCAPE] = 1;
    EXPECT_FALSE(Frame());
    EXPECT_TRUE(services.boxCaptions.empty());
}

TEST_F(FrameLogicTest, EscapeWithChangesAsksOncePerPressAndCancelKeepsWorking) {
    modified = 1;
    services.boxAnswer = false;
    keysHeld[KEY_ESCAPE] = 1;
    EXPECT_TRUE(Frame());
    EXPECT_TRUE(Frame());  // still held: not asked again
    ASSERT_EQ(services.boxCaptions.size(), 1u);
    EXPECT_EQ(services.boxCaptions[0], "Confirm exit");
    EXPECT_TRUE(modified);
    keysHeld[KEY_ESCAPE] = 0;
    Frame();
    services.boxAnswer = true;
    keysHeld[KEY_ESCAPE] = 1;
    EXPECT_FALSE(Frame());
    EXPECT_EQ(services.boxCaptions.size(), 2u);
}

TEST_F(FrameLogicTest, AltF4AsksLikeEscape) {
    modified = 1;
    services.boxAnswer = false;
    keysHeld[KEY_RALT] = keysHeld[KEY_F4] = 1;
    EXPECT_TRUE(Frame());
    services.boxAnswer = true;
    keysHeld[KEY_F4] = 0;
    Frame();
    keysHeld[KEY_F4] = 1;
    EXPECT_FALSE(Frame());
    EXPECT_EQ(services.boxCaptions.size(), 2u);
    keysHeld[KEY_F4] = keysHeld[KEY_RALT] = 0;
    Frame();
    keysHeld[KEY_F4] = 1;
    EXPECT_TRUE(Frame());  // F4 alone is no quit key
    keysHeld[KEY_F4] = 0;
}

TEST_F(FrameLogicTest, DiscardQuestionOnlyWithUnsavedChanges) {
    EXPECT_TRUE(ConfirmDiscardChanges("Confirm exit"));
    EXPECT_TRUE(services.boxCaptions.empty());
    modified = 1;
    services.boxAnswer = false;
    EXPECT_FALSE(ConfirmDiscardChanges("Confirm open"));
    ASSERT_EQ(services.boxCaptions.size(), 1u);
    EXPECT_EQ(services.boxCaptions[0], "Confirm open");
}

// ---- key commands fire once per press

TEST_F(FrameLogicTest, HeldCtrlSOnUntitledSculptureAsksOnce) {
    keysHeld[KEY_LCTRL] = keysHeld[KEY_S] = 1;
    Frames(5);
    EXPECT_EQ(services.saveDialogs, 1);
    keysHeld[KEY_S] = 0;
    Frame();  // all command keys released for one frame re-arms them
    keysHeld[KEY_S] = 1;
    Frame();
    EXPECT_EQ(services.saveDialogs, 2);
    keysHeld[KEY_LCTRL] = keysHeld[KEY_S] = 0;
}

TEST_F(FrameLogicTest, HeldKeyOfOneCommandBlocksAnotherUntilReleased) {
    keysHeld[KEY_TAB] = 1;
    Frame();
    ASSERT_FALSE(detailEnabled);
    keysHeld[KEY_K] = 1;  // pressed while Tab is still held
    Frame();
    EXPECT_FALSE(bumpShading);
    keysHeld[KEY_TAB] = keysHeld[KEY_K] = 0;
    Frame();
    Press({KEY_K});
    EXPECT_TRUE(bumpShading);
}

TEST_F(FrameLogicTest, TabTwiceRestoresDetailBiasExactly) {
    detailBias = 1.37f;
    keysHeld[KEY_TAB] = 1;
    Frames(4);
    EXPECT_EQ(detailBias, 0.0f);
    EXPECT_FALSE(detailEnabled);
    EXPECT_NEAR(detailPos, -0.1f * 0.5263158f, 1e-6f);
    keysHeld[KEY_TAB] = 0;
    Frame();
    Press({KEY_TAB});
    EXPECT_EQ(detailBias, 1.37f);
    EXPECT_TRUE(detailEnabled);
    EXPECT_NEAR(detailPos, (1.37f - 0.1f) * 0.5263158f, 1e-6f);
}

TEST_F(FrameLogicTest, SliderRaisingDetailReenablesRefinement) {
    Press({KEY_TAB});
    ASSERT_FALSE(detailEnabled);
    detailBias = 0.8f;  // the detail slider moved
    Frame();
    EXPECT_TRUE(detailEnabled);
}

TEST_F(FrameLogicTest, BumpShadingKeyWithAndWithoutShift) {
    Press({KEY_K});
    EXPECT_TRUE(bumpShading);
    EXPECT_TRUE(shaderRebuildWanted);
    EXPECT_TRUE(fullRebuild && meshChanged && arraysDirty);
    shaderRebuildWanted = 0;
    Frame();
    Press({KEY_K});  // already on: stays on, nothing to rebuild
    EXPECT_TRUE(bumpShading);
    EXPECT_FALSE(shaderRebuildWanted);
    Frame();
    Press({KEY_K, KEY_LSHIFT});
    EXPECT_FALSE(bumpShading);
    EXPECT_TRUE(shaderRebuildWanted);
}

// ---- mask, tools, wireframe

TEST_F(FrameLogicTest, MaskTwiceReturnsToThePreviousToolEvenReduceDetail) {
    for (char tool : {'c', 'x'}) {
        Type(tool);
        i32 chosen = currentTool;
        Type('m');
        EXPECT_EQ(currentTool, TOOL_MASK);
        EXPECT_TRUE(maskView);
        Frame();  // a typed key repeats only after a frame without it
        Type('m');
        EXPECT_EQ(currentTool, chosen) << tool;
        EXPECT_FALSE(maskView);
        Frame();
    }
}

TEST_F(FrameLogicTest, MaskModeSurvivesChoosingAnotherTool) {
    Click(BUTTON_MASK);
    Type('d');
    EXPECT_EQ(currentTool, TOOL_DRAW);
    EXPECT_TRUE(maskView);
    Frame();
    Type('m');  // DRAW is current: M selects MASK again instead of leaving
    EXPECT_EQ(currentTool, TOOL_MASK);
    EXPECT_TRUE(maskView);
}

TEST_F(FrameLogicTest, ReduceDetailSwitchesWireframeOnAndLeavingKeepsIt) {
    ASSERT_FALSE(wireframe);
    Type('x');
    EXPECT_EQ(currentTool, TOOL_REDUCE_DETAIL);
    EXPECT_TRUE(wireframe);
    Click(BUTTON_DRAW);
    EXPECT_EQ(currentTool, TOOL_DRAW);
    EXPECT_TRUE(wireframe);
    Type('w');
    EXPECT_FALSE(wireframe);
    Frame();
    Click(BUTTON_WIREFRAME);
    EXPECT_TRUE(wireframe);
}

TEST_F(FrameLogicTest, EveryToolKeyAndButtonSelectsItsTool) {
    struct { char key; i32 button, tool; } cases[] = {
        {'e', BUTTON_CREASE, TOOL_CREASE},   {'r', BUTTON_ROTATE, TOOL_ROTATE},
        {'t', BUTTON_SCALE, TOOL_SCALE},     {'d', BUTTON_DRAW, TOOL_DRAW},
        {'f', BUTTON_FLATTEN, TOOL_FLATTEN}, {'g', BUTTON_GRAB, TOOL_GRAB},
        {'c', BUTTON_INFLATE, TOOL_INFLATE}, {'v', BUTTON_PINCH, TOOL_PINCH},
        {'b', BUTTON_SMOOTH, TOOL_SMOOTH},   {'x', BUTTON_REDUCE_DETAIL, TOOL_REDUCE_DETAIL},
    };
    for (auto c : cases) {
        currentTool = TOOL_MASK;
        Type(c.key);
        EXPECT_EQ(currentTool, c.tool) << c.key;
        currentTool = TOOL_MASK;
        Click(c.button);
        EXPECT_EQ(currentTool, c.tool) << c.key;
        EXPECT_EQ(previousTool, c.tool) << c.key;
    }
    Type('D');  // upper case is not the key
    EXPECT_EQ(currentTool, TOOL_REDUCE_DETAIL);
}

TEST_F(FrameLogicTest, BackspaceCountsOnlyWhileMaskIsCurrent) {
    Press({KEY_BACKSPACE});
    EXPECT_FALSE(commandLatch);
    Click(BUTTON_MASK);
    Frame();
    keysHeld[KEY_BACKSPACE] = 1;
    Frame();
    EXPECT_TRUE(commandLatch);
    keysHeld[KEY_BACKSPACE] = 0;
}

// ---- new meshes

TEST_F(FrameLogicTest, NewSphereWithChangesCancelledKeepsEverything) {
    Click(BUTTON_NEW_PLANE);
    ASSERT_EQ(liveTriangleCount, 512);
    modified = 1;
    services.boxAnswer = false;
    Click(BUTTON_NEW_SPHERE);
    ASSERT_EQ(services.boxCaptions.size(), 1u);
    EXPECT_EQ(services.boxCaptions[0], "Confirm new");
    EXPECT_EQ(liveTriangleCount, 512);
    EXPECT_TRUE(modified);
}

TEST_F(FrameLogicTest, NewPlaneResetsViewFileAndMarksAfterAsking) {
    modified = 1;
    strcpy(fileName, "/tmp/old.tf1");
    viewYaw = 33;
    zoom = zoomTarget = 3;
    Click(BUTTON_NEW_PLANE);
    EXPECT_EQ(services.boxCaptions.size(), 1u);
    EXPECT_EQ(liveTriangleCount, 512);
    EXPECT_EQ(startMeshType, 1);
    EXPECT_EQ(viewPitch, 30);
    EXPECT_EQ(viewYaw, 180);
    EXPECT_EQ(zoom, 1);
    EXPECT_FALSE(modified);
    EXPECT_EQ(fileName[0], 0);
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled  ");
    Click(BUTTON_NEW_SPHERE);  // nothing to lose now: no question
    EXPECT_EQ(services.boxCaptions.size(), 1u);
    EXPECT_EQ(liveTriangleCount, 2048);
    EXPECT_EQ(startMeshType, 0);
    EXPECT_EQ(viewPitch, 0);
}

// ---- undo and open

TEST_F(FrameLogicTest, UndoOfMaskFillRestoresMasksAndCutsTheStroke) {
    Click(BUTTON_MASK);
    Frame();  // the click was a command frame: keys re-arm after one without
    Press({KEY_BACKSPACE});
    ASSERT_EQ(vertices[0].mask, 1.0f);  // new vertices start at 0: the fill sets all to 1
    modified = 0;
    grabDragging = 1;
    strokeActive = 1;
    brush.cullValid = 1;
    meshSettled = 1;
    Frame();  // keys re-arm after a frame without command keys
    Press({KEY_LCTRL, KEY_Z});
    EXPECT_EQ(vertices[0].mask, 0.0f);
    EXPECT_TRUE(modified);
    EXPECT_FALSE(strokeActive);
    EXPECT_FALSE(grabDragging);
    EXPECT_FALSE(brush.cullValid);
    EXPECT_FALSE(meshSettled);
    EXPECT_EQ(idleFrames, 29);  // 28, and the undo frame itself refined once
    EXPECT_TRUE(fullRebuild || !arraysDirty);
}

TEST_F(FrameLogicTest, UndoWithoutSnapshotChangesNothing) {
    Press({KEY_RCTRL, KEY_Z});
    EXPECT_FALSE(modified);
    EXPECT_EQ(idleFrames, 0);
}

TEST_F(FrameLogicTest, SymmetryButtonTakesASnapshotFirst) {
    i32 next = undoNext;
    Click(BUTTON_SYMMETRY);
    EXPECT_EQ(undoNext, (next + 1) % UNDO_SLOT_COUNT);
    EXPECT_TRUE(undoRing[next].valid);
}

TEST_F(FrameLogicTest, NewMeshEmptiesTheUndoRing) {
    Click(BUTTON_MASK);
    Frame();
    Press({KEY_BACKSPACE});
    ASSERT_EQ(vertices[0].mask, 1.0f);
    Frame();
    Click(BUTTON_NEW_SPHERE);
    Frame();
    Press({KEY_LCTRL, KEY_Z});
    EXPECT_FALSE(modified);  // nothing reached back across the new sphere
    EXPECT_EQ(vertices[0].mask, 0.0f);
}

TEST_F(FrameLogicTest, OpenWithChangesAsksFirstAndCancelShowsNoDialog) {
    modified = 1;
    services.boxAnswer = false;
    Press({KEY_LCTRL, KEY_O});
    ASSERT_EQ(services.boxCaptions.size(), 1u);
    EXPECT_EQ(services.boxCaptions[0], "Confirm open");
    EXPECT_EQ(services.openDialogs, 0);
    services.boxAnswer = true;
    Click(BUTTON_OPEN);
    EXPECT_EQ(services.openDialogs, 1);
    EXPECT_TRUE(modified);  // the dialog was cancelled: nothing replaced
    modified = 0;
    Frame();
    Press({KEY_LCTRL, KEY_O});
    EXPECT_EQ(services.boxCaptions.size(), 2u);  // nothing to lose: not asked
    EXPECT_EQ(services.openDialogs, 2);
}

// ---- refinement cycle

TEST_F(FrameLogicTest, ClosingPassRunsOnTheThirdFrameAfterACommand) {
    meshSettled = 0;
    Click(BUTTON_NEW_SPHERE);  // the command's own frame is the first to refine
    EXPECT_EQ(idleFrames, 29);
    EXPECT_EQ(settleCount, 0);
    Frame();
    EXPECT_EQ(settleCount, 0);
    Frame();
    EXPECT_EQ(settleCount, 1);
    EXPECT_TRUE(meshSettled);
    Frames(10);
    EXPECT_EQ(settleCount, 1);
}

TEST_F(FrameLogicTest, StrokeRefinesEveryFrameThenSettlesOnceWithinThirtyFrames) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frames(4);
    EXPECT_EQ(idleFrames, 1);
    EXPECT_FALSE(meshSettled);
    mouseLeft = 0;
    Frame();
    vertices[3].position.z += 2;  // settling moved it after the stroke ended
    i32 frames = 1;
    while (!meshSettled && frames < 40) {
        Frame();
        frames++;
    }
    EXPECT_LE(frames, 30);
    EXPECT_EQ(settleCount, 1);
    EXPECT_EQ(vertices[3].refPosition.z, vertices[3].position.z);
    for (i32 i = 0; i < vertexCapacity; i++) EXPECT_FALSE(vertices[i].changed) << i;
    Frames(40);
    EXPECT_EQ(settleCount, 1);
}

TEST_F(FrameLogicTest, IdleFramesAboveThirtySettleEvenWhileBeautifyMoves) {
    meshSettled = 0;
    idleFrames = 30;
    quietBeautifyPasses = 0;
    Frame();
    EXPECT_TRUE(meshSettled);
    EXPECT_EQ(settleCount, 1);
}

// ---- material

TEST_F(FrameLogicTest, MaterialBeyondTheImagesFoundIsClampedToTheLast) {
    materialCount = 3;
    materialIndex = 7;
    Frame();
    EXPECT_EQ(materialIndex, 2);
    EXPECT_EQ(selectedMaterial, 2);
    EXPECT_TRUE(materialImageWanted);
    EXPECT_STREQ(materialImageName, "data/material3.png");
    materialImageWanted = 0;
    Frame();
    EXPECT_FALSE(materialImageWanted);  // unchanged: no second load
    materialIndex = -4;
    Frame();
    EXPECT_STREQ(materialImageName, "data/material1.png");
}
