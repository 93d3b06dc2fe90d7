// Whole frames of the frame logic: the window title, the question before
// losing unsaved changes, key commands firing once per press, the mask,
// detail and tool toggles, undo's side effects, new meshes, the material,
// and the refinement cycle's single closing pass per settle.
#include <functional>
#include "app/commands.h"
#include "base/settings.h"
#include "frame_fixture.h"

using FrameLogicTest = FrameTest;
using Boxes = std::vector<std::string>;

TEST_F(FrameLogicTest, TitleShowsOnlyTheFileNameAndTheUnsavedMark) {
    SetWindowTitle();
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled  ");
    modified = 1;
    for (const char* path : {"", "/home/u/name.tf1", "C:\\sculpts\\name.tf1", "name.tf1"}) {
        strcpy(fileName, path);
        SetWindowTitle();
        EXPECT_EQ(services.title,
                  std::string("Tessaform alpha - ") + (*path ? "name.tf1" : "Untitled") + " *");
    }
    // The first stroke frame marks the title; later frames leave it alone.
    fileName[0] = modified = 0;
    Frame();
    services.title.clear();
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frame();
    EXPECT_TRUE(modified);
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled *");
    services.title.clear();
    Frame();
    EXPECT_EQ(services.title, "");
}

// Each command that would lose unsaved changes asks once per press; Cancel
// stops it, and with nothing to lose it goes ahead without asking.
TEST_F(FrameLogicTest, CommandsThatLoseChangesAskFirstAndCancelStopsThem) {
    bool running = true;
    auto held = [&](std::initializer_list<i32> keys) {  // two frames, then one to re-arm
        running = Press(keys, 2);
        Frame();
    };
    auto clicked = [&](i32 button) {
        Click(button);
        Frame();
    };
    struct {
        std::string caption;
        std::function<void()> command;
    } commands[] = {
        {"Confirm exit", [&] { held({KEY_ESCAPE}); }},
        {"Confirm exit",
         [&] {
             held({KEY_RALT, KEY_F4});
         }},
        {"Confirm open",
         [&] {
             held({KEY_LCTRL, KEY_O});
         }},
        {"Confirm open", [&] { clicked(BUTTON_OPEN); }},
        {"Confirm new", [&] { clicked(BUTTON_NEW_PLANE); }},
        {"Confirm new", [&] { clicked(BUTTON_NEW_SPHERE); }},
    };
    for (auto& c : commands) {
        for (i32 step = 0; step < 3; step++) {  // changes + Cancel, changes + OK, no changes
            SCOPED_TRACE(testing::Message() << c.caption << ", step " << step);
            services = ServiceLog{};
            services.boxAnswer = step == 1;
            modified = step < 2;
            running = true;
            viewYaw = 33;  // a new mesh resets the view
            c.command();
            bool wentAhead = c.caption == "Confirm exit"   ? !running
                             : c.caption == "Confirm open" ? services.openDialogs == 1
                                                           : viewYaw == 180;
            EXPECT_EQ(wentAhead, step > 0);
            Boxes asked = {c.caption + ": Changes will be lost, ok? [ok/cancel]"};
            EXPECT_EQ(services.boxes, step < 2 ? asked : Boxes{});
            // Only a new mesh replaces the sculpture (the open dialog is cancelled).
            EXPECT_TRUE((wentAhead && c.caption == "Confirm new") || modified == (step < 2));
        }
    }
    keysHeld[KEY_F4] = 1;
    EXPECT_TRUE(Frame()) << "F4 without Alt is no quit key";
}

TEST_F(FrameLogicTest, CommandKeysActOncePerPressAndAHeldOneBlocksOthers) {
    keysHeld[KEY_LCTRL] = keysHeld[KEY_S] = 1;  // untitled: Ctrl+S asks for a name
    Frames(5);
    EXPECT_EQ(services.saveDialogs, 1);
    keysHeld[KEY_S] = 0;
    Frame();  // all command keys released for one frame re-arms them
    keysHeld[KEY_S] = 1;
    Frame();
    EXPECT_EQ(services.saveDialogs, 2);
    keysHeld[KEY_K] = 1;  // pressed while Ctrl+S is still held
    Frame();
    EXPECT_FALSE(bumpShading);
    keysHeld[KEY_S] = keysHeld[KEY_K] = 0;
    Frame();
    Press({KEY_K});
    EXPECT_TRUE(bumpShading && shaderRebuildWanted);
    EXPECT_TRUE(fullRebuild && meshChanged && arraysDirty);
    shaderRebuildWanted = 0;
    Frame();
    Press({KEY_K});  // already on: stays on, nothing to rebuild
    EXPECT_TRUE(bumpShading && !shaderRebuildWanted);
    Frame();
    Press({KEY_K, KEY_LSHIFT});
    EXPECT_TRUE(!bumpShading && shaderRebuildWanted);
}

TEST_F(FrameLogicTest, TabTwiceRestoresDetailBiasExactlyAndTheSliderReenables) {
    detailBias = 1.37f;
    Press({KEY_TAB}, 4);
    EXPECT_EQ(detailBias, 0.0f);
    EXPECT_FALSE(detailEnabled);
    EXPECT_NEAR(detailPos, -0.1f * 0.5263158f, 1e-6f);
    Frame();
    Press({KEY_TAB});
    EXPECT_EQ(detailBias, 1.37f);
    EXPECT_TRUE(detailEnabled);
    EXPECT_NEAR(detailPos, (1.37f - 0.1f) * 0.5263158f, 1e-6f);
    Frame();
    Press({KEY_TAB});
    detailBias = 0.8f;  // the detail slider moved
    Frame();
    EXPECT_TRUE(detailEnabled);
}

TEST_F(FrameLogicTest, MaskTwiceReturnsToThePreviousToolEvenReduceDetailWhichShowsWires) {
    for (char tool : {'c', 'x'}) {
        Type(tool);
        i32 chosen = currentTool;
        EXPECT_EQ((bool)wireframe, tool == 'x') << "REDUCE DETAIL switches the wireframe on";
        Type('m');
        EXPECT_TRUE(currentTool == TOOL_MASK && maskView);
        Frame();  // a typed key repeats only after a frame without it
        Type('m');
        EXPECT_EQ(currentTool, chosen) << tool;
        EXPECT_FALSE(maskView);
        Frame();
    }
    // Mask mode survives choosing another tool; M then selects MASK again.
    Click(BUTTON_MASK);
    Type('d');
    EXPECT_TRUE(currentTool == TOOL_DRAW && maskView);
    Frame();
    Type('m');
    EXPECT_TRUE(currentTool == TOOL_MASK && maskView);
    EXPECT_TRUE(wireframe) << "leaving REDUCE DETAIL keeps the wireframe";
    Frame();
    Type('w');
    EXPECT_FALSE(wireframe);
    Frame();
    Click(BUTTON_WIREFRAME);
    EXPECT_TRUE(wireframe);
}

TEST_F(FrameLogicTest, EveryToolKeyAndButtonSelectsItsTool) {
    struct {
        char key;
        i32 button, tool;
    } cases[] = {
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

// The symmetry button snapshots first; a new mesh leaves nothing to undo.
TEST_F(FrameLogicTest, NewMeshResetsViewFileMarkAndUndoRing) {
    i32 next = undoNext;
    Click(BUTTON_SYMMETRY);
    EXPECT_EQ(undoNext, (next + 1) % UNDO_SLOT_COUNT);
    EXPECT_TRUE(undoRing[next].valid);
    modified = 1;
    strcpy(fileName, "/tmp/old.tf1");
    zoom = zoomTarget = 3;
    Click(BUTTON_NEW_PLANE);
    EXPECT_EQ(liveTriangleCount, 512 / 2);  // symmetry is on now: the new mesh is cut
    EXPECT_EQ(startMeshType, 1);
    EXPECT_EQ(viewPitch, 30);
    EXPECT_EQ(zoom, 1);
    EXPECT_FALSE(modified);
    EXPECT_EQ(fileName[0], 0);
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled  ");
    Frame();
    Press({KEY_LCTRL, KEY_Z});
    EXPECT_FALSE(modified) << "undo reached back across the new plane";
    Click(BUTTON_NEW_SPHERE);
    EXPECT_EQ(liveTriangleCount, 2048 / 2);
    EXPECT_EQ(startMeshType, 0);
    EXPECT_EQ(viewPitch, 0);
}

// Backspace fills the mask only while MASK is current; undoing the fill
// also cuts the stroke and the drag and restarts refinement.
TEST_F(FrameLogicTest, UndoOfMaskFillRestoresMasksAndCutsTheStroke) {
    Press({KEY_RCTRL, KEY_Z});  // an empty ring: nothing happens
    EXPECT_FALSE(modified);
    EXPECT_EQ(idleFrames, 0);
    Frame();
    Press({KEY_BACKSPACE});
    EXPECT_EQ(vertices[0].mask, 0.0f);
    Click(BUTTON_MASK);
    Frame();  // the click was a command frame: keys re-arm after one without
    Press({KEY_BACKSPACE});
    ASSERT_EQ(vertices[0].mask, 1.0f);
    modified = 0;
    grabDragging = strokeActive = brush.cullValid = meshSettled = 1;
    Frame();
    Press({KEY_LCTRL, KEY_Z});
    EXPECT_EQ(vertices[0].mask, 0.0f);
    EXPECT_TRUE(modified);
    EXPECT_FALSE(strokeActive || grabDragging || brush.cullValid || meshSettled);
    EXPECT_EQ(idleFrames, 29);  // 28, and the undo frame itself refined once
    EXPECT_TRUE(fullRebuild || !arraysDirty);
}

// A stroke refines every frame; after it (within 30 frames), and on the third
// frame after a command (idleFrames 28), one closing pass settles the mesh.
TEST_F(FrameLogicTest, ClosingPassRunsOncePerSettleAndOnTheThirdFrameAfterACommand) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frames(4);
    EXPECT_EQ(idleFrames, 1);
    EXPECT_FALSE(meshSettled);
    mouseLeft = 0;
    Frame();
    vertices[3].position.z += 2;  // settling moved it after the stroke ended
    i32 frames = 1;
    for (; !meshSettled && frames < 40; frames++) Frame();
    EXPECT_LE(frames, 30);
    EXPECT_EQ(vertices[3].refPosition.z, vertices[3].position.z);
    for (i32 i = 0; i < vertexCapacity; i++) ASSERT_FALSE(vertices[i].changed) << i;
    Frames(40);
    EXPECT_EQ(settleCount, 1);
    Click(BUTTON_NEW_SPHERE);  // the command's own frame is the first to refine
    EXPECT_EQ(idleFrames, 29);
    Frame();
    EXPECT_EQ(settleCount, 1);
    Frame();
    EXPECT_EQ(settleCount, 2);
    // Past 30 idle frames it settles even while relaxation still moves.
    meshSettled = 0;
    idleFrames = 30;
    quietBeautifyPasses = 0;
    Frame();
    EXPECT_TRUE(meshSettled);
    EXPECT_EQ(settleCount, 3);
}

TEST_F(FrameLogicTest, MaterialBeyondTheImagesFoundIsClampedToTheLast) {
    materialCount = 3;
    materialIndex = 7;
    Frame();
    EXPECT_TRUE(materialIndex == 2 && selectedMaterial == 2);
    EXPECT_STREQ(materialImageName, "data/material3.png");
    EXPECT_TRUE(materialImageWanted);
    materialImageWanted = 0;
    Frame();
    EXPECT_FALSE(materialImageWanted);  // unchanged: no second load
    materialIndex = -4;
    Frame();
    EXPECT_STREQ(materialImageName, "data/material1.png");
}
