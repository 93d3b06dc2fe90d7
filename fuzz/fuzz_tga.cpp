// The font image reader and the glyph measurement on arbitrary bytes.
#include "base/font.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    i32 w = 0, h = 0;
    u8* rgba = DecodeTga(data, size, &w, &h);
    if (!rgba) return 0;
    MeasureGlyphs(0, rgba, w, h);
    for (i32 g = 0; g < GLYPH_COUNT; g++)
        if (glyphLeft[0][g] < 0 || glyphWidth[0][g] < 0 || glyphLeft[0][g] > w) abort();
    StringWidth(0, "Tessaform \xc5\xe4\xf6 ~");
    free(rgba);
    ClearGlyphs(0);
    return 0;
}
