// OBJ export and import: the writer's numbers, round trips, files from other
// programs, malformed files refused or repaired, a fuzzer, the commands.
#include "mesh/objfile.h"
#include <map>
#include <random>
#include "app/commands.h"
#include "frame_fixture.h"
#include "meshfile_fixture.h"

namespace {

class ObjFileTest : public MeshTest {
protected:
    TempDir dir;
    std::string path = dir.File("model.obj");
    void Write(const std::string& text) { WriteBytes(path, {text.begin(), text.end()}); }
};

// Written: the header, every number as printf writes it (x of many sizes, a
// tie rounded to even), and both halves closing into one surface. Read back:
// the same mesh centred and scaled to a half diagonal of 150 (the sphere's
// box is 200 wide); a symmetric file as the stored half with its seam, once
// subdivided to reach 2000 triangles.
TEST_F(ObjFileTest, ExportWritesEveryNumberAndImportGivesTheSameMeshBack) {
    const Vec3 shift = {0, -7, 12};
    for (u8 on : {0, 1}) {
        BuildSphere();
        SetSymmetry(on);
        std::mt19937 rng(on);
        std::vector<Vec3> p;  // inside the box: x of many sizes
        for (i32 i = 0; i < vertexCapacity; i++) {
            Vertex& v = vertices[i];
            if (!v.active) continue;
            f32 x = std::ldexp((f32)(rng() % 999) + 0.5f, -4 - (i32)(rng() % 14));
            // Slots 0-5 are the box's sides; 0.0078125 is a tie, printed 0.007812.
            if (i >= 6 && !v.onMirrorLine && i % 3 == 1) v.position.x = i % 2 ? 0.0078125f : x;
            p.push_back(v.position += shift);
        }
        ASSERT_TRUE(ExportObj(path.c_str()));
        std::vector<std::string> lines;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
                  (std::vector<std::string>{"# OBJ Exported from Orvandel's Tessaform",
                                            on ? "# symmetry 1" : "# symmetry 0", "usemtl (null)",
                                            "s 0"}));
        size_t v = p.size(), half = 2 * v + (size_t)liveTriangleCount;
        ASSERT_EQ(lines.size(), 4 + half * (on ? 2 : 1));
        EXPECT_EQ(lines[4], "v -0.000000 -7.000000 88.000000");  // (0, 0, -100) + shift, turned
        if (on) { EXPECT_EQ(lines[4 + half], "v 0.000000 -7.000000 88.000000"); }
        std::map<std::pair<i32, i32>, i32> uses;  // each edge twice: closed
        for (size_t h = 0; h < (on ? 2u : 1u); h++) {
            for (size_t k = 0; k < v; k++) {
                char line[256];
                snprintf(line, sizeof line, "v %.6f %.6f %.6f", h ? p[k].x : -p[k].x, p[k].y,
                         -p[k].z);
                EXPECT_EQ(lines[4 + h * half + k], line);
            }
            for (size_t t = 4 + h * half + 2 * v; t < 4 + (h + 1) * half; t++) {
                i32 c[3];  // after as many vn lines as v lines
                ASSERT_EQ(sscanf(lines[t].c_str(), "f %i//%*i %i//%*i %i//%*i", c, c + 1, c + 2),
                          3);
                for (i32 k = 0; k < 3; k++) uses[std::minmax(c[k], c[(k + 1) % 3])]++;
            }
        }
        for (auto [edge, n] : uses) ASSERT_EQ(n, 2) << edge.first << "-" << edge.second;
        i32 triangleCount = liveTriangleCount;
        symmetry = !on;
        ASSERT_TRUE(ImportObj(path.c_str()));
        EXPECT_EQ(symmetry, on);
        EXPECT_EQ(liveTriangleCount, on ? 4 * triangleCount : triangleCount);
        // Halved, the sphere is a disc: one midpoint per edge, V + T - 1 of them.
        ASSERT_EQ(liveVertexCount, (i32)v * (on ? 2 : 1) + (on ? triangleCount - 1 : 0))
            << "the mirror half's copies are dropped";
        f32 s = IMPORT_HALF_DIAGONAL / (100 * std::sqrt(3.0f));
        i32 seam = 0;  // the seam and its midpoints
        for (i32 i = 0; i < vertexCapacity; i++) seam += vertices[i].onMirrorLine;
        EXPECT_EQ(seam, on ? 64 + 64 : 0);
        for (size_t i = 0; i < v; i++)
            ASSERT_LT(Length(vertices[i].position - (p[i] - shift) * s), 1e-3f) << i;
        CheckAndReset();
    }
}

// Centred and scaled: no vertex beyond the half diagonal of the box.
f32 Farthest() {
    f32 r = 0;
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) r = std::fmax(r, Length(vertices[i].position));
    return r;
}

std::string Fan(i32 n) {  // n triangles from vertex 1 to a row of n + 1 vertices
    std::string text = "v 0 0 0\n";
    for (i32 k = 0; k <= n; k++) text += "v " + std::to_string(k) + " 1 0\n";
    for (i32 k = 2; k < n + 2; k++)
        text += "f 1 " + std::to_string(k) + " " + std::to_string(k + 1) + "\n";
    return text;
}

const std::string V4 = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

// Files as other programs write them, and malformed ones: each imports with
// every usable face (counted after the subdivision to 2000: 1 -> 4096) and
// says once what it skipped, or is refused with the sculpture untouched.
TEST_F(ObjFileTest, ImportTakesEveryUsableFaceAndRefusesFilesWithNone) {
    const std::string refused = "file error: no usable triangle in the file";
    const struct {
        const char* what;
        std::string text;
        i32 triangles;  // 0: refused
        std::vector<std::string> logged;
    } cases[] = {
        {"slashed corners", V4 + "vt 0 0\nvn 0 0 1\nf 1/1/1 2/2/2 3/3/3\n", 4096, {}},
        {"a quad is two triangles", V4 + "f 1//1 2//1 3//1 4//1\n", 2048, {}},
        {"other programs' habits",
         "# made elsewhere\r\nmtllib a.mtl\r\no thing\r\ng part\r\n"
         "usemtl skin\r\nv\t1e-60 0  0\r\nv +1.0e0 0 0 1\r\nv 1 1E0 -0\r\nv 0 .1e1 0\r\nvt 0 0\r\n"
         "s off\r\nf 1/1 2/1 3/1 4/1",
         2048,
         {}},
        {"negative numbers count back", V4 + "f -4 -3 -2\nf -1 -4 -2\n", 2048, {}},
        {"a line of 300 characters", V4 + "f 1" + std::string(300, ' ') + "2 3\n", 4096, {}},
        {"far coordinates", "v 20000 0 -3e4\nv 20010 0 -3e4\nv 20000 10 -3e4\nf 1 2 3\n", 4096, {}},
        {"one good face among every kind of bad one",
         "f 1 2 3\n" + V4 +
             "v nan 0 0\nv 1e39 0 0\nv 1 2\nv +-1 0 0\nv 1 0 0\nf 0 1 2\nf 1 2 10\n" +
             "f -10 1 2\nf a b c\nf 1 2 3.5\nf 1 2\nf\nf 1 2 5\nf 6 1 2\nf 7 2 3\nf 8 1 2\n" +
             "f 1 1 2\nf 1 2 9\nf 1 2 3\n",
         4096,
         {"*** 6 faces skipped: a vertex number zero", "*** 4 faces skipped: a corner's vertex has",
          "*** 2 faces skipped: fewer than three", "*** 1 triangles skipped: one vertex at two",
          "*** 1 triangles skipped: two corners at the same"}},
        {"a vertex beyond 24 edges", Fan(30), 7680 - 7, {"*** 7 triangles refused: a vertex or"}},
        {"an edge with three triangles",  // five passes: 32 pieces of 1-2
         "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nf 1 2 3\nf 1 2 4\nf 1 2 5\n",
         3072 - 32,
         {"*** 32 triangles refused: a vertex or edge had no room"}},
        {"no usable face", V4 + "f 0 0 0\nf 1 2\nf 1 1 1\n", 0, {refused}},
        {"binary", std::string("\0\xff\x13v f\n\x80", 8), 0, {refused}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BuildSphere();
        MeshRecordSnapshot before = SnapshotRecords();
        TestLog log;
        Write(c.text);
        ASSERT_EQ(ImportObj(path.c_str()), c.triangles > 0);
        EXPECT_TRUE(c.triangles ? liveTriangleCount == c.triangles : SnapshotRecords() == before);
        EXPECT_LE(Farthest(), IMPORT_HALF_DIAGONAL + 1e-3f);
        EXPECT_GT(Farthest(), c.triangles ? 100 : 99.999f);
        for (const std::string& line : c.logged)
            EXPECT_NE(log.Text().find(line), std::string::npos);
        CheckAndReset();
    }
    for (std::string missing : {dir.path, dir.File("none.obj")})
        EXPECT_FALSE(ImportObj(missing.c_str()));
}

// Seeded mutations of a small file from elsewhere: every import either
// gives a sound mesh of scaled positions or changes nothing.
TEST_F(ObjFileTest, FuzzedFilesImportSoundOrLeaveTheSculptureAlone) {
    u32 seed = getenv("TESSA_SEED") ? (u32)atoi(getenv("TESSA_SEED")) : 7;
    SCOPED_TRACE("seed " + std::to_string(seed) + " (TESSA_SEED repeats it)");
    std::mt19937 rng(seed);
    const char alphabet[] = " \t\r\n-+/.0123456789eEfvn#";
    BuildSphere();
    for (i32 round = 0; round < 300 && !HasFailure(); round++) {
        std::string text =
            "o x\r\n" + V4 + "v 0 0 1\nvt 0 0\nf 1/1/1 2/1/1 3/1/1 4/1/1\nf -1 1 2\n";
        for (i32 edits = 1 + (i32)(rng() % 4); edits > 0 && !text.empty(); edits--) {
            size_t at = rng() % text.size();
            if (rng() % 3 == 0)
                text.erase(at, 1 + rng() % 8);
            else
                text[at] = alphabet[rng() % (sizeof alphabet - 1)];
        }
        Write(text);
        MeshRecordSnapshot before = SnapshotRecords();
        if (!ImportObj(path.c_str())) { ASSERT_TRUE(SnapshotRecords() == before) << text; }
        ExpectMeshConsistent();
        ASSERT_LE(Farthest(), IMPORT_HALF_DIAGONAL + 1e-3f) << text;
    }
}

// An import that yields nothing is told to the user and keeps the sculpture
// and its undo history.
TEST_F(FrameTest, ImportCommandTellsTheUserAndKeepsEverythingOnAnUnusableFile) {
    MaskFillCommand();
    modified = 0;
    services.dialogAnswer = dir.File("bad.obj");
    WriteBytes(services.dialogAnswer, {'f', ' ', '1'});
    MeshRecordSnapshot before = SnapshotRecords();
    Click(BUTTON_IMPORT);
    EXPECT_EQ(services.boxes,
              std::vector<std::string>{"Error: Could not import the file. [error]"});
    EXPECT_TRUE(SnapshotRecords() == before);
    EXPECT_TRUE(UndoCommand()) << "the undo history survives a refused import";
}

}  // namespace
