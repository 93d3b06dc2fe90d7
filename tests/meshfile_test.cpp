// Sculpture files: the byte layout, round trips, the safe save, and damaged
// files of every kind refused with the sculpture left exactly as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <array>
#include <functional>
#include <random>
#include "meshfile_fixture.h"

namespace {

class MeshFileTest : public MeshTest {
protected:
    TempDir dir;
};

// ---------------------------------------------------------------- layout

TEST_F(MeshFileTest, OneTriangleFileIs72LittleEndianBytes) {
    Vertex* a = AddVertex(1, 2, 3);
    Vertex* b = AddVertex(-4.5f, 0, 0.25f);
    Vertex* c = AddVertex(0, 7, 0);
    a->mask = 0.5f;
    c->onMirrorLine = 1;
    AddTriangle(a, b, c);
    symmetry = 1;
    std::string path = dir.File("one.tf1");
    ASSERT_TRUE(SaveMesh(path.c_str()));
    std::vector<u8> f = ReadBytes(path);
    ASSERT_EQ(f.size(), 72u);
    const u8 header[9] = {3, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_EQ(0, memcmp(f.data(), header, 9));
    const u8 one[4] = {0x00, 0x00, 0x80, 0x3f};  // 1.0f, least significant byte first
    EXPECT_EQ(0, memcmp(f.data() + 9, one, 4));
    EXPECT_EQ(F32At(f, 13), 2.0f);
    EXPECT_EQ(F32At(f, 17), 3.0f);
    EXPECT_EQ(F32At(f, 21), 0.5f);
    EXPECT_EQ(f[25], 0);
    EXPECT_EQ(F32At(f, VertexEntry(1)), -4.5f);
    EXPECT_EQ(f[VertexEntry(2) + 16], 1);
    EXPECT_EQ(U32At(f, 60), 0u);
    EXPECT_EQ(U32At(f, 64), 1u);
    EXPECT_EQ(U32At(f, 68), 2u);
    symmetry = 0;
}

TEST_F(MeshFileTest, RoundTripKeepsPositionsMasksFlagsSymmetryAndWindings) {
    MakeMarkedSphere();
    symmetry = 1;
    // Expected contents in written order: the i-th active vertex becomes slot i.
    std::vector<i32> numberOfSlot((size_t)vertexCapacity, -1);
    std::vector<Vertex> expectedVertices;
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        numberOfSlot[(size_t)i] = (i32)expectedVertices.size();
        expectedVertices.push_back(vertices[i]);
    }
    std::vector<std::array<i32, 3>> expectedTriangles;
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (!t.active) continue;
        expectedTriangles.push_back({numberOfSlot[(size_t)SlotOf(t.vertices[0])],
                                     numberOfSlot[(size_t)SlotOf(t.vertices[1])],
                                     numberOfSlot[(size_t)SlotOf(t.vertices[2])]});
    }
    ASSERT_LT(numberOfSlot[500], 0) << "the fixture leaves slot 500 free";
    std::string path = dir.File("sphere.tf1");
    ASSERT_TRUE(SaveMesh(path.c_str()));

    ResetAllocation();
    BuildPlane();
    symmetry = 0;
    ASSERT_TRUE(LoadMesh(path.c_str()));
    EXPECT_EQ(symmetry, 1);
    ASSERT_EQ(liveVertexCount, (i32)expectedVertices.size());
    ASSERT_EQ(liveTriangleCount, (i32)expectedTriangles.size());
    for (size_t i = 0; i < expectedVertices.size(); i++) {
        const Vertex& v = vertices[i];
        ASSERT_TRUE(v.active) << "vertex " << i;
        EXPECT_EQ(v.position.x, expectedVertices[i].position.x);
        EXPECT_EQ(v.position.y, expectedVertices[i].position.y);
        EXPECT_EQ(v.position.z, expectedVertices[i].position.z);
        EXPECT_EQ(v.mask, expectedVertices[i].mask);
        EXPECT_EQ(v.onMirrorLine, expectedVertices[i].onMirrorLine);
    }
    EXPECT_FALSE(vertices[expectedVertices.size()].active);
    for (size_t j = 0; j < expectedTriangles.size(); j++) {
        const Triangle& t = triangles[j];
        ASSERT_TRUE(t.active) << "triangle " << j;
        for (i32 k = 0; k < 3; k++) EXPECT_EQ(SlotOf(t.vertices[k]), expectedTriangles[j][(size_t)k]);
    }
    EXPECT_EQ(ImageOfMesh(), ReadBytes(path)) << "a loaded file saves byte for byte the same";
    symmetry = 0;
}

// A strip image built by hand: 2n + 2 vertices, 2n triangles.
std::vector<u8> StripImage(i32 columns) {
    i32 v = 2 * (columns + 1), t = 2 * columns;
    std::vector<u8> b(9 + 17 * (size_t)v + 12 * (size_t)t, 0);
    PutU32At(b, 0, (u32)v);
    PutU32At(b, 4, (u32)t);
    for (i32 i = 0; i < v; i++) {
        PutF32At(b, VertexEntry(i), (f32)(i / 2));
        PutF32At(b, VertexEntry(i) + 8, (f32)(i % 2));
    }
    for (i32 c = 0; c < columns; c++) {
        u32 b0 = (u32)(2 * c), t0 = b0 + 1, b1 = b0 + 2, t1 = b0 + 3;
        const u32 tris[2][3] = {{b0, b1, t0}, {t0, b1, t1}};
        for (i32 k = 0; k < 2; k++)
            for (i32 n = 0; n < 3; n++) PutU32At(b, TriangleEntry(b, 2 * c + k) + 4 * (size_t)n, tris[k][n]);
    }
    return b;
}

TEST_F(MeshFileTest, LoadGrowsStorageForImagesLargerThanTheArrays) {
    std::string path = dir.File("strip.tf1");
    WriteBytes(path, StripImage(15000));
    ASSERT_TRUE(LoadMesh(path.c_str()));
    EXPECT_EQ(liveVertexCount, 30002);
    EXPECT_EQ(liveTriangleCount, 30000);
    EXPECT_EQ(liveEdgeCount, 2 * 30000 + 1);
    EXPECT_GT(vertexCapacity, 30002);
    EXPECT_TRUE(vertices[30001].active);
    EXPECT_TRUE(triangles[29999].active);
}

TEST_F(MeshFileTest, EmptyMeshImageRoundTrips) {
    std::string path = dir.File("empty.tf1");
    ASSERT_TRUE(SaveMesh(path.c_str()));
    EXPECT_EQ(ReadBytes(path).size(), 9u);
    BuildSphere();
    ASSERT_TRUE(LoadMesh(path.c_str()));
    EXPECT_EQ(liveVertexCount, 0);
    EXPECT_EQ(liveTriangleCount, 0);
}

// ---------------------------------------------------------------- safe save

TEST_F(MeshFileTest, SaveReplacesAnOldFileWholeAndLeavesNoTemporary) {
    std::string path = dir.File("work.tf1");
    WriteBytes(path, std::vector<u8>(200000, 0xAB));
    chmod(path.c_str(), 0640);
    MakeQuad();
    ASSERT_TRUE(SaveMesh(path.c_str()));
    EXPECT_EQ(ReadBytes(path).size(), 9u + 4 * 17 + 2 * 12);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
    std::string listing = dir.path + "/*.tmp";
    EXPECT_NE(system(("ls " + listing + " >/dev/null 2>&1").c_str()), 0) << "temporary file left behind";
}

TEST_F(MeshFileTest, FailedSaveKeepsThePreviousFileAndReportsFailure) {
    TestLog log;
    MakeQuad();
    // A name so long that no temporary name fits beside it.
    std::string path = dir.File((std::string(250, 'n') + ".tf1").c_str());
    std::vector<u8> previous(1000, 0x5A);
    WriteBytes(path, previous);
    EXPECT_FALSE(SaveMesh(path.c_str()));
    EXPECT_EQ(ReadBytes(path), previous);
    EXPECT_NE(log.Text().find("file error"), std::string::npos);

    EXPECT_FALSE(SaveMesh(dir.File("missing/dir.tf1").c_str()));
    std::string directory = dir.File("a-directory.tf1");
    mkdir(directory.c_str(), 0755);
    EXPECT_FALSE(SaveMesh(directory.c_str()));
    struct stat st;
    EXPECT_TRUE(stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    EXPECT_NE(system(("ls " + dir.path + "/*.tmp >/dev/null 2>&1").c_str()), 0) << "temporary file left behind";
}

// ---------------------------------------------------------------- damaged files

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
        std::string path = dir.File("damaged.tf1");
        WriteBytes(path, bytes);
        EXPECT_FALSE(LoadMesh(path.c_str())) << what;
        EXPECT_TRUE(SnapshotRecords() == sculpture) << what << ": sculpture changed";
        EXPECT_NE(log.Text().find("file error"), std::string::npos) << what;
    }
    std::vector<u8> valid;
    MeshRecordSnapshot sculpture;
};

TEST_F(DamagedFileTest, EveryKindOfDamageIsRefusedWithTheSculptureIntact) {
    i32 v = (i32)U32At(valid, 0);
    const std::vector<std::pair<const char*, std::function<void(std::vector<u8>&)>>> damages = {
        {"empty file", [](std::vector<u8>& b) { b.clear(); }},
        {"header cut short", [](std::vector<u8>& b) { b.resize(8); }},
        {"last byte missing", [](std::vector<u8>& b) { b.pop_back(); }},
        {"one byte too many", [](std::vector<u8>& b) { b.push_back(0); }},
        {"negative vertex count", [](std::vector<u8>& b) { PutU32At(b, 0, 0xFFFFFFFFu); }},
        {"negative triangle count", [](std::vector<u8>& b) { PutU32At(b, 4, 0x80000000u); }},
        {"vertex count too large", [](std::vector<u8>& b) { PutU32At(b, 0, 0x7FFFFFFFu); }},
        {"symmetry byte 2", [](std::vector<u8>& b) { b[8] = 2; }},
        {"NaN coordinate", [](std::vector<u8>& b) { PutF32At(b, VertexEntry(3), NAN); }},
        {"infinite coordinate", [](std::vector<u8>& b) { PutF32At(b, VertexEntry(4) + 4, -INFINITY); }},
        {"coordinate beyond any sculpture", [](std::vector<u8>& b) { PutF32At(b, VertexEntry(5) + 8, 1e30f); }},
        {"mask above 1", [](std::vector<u8>& b) { PutF32At(b, VertexEntry(6) + 12, 1.5f); }},
        {"mask below 0", [](std::vector<u8>& b) { PutF32At(b, VertexEntry(7) + 12, -0.01f); }},
        {"mask NaN", [](std::vector<u8>& b) { PutF32At(b, VertexEntry(8) + 12, NAN); }},
        {"mirror flag 2", [](std::vector<u8>& b) { b[VertexEntry(9) + 16] = 2; }},
        {"corner number = V", [v](std::vector<u8>& b) { PutU32At(b, TriangleEntry(b, 10) + 4, (u32)v); }},
        {"corner number -1", [](std::vector<u8>& b) { PutU32At(b, TriangleEntry(b, 11), 0xFFFFFFFFu); }},
        {"repeated corner", [](std::vector<u8>& b) {
             PutU32At(b, TriangleEntry(b, 12) + 8, U32At(b, TriangleEntry(b, 12)));
         }},
        {"edge shared by three triangles", [](std::vector<u8>& b) {
             // Triangle 1 gets the corners of triangle 0, in reverse.
             for (i32 k = 0; k < 3; k++)
                 PutU32At(b, TriangleEntry(b, 1) + 4 * (size_t)k, U32At(b, TriangleEntry(b, 0) + 4 * (size_t)(2 - k)));
         }},
    };
    for (const auto& [what, damage] : damages) {
        std::vector<u8> bytes = valid;
        damage(bytes);
        ExpectRefused(bytes, what);
    }
}

// 26 vertices: a closed fan of 25 triangles around vertex 0.
TEST_F(DamagedFileTest, VertexWithMoreTrianglesThanItsListHoldsIsRefused) {
    const i32 ring = 25;
    std::vector<u8> b(9 + 17 * (size_t)(ring + 1) + 12 * (size_t)ring, 0);
    PutU32At(b, 0, ring + 1);
    PutU32At(b, 4, ring);
    for (i32 k = 0; k < ring; k++) {
        PutF32At(b, VertexEntry(k + 1), std::cos(0.25f * (f32)k));
        PutF32At(b, VertexEntry(k + 1) + 8, std::sin(0.25f * (f32)k));
        size_t at = TriangleEntry(b, k);
        PutU32At(b, at, 0);
        PutU32At(b, at + 4, (u32)(k + 1));
        PutU32At(b, at + 8, (u32)((k + 1) % ring + 1));
    }
    ExpectRefused(b, "25 triangles at one vertex");
}

TEST_F(DamagedFileTest, MissingDirectoryAndHugeFilesAreRefused) {
    TestLog log;
    EXPECT_FALSE(LoadMesh(dir.File("no-such.tf1").c_str()));
    EXPECT_FALSE(LoadMesh(dir.path.c_str()));
    // A sparse file larger than any image the limits allow is refused unread.
    std::string huge = dir.File("huge.tf1");
    int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 300 * 1000 * 1000), 0);
    close(fd);
    EXPECT_FALSE(LoadMesh(huge.c_str()));
    EXPECT_TRUE(SnapshotRecords() == sculpture);
}

TEST_F(DamagedFileTest, CountsBeyondMemoryAreRefusedBeforeTheEntriesAreRead) {
    // Only the header exists; the claimed size matches the counts, so the
    // check must stop at the limits without touching the missing entries.
    std::vector<u8> header(9, 0);
    PutU32At(header, 0, 100000000);
    PutU32At(header, 4, 200000000);
    size_t claimed = 9 + 17 * (size_t)100000000 + 12 * (size_t)200000000;
    const char* reason = nullptr;
    EXPECT_FALSE(CheckMeshImage(header.data(), claimed, &reason));
    ASSERT_TRUE(reason);
    EXPECT_NE(std::string(reason).find("memory"), std::string::npos);
}

// Random byte flips, field rewrites and truncations of a valid file: each
// load either succeeds with a consistent mesh or changes nothing.
TEST_F(DamagedFileTest, FuzzedFilesLoadConsistentlyOrChangeNothing) {
    u32 seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::string path = dir.File("fuzz.tf1");
    for (i32 round = 0; round < 300; round++) {
        std::vector<u8> bytes = valid;
        switch (rng() % 4) {
        case 0: bytes.resize(rng() % bytes.size()); break;
        case 1:
            for (u32 n = 1 + rng() % 4; n > 0; n--) bytes[rng() % bytes.size()] ^= (u8)(1u << (rng() % 8));
            break;
        case 2: PutU32At(bytes, rng() % (bytes.size() - 3), rng() % 600); break;
        default: bytes[rng() % bytes.size()] = (u8)rng(); break;
        }
        WriteBytes(path, bytes);
        MeshRecordSnapshot before = SnapshotRecords();
        if (LoadMesh(path.c_str())) {
            char report[2048];
            ASSERT_TRUE(CheckMesh(report, sizeof report)) << "round " << round << ": " << report;
        } else {
            ASSERT_TRUE(SnapshotRecords() == before) << "round " << round;
        }
    }
    symmetry = 0;
}

}  // namespace
