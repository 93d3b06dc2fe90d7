// config.txt reader on arbitrary text; every setting must come out inside
// what the program can use, and writing it back must work.
#include "app/config.h"
#include "base/settings.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    ResetSettings();
    ReadConfig(InputAsFile(data, size));
    if (!(detailBias >= 0 && detailBias <= 2) || windowWidth < 32 || windowHeight < 32) {
        fprintf(stderr, "a setting left its range: detail %f, window %i x %i\n", detailBias,
                windowWidth, windowHeight);
        abort();
    }
    return 0;
}
