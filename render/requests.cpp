// What the frame logic asks of the renderer by flags, because it cannot
// touch GL itself: a new material image and a shader rebuild. Served at the
// start of every rendered frame, so the request is drawn in the same frame.
#include "base/guistate.h"
#include "base/log.h"
#include "mesh/mesh.h"
#include "render/render.h"
#include "render/shaders.h"
#include "render/textures.h"

void ServeRenderRequests() {
    if (materialImageWanted) {
        materialImageWanted = 0;
        materialTexture.LoadPng(AppPath(materialImageName), TEXTURE_LINEAR);
    }
    if (shaderRebuildWanted) {
        shaderRebuildWanted = 0;
        InitShaders(bumpShading);  // a failed build keeps the previous programs
        // The build tells its story in the log; afterwards the log is quiet
        // again, or every pass's messages would flood it.
        LogEndVerbose();
    }
}
