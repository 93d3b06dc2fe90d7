// The undo history: one seeded chain of steps (strokes of every tool with
// their settling, mask fills, symmetry switches, on a storage that grows
// mid-step) mixed with undo and redo; after every move the mesh is sound and
// its image is, byte for byte, the one recorded for that point of the
// history. TESSA_SEED replays another seed.
#include <random>
#include <thread>
#include "app/autosave.h"
#include "frame_fixture.h"
#include "tools/tools.h"

namespace {

class HistoryTest : public RandomSculptTest {
protected:
    HistoryTest() : RandomSculptTest(20261206) {}
    std::vector<std::vector<u8>> images;  // images[p]: the mesh with p steps done

    // Loose vertices far off fill the vertex array to its growth threshold,
    // so the first creations of a step grow it.
    void StartSession(bool plane, u8 half) {
        ResetAllocation();
        plane ? BuildPlane() : BuildSphere();
        symmetry = 0;
        SetSymmetry(half);
        for (f32 x = 1000; liveVertexCount < INITIAL_CAPACITY * 8 / 10 - 5; x += 1)
            AddVertex(x, 500, 0);
        RunParallel(ClearChangedJob);
        images = {ImageOfMesh()};
    }

    // A stroke of every tool: one step opens at its start, and the settling
    // after it belongs to it too.
    void Stroke() {
        static const ToolFn tools[TOOL_COUNT] = {
            DrawTool, SmoothTool, GrabTool,   InflateTool, FlattenTool,     PinchTool,
            MaskTool, CreaseTool, RotateTool, ScaleTool,   ReduceDetailTool};
        ToolFn tool = tools[Below(TOOL_COUNT)];
        detailBias = Below(3) ? 1.3f : 2.0f;
        BeginHistoryStep();
        i32 t = Below(triangleCapacity);
        while (!triangles[t].active) t = (t + 1) % triangleCapacity;
        Vec3 p = triangles[t].vertices[0]->position;
        brush.anchor = p;
        f32 radius = Uniform(8, 40), strength = Uniform(0.2f, 1.5f) * (Below(3) ? 1 : -1);
        i32 steps = 1 + Below(4);
        RandomStroke(tool, p, radius, strength, steps);
        for (i32 i = Below(4); i > 0; i--) {
            UpdateWorkset();
            RefinementCycle();
        }
    }

    void Act(i32 op) {
        if (op < 6) {
            Stroke();
        } else if (op == 6) {
            BeginHistoryStep();
            FillOrClearMask();
        } else {
            BeginHistoryStep();
            SetSymmetry(!symmetry);
        }
        ASSERT_EQ(historyCount, historyPosition) << "a new action drops the undone steps";
        images.resize((size_t)historyPosition);
        images.push_back(ImageOfMesh());
    }

    void ExpectImageOfPosition() {
        char report[2048];
        ASSERT_TRUE(CheckMesh(report, sizeof report)) << report;
        ASSERT_LT((size_t)historyPosition, images.size());
        ASSERT_TRUE(ImageOfMesh() == images[(size_t)historyPosition])
            << "the mesh differs from the one with " << historyPosition << " steps done";
    }
};

TEST_F(HistoryTest, UndoAndRedoOfEveryStepGiveTheRecordedMeshesByteForByte) {
    for (i32 session = 0; session < 4; session++) {
        StartSession(session == 1, session == 2);
        for (i32 move = 0; move < 40; move++) {
            SCOPED_TRACE(::testing::Message() << "seed " << TestSeed(20261206) << " session "
                                              << session << " move " << move);
            i32 op = Below(12);
            if (op < 8) {
                ASSERT_NO_FATAL_FAILURE(Act(op));
            } else if (op < 11) {
                bool undone = UndoStep();
                ASSERT_TRUE(undone || historyPosition == 0);
            } else {
                RedoStep();
            }
            ASSERT_NO_FATAL_FAILURE(ExpectImageOfPosition());
        }
        while (UndoStep()) ASSERT_NO_FATAL_FAILURE(ExpectImageOfPosition());
        EXPECT_TRUE(ImageOfMesh() == images[0]) << "undo all";
        while (RedoStep()) ASSERT_NO_FATAL_FAILURE(ExpectImageOfPosition());
        EXPECT_EQ(historyPosition, historyCount) << "redo all";
    }
}

// The budget drops the oldest steps first; a step larger than the whole
// budget leaves nothing to undo. A mask fill saves every vertex.
TEST_F(HistoryTest, TheMemoryBudgetDropsTheOldestStepsFirst) {
    const struct {
        i32 budgetMB, fills;
        bool someKept;
    } cases[] = {{512, 20, true}, {1, 20, true}, {0, 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budgetMB);
        ResetAllocation();
        BuildSphere();
        undoBudgetMB = c.budgetMB;
        images = {ImageOfMesh()};
        for (i32 i = 0; i < c.fills; i++) {
            BeginHistoryStep();
            FillOrClearMask();  // fills and clears take turns
            images.push_back(ImageOfMesh());
        }
        EXPECT_LE(historyBytes, (int64_t)c.budgetMB << 20);
        EXPECT_EQ(historyCount > 0, c.someKept);
        EXPECT_EQ(historyCount == c.fills, c.budgetMB == 512);
        i32 kept = historyCount;
        while (UndoStep()) {}
        EXPECT_TRUE(ImageOfMesh() == images[(size_t)(c.fills - kept)])
            << "undo reaches back exactly as far as the steps kept";
    }
}

}  // namespace

// The restore file: written once the sculpture is modified and settled
// (every frame here), gone once nothing is unsaved. At start-up a damaged
// one is refused and deleted, one the user declines is deleted, and a sound
// one comes back as untitled, unsaved work.
TEST_F(FrameTest, AutosaveWritesTheRestoreFileAndRecoveryTakesItBack) {
    std::string keptDir = appDir;
    snprintf(appDir, sizeof appDir, "%s/", dir.path.c_str());
    const std::string path = RestoreFilePath();
    autosaveSeconds = 0;
    MaskFillCommand();
    for (i32 i = 0; i < 200 && ReadBytes(path) != ImageOfMesh(); i++) {
        Frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ReadBytes(path) == ImageOfMesh()) << "no autosave of the modified sculpture";
    modified = 0;
    Frames(2);
    EXPECT_FALSE(std::filesystem::exists(path)) << "a saved sculpture keeps no restore file";

    const std::vector<u8> plane = (BuildPlane(), ImageOfMesh()), damaged = {1, 2, 3};
    BuildSphere();
    const struct {
        const std::vector<u8>& file;
        bool answer, recovered;
    } starts[] = {{damaged, true, false}, {plane, false, false}, {plane, true, true}};
    for (const auto& s : starts) {
        WriteBytes(path, s.file);
        services.boxAnswer = s.answer;
        services.boxes.clear();
        modified = 0;
        EXPECT_EQ(OfferRecovery(), s.recovered);
        EXPECT_EQ(services.boxes, std::vector<std::string>{"Recover: Recover the sculpture from "
                                                           "the last session? [ok/cancel]"});
        EXPECT_EQ(std::filesystem::exists(path), s.recovered) << "refused or declined: deleted";
        EXPECT_EQ(ImageOfMesh() == plane, s.recovered);
        EXPECT_EQ(modified, s.recovered);
    }
    StopAutosave();
    EXPECT_FALSE(std::filesystem::exists(path)) << "a clean exit deletes it";
    snprintf(appDir, sizeof appDir, "%s", keptDir.c_str());
}
