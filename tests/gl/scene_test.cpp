// The 3D view drawn for real and checked by its pixels: the sphere over the
// background, the fixed-function light, the mirrored pass and its seam, the
// wireframe, the mask tint, the brush ring, and the rebuild rules that
// decide how many triangles are drawn.
#include "gl_fixture.h"

namespace {

const i32 kCentreX = 475, kCentreY = 325;

i32 Brightness(Rgb c) { return c.r + c.g + c.b; }

// Keeps the x >= 0 half of the sphere (the half that symmetric editing stores).
void RemoveNegativeHalf() {
    for (i32 i = 0; i < triangleCapacity; i++) {
        Triangle& t = triangles[i];
        if (!t.active) continue;
        f32 cx = t.vertices[0]->position.x + t.vertices[1]->position.x + t.vertices[2]->position.x;
        if (cx < 0) RemoveTriangle(&t, true);
    }
    UpdateNormals();
    RequestFullRebuild();
}

// Pixels whose colour differs from the one mirrored about the centre column.
i32 CountAsymmetricPixels(const Picture& p) {
    i32 count = 0;
    for (i32 y = 0; y < p.height; y++)
        for (i32 x = 0; x < p.width / 2; x++)
            if (MaxDifference(p.At(x, y), p.At(p.width - 1 - x, y)) > 8) count++;
    return count;
}

// Distances from the brush centre of the pixels that changed along its row.
std::vector<i32> ChangedDistances(const Picture& a, const Picture& b) {
    std::vector<i32> distances;
    for (i32 x = kCentreX - 160; x <= kCentreX + 160; x++)
        if (MaxDifference(a.At(x, kCentreY), b.At(x, kCentreY)) > 2)
            distances.push_back(std::abs(x - kCentreX));
    return distances;
}

}  // namespace

TEST_F(SceneTest, LitSphereOverTheBackground) {
    Picture p = DrawAndRead();
    Rgb centre = p.At(kCentreX, kCentreY);
    EXPECT_GT(MaxDifference(centre, kBackground), 40) << centre;
    for (auto [x, y] : {std::pair{0, 0}, {949, 0}, {0, 649}, {949, 649}, {100, 325}, {850, 325}})
        EXPECT_EQ(p.At(x, y), kBackground) << "at " << x << ", " << y;
    EXPECT_GT(drawTriangleCount, 0);
    EXPECT_FALSE(arraysDirty);
    // Facing the viewer the sphere is bright; its upper half (the light's
    // weights lean upwards) is brighter than its lower half.
    EXPECT_GT(Brightness(centre), 3 * 140) << centre;
    EXPECT_GT(Brightness(p.At(kCentreX, kCentreY - 150)),
              Brightness(p.At(kCentreX, kCentreY + 150)) + 30);
    zoom = zoomTarget = 1.6f;
    Rgb nearer = DrawAndRead().At(kCentreX, kCentreY);
    EXPECT_LE(MaxDifference(centre, nearer), 3) << "zooming changed the light: " << nearer;
}

TEST_F(SceneTest, BackgroundPictureOrElseTheClearColour) {
    ASSERT_TRUE(backgroundTexture.LoadPng(AppPath("data/background.png"), TEXTURE_LINEAR));
    Picture p = DrawAndRead();
    // The shipped backdrop is lit in the middle and falls off to the corners.
    EXPECT_GT(Brightness(p.At(200, 325)), Brightness(p.At(0, 0)) + 30);
    // Without it, the clear colour shows, not a white sheet.
    backgroundTexture.Release();
    p = DrawAndRead();
    EXPECT_LE(MaxDifference(p.At(0, 0), Rgb{77, 128, 77}), 1) << p.At(0, 0);
    EXPECT_GT(MaxDifference(p.At(kCentreX, kCentreY), p.At(0, 0)), 40) << "the sphere still shows";
}

TEST_F(SceneTest, MirroredPassCompletesTheHalfMeshAndMarksTheSeam) {
    RemoveNegativeHalf();
    Picture half = DrawAndRead();
    EXPECT_GT(CountAsymmetricPixels(half), 20000) << "without the mirrored pass one half shows";
    // Both passes without the seam (symmetry off skips it), then with it.
    mirrorPass = 1;
    DrawScene();
    Picture noSeam = ReadBack();
    symmetry = 1;
    Picture both = DrawAndRead();
    EXPECT_LT(CountAsymmetricPixels(both), 200) << "the mirrored half must match the stored half";
    EXPECT_NE(both.At(kCentreX - 100, kCentreY), kBackground);
    EXPECT_NE(both.At(kCentreX + 100, kCentreY), kBackground);
    i32 brighterNearCentre = 0, changedElsewhere = 0;
    for (i32 y = 0; y < both.height; y++)
        for (i32 x = 0; x < both.width; x++) {
            Rgb before = noSeam.At(x, y), after = both.At(x, y);
            if (MaxDifference(before, after) <= 1) continue;
            if (std::abs(x - kCentreX) <= 12 && Brightness(after) > Brightness(before))
                brighterNearCentre++;
            else
                changedElsewhere++;
        }
    EXPECT_GT(brighterNearCentre, 300) << "a faint band down the middle of the sphere";
    EXPECT_LT(changedElsewhere, 50);
}

TEST_F(SceneTest, WireframeAndMaskTintAddOntoTheMeshOnly) {
    Picture plain = DrawAndRead();
    wireframe = 1;
    Picture lines = DrawAndRead();
    wireframe = 0;
    i32 changed = 0, darker = 0;
    for (i32 y = 0; y < plain.height; y++)
        for (i32 x = 0; x < plain.width; x++) {
            Rgb a = plain.At(x, y), b = lines.At(x, y);
            if (MaxDifference(a, b) < 5) continue;
            changed++;
            if (Brightness(b) < Brightness(a)) darker++;
        }
    EXPECT_GT(changed, 5000) << "the triangle edges show";
    EXPECT_EQ(darker, 0) << "lines are added onto the picture";
    EXPECT_EQ(lines.At(0, 0), kBackground);
    EXPECT_EQ(lines.At(100, 325), kBackground);

    Rgb before = plain.At(kCentreX, kCentreY);
    maskView = 1;
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 1;
    RequestFullRebuild();
    Rgb masked = DrawAndRead().At(kCentreX, kCentreY);
    EXPECT_GT(masked.g, before.g + 50) << before << " -> " << masked;
    EXPECT_LE(std::abs(masked.r - before.r), 2);
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0;
    RequestFullRebuild();
    Rgb unmasked = DrawAndRead().At(kCentreX, kCentreY);
    // The unmasked colour is slightly negative; added onto the picture it
    // can only leave it as it was, never brighten it.
    EXPECT_LE(MaxDifference(unmasked, before), 2) << before << " -> " << unmasked;
}

TEST_F(SceneTest, BrushRingShowsWhereTheBrushSphereCutsTheSurface) {
    Picture plain = DrawAndRead();
    // The brush on the front of the sphere, facing the viewer at the centre.
    brush.brushHit = 1;
    brush.center = {0, 0, -100};
    brush.radius = 40;
    brush.strength = 1;
    Picture ring = DrawAndRead();
    std::vector<i32> d = ChangedDistances(plain, ring);
    ASSERT_FALSE(d.empty()) << "the ring is drawn";
    // 0.7 to 0.8 of a 40-unit brush at 400 units from the eye: about 70 to 80 pixels.
    for (i32 distance : d) {
        EXPECT_GE(distance, 60);
        EXPECT_LE(distance, 92);
    }
    Rgb before = plain.At(kCentreX + 75, kCentreY), sculpt = ring.At(kCentreX + 75, kCentreY);
    EXPECT_GE(sculpt.r, sculpt.g) << "orange-white for the sculpting tools: " << sculpt;
    currentTool = TOOL_MASK;
    Rgb mask = DrawAndRead().At(kCentreX + 75, kCentreY);
    EXPECT_GT(mask.g - before.g, mask.r - before.r) << "green for the mask: " << mask;
    currentTool = TOOL_ROTATE;
    strokeActive = 1;
    Picture rotating = DrawAndRead();
    strokeActive = 0;
    EXPECT_TRUE(ChangedDistances(plain, rotating).empty()) << "hidden while rotating";
}

TEST_F(SceneTest, FullRebuildOfAMeshWithoutTrianglesDrawsNothing) {
    DrawAndRead();
    ASSERT_GT(drawTriangleCount, 0);
    ResetAllocation();  // no triangles, every rebuild flag raised
    Picture p = DrawAndRead();
    EXPECT_EQ(drawTriangleCount, 0);
    for (i32 y = 0; y < p.height; y += 13)
        for (i32 x = 0; x < p.width; x += 17) ASSERT_EQ(p.At(x, y), kBackground) << x << ", " << y;
}

TEST_F(SceneTest, WorksetRebuildAfterRemovingTheLastTrianglesKeepsTheDrawnRange) {
    DrawAndRead();
    i32 before = drawTriangleCount;
    // Remove the five highest triangle slots with only the workset rebuilt.
    workset.vertices.count = workset.edges.count = workset.triangles.count = 0;
    std::vector<i32> removed;
    for (i32 s = triangleCapacity - 1; s >= 0 && removed.size() < 5; s--)
        if (triangles[s].active) {
            RemoveTriangle(&triangles[s], true);
            removed.push_back(s);
        }
    ASSERT_EQ(removed.front(), before - 1);
    arraysDirty = 1;
    fullRebuild = 0;
    DrawAndRead();
    EXPECT_EQ(drawTriangleCount, before) << "the drawn range only grows between full rebuilds";
    for (i32 s : removed) {
        const IndexTriple& t = indexArray[s];
        EXPECT_TRUE(t.v[0] == 0 && t.v[1] == 0 && t.v[2] == 0) << "slot " << s << " draws nothing";
    }
    RequestFullRebuild();
    DrawAndRead();
    EXPECT_EQ(drawTriangleCount, removed.back())
        << "a full rebuild ends at the highest active slot";
}

TEST_F(SceneTest, ThreadedBuilderMatchesTheSingleThreadedOne) {
    mtVarrays = 0;
    DrawAndRead();
    std::vector<IndexTriple> single(indexArray, indexArray + triangleCapacity);
    std::vector<Vec3> positions(positionArray, positionArray + vertexCapacity);
    i32 singleCount = drawTriangleCount;
    mtVarrays = 1;
    memset(indexArray, 0xAB, sizeof(IndexTriple) * triangleCapacity);
    RequestFullRebuild();
    DrawAndRead();
    EXPECT_EQ(drawTriangleCount, singleCount);
    EXPECT_EQ(memcmp(single.data(), indexArray, sizeof(IndexTriple) * triangleCapacity), 0);
    for (i32 s = 0; s < vertexCapacity; s++)
        if (vertices[s].active) {
            ASSERT_EQ(positionArray[s].x, positions[s].x);
            ASSERT_EQ(vertices[s].index, s);
        }
}
