// The GL buffer objects of the render arrays: their names (start-up to
// shutdown) and the upload after each rebuild. Buffers are always
// re-specified whole; colours and indices only when they can have changed.
// Writes drawTriangleCount and clears meshChanged, fullRebuild, colorsDirty
// and savedArraysDirty.
#include "base/settings.h"
#include "mesh/mesh.h"
#include "render/glext.h"
#include "render/render.h"
#include "tools/brush.h"

u32 positionBuffer, normalBuffer, colorBuffer, indexBuffer;

void CreateRenderBuffers() {
    arb::glGenBuffersARB(1, &positionBuffer);
    arb::glGenBuffersARB(1, &normalBuffer);
    arb::glGenBuffersARB(1, &colorBuffer);
    arb::glGenBuffersARB(1, &indexBuffer);
}

void DeleteRenderBuffers() {
    if (!arb::glDeleteBuffersARB) return;
    for (u32* b : {&positionBuffer, &normalBuffer, &colorBuffer, &indexBuffer}) {
        if (*b) arb::glDeleteBuffersARB(1, b);
        *b = 0;
    }
}

static void SpecifyArrayBuffer(u32 buffer, const Vec3* data, i32 count) {
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    arb::glBufferDataARB(GL_ARRAY_BUFFER_ARB, (GLsizeiptrARB)count * 12, data, GL_STATIC_DRAW_ARB);
}

// The drawn range: from scratch after a full rebuild, else it only grows.
static void UpdateDrawTriangleCount() {
    i32 end = fullRebuild ? 0 : drawTriangleCount;
    for (i32 t = 0; t < threadCount; t++)
        if (threadTriangleEnd[t] > end) end = threadTriangleEnd[t];
    // Storage never shrinks below a drawn range without a full rebuild, but
    // reading past the index array would crash: keep the range inside it.
    if (end > triangleCapacity) end = triangleCapacity;
    drawTriangleCount = end;
}

void UploadRenderArrays() {
    ProfileBegin(PROF_BUILDARRAYS);
    if (mtVarrays) {
        RunParallel(BuildRenderArrays);
    } else {
        threadTriangleEnd[0] = 0;
        for (i32 t = 1; t < threadCount; t++) threadTriangleEnd[t] = 0;
        BuildRenderArrays(0, 1);
    }
    SpecifyArrayBuffer(positionBuffer, positionArray, vertexCapacity);
    SpecifyArrayBuffer(normalBuffer, normalArray, vertexCapacity);
    if (maskView || colorsDirty || meshChanged) {
        colorsDirty = 0;
        SpecifyArrayBuffer(colorBuffer, colorArray, vertexCapacity);
        if (meshChanged) {
            UpdateDrawTriangleCount();
            arb::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer);
            arb::glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, (GLsizeiptrARB)drawTriangleCount * 12,
                                 indexArray, GL_STATIC_DRAW_ARB);
        }
    }
    if (bumpShading && (savedArraysDirty || meshChanged)) savedArraysDirty = 0;
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    arb::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    meshChanged = 0;
    fullRebuild = 0;
    ProfileEnd();
}
