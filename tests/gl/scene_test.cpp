// The 3D view drawn for real and checked by its pixels: the sphere over the
// background, the fixed-function light, the mirrored pass, the wireframe,
// the mask tint, the brush ring, the symmetry seam, and the rebuild rules
// that decide how many triangles are drawn.
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
i32 CountAsymmetricPixels(const Picture& p, i32 tolerance) {
    i32 count = 0;
    for (i32 y = 0; y < p.height; y++)
        for (i32 x = 0; x < p.width / 2; x++)
            if (MaxDifference(p.At(x, y), p.At(p.width - 1 - x, y)) > tolerance) count++;
    return count;
}

}  // namespace

// ================================================================ the lit sphere

TEST_F(SceneTest, SphereCoversCentreAndBackgroundCoversCorners) {
    Picture p = DrawAndRead();
    EXPECT_GT(MaxDifference(p.At(kCentreX, kCentreY), kBackground), 40) << p.At(kCentreX, kCentreY);
    for (auto [x, y] : {std::pair{0, 0}, {949, 0}, {0, 649}, {949, 649}, {100, 325}, {850, 325}})
        EXPECT_EQ(p.At(x, y), kBackground) << "at " << x << ", " << y;
    EXPECT_GT(drawTriangleCount, 0);
    EXPECT_FALSE(arraysDirty);
}

TEST_F(SceneTest, LightComesFromTheViewerAndAbove) {
    Picture p = DrawAndRead();
    // Facing the viewer the sphere is bright; its upper half (the light's
    // weights lean upwards) is brighter than its lower half.
    EXPECT_GT(Brightness(p.At(kCentreX, kCentreY)), 3 * 140) << p.At(kCentreX, kCentreY);
    EXPECT_GT(Brightness(p.At(kCentreX, kCentreY - 150)),
              Brightness(p.At(kCentreX, kCentreY + 150)) + 30);
}

TEST_F(SceneTest, ZoomingDoesNotChangeTheBrightness) {
    Rgb near1 = DrawAndRead().At(kCentreX, kCentreY);
    zoom = zoomTarget = 1.6f;
    Rgb near16 = DrawAndRead().At(kCentreX, kCentreY);
    EXPECT_LE(MaxDifference(near1, near16), 3) << near1 << " vs " << near16;
}

TEST_F(SceneTest, BackgroundPictureFillsTheWindowWhenLoaded) {
    ASSERT_TRUE(backgroundTexture.LoadPng(AppPath("data/background.png"), TEXTURE_LINEAR));
    Picture p = DrawAndRead();
    // The shipped backdrop is lit in the middle and falls off to the corners.
    EXPECT_GT(Brightness(p.At(200, 325)), Brightness(p.At(0, 0)) + 30);
    if (const char* dir = getenv("TESSA_SCREENSHOT_DIR")) {
        std::string path = std::string(dir) + "/scene.png";
        EXPECT_TRUE(WritePicturePng(p, path.c_str()));
    }
}

TEST_F(SceneTest, MissingBackgroundPictureLeavesTheClearColourNotAWhiteSheet) {
    backgroundTexture.Release();
    Picture p = DrawAndRead();
    Rgb corner = p.At(0, 0);
    EXPECT_LE(MaxDifference(corner, Rgb{77, 128, 77}), 1) << corner;
    EXPECT_GT(MaxDifference(p.At(kCentreX, kCentreY), corner), 40) << "the sphere still shows";
}

// ================================================================ mirrored pass

TEST_F(SceneTest, MirroredPassMakesTheHalfMeshSymmetric) {
    RemoveNegativeHalf();
    Picture half = DrawAndRead();
    i32 lopsided = CountAsymmetricPixels(half, 8);
    symmetry = 1;
    Picture both = DrawAndRead();
    i32 asymmetric = CountAsymmetricPixels(both, 8);
    EXPECT_GT(lopsided, 20000) << "without the mirrored pass only one half shows";
    EXPECT_LT(asymmetric, 200) << "the mirrored half must match the stored half";
    EXPECT_NE(both.At(kCentreX - 100, kCentreY), kBackground);
    EXPECT_NE(both.At(kCentreX + 100, kCentreY), kBackground);
}

TEST_F(SceneTest, SeamMarksOnlyWhereTheSurfaceCrossesTheMirrorPlane) {
    RemoveNegativeHalf();
    // Both passes without the seam (symmetry off skips it), then with it.
    DrawAndRead();
    mirrorPass = 1;
    DrawScene();
    glFinish();
    std::vector<u8> noSeam((size_t)windowWidth * windowHeight * 4);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGBA, GL_UNSIGNED_BYTE, noSeam.data());
    symmetry = 1;
    Picture seam = DrawAndRead();
    i32 brighterNearCentre = 0, changedElsewhere = 0;
    for (i32 y = 0; y < windowHeight; y++)
        for (i32 x = 0; x < windowWidth; x++) {
            const u8* a = &noSeam[((size_t)(windowHeight - 1 - y) * windowWidth + x) * 4];
            Rgb before = {a[0], a[1], a[2]}, after = seam.At(x, y);
            if (MaxDifference(before, after) <= 1) continue;
            if (std::abs(x - kCentreX) <= 12 && Brightness(after) > Brightness(before))
                brighterNearCentre++;
            else
                changedElsewhere++;
        }
    EXPECT_GT(brighterNearCentre, 300) << "a faint band down the middle of the sphere";
    EXPECT_LT(changedElsewhere, 50);
}

// ================================================================ overlays

TEST_F(SceneTest, WireframeAddsLinesOnTheMeshOnly) {
    Picture plain = DrawAndRead();
    wireframe = 1;
    Picture lines = DrawAndRead();
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
}

TEST_F(SceneTest, MaskTintGrowsGreenWithTheMaskWeight) {
    Rgb plain = DrawAndRead().At(kCentreX, kCentreY);
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 1;
    maskView = 1;
    RequestFullRebuild();
    Rgb masked = DrawAndRead().At(kCentreX, kCentreY);
    EXPECT_GT(masked.g, plain.g + 50) << plain << " -> " << masked;
    EXPECT_LE(std::abs(masked.r - plain.r), 2);
    for (i32 i = 0; i < vertexCapacity; i++) vertices[i].mask = 0;
    RequestFullRebuild();
    Rgb free = DrawAndRead().At(kCentreX, kCentreY);
    // The unmasked colour is slightly negative; added onto the picture it
    // can only leave it as it was, never brighten it.
    EXPECT_LE(MaxDifference(free, plain), 2) << plain << " -> " << free;
}

// The brush on the front of the sphere, facing the viewer at the window centre.
static void PlaceBrushInFront() {
    brush.brushHit = 1;
    brush.center = {0, 0, -100};
    brush.radius = 40;
    brush.strength = 1;
}

// Changed pixels along the row through the brush centre, by distance from it.
static std::vector<i32> ChangedDistances(const Picture& a, const Picture& b) {
    std::vector<i32> distances;
    for (i32 x = kCentreX - 160; x <= kCentreX + 160; x++)
        if (MaxDifference(a.At(x, kCentreY), b.At(x, kCentreY)) > 2)
            distances.push_back(std::abs(x - kCentreX));
    return distances;
}

TEST_F(SceneTest, BrushRingColoursOnlyWhereTheBrushSphereCutsTheSurface) {
    Picture plain = DrawAndRead();
    PlaceBrushInFront();
    Picture ring = DrawAndRead();
    std::vector<i32> d = ChangedDistances(plain, ring);
    ASSERT_FALSE(d.empty()) << "the ring is drawn";
    // 0.7 to 0.8 of a 40-unit brush at 400 units from the eye: about 70 to 80 pixels.
    for (i32 distance : d) {
        EXPECT_GE(distance, 60);
        EXPECT_LE(distance, 92);
    }
    Rgb r = ring.At(kCentreX + 75, kCentreY);
    EXPECT_GE(r.r, r.g) << "orange-white for the sculpting tools: " << r;
}

TEST_F(SceneTest, BrushRingIsGreenForTheMaskAndHiddenWhileRotating) {
    Picture plain = DrawAndRead();
    PlaceBrushInFront();
    currentTool = TOOL_MASK;
    Picture mask = DrawAndRead();
    Rgb before = plain.At(kCentreX + 75, kCentreY), after = mask.At(kCentreX + 75, kCentreY);
    EXPECT_GT(after.g - before.g, after.r - before.r) << before << " -> " << after;
    currentTool = TOOL_ROTATE;
    strokeActive = 1;
    Picture rotating = DrawAndRead();
    strokeActive = 0;
    EXPECT_TRUE(ChangedDistances(plain, rotating).empty());
}

// ================================================================ rebuild rules

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
