// The per-step skeleton shared by every tool: enlarge the radius, cull the
// mesh to a cube around the brush, refine what is too coarse, then let the
// tool walk the in-reach vertices of the workset. Tools restore the radius
// on every exit with EndToolStep.
#include "mesh/mesh.h"
#include "tools/tools.h"

// Indexed by tool id: how far each tool reaches beyond the ring the user sees.
const f32 toolRadiusFactor[TOOL_COUNT] = {1, 1, 1.5f, 1.5f, 1.5f, 1.5f, 1, 1, 1.7f, 1.5f, 1};
// Indexed by tool id: PINCH draws triangles together and refines finer;
// SMOOTH and REDUCE DETAIL never add triangles.
const f32 toolTesselateFactor[TOOL_COUNT] = {1, 0, 1, 1, 1, 1.5f, 1, 1, 1, 1, 0};

f32 BeginToolStep(Brush& b, i32 tool) {
    f32 saved = b.radius;
    b.radius *= toolRadiusFactor[tool];
    bool fromAnchor = tool == TOOL_GRAB || tool == TOOL_SCALE || tool == TOOL_ROTATE;
    b.cullCenterNow = fromAnchor ? b.anchor : b.center;
    UpdateBrushCulling(b, b.center, b.radius, strokeActive);
    if (toolTesselateFactor[tool] > 0) {
        TesselateForBrush(b.center, b.radius, toolTesselateFactor[tool]);
        DropRepeatedSlots(workset.vertices, vertexCapacity);  // each vertex moves once
    }
    return saved;
}

void EndToolStep(Brush& b, f32 savedRadius) { b.radius = savedRadius; }

f32 MaskedWeight(const Vertex& v, f32 weight) { return maskView ? weight * v.mask : weight; }
