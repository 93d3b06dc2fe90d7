// The icon atlas of the interface: button faces, the header plate, the
// brush-preview frame and one icon per tool and command. Icons are
// multiplied over a face, so an icon cell is white wherever the face is to
// show unchanged, and its darks are factors: ink 0.17 turns the grey face
// near black, fill 0.55 into a mid tone. Cells 16 to 31 sit in the lower
// half; the program reaches them past u = 1 with the texture repeating.
#include <map>
#include "guiart.h"
#include "shapes.h"

static const int CELL = 64;
static const P2 MID = {32, 32};
static const Col INK = {0.17f, 0.17f, 0.18f}, FILL = {0.55f, 0.55f, 0.56f},
                 LIGHT = {0.84f, 0.84f, 0.85f}, WHITE = {1, 1, 1}, BLACK = {0, 0, 0};
static const float STROKE = 4.5f;  // about two screen pixels on a 31-pixel button

// ================================================================ drawing helpers

static void FillAndInk(Canvas& c, Sdf shape, Col fill, float width = STROKE) {
    Paint(c, shape, fill);
    Paint(c, Outline(shape, width), INK);
}

static void Arrow(Canvas& c, P2 from, P2 tip, float width = 4, float head = 9) {
    P2 d = (tip - from) * (1 / Len(tip - from)), n = {-d.y, d.x};
    Paint(c, Line({from, tip - d * (head * 0.6f)}, width), INK);
    Paint(c,
          Polygon({tip, tip - d * head + n * (head * 0.62f), tip - d * head - n * (head * 0.62f)}),
          INK);
}

// A dark disc with a white plus or minus: "make new" and "take away".
static void Badge(Canvas& c, P2 at, bool plus) {
    Paint(c, Circle(at, 10), WHITE);
    Paint(c, Circle(at, 8.5f), INK);
    Paint(c, Line({at + P2{-4.5f, 0}, at + P2{4.5f, 0}}, 3), WHITE);
    if (plus) Paint(c, Line({at + P2{0, -4.5f}, at + P2{0, 4.5f}}, 3), WHITE);
}

// A slice through a surface: material below the profile y = height(x).
static void Section(Canvas& c, std::function<float(float)> height, float bottom = 50) {
    std::vector<P2> profile;
    for (float x = 11; x <= 53.01f; x += 0.5f) profile.push_back({x, height(x)});
    std::vector<P2> body = profile;
    body.push_back({53, bottom});
    body.push_back({11, bottom});
    Paint(c, Polygon(body), FILL);
    Paint(c, Line(profile, STROKE), INK);
}

static void Cube(Canvas& c, P2 at, float size) {
    auto v = [&](float degrees) { return Polar(at, size, degrees); };
    Paint(c, Polygon({at, v(210), v(270), v(330)}), LIGHT);
    Paint(c, Polygon({at, v(90), v(150), v(210)}), FILL);
    Paint(c, Polygon({at, v(330), v(30), v(90)}), {0.4f, 0.4f, 0.41f});
    Paint(c, Line({v(270), v(330), v(30), v(90), v(150), v(210), v(270)}, 3.5f), INK);
    Paint(c, Line({v(210), at, v(330)}, 3), INK);
    Paint(c, Line({at, v(90)}, 3), INK);
}

// ================================================================ faces and frames

static const Sdf faceShape = RoundBox(MID, {27, 27}, 11);

static void ButtonFace(Canvas& c) {
    Paint(c, faceShape, [](P2 p) {
        return Mix({0.98f, 0.98f, 0.98f}, {0.80f, 0.80f, 0.80f}, (p.y - 5) / 54);
    });
    Paint(c, Intersect(Outline(RoundBox(MID, {25, 25}, 9.5f), 1.5f), Above(24)), WHITE, 0.9f);
    Paint(c, Outline(faceShape, 1.6f), {0.3f, 0.3f, 0.3f}, 0.8f);
}

static void PressedFace(Canvas& c) {
    Paint(c, faceShape, [](P2 p) {
        return Mix({0.70f, 0.70f, 0.70f}, {0.90f, 0.90f, 0.90f}, (p.y - 5) / 54);
    });
    Paint(c, Intersect(Outline(RoundBox({32, 33}, {26, 26}, 10), 3), faceShape), BLACK, 0.25f, 3);
    Paint(c, Outline(faceShape, 1.6f), {0.25f, 0.25f, 0.25f}, 0.9f);
}

static void HeaderPlate(Canvas& c) {
    Sdf plate = Circle(MID, 29);
    Paint(c, plate, [](P2 p) {
        return Mix({0.95f, 0.95f, 0.95f}, {0.74f, 0.74f, 0.75f}, (p.y - 3) / 58);
    });
    Paint(c, Intersect(Outline(Circle(MID, 27), 1.3f), Above(26)), WHITE, 0.8f);
    Paint(c, Outline(plate, 2), {0.3f, 0.3f, 0.3f}, 0.85f);
}

static void BrushFrame(Canvas& c) {
    Paint(c, Circle(MID, 24), BLACK, 0.35f);
    Paint(c, Outline(Circle(MID, 24.5f), 2.5f), WHITE);
    for (int k = 0; k < 4; k++)
        Paint(c, Line({Polar(MID, 27.5f, 90.0f * k), Polar(MID, 31, 90.0f * k)}, 2.5f), WHITE);
}

// ================================================================ tool icons

static void DrawIcon(Canvas& c) {
    Section(c, [](float x) { return 45 - 16 * std::exp(-std::pow((x - 32) / 7.5f, 2.0f)); });
    Paint(c, Line({{25, 21}, {32, 14}, {39, 21}}, 3.5f), INK);
}

static void InflateIcon(Canvas& c) {
    FillAndInk(c, Circle(MID, 8.5f), FILL, 3.5f);
    for (int k = 0; k < 4; k++)
        Arrow(c, Polar(MID, 13, 45 + 90.0f * k), Polar(MID, 24, 45 + 90.0f * k), 3.5f, 8);
}

static void PinchIcon(Canvas& c) {
    Paint(c, Line({{32, 16}, {32, 48}}, 3), INK);
    Arrow(c, {10, 32}, {27, 32}, 4, 9);
    Arrow(c, {54, 32}, {37, 32}, 4, 9);
}

static void SmoothIcon(Canvas& c) {
    Section(c, [](float x) {
        float t = (x - 11) / 42;
        return 35 + 8 * std::sin((x - 11) * 0.5f) * std::pow(1 - t, 1.3f);
    });
}

static void FlattenIcon(Canvas& c) {
    Section(c, [](float x) {
        return std::max(33.0f, 46 - 19 * std::exp(-std::pow((x - 32) / 10, 2.0f)));
    });
    Paint(c, RoundBox({32, 21}, {16, 2.5f}, 2), INK);
}

static void GrabIcon(Canvas& c) {
    for (int k = 0; k < 4; k++) Arrow(c, MID, Polar(MID, 21, 90.0f * k), 4, 9);
    FillAndInk(c, Circle(MID, 4.5f), WHITE, 3);
}

static void WireframeIcon(Canvas& c) {
    auto v = [](int k) { return Polar(MID, 20, -90 + 60.0f * k); };
    for (int k = 0; k < 6; k += 2) Paint(c, Polygon({MID, v(k), v(k + 1)}), LIGHT);
    for (int k = 0; k < 6; k++) Paint(c, Line({v(k), v(k + 1), MID}, 3), INK);
}

static void MaskIcon(Canvas& c) {
    Paint(c, Intersect(Circle(MID, 17), LeftOf(32)), INK);
    Paint(c, Outline(Circle(MID, 17), 3.5f), INK);
}

static void CreaseIcon(Canvas& c) {
    Section(c, [](float x) { return 31 + std::max(0.0f, 14 - 1.6f * std::fabs(x - 32)); });
}

static void RotateIcon(Canvas& c) {
    // Clockwise around the centre; the head starts where the arc ends and
    // points along it.
    const float r = 16, start = -20, end = 205, a = end * 0.0174533f;
    Paint(c, Line(ArcPoints(MID, r, start, end), 4.5f), INK);
    P2 base = Polar(MID, r, end), d = {-std::sin(a), std::cos(a)}, n = {-d.y, d.x};
    Paint(c, Polygon({base + d * 12, base + n * 7.5f, base - n * 7.5f}), INK);
}

static void ScaleIcon(Canvas& c) {
    Paint(c, Outline(RoundBox(MID, {19, 19}, 2), 2.5f), INK);
    FillAndInk(c, RoundBox({22, 42}, {8, 8}, 1.5f), FILL, 3.5f);
    Arrow(c, {27, 37}, {48, 16}, 4, 10);
}

static void SymmetryIcon(Canvas& c) {
    for (float y = 11; y < 53; y += 9) Paint(c, Line({{32, y}, {32, y + 5}}, 3), INK);
    FillAndInk(c, Polygon({{27, 16}, {27, 48}, {11, 48}}), FILL, 3.5f);
    Paint(c, Outline(Polygon({{37, 16}, {37, 48}, {53, 48}}), 3.5f), INK);
}

static void NewSphereIcon(Canvas& c) {
    const P2 at = {29, 30};
    Paint(c, Circle(at, 17), [=](P2 p) {
        float nx = (p.x - at.x) / 17, ny = (p.y - at.y) / 17;
        float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
        float light = std::max(0.0f, -0.5f * nx - 0.55f * ny + 0.67f * nz);
        float v = 0.38f + 0.6f * light;
        return Col{v, v, v};
    });
    Paint(c, Outline(Circle(at, 17), 3.5f), INK);
    Badge(c, {47, 47}, true);
}

static void NewPlaneIcon(Canvas& c) {
    const P2 top = {30, 15}, right = {52, 28}, bottom = {30, 41}, left = {9, 28};
    auto mid = [](P2 a, P2 b) { return (a + b) * 0.5f; };
    Paint(c, Polygon({top, right, bottom, left}), LIGHT);
    Paint(c, Line({mid(top, right), mid(left, bottom)}, 2.5f), FILL);
    Paint(c, Line({mid(top, left), mid(right, bottom)}, 2.5f), FILL);
    Paint(c, Outline(Polygon({top, right, bottom, left}), 3.5f), INK);
    Badge(c, {47, 47}, true);
}

static void SaveIcon(Canvas& c) {
    FillAndInk(c, Polygon({{14, 14}, {42, 14}, {50, 22}, {50, 50}, {14, 50}}), LIGHT, 4);
    Paint(c, RoundBox({29, 21}, {9, 6}, 1), INK);
    Paint(c, RoundBox({33, 21}, {2, 3.5f}, 0.5f), WHITE);
    Paint(c, RoundBox({32, 40}, {12, 7}, 1.5f), WHITE);
    Paint(c, Line({{24, 38}, {40, 38}}, 2), FILL);
    Paint(c, Line({{24, 43}, {36, 43}}, 2), FILL);
}

static void OpenIcon(Canvas& c) {
    FillAndInk(c, Polygon({{11, 16}, {25, 16}, {29, 21}, {48, 21}, {48, 48}, {11, 48}}), FILL,
               3.5f);
    FillAndInk(c, Polygon({{19, 29}, {55, 29}, {48, 48}, {11, 48}}), LIGHT, 3.5f);
}

static void ExportIcon(Canvas& c) {
    Cube(c, {24, 39}, 13);
    Arrow(c, {34, 29}, {52, 11}, 4.5f, 11);
}

static void ImportIcon(Canvas& c) {
    Cube(c, {24, 39}, 13);
    Arrow(c, {53, 10}, {37, 26}, 4.5f, 11);
}

static void ReduceDetailIcon(Canvas& c) {
    const P2 a = {10, 50}, b = {44, 50}, t = {27, 19};
    auto mid = [](P2 p, P2 q) { return (p + q) * 0.5f; };
    Paint(c, Polygon({a, b, t}), LIGHT);
    Paint(c, Line({mid(a, b), mid(b, t), mid(t, a), mid(a, b)}, 2.5f), FILL);
    Paint(c, Outline(Polygon({a, b, t}), 3.5f), INK);
    Badge(c, {47, 21}, false);
}

// ================================================================ the atlas

// Cell number -> painter. The numbers are fixed by the program's button
// table; every cell not named here stays white and transparent.
static const std::map<int, void (*)(Canvas&)> cells = {
    {0, ButtonFace},     {1, PressedFace},   {2, HeaderPlate},       {3, DrawIcon},
    {4, InflateIcon},    {5, PinchIcon},     {6, SmoothIcon},        {7, FlattenIcon},
    {8, GrabIcon},       {9, WireframeIcon}, {10, MaskIcon},         {11, CreaseIcon},
    {12, RotateIcon},    {13, ScaleIcon},    {15, BrushFrame},       {19, SymmetryIcon},
    {20, NewSphereIcon}, {21, NewPlaneIcon}, {22, SaveIcon},         {23, OpenIcon},
    {24, ExportIcon},    {25, ImportIcon},   {26, ReduceDetailIcon},
};

Image MakeIconAtlas() {
    Image atlas = MakeImage(16 * CELL, 2 * CELL);
    for (int cell = 0; cell < 32; cell++) {
        Canvas c = MakeCanvas(CELL, CELL);
        auto painter = cells.find(cell);
        if (painter != cells.end()) painter->second(c);
        // Faces, plate and frame are blended by their alpha; icons are multiplied.
        bool multiplied = cell > 2 && cell != 15;
        Place(atlas, c, cell % 16 * CELL, cell / 16 * CELL, WHITE, multiplied);
    }
    return atlas;
}
