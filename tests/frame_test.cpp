// Whole frames of the frame logic and its commands: confirmations, key
// latches, toggles, save, open, undo, new meshes, material and settling.
#include "frame_fixture.h"

using FrameLogicTest = FrameTest;
using Boxes = std::vector<std::string>;

// Each command that would lose unsaved changes asks once per press; Cancel
// stops it, and with nothing to lose it goes ahead without asking.
TEST_F(FrameLogicTest, CommandsThatLoseChangesAskFirstAndCancelStopsThem) {
    struct {
        std::string caption;
        std::vector<i32> keys;  // held for two frames, else the button is clicked
        i32 button;
    } commands[] = {
        {"Confirm exit", {KEY_ESCAPE}, -1},       {"Confirm exit", {KEY_RALT, KEY_F4}, -1},
        {"Confirm open", {KEY_LCTRL, KEY_O}, -1}, {"Confirm open", {}, BUTTON_OPEN},
        {"Confirm new", {}, BUTTON_NEW_PLANE},    {"Confirm new", {}, BUTTON_NEW_SPHERE},
    };
    for (auto& c : commands) {
        for (i32 step = 0; step < 3; step++) {  // changes + Cancel, changes + OK, no changes
            SCOPED_TRACE(testing::Message() << c.caption << ", step " << step);
            services = ServiceLog{};
            services.boxAnswer = step == 1;
            modified = step < 2;
            viewYaw = 33;  // a new mesh resets the view
            bool running = c.button < 0 ? Press(c.keys, 2) : (Click(c.button), true);
            Frame();  // a frame without the keys re-arms them
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
    Press({KEY_LCTRL, KEY_S}, 5);  // untitled: Ctrl+S asks for a name
    Frame();                       // all command keys released for one frame re-arms them
    keysHeld[KEY_LCTRL] = keysHeld[KEY_S] = 1;
    Frame();
    Press({KEY_K});  // pressed while Ctrl+S is still held
    EXPECT_TRUE(services.saveDialogs == 2 && !bumpShading);
    keysHeld[KEY_LCTRL] = keysHeld[KEY_S] = 0;
    Frame();
    vertices[5].position.x += 1;
    Press({KEY_K});
    EXPECT_TRUE(bumpShading && shaderRebuildWanted);
    EXPECT_TRUE(fullRebuild && meshChanged && arraysDirty && savedArraysDirty);
    EXPECT_EQ(vertices[5].savedPosition.x, vertices[5].position.x) << "the rest state is stored";
    shaderRebuildWanted = 0;
    Frame();
    Press({KEY_K});  // already on: stays on, nothing to rebuild
    EXPECT_TRUE(bumpShading && !shaderRebuildWanted);
    Frame();
    Press({KEY_K, KEY_LSHIFT});
    EXPECT_TRUE(!bumpShading && shaderRebuildWanted);
    keysPressed[KEY_K] = 1;  // a new press (quick, or frames slow) fires right after a command
    Press({KEY_K});
    EXPECT_TRUE(bumpShading);
}

TEST_F(FrameLogicTest, TabTwiceRestoresDetailBiasExactlyAndTheSliderReenables) {
    detailBias = 1.37f;
    Press({KEY_TAB}, 4);
    EXPECT_TRUE(detailBias == 0 && !detailEnabled);
    EXPECT_NEAR(detailPos, -0.1f * 0.5263158f, 1e-6f);
    Frame();
    Press({KEY_TAB});
    EXPECT_TRUE(detailBias == 1.37f && detailEnabled);
    EXPECT_NEAR(detailPos, (1.37f - 0.1f) * 0.5263158f, 1e-6f);
    Frame();
    Press({KEY_TAB});
    detailBias = 0.8f;  // the detail slider moved
    Frame();
    EXPECT_TRUE(detailEnabled);
}

// Tool keys and buttons select a tool (and the tool to return to); mask
// mode comes and goes with M or its button.
TEST_F(FrameLogicTest, MaskTwiceReturnsToThePreviousToolEvenReduceDetailWhichShowsWires) {
    for (i32 tool : {TOOL_INFLATE, TOOL_REDUCE_DETAIL}) {
        tool == TOOL_INFLATE ? Click(BUTTON_INFLATE) : Type('x');
        EXPECT_TRUE(currentTool == tool && previousTool == tool);
        EXPECT_EQ((bool)wireframe, tool != TOOL_INFLATE) << "REDUCE DETAIL switches wires on";
        Type('m');
        EXPECT_TRUE(currentTool == TOOL_MASK && maskView);
        Frame();  // a typed key repeats only after a frame without it
        Type('m');
        EXPECT_TRUE(currentTool == tool && !maskView);
        Frame();
    }
    // Mask mode survives choosing another tool; M then selects MASK again.
    Click(BUTTON_MASK);
    Type('d');
    EXPECT_TRUE(currentTool == TOOL_DRAW && maskView);
    Frame();
    Type('m');
    EXPECT_TRUE(currentTool == TOOL_MASK && maskView && colorsDirty);
    EXPECT_TRUE(wireframe) << "leaving REDUCE DETAIL keeps the wireframe";
    Frame();
    Type('w');
    EXPECT_FALSE(wireframe);
    Frame();
    Click(BUTTON_WIREFRAME);
    EXPECT_TRUE(wireframe);
}

// The symmetry button is a history step; a new mesh leaves nothing to undo.
TEST_F(FrameLogicTest, NewMeshResetsViewFileMarkAndUndoRing) {
    Click(BUTTON_SYMMETRY);
    EXPECT_EQ(historyPosition, 1);
    modified = 1;
    strcpy(fileName, "/tmp/old.tf1");
    zoom = zoomTarget = 3;
    Click(BUTTON_NEW_PLANE);
    // Symmetry is on by now, so the new mesh is cut in half.
    EXPECT_TRUE(liveTriangleCount == 512 / 2 && startMeshType == 1);
    EXPECT_TRUE(viewPitch == 30 && zoom == 1 && !modified && !fileName[0]);
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled  ");
    Frame();
    Press({KEY_LCTRL, KEY_Z});
    EXPECT_FALSE(modified) << "undo reached back across the new plane";
    Click(BUTTON_NEW_SPHERE);
    EXPECT_TRUE(liveTriangleCount == 2048 / 2 && startMeshType == 0 && viewPitch == 0);
    for (i32 i = 0; i < vertexCapacity; i++)
        ASSERT_FALSE(vertices[i].changed) << "nothing to relax";
}

// Backspace fills the mask only while MASK is current; undoing the fill
// also cuts the stroke and the drag, and leaves the restored mesh settled.
TEST_F(FrameLogicTest, UndoOfMaskFillRestoresMasksAndCutsTheStroke) {
    Press({KEY_RCTRL, KEY_Z});  // an empty ring: nothing happens
    EXPECT_TRUE(!modified && idleFrames == 0);
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
    EXPECT_TRUE(vertices[0].mask == 0 && modified);
    EXPECT_EQ(services.title, "Tessaform alpha - Untitled *");
    EXPECT_FALSE(strokeActive || grabDragging || brush.cullValid);
    EXPECT_TRUE(meshSettled);
    Frame();
    Press({KEY_Z});
    EXPECT_EQ(vertices[0].mask, 0.0f) << "Z alone redoes nothing";
    Frame();
    Press({KEY_LCTRL, KEY_Y});
    EXPECT_EQ(vertices[0].mask, 1.0f) << "Ctrl+Y redoes the fill";
    Frame();
    Press({KEY_Z});
    EXPECT_EQ(vertices[0].mask, 1.0f) << "Z alone undoes nothing";
    Frame();
    Press({KEY_LCTRL, KEY_LSHIFT, KEY_Z});
    EXPECT_EQ(vertices[0].mask, 1.0f) << "Ctrl+Shift+Z redoes, never undoes";
}

// A stroke refines every frame; after it (within 30 frames), and on the third
// frame after a command (idleFrames 28), one closing pass settles the mesh.
TEST_F(FrameLogicTest, ClosingPassRunsOncePerSettleAndOnTheThirdFrameAfterACommand) {
    ShowSphereUnderCursor();
    mouseLeft = 1;
    Frames(4);
    EXPECT_TRUE(idleFrames == 1 && !meshSettled);
    mouseLeft = 0;
    Frame();
    // Settling moved one of the workset's vertices after the stroke ended.
    Vertex& settled = vertices[workset.vertices.items[workset.vertices.count / 2]];
    settled.position.z += 2;
    i32 frames = 1;
    for (; !meshSettled && frames < 40; frames++) Frame();
    EXPECT_LE(frames, 30);
    EXPECT_EQ(settled.refPosition.z, settled.position.z);
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
    meshSettled = quietBeautifyPasses = 0;
    idleFrames = 30;
    Frame();
    EXPECT_TRUE(meshSettled && settleCount == 3);
}

TEST_F(FrameLogicTest, MaterialBeyondTheImagesFoundIsClampedToTheLast) {
    materialCount = 3;
    materialIndex = 7;
    Frame();
    EXPECT_TRUE(materialIndex == 2 && selectedMaterial == 2 && materialImageWanted);
    EXPECT_STREQ(materialImageName, "data/material3.png");
    materialImageWanted = 0;
    Frame();
    EXPECT_FALSE(materialImageWanted);  // unchanged: no second load
    materialIndex = 3;                  // one past the last image
    Frame();
    EXPECT_EQ(materialIndex, 2);
    materialIndex = -4;
    Frame();
    EXPECT_STREQ(materialImageName, "data/material1.png");
}

// ---- file and undo commands

TEST_F(FrameTest, SaveAsksForANameUnlessTitledFromTheKeysAndAFailureChangesNothing) {
    std::string path = dir.File("a.tf1");
    services.dialogAnswer = path;
    modified = 1;
    ASSERT_TRUE(SaveCommand(true, false));  // untitled: asks
    EXPECT_TRUE(services.saveDialogs == 1 && services.dialogKind == 0);
    EXPECT_EQ(services.title, "Tessaform alpha - a.tf1  ") << "the name alone, unmodified";
    EXPECT_TRUE(std::string(fileName) == path && !modified);
    EXPECT_EQ(ReadBytes(path), ImageOfMesh());
    ASSERT_TRUE(SaveCommand(true, false));  // titled: in place
    EXPECT_EQ(services.saveDialogs, 1);
    ASSERT_TRUE(SaveCommand(true, true));    // Shift: asks
    ASSERT_TRUE(SaveCommand(false, false));  // the button: asks
    EXPECT_EQ(services.saveDialogs, 3);
    services.dialogAnswer.clear();
    modified = 1;
    EXPECT_FALSE(SaveCommand(false, false)) << "cancelled";
    EXPECT_TRUE(modified && services.boxes.empty());
    services.dialogAnswer = dir.File("missing-dir/new.tf1");
    EXPECT_FALSE(SaveCommand(false, false));
    EXPECT_TRUE(modified && std::string(fileName) == path);
    EXPECT_EQ(services.boxes, Boxes{"Error: Could not save the file. [error]"});
}

TEST_F(FrameTest, OpenReplacesTheSculptureAndEmptiesTheUndoRingButADamagedFileChangesNothing) {
    std::string bad = dir.File("bad.tf1"), good = dir.File("plane.tf1");
    WriteBytes(bad, std::vector<u8>(50, 0xFF));
    strcpy(fileName, "/some/where.tf1");
    modified = 1;
    ASSERT_TRUE(PushUndo());
    MeshRecordSnapshot before = SnapshotRecords();
    services.dialogAnswer = bad;
    EXPECT_FALSE(OpenCommand());
    EXPECT_TRUE(SnapshotRecords() == before);
    EXPECT_TRUE(modified && std::string(fileName) == "/some/where.tf1");
    EXPECT_EQ(services.boxes, Boxes{"Error: Could not open the file. [error]"});
    EXPECT_TRUE(undoRing[0].valid) << "the undo ring survives a refused open";
    ResetAllocation();
    BuildPlane();
    ASSERT_TRUE(SaveMesh(good.c_str()));
    std::vector<u8> plane = ImageOfMesh();
    ResetAllocation();
    BuildSphere();
    services.dialogAnswer = good;
    modified = 0;  // unchanged work: only the open itself can rename the title
    Frame();
    Press({KEY_LCTRL, KEY_O});
    EXPECT_EQ(services.title, "Tessaform alpha - plane.tf1  ");
    EXPECT_EQ(ImageOfMesh(), plane);  // the regular plane does not move when it relaxes
    EXPECT_TRUE(!modified && std::string(fileName) == good);
    EXPECT_FALSE(meshSettled) << "the opened sculpture relaxes afresh";
    EXPECT_EQ(quietBeautifyPasses, 1);
    EXPECT_FALSE(UndoCommand()) << "undo never reaches back across an open";
}

// The fill sets every mask to 1 when none is above 0.1, else clears them all.
TEST_F(FrameTest, MaskFillAndClearAreEachUndoable) {
    std::vector<u8> before = ImageOfMesh();
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.1f;
    MaskFillCommand();
    EXPECT_TRUE(vertices[0].mask == 1 && modified);
    EXPECT_TRUE(arraysDirty && colorsDirty && fullRebuild) << "every vertex's colour changed";
    MaskFillCommand();
    EXPECT_EQ(vertices[0].mask, 0.0f);
    vertices[7].mask = 0.5f;  // one vertex above 0.1 clears all
    MaskFillCommand();
    EXPECT_EQ(vertices[7].mask, 0.0f);
    for (f32 mask : {0.5f, 1.0f, 0.1f}) {
        ASSERT_TRUE(UndoCommand());
        EXPECT_EQ(vertices[7].mask, mask);
    }
    EXPECT_FALSE(UndoCommand());
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0;
    EXPECT_EQ(ImageOfMesh(), before);
}
