// The soak chain: whole frames of a seeded session doing everything a user
// does to one sculpture: strokes of all eleven tools at random sizes,
// strengths, pen pressures and detail settings, in and out of mask mode,
// mask fills, the symmetry switch, undo, view turns, saving and reopening,
// OBJ export and import, and now and then a new mesh. After every step the
// checker runs and no vertex may hold a NaN. TESSA_SOAK_STEPS sets the
// length (scripts/soak.sh runs long chains), TESSA_SEED replays a seed.
#include <random>
#include "frame_fixture.h"
#include "mesh/objfile.h"

namespace {

class SoakTest : public FrameTest {
protected:
    std::mt19937 rng;
    f32 Uniform(f32 lo, f32 hi) { return std::uniform_real_distribution<f32>(lo, hi)(rng); }
    i32 Below(i32 n) { return (i32)(rng() % (u32)n); }

    void Stroke() {
        const char keys[] = "dbgcfvertx";
        Type(keys[Below(10)]);
        if (Below(4) == 0) Type('m');  // mask mode: the MASK tool, deformers weigh the mask
        toolSize[currentTool] = Uniform(0, 1), toolStrength[currentTool] = Uniform(0, 1);
        detailBias = Below(5) ? Uniform(0, 2) : 0;
        penInProximity = Below(2), tabletPressure = Below(256);
        keysHeld[KEY_LSHIFT] = shiftHeld = Below(4) == 0;
        FillDepthPatch(WindowDepthForEye(Uniform(300, 520)));
        mouseX = 300 + Below(350), mouseY = 150 + Below(350);
        mouseLeft = 1;
        for (i32 i = 0, frames = 1 + Below(6); i < frames; i++) {
            Frame();
            mouseX += Below(61) - 30, mouseY += Below(61) - 30;
        }
        mouseLeft = 0, penInProximity = 0, keysHeld[KEY_LSHIFT] = shiftHeld = 0;
        Frame();
        if (maskView) Type('m');
    }

    // Saving writes the mesh's image; reopening the file gives it back.
    void SaveAndReopen() {
        services.dialogAnswer = dir.File("soak.tf1");
        std::vector<u8> image = ImageOfMesh();
        ASSERT_TRUE(SaveCommand(false, false));
        ASSERT_EQ(ReadBytes(dir.File("soak.tf1")), image);
        ASSERT_TRUE(OpenSculptureFile(dir.File("soak.tf1").c_str()));
        ASSERT_EQ(ImageOfMesh(), image);
    }

    void ExportAndImport() {
        services.dialogAnswer = dir.File("soak.obj");
        u8 wasSymmetric = symmetry;
        ASSERT_TRUE(ExportCommand());
        if (liveTriangleCount == 0) return;
        ASSERT_TRUE(ImportModelFile(dir.File("soak.obj").c_str()));
        ASSERT_EQ(symmetry, wasSymmetric);
        ASSERT_GE(liveTriangleCount, IMPORT_MIN_TRIANGLES);
        ClearUndoRing();
    }

    void Step() {
        i32 op = Below(40);
        if (liveTriangleCount > 150000 || liveTriangleCount == 0) op = 39;  // start afresh
        if (op < 28) {
            Stroke();
        } else if (op < 30) {
            if (currentTool != TOOL_MASK) Type('m');
            Press({KEY_BACKSPACE});
            Type('m');
        } else if (op < 32) {
            Click(BUTTON_SYMMETRY);
        } else if (op < 34) {
            ctrlHeld = 1;
            Press({KEY_Z});
            ctrlHeld = 0;
        } else if (op == 34) {
            mouseMiddle = 1, Frame();
            mouseX += Below(201) - 100, mouseY += Below(201) - 100, Frame();
            mouseMiddle = 0, Frame();
        } else if (op < 37) {
            SaveAndReopen();
        } else if (op < 39) {
            ExportAndImport();
        } else {
            Click(Below(2) ? BUTTON_NEW_SPHERE : BUTTON_NEW_PLANE);
        }
        Frames(Below(3));  // the mesh settling between strokes
    }

    // The first non-finite position, normal or reference, or an out-of-range mask.
    std::string Fault() {
        for (i32 i = 0; i < vertexCapacity; i++) {
            const Vertex& v = vertices[i];
            if (v.active && (!IsFinite(v.position) || !IsFinite(v.refPosition) ||
                             !IsFinite(v.normal) || !(v.mask >= 0 && v.mask <= 1)))
                return "vertex " + std::to_string(i) + " holds a NaN or a bad mask";
        }
        return "";
    }
};

TEST_F(SoakTest, EveryToolAndCommandInARandomSessionKeepsTheMeshSound) {
    const char* length = getenv("TESSA_SOAK_STEPS");
#if defined(__SANITIZE_ADDRESS__)
    const i32 steps = length ? atoi(length) : 60;  // every access costs more under ASan
#else
    const i32 steps = length ? atoi(length) : 300;
#endif
    const u32 seed = TestSeed(20261206);
    rng.seed(seed);
    services.boxAnswer = true;  // discard changes when asked
    char report[2048];
    for (i32 step = 0; step < steps; step++) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << step);
        Step();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(CheckMesh(report, sizeof report)) << report;
        ASSERT_EQ(Fault(), "");
        if (length && step % 1000 == 999)
            printf("soak: %i steps, %i triangles\n", step + 1, liveTriangleCount), fflush(stdout);
    }
    printf("soak: seed %u, %i steps, %i triangles at the end\n", seed, steps, liveTriangleCount);
}

}  // namespace
