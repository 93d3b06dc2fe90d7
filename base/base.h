// Shared basics: fixed-width names, the Vec3 type and the program directory.
// Everything here is plain data and inline math; no platform or GL includes,
// so every module (and the headless tests) can include it.
#pragma once
#include <cmath>
#include <cstdint>

typedef uint8_t u8;
typedef uint32_t u32;
typedef int32_t i32;
typedef uint64_t u64;
typedef float f32;

struct Vec3 {
    f32 x, y, z;
    // A vector shorter than 0.000001 has no usable direction; it becomes +x so
    // that callers never divide by zero or spread NaN through the mesh.
    void Normalize() {
        f32 len = std::sqrt(x * x + y * y + z * z);
        if (len < 0.000001f) {
            x = 1;
            y = 0;
            z = 0;
            return;
        }
        f32 inv = 1.0f / len;
        x *= inv;
        y *= inv;
        z *= inv;
    }
};

inline Vec3 V3(f32 x, f32 y, f32 z) { return Vec3{x, y, z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, f32 s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}
inline Vec3& operator-=(Vec3& a, Vec3 b) {
    a.x -= b.x;
    a.y -= b.y;
    a.z -= b.z;
    return a;
}
inline f32 Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline f32 Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalized(Vec3 a) {
    a.Normalize();
    return a;
}
inline bool IsFinite(Vec3 a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

// Program directory, ending with '/'. Set once at start-up (FindAppDir).
extern char appDir[512];
// appDir + name in one static buffer; each call overwrites the previous result.
const char* AppPath(const char* name);
// Fills appDir from the running executable's path (or leaves "./").
void FindAppDir();
