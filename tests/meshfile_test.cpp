// Sculpture files and the undo ring: byte layout, round trips, the safe
// save, damaged files and snapshots refused with the sculpture untouched.
#include <fcntl.h>
#include <functional>
#include <random>
#include "meshfile_fixture.h"

namespace {

class MeshFileTest : public MeshTest {
protected:
    TempDir dir;
    void SetUp() override {
        MeshTest::SetUp();
        ASSERT_TRUE(InitUndoRing());
    }
    void TearDown() override {
        symmetry = 0;
        MeshTest::TearDown();
        FreeUndoRing();
    }
};

TEST_F(MeshFileTest, OneTriangleFileIs72LittleEndianBytesAndAnEmptyOne9) {
    std::string path = dir.File("mesh.tf1");
    ASSERT_TRUE(SaveMesh(path.c_str()));
    EXPECT_EQ(ReadBytes(path), std::vector<u8>(9, 0));
    Vertex* a = AddVertex(1, 2, 3);
    Vertex* b = AddVertex(-4.5f, 0, 0.25f);
    Vertex* c = AddVertex(0, 7, 0);
    a->mask = 0.5f;
    c->onMirrorLine = 1;
    AddTriangle(a, b, c);
    symmetry = 1;
    ASSERT_TRUE(SaveMesh(path.c_str()));
    // Counts, symmetry, then x y z mask flag per vertex and corners per triangle.
    std::vector<u8> expected(72, 0);
    const f32 fields[3][4] = {{1, 2, 3, 0.5f}, {-4.5f, 0, 0.25f, 0}, {0, 7, 0, 0}};
    for (i32 i = 0; i < 12; i++)
        PutF32At(expected, VertexEntry(i / 4) + 4 * (i % 4), fields[i / 4][i % 4]);
    const u32 counts[] = {3, 1}, corners[] = {0, 1, 2};
    memcpy(&expected[0], counts, 8);
    memcpy(&expected[60], corners, 12);
    expected[8] = expected[VertexEntry(2) + 16] = 1;
    EXPECT_EQ(ReadBytes(path), expected);
    // An empty image loads as an empty sculpture.
    WriteBytes(path, std::vector<u8>(9, 0));
    ASSERT_TRUE(LoadMesh(path.c_str()));
    EXPECT_EQ(liveVertexCount + liveTriangleCount, 0);
}

// A value the reader would refuse is written clamped instead, so that one
// bad vertex cannot make the whole file unreadable.
TEST_F(MeshFileTest, ValuesTheReaderRefusesAreWrittenClamped) {
    MakeQuad();
    vertices[0].position = {NAN, 2e9f, -3e9f};
    vertices[1].mask = 1.5f;
    vertices[2].mask = -0.5f;
    vertices[3].mask = INFINITY;
    std::vector<u8> b = ImageOfMesh();
    const std::pair<size_t, f32> written[] = {
        {VertexEntry(0), 0},      {VertexEntry(0) + 4, 1e8f}, {VertexEntry(0) + 8, -1e8f},
        {VertexEntry(1) + 12, 1}, {VertexEntry(2) + 12, 0},   {VertexEntry(3) + 12, 0}};
    for (auto [at, value] : written) EXPECT_EQ(std::bit_cast<f32>(U32At(b, at)), value) << at;
    EXPECT_TRUE(CheckMeshImage(b.data(), b.size(), nullptr));
    vertices[0].position = {0, 0, 0};
}

// The loaded file saves byte for byte the same, so every field (positions,
// masks, flags, symmetry, corner order) came back; the vertices close the
// hole at slot 500 by filling slots 0..V-1.
TEST_F(MeshFileTest, RoundTripKeepsEveryFieldWithVerticesInTheFirstSlots) {
    MakeMarkedSphere();
    symmetry = 1;
    std::vector<u8> image = ImageOfMesh();
    Vec3 after500 = vertices[501].position;
    std::string path = dir.File("sphere.tf1");
    ASSERT_TRUE(SaveMesh(path.c_str()));
    ResetAllocation();
    BuildPlane();
    symmetry = 0;
    bumpShading = 1;  // the bump's rest state follows a loaded mesh
    ASSERT_TRUE(LoadMesh(path.c_str()));
    bumpShading = 0;
    EXPECT_EQ(symmetry, 1);
    EXPECT_EQ(ImageOfMesh(), image);
    for (i32 i = 0; i < vertexCapacity; i++)
        ASSERT_EQ((bool)vertices[i].active, i < liveVertexCount) << i;
    EXPECT_TRUE(vertices[500].position.z == after500.z &&
                vertices[500].savedPosition.z == after500.z);
    EXPECT_EQ(vertices[500].mask, (f32)(501 % 7) / 6.0f);
}

// A strip of 30000 triangles over 30004 vertices, loaded into fresh storage.
TEST_F(MeshFileTest, LoadGrowsStorageForImagesLargerThanTheArrays) {
    MakeStrip(30000);
    std::vector<u8> image = ImageOfMesh();
    std::string path = dir.File("strip.tf1");
    WriteBytes(path, image);
    ResetAllocation();
    ASSERT_TRUE(LoadMesh(path.c_str()));
    EXPECT_EQ(liveVertexCount, 30004);
    EXPECT_EQ(liveTriangleCount, 30000);
    EXPECT_EQ(liveEdgeCount, 60001);
    EXPECT_EQ(ImageOfMesh(), image);
}

// The save writes a temporary and renames it over the old file: whole or
// not at all, with the old permissions, and no temporary left either way.
TEST_F(MeshFileTest, SaveReplacesTheOldFileWholeOrKeepsItOnFailure) {
    TestLog log;
    log.Mute();
    MakeQuad();
    std::string path = dir.File("work.tf1");
    WriteBytes(path, std::vector<u8>(200000, 0xAB));
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(SaveMesh(path.c_str()));
    EXPECT_EQ(ReadBytes(path), ImageOfMesh());
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    // A name so long that no temporary name fits beside it.
    std::string longPath = dir.File(std::string(250, 'n') + ".tf1");
    WriteBytes(longPath, std::vector<u8>(1000, 0x5A));
    EXPECT_FALSE(SaveMesh(longPath.c_str()));
    EXPECT_EQ(ReadBytes(longPath), std::vector<u8>(1000, 0x5A));
    EXPECT_TRUE(log.Has("file error"));
    EXPECT_FALSE(SaveMesh(dir.File("missing/dir.tf1").c_str()));
    std::filesystem::create_directory(dir.File("a-directory.tf1"));
    EXPECT_FALSE(SaveMesh(dir.File("a-directory.tf1").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a-directory.tf1")));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path))
        EXPECT_NE(entry.path().extension(), ".tmp") << "a temporary was left behind";
}

// A small valid image (the start plane) while the sculpture in memory is the sphere.
class DamagedFileTest : public MeshFileTest {
protected:
    void SetUp() override {
        MeshFileTest::SetUp();
        BuildPlane();
        valid = ImageOfMesh();
        ResetAllocation();
        BuildSphere();
        sculpture = SnapshotRecords();
    }
    // Loading must fail, log the reason, and leave the sphere as it was.
    void ExpectRefused(const std::vector<u8>& bytes, const char* what) {
        TestLog log;
        log.Mute();
        std::string path = dir.File("damaged.tf1");
        WriteBytes(path, bytes);
        EXPECT_FALSE(LoadMesh(path.c_str())) << what;
        EXPECT_TRUE(SnapshotRecords() == sculpture) << what << ": sculpture changed";
        EXPECT_TRUE(log.Has("file error")) << what;
    }
    std::vector<u8> valid;
    MeshRecordSnapshot sculpture;
};

TEST_F(DamagedFileTest, EveryKindOfDamageIsRefusedWithTheSculptureIntact) {
    using Bytes = std::vector<u8>;
    u32 v = U32At(valid, 0);
    auto corner = [](const Bytes& b, i32 t, size_t k) { return TriangleEntry(b, t) + 4 * k; };
    auto at = [&](i32 t, size_t k) { return corner(valid, t, k); };
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> damages = {
        {"empty file", [](Bytes& b) { b.clear(); }},
        {"header cut short", [](Bytes& b) { b.resize(8); }},
        {"last byte missing", [](Bytes& b) { b.pop_back(); }},
        {"one byte too many", [](Bytes& b) { b.push_back(0); }},
        {"negative vertex count", [](Bytes& b) { PutU32At(b, 0, 0xFFFFFFFFu); }},
        {"negative triangle count", [](Bytes& b) { PutU32At(b, 4, 0x80000000u); }},
        {"vertex count too large", [](Bytes& b) { PutU32At(b, 0, 0x7FFFFFFFu); }},
        {"symmetry byte 2", [](Bytes& b) { b[8] = 2; }},
        {"NaN coordinate", [](Bytes& b) { PutF32At(b, VertexEntry(3), NAN); }},
        {"infinite coordinate", [](Bytes& b) { PutF32At(b, VertexEntry(4) + 4, -INFINITY); }},
        {"coordinate far beyond", [](Bytes& b) { PutF32At(b, VertexEntry(5) + 8, 1e30f); }},
        {"mask above 1", [](Bytes& b) { PutF32At(b, VertexEntry(6) + 12, 1.5f); }},
        {"mask below 0", [](Bytes& b) { PutF32At(b, VertexEntry(7) + 12, -0.01f); }},
        {"mask NaN", [](Bytes& b) { PutF32At(b, VertexEntry(8) + 12, NAN); }},
        {"mirror flag 2", [](Bytes& b) { b[VertexEntry(9) + 16] = 2; }},
        {"corner number = V", [&](Bytes& b) { PutU32At(b, at(10, 1), v); }},
        {"corner number -1", [&](Bytes& b) { PutU32At(b, at(11, 0), 0xFFFFFFFFu); }},
        {"repeated corner", [&](Bytes& b) { PutU32At(b, at(12, 2), U32At(b, at(12, 0))); }},
        {"edge shared by three triangles",
         [&](Bytes& b) {  // triangle 1 = triangle 0 reversed
             for (size_t k = 0; k < 3; k++) PutU32At(b, at(1, k), U32At(b, at(0, 2 - k)));
         }},
    };
    for (const auto& [what, damage] : damages) {
        Bytes bytes = valid;
        damage(bytes);
        ExpectRefused(bytes, what);
    }
    // A closed fan of `ring` triangles around the last vertex (the higher end
    // of every spoke): 25 is one more than a vertex's lists hold, 24 fill
    // them exactly and load.
    auto fan = [&](i32 ring) {
        Bytes b(VertexEntry(ring + 1) + 12 * (size_t)ring, 0);
        PutU32At(b, 0, ring + 1);
        PutU32At(b, 4, ring);
        for (i32 k = 0; k < ring; k++) {
            PutF32At(b, VertexEntry(k), std::cos(0.25f * (f32)k));
            PutF32At(b, VertexEntry(k) + 8, std::sin(0.25f * (f32)k));
            PutU32At(b, corner(b, k, 0), (u32)ring);
            PutU32At(b, corner(b, k, 1), (u32)k);
            PutU32At(b, corner(b, k, 2), (u32)((k + 1) % ring));
        }
        return b;
    };
    ExpectRefused(fan(25), "25 triangles at one vertex");
    std::string path = dir.File("fan24.tf1");
    WriteBytes(path, fan(24));
    EXPECT_TRUE(LoadMesh(path.c_str()));
    EXPECT_TRUE(vertices[24].triangleCount == 24 && vertices[24].edgeCount == 24);
}

TEST_F(DamagedFileTest, MissingDirectoryHugeAndOverLimitFilesAreRefusedUnread) {
    EXPECT_FALSE(LoadMesh(dir.File("no-such.tf1").c_str()));
    EXPECT_FALSE(LoadMesh(dir.path.c_str()));
    std::string huge = dir.File("huge.tf1");  // sparse: larger than any image the limits allow
    int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 300 * 1000 * 1000), 0);
    close(fd);
    EXPECT_FALSE(LoadMesh(huge.c_str()));
    EXPECT_TRUE(SnapshotRecords() == sculpture);
    // Only the header exists; the claimed size matches the counts, so the
    // check must stop at the limits without touching the missing entries.
    std::vector<u8> header(9, 0);
    PutU32At(header, 0, 100000000);
    PutU32At(header, 4, 200000000);
    const char* reason = nullptr;
    size_t claimed = VertexEntry(100000000) + 12 * (size_t)200000000;
    EXPECT_FALSE(CheckMeshImage(header.data(), claimed, &reason));
    ASSERT_TRUE(reason);
    EXPECT_NE(std::string(reason).find("memory"), std::string::npos);
}

// Random byte flips, field rewrites and truncations of a valid file: each
// load either succeeds with a consistent mesh or changes nothing.
TEST_F(DamagedFileTest, FuzzedFilesLoadConsistentlyOrChangeNothing) {
    const u32 seed = TestSeed(1234);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::string path = dir.File("fuzz.tf1");
    for (i32 round = 0; round < 300; round++) {
        std::vector<u8> bytes = valid;
        switch (rng() % 4) {
        case 0: bytes.resize(rng() % bytes.size()); break;
        case 1:
            for (u32 n = 1 + rng() % 4; n > 0; n--) bytes[rng() % bytes.size()] ^= 1 << rng() % 8;
            break;
        case 2: PutU32At(bytes, rng() % (bytes.size() - 3), (u32)(rng() % 600)); break;
        default: bytes[rng() % bytes.size()] = (u8)rng(); break;
        }
        WriteBytes(path, bytes);
        MeshRecordSnapshot before = SnapshotRecords();
        char report[2048] = "a refused load changed the sculpture";
        bool sound =
            LoadMesh(path.c_str()) ? CheckMesh(report, sizeof report) : SnapshotRecords() == before;
        ASSERT_TRUE(sound) << "round " << round << ": " << report;
    }
}

// Vertex 0's mask records which step the mesh is at. Step 13 overwrites
// step 1's slot; each restore is used up, so after twelve pops the ring is
// empty; a cleared or freed ring restores nothing.
TEST_F(MeshFileTest, UndoRingHoldsTwelveSnapshotsEachRestoredOnce) {
    MakeQuad();
    auto mark = [](i32 n) { vertices[0].mask = (f32)n / 100.0f; };
    auto step = [] { return (i32)std::lround(vertices[0].mask * 100.0f); };
    MeshRecordSnapshot before = SnapshotRecords();
    EXPECT_FALSE(PopUndo());
    EXPECT_TRUE(SnapshotRecords() == before);
    for (i32 n = 1; n <= 13; n++) {
        mark(n);
        ASSERT_TRUE(PushUndo());
    }
    mark(99);
    for (i32 n = 13; n >= 2; n--) {
        ASSERT_TRUE(PopUndo()) << "pop of step " << n;
        EXPECT_EQ(step(), n);
    }
    EXPECT_FALSE(PopUndo()) << "there is no redo and no second restore";
    EXPECT_EQ(step(), 2);
    ASSERT_TRUE(PushUndo());
    ClearUndoRing();
    EXPECT_FALSE(PopUndo()) << "a cleared ring reaches back across nothing";
    FreeUndoRing();
    EXPECT_FALSE(PushUndo());
    EXPECT_FALSE(PopUndo());
}

// A refined sphere with a hole at slot 500, in grown storage: the snapshot
// outgrows the first buffer, and the restore refills the arrays in place,
// closing the gap, without a storage reset.
TEST_F(MeshFileTest, LargeSnapshotGrowsItsBufferByHalvesAndRestoresInPlace) {
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
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.25f;
    ASSERT_TRUE(PopUndo());
    EXPECT_EQ(vertexCapacity, capacity) << "undo must not reset the storage";
    for (i32 i = 0; i < liveVertexCount; i++) ASSERT_TRUE(vertices[i].active) << i;
    EXPECT_EQ(ImageOfMesh(), image);
}

TEST_F(MeshFileTest, DamagedSnapshotIsRefusedAndUsedUpWithTheSculptureKept) {
    BuildSphere();
    UndoSlot& s = undoRing[undoNext];
    ASSERT_TRUE(PushUndo());
    const u32 corner = 0x7FFFFFFF;  // triangle 7's first corner
    memcpy(s.bytes + VertexEntry(liveVertexCount) + 12 * 7, &corner, 4);
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0.75f;
    MeshRecordSnapshot before = SnapshotRecords();
    TestLog log;
    log.Mute();
    EXPECT_FALSE(PopUndo());
    EXPECT_TRUE(SnapshotRecords() == before);
    EXPECT_TRUE(log.Has("file error"));
    EXPECT_FALSE(s.valid);
}

}  // namespace
