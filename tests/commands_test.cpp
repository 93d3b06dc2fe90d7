// Save, open and mask-fill commands with the frame tests' doubles for the
// dialogs and message boxes: which saves ask for a name, and that a failed
// save or open is reported to the user and changes nothing.
#include "app/commands.h"
#include "frame_fixture.h"
#include "meshfile_fixture.h"

namespace {

class CommandsTest : public FrameTest {
protected:
    TempDir dir;
};
using Boxes = std::vector<std::string>;

TEST_F(CommandsTest, CtrlSSavesInPlaceOnlyWithANameAndWithoutShift) {
    std::string path = dir.File("a.tf1");
    services.dialogAnswer = path;
    modified = 1;
    ASSERT_TRUE(SaveCommand(true, false));  // untitled: asks
    EXPECT_EQ(services.saveDialogs, 1);
    EXPECT_EQ(services.dialogKind, 0);
    EXPECT_EQ(std::string(fileName), path);
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(ReadBytes(path), ImageOfMesh());
    ASSERT_TRUE(SaveCommand(true, false));  // titled: in place
    EXPECT_EQ(services.saveDialogs, 1);
    ASSERT_TRUE(SaveCommand(true, true));  // Shift: asks
    EXPECT_EQ(services.saveDialogs, 2);
    ASSERT_TRUE(SaveCommand(false, false));  // the button: asks
    EXPECT_EQ(services.saveDialogs, 3);
    services.dialogAnswer.clear();
    modified = 1;
    EXPECT_FALSE(SaveCommand(false, false)) << "cancelled";
    EXPECT_EQ(modified, 1);
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(CommandsTest, FailedSaveKeepsModifiedAndTheOldNameAndTellsTheUser) {
    snprintf(fileName, sizeof fileName, "%s", dir.File("old.tf1").c_str());
    modified = 1;
    services.dialogAnswer = dir.File("missing-dir/new.tf1");
    EXPECT_FALSE(SaveCommand(false, false));
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(std::string(fileName), dir.File("old.tf1"));
    EXPECT_EQ(services.boxes, Boxes{"Error: Could not save the file. [error]"});
}

TEST_F(CommandsTest, OpenReplacesTheSculptureAndEmptiesTheUndoRing) {
    std::string path = dir.File("plane.tf1");
    ResetAllocation();
    BuildPlane();
    ASSERT_TRUE(SaveMesh(path.c_str()));
    std::vector<u8> plane = ImageOfMesh();
    ResetAllocation();
    BuildSphere();
    ASSERT_TRUE(PushUndo());
    modified = 1;
    services.dialogAnswer = path;
    ASSERT_TRUE(OpenCommand());
    EXPECT_EQ(ImageOfMesh(), plane);
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(std::string(fileName), path);
    EXPECT_FALSE(UndoCommand()) << "undo never reaches back across an open";
}

TEST_F(CommandsTest, DamagedFileIsNotOpenedAndTheUserIsTold) {
    std::string path = dir.File("bad.tf1");
    WriteBytes(path, std::vector<u8>(50, 0xFF));
    strcpy(fileName, "/some/where.tf1");
    modified = 1;
    ASSERT_TRUE(PushUndo());
    MeshRecordSnapshot before = SnapshotRecords();
    services.dialogAnswer = path;
    EXPECT_FALSE(OpenCommand());
    EXPECT_TRUE(SnapshotRecords() == before);
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(std::string(fileName), "/some/where.tf1");
    EXPECT_EQ(services.boxes, Boxes{"Error: Could not open the file. [error]"});
    EXPECT_TRUE(UndoCommand()) << "the undo ring survives a refused open";
}

TEST_F(CommandsTest, MaskFillAndClearAreEachUndoable) {
    std::vector<u8> before = ImageOfMesh();
    MaskFillCommand();
    EXPECT_EQ(vertices[0].mask, 1.0f);
    EXPECT_TRUE(arraysDirty && colorsDirty && fullRebuild) << "every vertex's colour changed";
    EXPECT_EQ(modified, 1);
    MaskFillCommand();
    EXPECT_EQ(vertices[0].mask, 0.0f);
    ASSERT_TRUE(UndoCommand());
    EXPECT_EQ(vertices[0].mask, 1.0f);
    ASSERT_TRUE(UndoCommand());
    EXPECT_EQ(ImageOfMesh(), before);
    EXPECT_FALSE(UndoCommand());
}

}  // namespace
