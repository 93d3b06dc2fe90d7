// One seeded chain of everything that edits the mesh (strokes of every brush,
// splits, collapses, undo, raw topology edits) on whole and half meshes, with
// the checker after every step. TESSA_SEED replays another seed.
#include <random>
#include "meshfile_fixture.h"

namespace {

class ChainTest : public RandomSculptTest {
protected:
    ChainTest() : RandomSculptTest(20240601) {}
    bool edits = false, closed = false;   // raw edits take part; a sphere that must stay closed
    std::vector<i32> pool;                // vertex slots the raw edits build from
    std::vector<std::vector<u8>> pushed;  // images the undo ring holds, oldest first

    void SetUp() override {
        RandomSculptTest::SetUp();
        ASSERT_TRUE(InitUndoRing());
    }
    void TearDown() override {
        RandomSculptTest::TearDown();
        FreeUndoRing();
    }
    template <typename T>
    T* Any(T* records, i32 capacity) {  // the first active record from a random slot on
        i32 slot = Below(capacity);
        while (!records[slot].active) slot = (slot + 1) % capacity;
        return &records[slot];
    }

    // Sessions take turns: a whole sphere, the plane, a symmetric half of
    // either, and the sphere under raw edits too, with loose vertices far
    // away so that the chain's creations grow the vertex array.
    void StartSession(i32 session) {
        ResetAllocation();
        ClearUndoRing();
        pushed.clear();
        i32 kind = session % 4;
        (kind == 1 || session % 8 == 6) ? BuildPlane() : BuildSphere();
        closed = kind == 0;
        edits = kind == 3;
        symmetry = 0;
        if (kind == 2) SetSymmetry(1);
        maskView = Below(4) == 0;
        for (i32* sw : {&mtDraw, &mtTesselate, &mtCulling, &mtNormals, &mtBeautify, &mtEdges})
            *sw = Below(2);
        for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = Uniform(0, 1);
        pool = {SlotOf(Any(vertices, vertexCapacity)), SlotOf(Any(vertices, vertexCapacity))};
        while (edits && liveVertexCount < 19990) AddVertex(-1000, 0, 0);
        brush.cullValid = 0;
    }

    // A stroke of one to three steps from a random corner of the surface.
    void Stroke() {
        static const ToolFn tools[] = {DrawTool,  SmoothTool, InflateTool, FlattenTool,
                                       PinchTool, CreaseTool, MaskTool,    ReduceDetailTool};
        const f32 details[4] = {0, 0.5f, 1.3f, 2.0f};
        ToolFn tool = tools[Below(8)];
        detailBias = details[Below(4)];
        f32 radius = Uniform(5, 45), strength = Uniform(0.1f, 2.0f) * (Below(3) ? 1 : -1);
        Vec3 p = Any(triangles, triangleCapacity)->vertices[0]->position;
        i32 steps = 1 + Below(3);
        RandomStroke(tool, p, radius, strength, steps);
    }

    // Add a vertex or a triangle (refusals included), remove a triangle with
    // or without its loose vertices, flip one, or relax a vertex.
    void RawEdit() {
        std::erase_if(pool, [](i32 s) { return !vertices[s].active; });
        auto pick = [&] { return &vertices[pool[(size_t)Below((i32)pool.size())]]; };
        i32 op = Below(10);
        if (op < 2 || pool.size() < 3)
            pool.push_back(SlotOf(AddVertex(Uniform(0, 100), Uniform(0, 100), Uniform(0, 100))));
        else if (op < 6 || liveTriangleCount == 0) {
            Vertex *a = pick(), *b = pick(), *c = pick();
            // A repeated corner is the caller's fault (an assert), not a refusal.
            if (a != b && b != c && a != c) AddTriangle(a, b, c);
        } else if (op < 8)
            RemoveTriangle(Any(triangles, triangleCapacity), op == 6);
        else if (op == 8)
            AlignTriangle(Any(triangles, triangleCapacity), Vec3{0, -1, 0});
        else
            RelaxVertex(pick(), 0.5f);
    }

    void Step() {
        i32 op = Below(edits ? 8 : 7), before = liveTriangleCount;
        if (liveTriangleCount == 0) op = 7;
        if (op < 3) {
            Stroke();
        } else if (op == 3) {
            Tesselate(Any(edges, edgeCapacity), Uniform(0.5f, 4));
        } else if (op == 4) {
            if (Vertex* kept = CollapseEdge(Any(edges, edgeCapacity))) {
                ASSERT_TRUE(kept->active);
                ASSERT_EQ(liveTriangleCount, before - 2);
                ASSERT_LE(kept->edgeCount, 18);
            }
        } else if (op == 5) {
            pushed.push_back(ImageOfMesh());
            if (pushed.size() > UNDO_SLOT_COUNT) pushed.erase(pushed.begin());
            ASSERT_TRUE(PushUndo());
        } else if (op == 6) {
            ASSERT_EQ(PopUndo(), !pushed.empty());
            if (pushed.empty()) return;
            ASSERT_EQ(ImageOfMesh(), pushed.back()) << "the restore differs from the snapshot";
            pushed.pop_back();
        } else {
            RawEdit();
        }
        // The frame's upkeep: normals, relaxation and the mirror line for what changed.
        UpdateWorkset();
        RefinementCycle();
    }

    // The first broken record the checker does not look for, or "".
    std::string Fault() {
        for (i32 i = 0; i < vertexCapacity; i++) {
            const Vertex& v = vertices[i];
            std::string name = "vertex " + std::to_string(i);
            if (!v.active) continue;
            if (!IsFinite(v.refPosition)) return name + ": reference position not finite";
            // Splits never raise an inner vertex above 19 edges, collapses keep 18.
            if (closed && v.edgeCount > 19) return name + " has more than 19 edges";
            if (symmetry && v.onMirrorLine && (v.position.x != 0 || v.refPosition.x != 0))
                return name + " left the mirror line";
        }
        for (i32 i = 0; closed && i < edgeCapacity; i++)
            if (edges[i].active && !edges[i].triangle2)
                return "edge " + std::to_string(i) + " open";
        if (closed && liveVertexCount - liveEdgeCount + liveTriangleCount != 2) return "V - E + T";
        return "";
    }
};

TEST_F(ChainTest, RandomEditsStrokesSplitsCollapsesAndUndoKeepTheMeshSound) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const i32 sessions = 4;  // every access costs more under the sanitizers
#else
    const i32 sessions = 12;
#endif
    char report[2048];
    for (i32 session = 0; session < sessions; session++) {
        StartSession(session);
        for (i32 step = 0; step < 60; step++) {
            SCOPED_TRACE(::testing::Message() << "seed " << TestSeed(20240601) << " session "
                                              << session << " step " << step);
            Step();
            if (HasFatalFailure()) return;
            ASSERT_TRUE(CheckMesh(report, sizeof report)) << report;
            ASSERT_EQ(Fault(), "");
        }
    }
}

}  // namespace
