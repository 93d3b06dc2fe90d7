// The sculpture reader on arbitrary bytes: a refused file leaves the mesh as
// it was; an accepted one loads sound and writes back byte for byte.
#include <cstring>
#include "fuzz_input.h"
#include "mesh/meshfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ResetAllocation();
    BuildSphere();
    return 0;
}

static void RequireSameImage(const u8* data, size_t size) {
    char* written = nullptr;
    size_t length = 0;
    FILE* f = open_memstream(&written, &length);
    if (!f || !WriteMesh(f)) abort();
    fclose(f);
    if (length != size || memcmp(written, data, size) != 0) {
        fprintf(stderr, "an accepted file does not write back the same\n");
        abort();
    }
    free(written);
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    if (!LoadMesh(InputAsFile(data, size))) return 0;
    RequireSoundMesh();
    RequireSameImage(data, size);
    return 0;
}
