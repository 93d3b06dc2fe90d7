// The OBJ importer on arbitrary text: a refused file changes nothing, an
// accepted one leaves a sound mesh.
#include "fuzz_input.h"
#include "mesh/objfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ResetAllocation();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    if (ImportObj(InputAsFile(data, size))) RequireSoundMesh();
    return 0;
}
