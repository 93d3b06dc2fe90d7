// The undo ring: twelve slots, one-way restores, buffer growth, restores in
// place without a storage reset, and damaged snapshots refused. Pushes and
// pops among random edits run in the chain test.
#include "meshfile_fixture.h"

namespace {

class UndoTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        ASSERT_TRUE(InitUndoRing());
    }
    void TearDown() override {
        MeshTest::TearDown();
        FreeUndoRing();
    }
};

// Vertex 0's mask records which step the mesh is at.
void MarkStep(i32 n) { vertices[0].mask = (f32)n / 100.0f; }
i32 StepOfMesh() { return (i32)std::lround(vertices[0].mask * 100.0f); }

// Step 13 overwrites step 1's slot; each restore is used up, so the pop
// after step 2 finds nothing, not step 13 a second time.
TEST_F(UndoTest, ThirteenPushesAllowTwelvePopsAndTheThirteenthFails) {
    MakeQuad();
    for (i32 n = 1; n <= 13; n++) {
        MarkStep(n);
        ASSERT_TRUE(PushUndo());
    }
    MarkStep(99);
    for (i32 n = 13; n >= 2; n--) {
        ASSERT_TRUE(PopUndo()) << "pop of step " << n;
        EXPECT_EQ(StepOfMesh(), n);
    }
    EXPECT_FALSE(PopUndo());
    EXPECT_EQ(StepOfMesh(), 2);
}

TEST_F(UndoTest, EmptyClearedUsedUpOrMissingRingRestoresNothing) {
    MakeQuad();
    MeshRecordSnapshot before = SnapshotRecords();
    EXPECT_FALSE(PopUndo());
    EXPECT_TRUE(SnapshotRecords() == before);
    ASSERT_TRUE(PushUndo());
    ClearUndoRing();
    EXPECT_FALSE(PopUndo()) << "a cleared ring reaches back across nothing";
    MarkStep(5);
    ASSERT_TRUE(PushUndo());
    MarkStep(6);
    ASSERT_TRUE(PopUndo());
    EXPECT_FALSE(PopUndo()) << "there is no redo and no second restore";
    EXPECT_EQ(StepOfMesh(), 5);
    FreeUndoRing();
    EXPECT_FALSE(PushUndo());
    EXPECT_FALSE(PopUndo());
}

// A refined sphere with a hole at slot 500, in grown storage: the snapshot
// outgrows the first buffer, and the restore refills the arrays in place,
// closing the gap, without a storage reset.
TEST_F(UndoTest, LargeSnapshotGrowsItsBufferByHalvesAndRestoresInPlace) {
    AllocateVertices();
    MakeMarkedSphere();
    SubdivideAll();
    i32 capacity = vertexCapacity;
    ASSERT_FALSE(vertices[500].active) << "the gap the restore must close";
    std::vector<u8> image = ImageOfMesh();
    ASSERT_GT(image.size(), (size_t)UNDO_INITIAL_BYTES);
    const UndoSlot& s = undoRing[undoNext];
    ASSERT_TRUE(PushUndo());
    EXPECT_EQ((size_t)s.length, image.size());
    EXPECT_EQ(s.capacity, UNDO_INITIAL_BYTES * 3 / 2 * 3 / 2);  // 102400 -> 153600 -> 230400
    // Wrapping round to the same slot starts from the grown buffer.
    for (i32 n = 0; n < UNDO_SLOT_COUNT; n++) ASSERT_TRUE(PushUndo());
    EXPECT_EQ(s.capacity, UNDO_INITIAL_BYTES * 3 / 2 * 3 / 2);
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.25f;
    ASSERT_TRUE(PopUndo());
    EXPECT_EQ(vertexCapacity, capacity) << "undo must not reset the storage";
    for (i32 i = 0; i < liveVertexCount; i++) ASSERT_TRUE(vertices[i].active) << i;
    EXPECT_EQ(ImageOfMesh(), image);
}

TEST_F(UndoTest, DamagedSnapshotIsRefusedWithTheSculptureKept) {
    BuildSphere();
    UndoSlot& s = undoRing[undoNext];
    ASSERT_TRUE(PushUndo());
    std::vector<u8> bytes(s.bytes, s.bytes + s.length);
    PutU32At(bytes, TriangleEntry(bytes, 7), 0x7FFFFFFF);
    memcpy(s.bytes, bytes.data(), bytes.size());
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.75f;
    MeshRecordSnapshot before = SnapshotRecords();
    TestLog log;
    EXPECT_FALSE(PopUndo());
    EXPECT_TRUE(SnapshotRecords() == before);
    EXPECT_NE(log.Text().find("file error"), std::string::npos);
    EXPECT_FALSE(s.valid);
}

}  // namespace
