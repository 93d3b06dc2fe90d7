// The PNG decoder on arbitrary bytes: RGBA rows of the size it reports, or a
// clean refusal.
#include <cstring>
#include "fuzz_input.h"
#include "render/textures.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    i32 w = 0, h = 0;
    u8* rgba = DecodePng(InputAsFile(data, size), &w, &h);
    if (!rgba) return 0;
    if (w <= 0 || h <= 0) abort();
    // Every byte must be readable (the sanitizer checks the bounds).
    u64 sum = 0;
    for (size_t i = 0; i < (size_t)w * (size_t)h * 4; i++) sum += rgba[i];
    if (sum > (u64)w * (u64)h * 4 * 255) abort();
    free(rgba);
    return 0;
}
