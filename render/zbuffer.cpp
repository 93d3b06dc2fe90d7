// Depth read-back for picking: the 10 x 10 depth values around the cursor,
// read from the frame just shown before the next one is drawn. Where the
// patch goes and what the values mean is tools/picking.cpp's business.
#include "render/zbuffer.h"
#include <GL/gl.h>
#include "parallel/parallel.h"
#include "render/render.h"
#include "tools/picking.h"

void FetchZBuffer() {
    ProfileBegin(PROF_FETCHZBUFFER);
    PlaceDepthPatch();
    // Rows of ten floats are 4-byte aligned, so the default pack alignment fits.
    glReadPixels(depthPatchOrigin[0], depthPatchOrigin[1], DEPTH_PATCH_SIZE, DEPTH_PATCH_SIZE,
                 GL_DEPTH_COMPONENT, GL_FLOAT, depthPatch);
    ProfileEnd();
}
