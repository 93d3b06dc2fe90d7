// Anti-aliased vector drawing for the interface pictures: shapes are signed
// distance functions in pixels (negative inside), painted one over another
// onto a premultiplied canvas with a one-pixel coverage ramp at the edge.
// Values are the bytes the program multiplies and blends, not linear light:
// interface art is judged as stored. Header-only, like picture.h.
#pragma once
#include <functional>
#include "picture.h"

struct P2 {
    float x, y;
};
static inline P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
static inline P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
static inline P2 operator*(P2 a, float s) { return {a.x * s, a.y * s}; }
static inline float Dot2(P2 a, P2 b) { return a.x * b.x + a.y * b.y; }
static inline float Len(P2 a) { return std::sqrt(Dot2(a, a)); }
// The point at `radius` and `degrees` around `c`; 0 degrees points right, 90 down.
static inline P2 Polar(P2 c, float radius, float degrees) {
    float a = degrees * 3.14159265f / 180;
    return {c.x + radius * std::cos(a), c.y + radius * std::sin(a)};
}

// ================================================================ distances

typedef std::function<float(P2)> Sdf;

static inline Sdf Circle(P2 c, float r) {
    return [=](P2 p) { return Len(p - c) - r; };
}
static inline Sdf RoundBox(P2 c, P2 half, float r) {
    return [=](P2 p) {
        P2 q = {std::fabs(p.x - c.x) - half.x + r, std::fabs(p.y - c.y) - half.y + r};
        P2 out = {std::max(q.x, 0.0f), std::max(q.y, 0.0f)};
        return Len(out) + std::min(std::max(q.x, q.y), 0.0f) - r;
    };
}
static inline float SegmentDistance(P2 p, P2 a, P2 b) {
    P2 ab = b - a;
    float t = Clamp01(Dot2(p - a, ab) / std::max(Dot2(ab, ab), 1e-6f));
    return Len(p - (a + ab * t));
}
// A closed polygon, any winding, convex or not.
static inline Sdf Polygon(std::vector<P2> v) {
    return [=](P2 p) {
        float d = 1e9f;
        bool inside = false;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            d = std::min(d, SegmentDistance(p, v[j], v[i]));
            if ((v[i].y > p.y) != (v[j].y > p.y) &&
                p.x < v[j].x + (v[i].x - v[j].x) * (p.y - v[j].y) / (v[i].y - v[j].y))
                inside = !inside;
        }
        return inside ? -d : d;
    };
}
// An open line through the points, `width` thick with round ends.
static inline Sdf Line(std::vector<P2> v, float width) {
    return [=](P2 p) {
        float d = 1e9f;
        for (size_t i = 1; i < v.size(); i++) d = std::min(d, SegmentDistance(p, v[i - 1], v[i]));
        return d - width / 2;
    };
}
// The points of a circular arc from `from` to `to` degrees, for Line.
static inline std::vector<P2> ArcPoints(P2 c, float r, float from, float to) {
    std::vector<P2> v;
    for (int i = 0; i <= 32; i++) v.push_back(Polar(c, r, from + (to - from) * i / 32));
    return v;
}
static inline Sdf Outline(Sdf s, float width) {
    return [=](P2 p) { return std::fabs(s(p)) - width / 2; };
}
// Everything above the height y (the side with smaller y).
static inline Sdf Above(float y) {
    return [=](P2 p) { return p.y - y; };
}
static inline Sdf LeftOf(float x) {
    return [=](P2 p) { return p.x - x; };
}
static inline Sdf Union(Sdf a, Sdf b) {
    return [=](P2 p) { return std::min(a(p), b(p)); };
}
static inline Sdf Intersect(Sdf a, Sdf b) {
    return [=](P2 p) { return std::max(a(p), b(p)); };
}
static inline Sdf Minus(Sdf a, Sdf b) {
    return [=](P2 p) { return std::max(a(p), -b(p)); };
}

// ================================================================ canvas

struct Canvas {
    int width, height;
    std::vector<float> px;  // premultiplied r, g, b, a per pixel, top row first
};

static inline Canvas MakeCanvas(int w, int h) {
    return Canvas{w, h, std::vector<float>((size_t)w * h * 4)};
}

// Paints `colour` at `opacity` where the shape is, its edge feathered over
// `soft` pixels (1: crisp anti-aliasing; more: a blurred shadow).
static inline void Paint(Canvas& c, Sdf shape, std::function<Col(P2)> colour, float opacity = 1,
                         float soft = 1) {
    for (int y = 0; y < c.height; y++)
        for (int x = 0; x < c.width; x++) {
            P2 p = {x + 0.5f, y + 0.5f};
            float k = opacity * Clamp01(0.5f - shape(p) / soft);
            if (k <= 0) continue;
            Col col = colour(p);
            float* q = &c.px[((size_t)y * c.width + x) * 4];
            q[0] = q[0] * (1 - k) + col.r * k;
            q[1] = q[1] * (1 - k) + col.g * k;
            q[2] = q[2] * (1 - k) + col.b * k;
            q[3] = q[3] * (1 - k) + k;
        }
}
static inline void Paint(Canvas& c, Sdf shape, Col colour, float opacity = 1, float soft = 1) {
    Paint(
        c, shape, [=](P2) { return colour; }, opacity, soft);
}

static inline u8 StoredByte(float v) { return (u8)std::lround(Clamp01(v) * 255); }

// Copies the canvas into `img` at (ox, oy). Transparent pixels take the
// colour `bleed` so that filtering at shape edges pulls in no foreign
// colour; with `overWhite` the canvas is flattened onto white instead, for
// pictures that are multiplied over what lies beneath.
static inline void Place(Image& img, const Canvas& c, int ox, int oy, Col bleed,
                         bool overWhite = false) {
    for (int y = 0; y < c.height; y++)
        for (int x = 0; x < c.width; x++) {
            const float* q = &c.px[((size_t)y * c.width + x) * 4];
            u8* p = &img.rgba[((size_t)(oy + y) * img.width + ox + x) * 4];
            float a = q[3];
            Col col = overWhite    ? Col{q[0] + 1 - a, q[1] + 1 - a, q[2] + 1 - a}
                      : a > 0.002f ? Col{q[0] / a, q[1] / a, q[2] / a}
                                   : bleed;
            p[0] = StoredByte(col.r);
            p[1] = StoredByte(col.g);
            p[2] = StoredByte(col.b);
            p[3] = StoredByte(a);
        }
}
