// Save, open, undo and mask-fill commands with doubles for the dialogs and
// message boxes: which saves ask for a name, and that a failed save or open
// is reported to the user and changes nothing.
#include "app/app.h"
#include "app/commands.h"
#include "app/services.h"
#include "meshfile_fixture.h"
#include "tools/tools.h"

namespace {

struct Recorded {
    i32 dialogs;
    i32 dialogKind;
    std::string answer;  // empty = the user cancels
    std::vector<std::string> boxes;
};
Recorded recorded;

bool FakeDialog(char* out, i32 outSize, i32 kind, const char*) {
    recorded.dialogs++;
    recorded.dialogKind = kind;
    if (recorded.answer.empty()) return false;
    snprintf(out, (size_t)outSize, "%s", recorded.answer.c_str());
    return true;
}
bool FakeBox(const char* text, const char* caption, MessageBoxKind kind) {
    recorded.boxes.push_back(std::string(caption) + ": " + text + (kind == MESSAGE_ERROR_OK ? " [error]" : ""));
    return true;
}

class CommandsTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        ASSERT_TRUE(InitUndoRing());
        recorded = Recorded{};
        saved[0] = SaveFileDialog;
        saved[1] = OpenFileDialog;
        savedBox = ShowMessageBox;
        SaveFileDialog = OpenFileDialog = FakeDialog;
        ShowMessageBox = FakeBox;
        modified = 0;
        fileName[0] = 0;
        BuildSphere();
    }
    void TearDown() override {
        SaveFileDialog = saved[0];
        OpenFileDialog = saved[1];
        ShowMessageBox = savedBox;
        modified = 0;
        fileName[0] = 0;
        FreeUndoRing();
        MeshTest::TearDown();
    }
    bool (*saved[2])(char*, i32, i32, const char*);
    bool (*savedBox)(const char*, const char*, MessageBoxKind);
    TempDir dir;
};

TEST_F(CommandsTest, CtrlSSavesInPlaceOnlyWithANameAndWithoutShift) {
    std::string path = dir.File("a.tf1");
    recorded.answer = path;
    modified = 1;
    ASSERT_TRUE(SaveCommand(true, false));  // untitled: asks
    EXPECT_EQ(recorded.dialogs, 1);
    EXPECT_EQ(recorded.dialogKind, 0);
    EXPECT_EQ(std::string(fileName), path);
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(ReadBytes(path), ImageOfMesh());

    ASSERT_TRUE(SaveCommand(true, false));  // titled: in place
    EXPECT_EQ(recorded.dialogs, 1);
    ASSERT_TRUE(SaveCommand(true, true));   // Shift: asks
    EXPECT_EQ(recorded.dialogs, 2);
    ASSERT_TRUE(SaveCommand(false, false)); // the button: asks
    EXPECT_EQ(recorded.dialogs, 3);
    recorded.answer.clear();
    modified = 1;
    EXPECT_FALSE(SaveCommand(false, false)) << "cancelled";
    EXPECT_EQ(modified, 1);
    EXPECT_TRUE(recorded.boxes.empty());
}

TEST_F(CommandsTest, FailedSaveKeepsModifiedAndTheOldNameAndTellsTheUser) {
    snprintf(fileName, sizeof fileName, "%s", dir.File("old.tf1").c_str());
    modified = 1;
    recorded.answer = dir.File("missing-dir/new.tf1");
    EXPECT_FALSE(SaveCommand(false, false));
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(std::string(fileName), dir.File("old.tf1"));
    ASSERT_EQ(recorded.boxes.size(), 1u);
    EXPECT_EQ(recorded.boxes[0], "Error: Could not save the file. [error]");
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
    recorded.answer = path;
    ASSERT_TRUE(OpenCommand());
    EXPECT_EQ(ImageOfMesh(), plane);
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(std::string(fileName), path);
    EXPECT_FALSE(UndoCommand()) << "undo never reaches back across an open";
}

TEST_F(CommandsTest, DamagedFileIsNotOpenedAndTheUserIsTold) {
    std::string path = dir.File("bad.tf1");
    WriteBytes(path, std::vector<u8>(50, 0xFF));
    snprintf(fileName, sizeof fileName, "%s", "/some/where.tf1");
    modified = 1;
    ASSERT_TRUE(PushUndo());
    MeshRecordSnapshot before = SnapshotRecords();
    recorded.answer = path;
    EXPECT_FALSE(OpenCommand());
    EXPECT_TRUE(SnapshotRecords() == before);
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(std::string(fileName), "/some/where.tf1");
    ASSERT_EQ(recorded.boxes.size(), 1u);
    EXPECT_EQ(recorded.boxes[0], "Error: Could not open the file. [error]");
    EXPECT_TRUE(UndoCommand()) << "the undo ring survives a refused open";
}

TEST_F(CommandsTest, MaskFillIsUndoable) {
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
