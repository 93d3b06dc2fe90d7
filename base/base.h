// Shared basics: fixed-width names, the Vec3 type, the invariant check and
// the program directory. Everything here is plain data and inline math; no
// platform or GL includes, so every module (and the headless tests) can
// include it.
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

// Degrees to radians as the view axes and picking compute them: 3.1415 / 180,
// a little under pi / 180. The GL transform (glRotatef, gluPerspective) uses
// the exact factor, so these angles run 0.003 % short of the drawn ones.
constexpr f32 DEGREES = 0.017452778f;

// ---- invariant checks
// TF_ASSERT(condition, format, ...) states an invariant of the program's own
// records, one that only a programming fault can break (a free corner linked
// into a triangle, an edge with a third triangle). Bad files, settings, user
// actions and a lack of memory are not faults: they keep their log line and
// a clean refusal, never an assert.
// With TESSA_ASSERTS on (developer and test builds) a broken invariant stops
// the program there, with file, line and message on stderr. Off (the shipped
// program) it writes the message as a "###" log line and yields false, so the
// caller's refusal or repair runs and a user's session is never killed by it:
//     if (!TF_ASSERT(e->active, "edge %i is free", slot)) return nullptr;
// Main thread only, like the log.
#define TF_ASSERT(condition, ...) ((condition) || AssertFailed(__FILE__, __LINE__, __VA_ARGS__))
// The failure path of TF_ASSERT (base/log.cpp): aborts, or logs and returns false.
bool AssertFailed(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Folder of the program's data files, ending with '/': the program's own
// folder, or the share folder of an installed copy. Set once at start-up
// (FindAppDir).
extern char appDir[512];
// appDir + name in one static buffer; each call overwrites the previous result.
const char* AppPath(const char* name);
// Fills appDir: the executable's folder when data/ lies beside it, else
// <prefix>/share/tessaform when the program runs from <prefix>/bin (or
// leaves "./"). Also decides where UserFilePath puts the user's files.
void FindAppDir();
// Where a file the program writes (config.txt, log.txt, the crash marker,
// the restore file) lives: beside the program when it runs from a folder of
// its own that it may write to; otherwise config.txt in
// $XDG_CONFIG_HOME/tessaform (~/.config) and the rest in
// $XDG_STATE_HOME/tessaform (~/.local/state), the folder made on first use.
// One static buffer of its own; each call overwrites the previous result.
const char* UserFilePath(const char* name);

// The matcap image of material `number` (from 1), "data/material<number>.png",
// relative to appDir: the one place that spells the name.
void MaterialImageName(char* out, i32 outSize, i32 number);
// How many material images lie in the program directory, from number 1 up to
// the first one missing.
i32 CountMaterials();
