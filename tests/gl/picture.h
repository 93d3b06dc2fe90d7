// Frames the GL tests look at: read back from a window, drawn by the test
// itself or grabbed from a running program.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <vector>
#include "base/base.h"

struct Rgb {
    i32 r, g, b;
};
inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
inline i32 MaxDifference(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}
inline std::ostream& operator<<(std::ostream& o, Rgb c) {
    return o << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// One frame, top row first.
struct Picture {
    i32 width = 0, height = 0;
    std::vector<u8> rgba;
    Rgb At(i32 x, i32 y) const {
        const u8* p = &rgba[((size_t)y * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
};
